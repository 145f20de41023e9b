#!/usr/bin/python3
"""The author's icon and version record in the installer, read back by readers
we did not write: icoutils' wrestool (lists the resources, rebuilds the icon
file from the icon group) and python3-pefile (the version record, the section
table, the data directories and the checksum). One table of projects; each
row says which [installer] keys it adds and what the readers must find.

    stub_resources_test.py SSBUILD CARRIED_STUB
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import pefile

ssbuild, carried_stub = os.path.abspath(sys.argv[1]), sys.argv[2]
work = tempfile.mkdtemp(prefix="ssi-stub-resources.")
failures = 0


def check(what, ok, detail=""):
    global failures
    print(("ok: " if ok else "FAILED: ") + what + ("" if ok else " " + str(detail)))
    failures += 0 if ok else 1


def run(*args):
    return subprocess.run(args, cwd=work, capture_output=True, text=True)


def build(keys, out):
    with open(os.path.join(work, "ex", "project.ini"), encoding="utf-8") as f:
        text = f.read()
    text = text.replace("[files]", keys + "\n[files]", 1)
    with open(os.path.join(work, "ex", "p.ini"), "w", encoding="utf-8") as f:
        f.write(text)
    return run(ssbuild, "build", "ex/p.ini", "-o", out, "-q")


run(ssbuild, "init", "ex")
subprocess.run(["convert", "-size", "16x16", "xc:red", "(", "-size", "32x32", "xc:lime", ")",
                "(", "-size", "48x48", "xc:blue", ")", os.path.join(work, "ex", "own.ico")],
               check=True)
with open(carried_stub, "rb") as f:
    stub = f.read()

ROWS = [
    # name, keys, strings the version record must hold (None: the stub's own record), icon
    ("nothing", "", None, False),
    ("icon only", "icon = own.ico", None, True),
    ("version only", "product = Meadow\nversion = 1.2", {
        "ProductName": "Meadow", "FileDescription": "Meadow Setup", "FileVersion": "1.2",
        "ProductVersion": "1.2"}, False),
    ("everything, accented", "icon = own.ico\nproduct = Café Lumière\npublisher = Zoë Müller\n"
     "version = 3.4.5.6 beta\ncopyright = © 2026 Zoë Müller\ndescription = Lumière's installer", {
         "ProductName": "Café Lumière", "CompanyName": "Zoë Müller",
         "FileVersion": "3.4.5.6 beta", "ProductVersion": "3.4.5.6 beta",
         "LegalCopyright": "© 2026 Zoë Müller", "FileDescription": "Lumière's installer"}, True),
]

for name, keys, strings, icon in ROWS:
    out = os.path.join(work, "out.exe")
    result = build(keys, out)
    check(name + ": builds", result.returncode == 0, result.stderr)
    if result.returncode:
        continue
    with open(out, "rb") as f:
        image = f.read()
    pe = pefile.PE(out)
    stub_size = pe.sections[-1].PointerToRawData + pe.sections[-1].SizeOfRawData
    listing = run("wrestool", "-l", out).stdout
    if strings is None and not icon:
        diff = [i for i in range(len(stub)) if stub[i] != image[i]]
        check(name + ": the stub is as carried but for the stamped offset",
              len(diff) <= 4 and all(d >= diff[0] and d < diff[0] + 4 for d in diff), diff[:8])
        continue
    check(name + ": pefile reads it without warnings", not pe.get_warnings(), pe.get_warnings())
    alone = pefile.PE(data=image[:stub_size])
    check(name + ": the checksum is the stub's", alone.verify_checksum(),
          (hex(alone.OPTIONAL_HEADER.CheckSum), hex(alone.generate_checksum())))
    last = pe.sections[-1]
    align = pe.OPTIONAL_HEADER.SectionAlignment
    check(name + ": the image size ends with the last section",
          pe.OPTIONAL_HEADER.SizeOfImage ==
          (last.VirtualAddress + last.Misc_VirtualSize + align - 1) // align * align)
    for before, after in zip(pe.sections, pe.sections[1:]):
        check(name + ": " + after.Name.rstrip(b"\0").decode() + " follows without overlap",
              before.VirtualAddress + before.Misc_VirtualSize <= after.VirtualAddress and
              (not after.SizeOfRawData or
               before.PointerToRawData + before.SizeOfRawData <= after.PointerToRawData))
    rsrc = [s for s in pe.sections if s.Name.startswith(b".rsrc")][0]
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    check(name + ": the resource directory is the section",
          directory[2].VirtualAddress == rsrc.VirtualAddress and
          directory[2].Size == rsrc.Misc_VirtualSize)
    reloc = [s for s in pe.sections if s.Name.startswith(b".reloc")][0]
    check(name + ": the relocations' directory moved with them",
          directory[5].VirtualAddress == reloc.VirtualAddress and
          reloc.get_data()[:directory[5].Size] == pe.get_data(directory[5].VirtualAddress,
                                                              directory[5].Size))
    check(name + ": the manifest stays", "--type=24 --name=1" in listing, listing)
    found = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            found.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if strings is None:
        check(name + ": the stub's own version record", found.get("FileDescription") ==
              "Screen Saver Installer", found)
    else:
        check(name + ": the version record's texts", found == strings, found)
        fixed = pe.VS_FIXEDFILEINFO[0]
        numbers = [int(x) for x in strings["FileVersion"].split(" ")[0].split(".")]
        numbers += [0] * (4 - len(numbers))
        check(name + ": the fixed version numbers",
              [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF] == numbers)
    if icon:
        check(name + ": wrestool lists one icon group and three icons",
              listing.count("type=group_icon") == 1 and listing.count("type=icon ") == 3, listing)
        rebuilt = run("wrestool", "-x", "--type=group_icon", "-o", "rebuilt.ico", out)
        with open(os.path.join(work, "ex", "own.ico"), "rb") as f:
            original = f.read()
        with open(os.path.join(work, "rebuilt.ico"), "rb") as f:
            again = f.read()
        # wrestool pads what it rebuilds with zeros (it does so for windres's
        # programs too); the icon file is what precedes them.
        check(name + ": wrestool rebuilds the author's icon file byte for byte",
              rebuilt.returncode == 0 and again[:len(original)] == original and
              not any(again[len(original):]))
    # The same project twice: the same bytes.
    build(keys, os.path.join(work, "again.exe"))
    with open(os.path.join(work, "again.exe"), "rb") as f:
        check(name + ": reproducible", f.read() == image)

# Mistakes: the project line and what is wrong.
with open(os.path.join(work, "ex", "project.ini"), encoding="utf-8") as f:
    line = f.read().split("\n").index("[files]") + 1  # where build() puts the key
for keys, message in [
        ("icon = readme.txt", "icon: " + os.path.join(work, "ex", "readme.txt") +
         ": not an icon file"),
        ("icon = missing.ico", "icon: " + os.path.join(work, "ex", "missing.ico") +
         ": cannot open"),
        ("version = one", "version = one: expected up to four numbers"),
        ("version = 1.70000", "version = 1.70000: expected up to four numbers")]:
    result = build(keys, os.path.join(work, "bad.exe"))
    check("refused: " + keys, result.returncode == 2 and
          "p.ini:%d: %s" % (line, message) in result.stderr and
          not os.path.exists(os.path.join(work, "bad.exe")), result.stderr)

shutil.rmtree(work)
sys.exit(1 if failures else 0)
