#!/usr/bin/env python3
"""What a trained hierarchy of maps does with a collection: leaf-unit sizes and
purity against known categories, and how two trainings of a collection compare.

  map_metrics.py shape WORKDIR [CATEGORIES.tsv]
      leaf units that hold documents: how many, the median and quartiles of
      their sizes, the largest; maps and layers; with CATEGORIES (document
      name<TAB>category a line), purity: the share of the documents that are
      in their leaf unit's most common category, and the same with the
      categories shuffled among the documents (seeded), the baseline.
  map_metrics.py stability BEFORE AFTER
      of the documents in both trainings: the share on the same leaf unit
      (same map, same column and row), on a neighbouring one (same map,
      column and row each at most one apart), and the adjusted Rand index of
      the two partitions into leaf units.

WORKDIR is what somtrain writes: its process file names the unit files, which
lie in WORKDIR/output/ (OUTPUTPATH). Prints one line of key=value pairs.
"""
import collections
import math
import os
import random
import statistics
import sys


def read_leaves(workdir):
    """document name -> (map, x, y) of the leaf unit holding it; maps; layers."""
    with open(os.path.join(workdir, "process"), encoding="utf-8") as f:
        maps = [line.rstrip("\n") for line in f if line.strip()]
    leaf_of = {}
    layers = 0
    for name in maps:
        x = y = 0
        docs = []
        sub = 0
        with open(os.path.join(workdir, "output", name), encoding="utf-8", errors="replace") as f:
            for line in f:
                key, _, value = line.rstrip("\n").partition(" ")
                if key == "$POS_X":
                    x = int(value)
                elif key == "$POS_Y":
                    y = int(value)
                elif key == "$NODE_ID":
                    layers = max(layers, int(value.split("_")[1]))
                elif key == "$MAPPED_VECS":
                    docs = value.split()
                elif key == "$NR_SOMS_MAPPED":
                    sub = int(value)
                    if sub == 0:
                        for d in docs:
                            leaf_of[d] = (name, x, y)
    return leaf_of, len(maps), layers


def quantile(values, q):
    values = sorted(values)
    if not values:
        return 0
    pos = (len(values) - 1) * q
    lo, hi = math.floor(pos), math.ceil(pos)
    return values[lo] + (values[hi] - values[lo]) * (pos - lo)


def purity(leaf_of, category):
    units = collections.defaultdict(collections.Counter)
    n = 0
    for doc, unit in leaf_of.items():
        if doc in category:
            units[unit][category[doc]] += 1
            n += 1
    return sum(c.most_common(1)[0][1] for c in units.values()) / n if n else 0.0


def shape(workdir, categories=None):
    leaf_of, maps, layers = read_leaves(workdir)
    sizes = list(collections.Counter(leaf_of.values()).values())
    out = {
        "documents": len(leaf_of), "maps": maps, "layers": layers, "leaves": len(sizes),
        "median": statistics.median(sizes), "q1": quantile(sizes, 0.25),
        "q3": quantile(sizes, 0.75), "largest": max(sizes),
    }
    if categories:
        category = {}
        with open(categories, encoding="utf-8") as f:
            for line in f:
                name, _, cat = line.rstrip("\n").partition("\t")
                category[name] = cat
        out["purity"] = round(purity(leaf_of, category), 3)
        docs = [d for d in leaf_of if d in category]
        shuffled = [category[d] for d in docs]
        random.Random(1).shuffle(shuffled)
        out["shuffled"] = round(purity(leaf_of, dict(zip(docs, shuffled))), 3)
    return out


def comb2(n):
    return n * (n - 1) / 2


def adjusted_rand(a, b):
    """Adjusted Rand index of two labelings (lists of the same length)."""
    n = len(a)
    pairs = collections.Counter(zip(a, b))
    index = sum(comb2(c) for c in pairs.values())
    sum_a = sum(comb2(c) for c in collections.Counter(a).values())
    sum_b = sum(comb2(c) for c in collections.Counter(b).values())
    expected = sum_a * sum_b / comb2(n) if n > 1 else 0.0
    most = (sum_a + sum_b) / 2
    return 1.0 if most == expected else (index - expected) / (most - expected)


def stability(before, after):
    old, _, _ = read_leaves(before)
    new, _, _ = read_leaves(after)
    common = sorted(set(old) & set(new))
    same = sum(old[d] == new[d] for d in common)
    near = sum(old[d][0] == new[d][0] and abs(old[d][1] - new[d][1]) <= 1
               and abs(old[d][2] - new[d][2]) <= 1 for d in common)
    return {
        "documents": len(common), "same": round(same / len(common), 3),
        "same_or_neighbour": round(near / len(common), 3),
        "ari": round(adjusted_rand([old[d] for d in common], [new[d] for d in common]), 3),
    }


def main(argv):
    if len(argv) >= 3 and argv[1] == "shape":
        result = shape(argv[2], argv[3] if len(argv) > 3 else None)
    elif len(argv) == 4 and argv[1] == "stability":
        result = stability(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    print(" ".join(f"{k}={v}" for k, v in result.items()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
