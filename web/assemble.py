#!/usr/bin/env python3
"""Puts the page together into one self-contained HTML file: the page's own
markup, style and script, the worker, the builder core compiled to JavaScript
with its WebAssembly inside it, and the installer window's sizes and captions
read from the stub's own sources (src/app/form_layout.h, src/core/messages.h),
so the live preview follows the window as it is built.

    assemble.py MODULE.js OUT.html
"""
import json
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
web = root / "web"


def layout():
    text = (root / "src/app/form_layout.h").read_text()
    sizes = {}
    for name, *nums in re.findall(r"ControlBox (\w+)\{(-?\d+), (-?\d+), (-?\d+), (-?\d+)\}", text):
        sizes[name] = [int(n) for n in nums]
    for name, a, b in re.findall(r"SIZE (\w+)\{(\d+), (\d+)\}", text):
        sizes[name] = [int(a), int(b)]
    for name, value in re.findall(r"\bint (\w+) = (-?\d+);", text):
        sizes[name] = int(value)
    wanted = ["contentPanel", "bmpPanel", "licenseScrollBox", "buttonPanel", "progressBar",
              "declineBtn", "installBtn", "arrangedWidth", "licenceHeight", "licenceMinHeight",
              "licenceGapAbove", "licenceGapBelow", "licenceFitMargin"]
    missing = [w for w in wanted if w not in sizes]
    if missing:
        sys.exit("assemble.py: form_layout.h no longer says " + ", ".join(missing))
    messages = (root / "src/core/messages.h").read_text()
    captions = dict(re.findall(r'constexpr const char\* (k\w+) = "([^"]*)";', messages))
    words = ["kApplicationTitle", "kAcceptAndInstallCaption", "kInstallCaptionPlain",
             "kDeclineCaption"]
    return {"layout": sizes, "text": {w: captions[w] for w in words}}


def inline_script(text):
    # Inside <script> nothing may close the element early.
    return text.replace("</script", "<\\/script").replace("<!--", "<\\!--")


def main():
    module, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    page = (web / "page.html").read_text()
    parts = {
        "/*@STYLE@*/": (web / "page.css").read_text(),
        "/*@MODULE@*/": inline_script(module.read_text()),
        "/*@WORKER@*/": inline_script((web / "worker.js").read_text()),
        "/*@LAYOUT@*/": json.dumps(layout()),
        "/*@PAGE@*/": inline_script((web / "page.js").read_text()),
    }
    for mark, text in parts.items():
        if page.count(mark) != 1:
            sys.exit("assemble.py: page.html should hold " + mark + " once")
        page = page.replace(mark, text)
    out.write_text(page)
    print(f"{out}: {out.stat().st_size} bytes")


main()
