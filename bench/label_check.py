#!/usr/bin/python3
"""Flags doubtful unit labels in labelunit files.

usage: bench/label_check.py [--top N] [--worst K] LABELUNIT_FILE...

Looks at the first N (default 5) mode-1 phrases ($MODE1_PHRASES blocks) and
mode-0 labels ($M0_LABEL lines) of every unit and flags each label that
  - is a C declaration or type: a C type or qualifier keyword ("int",
    "const", "struct", "size_t", ...), or two of the words C uses for types
    ("long double", "double complex", "signed char");
  - ends in a verb, an adverb or a preposition: the last word is a
    preposition, or WordNet (/usr/share/wordnet) knows it as a verb or an
    adverb and hardly as a noun (or adjective, for adverbs): under 5% of
    its uses in WordNet's sense-tagged corpus. The script sees no context,
    so a word often used as a noun ("file", "calls") counts as one;
  - is markup: holds "<", ">" or an entity ("&amp;"), or a word of HTML or
    CSS that no text uses for itself ("href", "nbsp", "div", "span", "px",
    "src", "img", "td", "tr", "ul", "li", "br"): a page read as text;
  - is in a broken encoding: holds U+FFFD (bytes that were no UTF-8), a C1
    control, or the marks of UTF-8 read as Latin-1 ("Ã©", "â€™", "Â ");
  - starts with a participle that takes what follows as its object
    ("called dune", "using qt");
  - is a possessive ("current user's") or holds one;
  - is a host name or address ("www.example.org", "lists.debian.org");
Prints the counts, then the K (default 5) worst labels: flagged ones first,
then those scored lowest against their unit's best label of the same kind
(the extractor trusted them least), each with its unit.
Exit status 1 when a label is flagged (so a script can use it as a check).
"""
import argparse
import math
import os
import re
import sys

WORDNET = '/usr/share/wordnet'
C_KEYWORDS = set('''int char void const struct union enum unsigned restrict volatile typedef
extern sizeof static_assert'''.split())
C_TYPE_WORDS = C_KEYWORDS | {'long', 'short', 'double', 'float', 'complex', 'static', 'bool', 'signed'}
RARE = 0.05
MARKUP_WORDS = set('href nbsp div span px src img td tr ul li br amp quot www mailto'.split())
MOJIBAKE = re.compile('[\u00c2\u00c3][\u0080-\u00bf]|\u00e2\u20ac|[\u0080-\u009f\ufffd]')
PREPOSITIONS = set('''aboard about above across after against along amid among around as at before
behind below beneath beside besides between beyond but by concerning despite down during except
for from in inside into like near of off on onto out outside over past per regarding since than
through throughout till to toward towards under underneath unlike until up upon versus via with
within without'''.split())
POS = {'noun': 0, 'verb': 1, 'adj': 2, 'adv': 3}
SUFFIXES = [('s', '', 0), ('ses', 's', 0), ('xes', 'x', 0), ('zes', 'z', 0), ('ches', 'ch', 0),
            ('shes', 'sh', 0), ('men', 'man', 0), ('ies', 'y', 0), ('s', '', 1), ('ies', 'y', 1),
            ('es', 'e', 1), ('es', '', 1), ('ed', 'e', 1), ('ed', '', 1), ('ing', 'e', 1),
            ('ing', '', 1), ('er', '', 2), ('est', '', 2), ('er', 'e', 2), ('est', 'e', 2)]


def load_wordnet():
    lemmas, exceptions, counts = {}, {}, {}
    for name, pos in POS.items():
        with open(os.path.join(WORDNET, 'index.' + name), encoding='latin-1') as f:
            for line in f:
                if not line.startswith(' '):
                    lemmas.setdefault(line.split(' ', 1)[0], set()).add(pos)
        with open(os.path.join(WORDNET, name + '.exc'), encoding='latin-1') as f:
            for line in f:
                form, *bases = line.split()
                for base in bases:
                    exceptions.setdefault(form, []).append((base, pos))
    with open(os.path.join(WORDNET, 'cntlist.rev'), encoding='latin-1') as f:
        for line in f:
            key, _, count = line.split()
            lemma, rest = key.split('%', 1)
            pos = {1: 0, 2: 1, 3: 2, 4: 3, 5: 2}.get(int(rest[0]))
            if pos is not None:
                counts[(lemma, pos)] = counts.get((lemma, pos), 0) + int(count)
    return lemmas, exceptions, counts


def readings(word, wn):
    """Part of speech -> tagged count (+0.5) over the word's lemmas."""
    lemmas, exceptions, counts = wn
    found = {}

    def add(lemma, pos):
        if pos in lemmas.get(lemma, ()):
            found[pos] = max(found.get(pos, 0), counts.get((lemma, pos), 0) + 0.5)

    for pos in range(4):
        add(word, pos)
    for base, pos in exceptions.get(word, []):
        add(base, pos)
    for end, repl, pos in SUFFIXES:
        if word.endswith(end) and len(word) > len(end):
            add(word[:-len(end)] + repl, pos)
    return found


TLDS = set('com org net edu gov mil int io de uk fr nl eu info biz us ca au jp ch at be '
           'se no dk fi it es ru cn br pl cz'.split())


def host_name(word):
    parts = word.split('.')
    if len(parts) < 2 or any(len(p) < 2 for p in parts):
        return False
    if not all(re.match(r'^[a-z][a-z0-9-]*$', p) for p in parts):
        return False  # numbers and versions ("2.5", "python3.11")
    return len(parts) >= 3 or parts[-1] in TLDS


# Participles that take what follows as their object or complement: a label
# that starts with one is cut from a clause ("called dune", "based qt").
CLAUSE_STARTS = set('called titled entitled dubbed based using including containing '
                    'providing allowing featuring supporting'.split())


def problems(label, wn):
    words = [w for w in re.split(r'\s+', label.lower().strip()) if w]
    if not words:
        return ['empty']
    out = []
    if re.search(r'[<>]|&[a-z]+;|&#', label) or any(w in MARKUP_WORDS for w in words):
        out.append('markup')
    if MOJIBAKE.search(label):
        out.append('broken encoding')
    if any(w in C_KEYWORDS or w.endswith('_t') for w in words) or \
            sum(w in C_TYPE_WORDS for w in words) >= 2:
        out.append('C declaration')
    if any(w.endswith("'s") or w.endswith('\u2019s') for w in words):
        out.append('possessive')
    if any(host_name(w) for w in words):
        out.append('host name')
    if len(words) > 1 and words[0] in CLAUSE_STARTS:
        out.append('cut from a clause')
    last = words[-1].strip('.,;:()"\'')
    if last in PREPOSITIONS:
        out.append('ends in a preposition')
    else:
        r = readings(last, wn)
        total = sum(r.values()) or 1
        noun, adjective = r.get(0, 0) / total, r.get(2, 0) / total
        # An -ing form that WordNet lists as a noun of its own ("learning",
        # "scheduling") is one at the end of a label.
        ing_noun = last.endswith('ing') and 0 in wn[0].get(last, ())
        if 1 in r and noun < RARE and not ing_noun:
            out.append('ends in a verb')
        elif 3 in r and noun + adjective < RARE:
            out.append('ends in an adverb')
    return out


def unit_labels(path, top):
    """Yields (unit, kind, rank, label, score) for the first `top` labels of each kind."""
    unit = '?'
    with open(path, encoding='utf-8', errors='replace') as f:
        lines = f.read().split('\n')
    i = 0
    m0_rank = 0
    x = y = '?'
    while i < len(lines):
        line = lines[i]
        if line.startswith('$POS_X '):
            x = line.split(' ', 1)[1]
        elif line.startswith('$POS_Y '):
            y = line.split(' ', 1)[1]
            unit = '%s (%s,%s)' % (os.path.basename(path), x, y)
            m0_rank = 0
        elif line.startswith('$M0_LABEL '):
            fields = line[len('$M0_LABEL '):].split('\t')
            if m0_rank < top:
                yield unit, 'mode 0', m0_rank, fields[0], float(fields[2]) if len(fields) > 2 else 0
            m0_rank += 1
        elif line.startswith('$MODE1_PHRASES '):
            try:
                n = int(line.split()[1])
            except (IndexError, ValueError):
                n = 0
            for rank in range(min(n, top)):
                if i + 1 + rank < len(lines):
                    fields = lines[i + 1 + rank].split('\t')
                    score = float(fields[2]) if len(fields) > 2 and fields[2] else 0
                    yield unit, 'mode 1', rank, fields[0], score
            i += n
        i += 1


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--top', type=int, default=5)
    ap.add_argument('--worst', type=int, default=5)
    ap.add_argument('files', nargs='+')
    args = ap.parse_args()
    wn = load_wordnet()
    flagged, total, kept, best = [], 0, [], {}
    for path in args.files:
        for unit, kind, rank, label, score in unit_labels(path, args.top):
            total += 1
            best[(unit, kind)] = max(best.get((unit, kind), 0), score)
            why = problems(label, wn)
            if why:
                flagged.append((rank, unit, kind, label, ', '.join(why)))
            else:
                kept.append((score, rank, unit, kind, label))
    print('labels checked: %d (top %d of each kind per unit), flagged: %d'
          % (total, args.top, len(flagged)))
    for kind in ('mode 1', 'mode 0'):
        print('  %s: %d flagged' % (kind, sum(1 for f in flagged if f[2] == kind)))
    reasons = {}
    for *_, why in flagged:
        for w in why.split(', '):
            reasons[w] = reasons.get(w, 0) + 1
    for w, n in sorted(reasons.items(), key=lambda kv: -kv[1]):
        print('  %-22s %d' % (w, n))
    print('worst labels:')
    flagged.sort(key=lambda f: (f[0], f[1]))
    for rank, unit, kind, label, why in flagged[:args.worst]:
        print('  %-40s %s #%d  %-28s %s' % (unit, kind, rank + 1, '"%s"' % label, why))
    kept.sort(key=lambda k: (k[0] / (best[(k[2], k[3])] or 1), k[2], k[1]))
    for score, rank, unit, kind, label in kept[:max(0, args.worst - len(flagged))]:
        print('  %-40s %s #%d  %-28s %.3f of the unit\'s best' % (
            unit, kind, rank + 1, '"%s"' % label, score / (best[(unit, kind)] or 1)))
    return 1 if flagged else 0


if __name__ == '__main__':
    sys.exit(main())
