#!/usr/bin/env python3
"""Where the stub's bytes go: the linker map's input sections that made it into
the program, summed per object (archive member) and per kind (code, unwind
tables, read-only data, data). Prints the largest contributors.

usage: map_summary.py MAP [COUNT]"""
import collections
import re
import sys

KINDS = (('.text', 'code'), ('.eh_frame', 'unwind'), ('.rdata', 'rodata'), ('.data', 'data'))


def kind_of(section):
    for prefix, kind in KINDS:
        if section.startswith(prefix):
            return kind
    return None


def contributions(lines):
    """(object, kind, size) for each input section in the memory map."""
    started = False
    pending = None  # a section name too long for its line; the rest follows
    for line in lines:
        if line.startswith('Linker script and memory map'):
            started = True
            continue
        if not started:
            continue
        m = re.match(r'^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$', line)
        if m:
            section, size, obj = m.group(1), int(m.group(2), 16), m.group(3)
        elif pending and (m := re.match(r'^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$', line)):
            section, size, obj = pending, int(m.group(1), 16), m.group(2)
        else:
            m = re.match(r'^ (\.\S+)$', line)
            pending = m.group(1) if m else None
            continue
        pending = None
        kind = kind_of(section)
        if kind and size:
            yield obj.strip(), kind, size


def short_name(obj):
    # ".../libstdc++.a(string-inst.o)" -> "libstdc++.a(string-inst.o)"
    return re.sub(r'^.*/', '', obj)


def main():
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    per_object = collections.defaultdict(collections.Counter)
    totals = collections.Counter()
    with open(path, errors='replace') as f:
        for obj, kind, size in contributions(f):
            per_object[short_name(obj)][kind] += size
            totals[kind] += size
    print('in the program: ' + ', '.join(f'{k} {totals[k]}' for _, k in KINDS))
    ranked = sorted(per_object.items(), key=lambda item: -sum(item[1].values()))
    for name, kinds in ranked[:count]:
        detail = ' '.join(f'{k}={kinds[k]}' for _, k in KINDS if kinds[k])
        print(f'{sum(kinds.values()):8d}  {name}  ({detail})')


if __name__ == '__main__':
    main()
