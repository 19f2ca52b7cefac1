#!/usr/bin/python3
"""How well the labels of a labelled hierarchy of maps describe their units.

usage: bench/label_summary.py [--markdown] [--name NAME] [--units K] RUN_DIR...

RUN_DIR is what `somlabel DOCS RUN_DIR` made: its option file (`options`), its
process file (`process.web`), the labelunit files and map key files, the documents
(SOURCEPATH) and, where the site wrote it, `site-labels.tsv` beside `index.html`.
For each of the three kinds of labels (mode-1: the $MODE1_PHRASES blocks, mode-0:
the $M0_LABEL lines, site: site-labels.tsv), over every leaf unit that holds at
least 3 documents:

  cov@1    share of the unit's documents whose text holds every word of its top
           label (words stemmed as the labeller stems them), mean over units
  cov@5    share of the unit's documents that hold at least one of its top 5 labels
  lift     a unit's cov@1 over the share of its map's documents holding that
           label, mean over units (0 where no document holds it)
  single   share of all top-5 labels that at most one document of their unit holds
  map      for every map, the share of its documents that hold at least one of
           its top 5 labels (mode-1: the map key file; site: its lines for the whole
           map), mean over maps
and once per run the ceiling: per unit, the largest share of its documents that
hold one word whose share in the unit is at least twice its share in the map
(stopwords and numbers aside), mean over units; cov@1 / ceiling beside it.

A map's documents are those of all its units (a unit with a sub-map lists every
document below it). --units K prints, for K units spread over the hierarchy,
the top labels of each kind with how many of the unit's documents hold them.
"""
import argparse
import os
import re
import sys

import snowballstemmer

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIN_DOCS = 3
TOP = 5
KINDS = ('mode-1', 'mode-0', 'site')
WORD = re.compile(r"[^\W_]+(?:['\u2019\u2010\u2011.\-][^\W_]+)*")
NUMBER = re.compile(r"^[0-9]+(?:['.\-][0-9]+)*$")


def stopwords():
    """The labeller's own English stopwords (text/stopwords.cpp)."""
    with open(os.path.join(ROOT, 'text', 'stopwords.cpp'), encoding='utf-8') as f:
        source = f.read()
    match = re.search(r'kEnglish = R"\((.*?)\)"', source, re.S)
    return set(match.group(1).split()) if match else set()


class Texts:
    """Stemmed words of each document, read once."""

    def __init__(self, source):
        self.source = source
        self.stemmer = snowballstemmer.stemmer('english')
        self.cache = {}
        self.stems = {}
        self.stop = stopwords()

    def stem(self, word):
        s = self.cache.get(word)
        if s is None:
            s = self.stemmer.stemWord(word)
            self.cache[word] = s
        return s

    def words(self, name):
        """Stemmed words of the document, and those that are neither stopwords nor numbers."""
        got = self.stems.get(name)
        if got is None:
            try:
                with open(os.path.join(self.source, name), encoding='utf-8', errors='replace') as f:
                    text = f.read()
            except OSError:
                text = ''
            lowered = set(w.lower() for w in WORD.findall(text))
            every = frozenset(self.stem(w) for w in lowered)
            content = frozenset(self.stem(w) for w in lowered
                                if w not in self.stop and not NUMBER.match(w))
            got = self.stems[name] = (every, content)
        return got


def read_options(run):
    opts = {'OUTPUTPATH': 'output/', 'KEYPATH': 'output/key/', 'KEAFILEEXTENSION': '.key',
            'SOURCEPATH': 'output/files/'}
    with open(os.path.join(run, 'options'), encoding='utf-8', errors='replace') as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[0] in opts:
                opts[parts[0]] = parts[-1]
    return opts


def key_line(line):
    fields = [f for f in line.rstrip('\n').split('\t') if f]
    return (fields[0], fields[1].split()) if len(fields) >= 2 else None


def read_labelunit(path):
    """Units in file order: dict with x, y, docs, leaf, mode-1, mode-0 (labels: (phrase, stems))."""
    units = []
    unit = None
    block = 0
    with open(path, encoding='utf-8', errors='replace') as f:
        for line in f:
            if block > 0:
                block -= 1
                label = key_line(line)
                if label and unit is not None:
                    unit['mode-1'].append(label)
                continue
            key, _, value = line.rstrip('\n').partition(' ')
            if key == '$POS_X':
                unit = {'x': value.strip(), 'y': '', 'docs': [], 'leaf': True,
                        'mode-1': [], 'mode-0': []}
                units.append(unit)
            elif unit is None:
                continue
            elif key == '$POS_Y':
                unit['y'] = value.strip()
            elif key == '$VEC':
                unit['docs'].append(value.strip())
            elif key == '$NR_SOMS_MAPPED':
                unit['leaf'] = value.strip() in ('', '0')
            elif key == '$M0_LABEL':
                label = key_line(value)
                if label:
                    unit['mode-0'].append(label)
            elif key == '$MODE1_PHRASES':
                m = re.match(r'\s*(\d+)', value)
                block = int(m.group(1)) if m else 0
    return units


def read_map_keys(path):
    try:
        with open(path, encoding='utf-8', errors='replace') as f:
            lines = f.readlines()[1:]
    except OSError:
        return []
    return [l for l in (key_line(line) for line in lines) if l]


def read_site(path):
    """(map, x, y) -> labels best first; x and y are '-' for a whole map. None if absent."""
    if not os.path.exists(path):
        return None
    site = {}
    with open(path, encoding='utf-8', errors='replace') as f:
        for line in f:
            fields = line.rstrip('\n').split('\t')
            if len(fields) < 6:
                continue
            try:
                rank = int(fields[3])
            except ValueError:
                continue
            site.setdefault((fields[0], fields[1], fields[2]), []).append(
                (rank, fields[4], fields[5].split()))
    return {k: [(p, s) for _, p, s in sorted(v, key=lambda e: e[0])] for k, v in site.items()}


class MapIndex:
    """Which documents of one map hold each stem."""

    def __init__(self, docs, texts):
        self.docs = docs
        self.postings = {}
        for i, name in enumerate(docs):
            for s in texts.words(name)[0]:
                self.postings.setdefault(s, set()).add(i)

    def holding(self, stems):
        sets = sorted((self.postings.get(s, set()) for s in stems), key=len)
        if not sets:
            return set()
        out = set(sets[0])
        for other in sets[1:]:
            out &= other
        return out


def holds(words, stems):
    return all(s in words for s in stems)


def ceiling(unit_docs, index, texts):
    n = len(unit_docs)
    counts = {}
    for name in unit_docs:
        for s in texts.words(name)[1]:
            counts[s] = counts.get(s, 0) + 1
    best = 0.0
    m = len(index.docs)
    for s, c in counts.items():
        share = c / n
        if share > best and share >= 2 * len(index.postings.get(s, ())) / m:
            best = share
    return best


def summarise(run, name, texts_by_source, samples):
    opts = read_options(run)
    out_dir = os.path.join(run, opts['OUTPUTPATH'])
    source = os.path.join(run, opts['SOURCEPATH'])
    texts = texts_by_source.setdefault(source, Texts(source))
    with open(os.path.join(run, 'process.web'), encoding='utf-8') as f:
        maps = [line.strip() for line in f if line.strip()]
    site = read_site(os.path.join(os.path.dirname(os.path.join(out_dir, maps[-1])),
                                  'site-labels.tsv'))
    sums = {k: {'cov1': 0.0, 'cov5': 0.0, 'lift': 0.0, 'labels': 0, 'single': 0, 'units': 0,
                'map': 0.0, 'maps': 0} for k in KINDS}
    ceil_sum, n_units, picked = 0.0, 0, []
    for labelunit in maps:
        base = labelunit[:-len('.labelunit')] if labelunit.endswith('.labelunit') else labelunit
        units = read_labelunit(os.path.join(out_dir, labelunit))
        map_docs = list(dict.fromkeys(d for u in units for d in u['docs']))
        index = MapIndex(map_docs, texts)
        map_labels = {'mode-1': read_map_keys(os.path.join(
            run, opts['KEYPATH'], os.path.basename(base) + opts['KEAFILEEXTENSION']))}
        if site is not None:
            map_labels['site'] = site.get((base, '-', '-'), [])
        for kind, labels in map_labels.items():
            covered = set()
            for _, stems in labels[:TOP]:
                covered |= index.holding(stems)
            sums[kind]['map'] += len(covered) / max(1, len(map_docs))
            sums[kind]['maps'] += 1
        for u in units:
            if not u['leaf'] or len(u['docs']) < MIN_DOCS:
                continue
            n_units += 1
            docs = [texts.words(d)[0] for d in u['docs']]
            ceil_sum += ceiling(u['docs'], index, texts)
            kinds = {'mode-1': u['mode-1'], 'mode-0': u['mode-0']}
            if site is not None:
                kinds['site'] = site.get((base, u['x'], u['y']), [])
            shown = {}
            for kind, labels in kinds.items():
                top = labels[:TOP]
                with_label = [sum(holds(w, stems) for w in docs) for _, stems in top]
                s = sums[kind]
                s['units'] += 1
                if top:
                    s['cov1'] += with_label[0] / len(docs)
                    in_map = len(index.holding(top[0][1])) / len(map_docs)
                    s['lift'] += (with_label[0] / len(docs)) / in_map if in_map else 0
                    s['cov5'] += sum(any(holds(w, st) for _, st in top) for w in docs) / len(docs)
                s['labels'] += len(top)
                s['single'] += sum(1 for c in with_label if c <= 1)
                shown[kind] = [(p, c) for (p, _), c in zip(top, with_label)]
            picked.append((base, u['x'], u['y'], len(u['docs']), shown))
    rows = []
    for kind in KINDS:
        s = sums[kind]
        if kind == 'site' and site is None:
            rows.append((name, kind, None))
            continue
        units = max(1, s['units'])
        rows.append((name, kind, {
            'units': s['units'], 'ceiling': ceil_sum / max(1, n_units),
            'cov1': s['cov1'] / units, 'cov5': s['cov5'] / units, 'lift': s['lift'] / units,
            'single': s['single'] / max(1, s['labels']),
            'map': s['map'] / s['maps'] if s['maps'] else None}))
    if samples and picked:
        step = max(1, len(picked) // samples)
        for base, x, y, n, shown in picked[::step][:samples]:
            print('%s: %s (%s,%s), %d documents' % (name, base, x, y, n))
            for kind in KINDS:
                if kind in shown:
                    print('  %-7s %s' % (kind, ' · '.join('%s (%d)' % pc for pc in shown[kind])))
    return rows


def fmt(value, digits=2):
    return '-' if value is None else '%.*f' % (digits, value)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('runs', nargs='+', metavar='RUN_DIR')
    parser.add_argument('--name', action='append', default=[],
                        help='name of each run in the table (default: its folder)')
    parser.add_argument('--markdown', action='store_true', help='rows of a Markdown table')
    parser.add_argument('--units', type=int, default=0, metavar='K',
                        help='print the labels of K units of each run')
    args = parser.parse_args()
    cols = ('collection', 'labels', 'units', 'ceiling', 'cov@1', 'x ceiling', 'cov@5', 'lift',
            'single', 'map')
    rows = []
    texts = {}
    for i, run in enumerate(args.runs):
        name = args.name[i] if i < len(args.name) else os.path.basename(os.path.normpath(run))
        rows += summarise(run, name, texts, args.units)
    if args.markdown:
        print('| ' + ' | '.join(cols) + ' |')
        print('|' + '---|' * len(cols))
    else:
        print('\t'.join(cols))
    for name, kind, f in rows:
        if f is None:
            cells = [name, kind, 'missing'] + ['-'] * (len(cols) - 3)
        else:
            cells = [name, kind, str(f['units']), fmt(f['ceiling']), fmt(f['cov1']),
                     fmt(f['cov1'] / f['ceiling'] if f['ceiling'] else None), fmt(f['cov5']),
                     fmt(f['lift'], 1), '%.0f%%' % (100 * f['single']), fmt(f['map'])]
        print(('| ' + ' | '.join(cells) + ' |') if args.markdown else '\t'.join(cells))
    return 0


if __name__ == '__main__':
    sys.exit(main())
