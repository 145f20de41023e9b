#!/usr/bin/env python3
"""Fails when a Windows program or DLL imports something that Windows XP SP3
lacks: a function named in the list (newer_than_xp.txt) or any api-ms-win-*
DLL. Reads the import tables as `objdump -p` prints them.

usage: check_imports.py OBJDUMP LIST BINARY..."""
import os
import re
import subprocess
import sys


def read_list(path):
    newer = set()
    with open(path) as f:
        for line in f:
            line = line.split('#', 1)[0].strip()
            if line:
                dll, function = line.split()
                newer.add((dll.lower(), function.lower()))
    return newer


def imports(objdump, binary):
    """{dll: [function or '#ordinal', ...]} from the binary's import tables."""
    out = subprocess.run([objdump, '-p', binary], check=True, capture_output=True,
                         text=True).stdout
    table = {}
    dll = None
    for line in out.splitlines():
        m = re.match(r'^\s*DLL Name: (\S+)', line)
        if m:
            dll = m.group(1).lower()
            table.setdefault(dll, [])
            continue
        if dll is None:
            continue
        m = re.match(r'^\t[0-9a-f]+\t\s*(\d+)\s+(\S+)', line)
        if m:
            table[dll].append(m.group(2))
            continue
        m = re.match(r'^\t[0-9a-f]+\t\s*<none>\s+(\S+)', line)  # by ordinal
        if m:
            table[dll].append('#' + m.group(1))
            continue
        if not line.strip() or line.startswith('The '):
            dll = None if line.startswith('The ') else dll
    return table


def main():
    objdump, list_path, binaries = sys.argv[1], sys.argv[2], sys.argv[3:]
    newer = read_list(list_path)
    failed = False
    for binary in binaries:
        table = imports(objdump, binary)
        name = os.path.basename(binary)
        count = sum(len(f) for f in table.values())
        print(f'{name}: {count} imports from ' + ', '.join(sorted(table)))
        if count == 0:
            print(f'  {name}: no imports found (is it a PE file, or did objdump change?)')
            failed = True
        for dll, functions in sorted(table.items()):
            if dll.startswith('api-ms-win-') or dll.startswith('ext-ms-win-'):
                print(f'  {name}: imports from {dll}, which no Windows before 7 has')
                failed = True
            for function in functions:
                if (dll, function.lower()) in newer:
                    print(f'  {name}: imports {dll} {function}, which Windows XP lacks')
                    failed = True
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
