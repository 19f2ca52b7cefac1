#!/usr/bin/python3
"""A hierarchy of labelunit files over a folder of documents, for timing labelsite alone.

Usage: bench/site_maps.py DOCS OUT [LAYERS]

Writes OUT/process.web, OUT/options (SOURCEPATH DOCS/) and OUT/output/*.labelunit:
LAYERS (default 3) layers of 8 x 6 maps, every unit of the layers above the last
expanded by a sub-map, the documents of DOCS (sorted by name) shared out in order
over the units of the last layer. No labels, map key files or pages: labelsite
warns of those and writes the site, its search by content and the map view.
"""
import os
import sys

X, Y = 8, 6


def main():
    if len(sys.argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    docs, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    layers = int(sys.argv[3]) if len(sys.argv) == 4 else 3
    names = sorted(os.listdir(docs))
    os.makedirs(os.path.join(out, "output"), exist_ok=True)
    maps = []

    def build(name, parent, lo, hi, layer):
        step = (hi - lo) / (X * Y)
        lines = ["$TYPE rect", f"$XDIM {X}", f"$YDIM {Y}"]
        for i in range(X * Y):
            x, y = i % X, i // X
            a, b = lo + round(i * step), lo + round((i + 1) * step)
            lines += [f"$POS_X {x}", f"$POS_Y {y}", f"$NODE_ID {name}_{layer}_{x}_{y}",
                      "$QUANTERROR_NODE 1.0", f"$NR_VEC_MAPPED {b - a}"]
            if layer + 1 < layers:
                sub = f"{name[:-5]}_{x}_{y}.unit"
                lines += ["$MAPPED_VECS", "$NR_SOMS_MAPPED 1", f"$URL_MAPPED_SOMS output/{sub[:-4]}som"]
                build(sub, name, a, b, layer + 1)
            else:
                lines += ["$MAPPED_VECS " + " ".join(names[a:b])]
                lines += [f"$VEC {n}" for n in names[a:b]] + ["$NR_SOMS_MAPPED 0"]
            lines += ["$NR_LABELS 0", "$LABEL"]
        if parent:
            lines.append(f"$SOMABOVE output/{parent}")
        with open(os.path.join(out, "output", name + ".labelunit"), "w") as f:
            f.write("\n".join(lines) + "\n")
        maps.append(name)  # sub-maps before the maps above them

    build("map.unit", None, 0, len(names), 0)
    with open(os.path.join(out, "process.web"), "w") as f:
        f.write("".join(m + ".labelunit\n" for m in maps))
    with open(os.path.join(out, "options"), "w") as f:
        f.write(f"OUTPUTPATH output/\nKEYPATH output/key/\nKEAFILEEXTENSION .txt\nSOURCEPATH {docs}/\n")
    print(f"{len(maps)} maps, {len(names)} documents")
    return 0


if __name__ == "__main__":
    sys.exit(main())
