#!/bin/bash
# Builds the web page, build/web/ssbuild.html: the builder core compiled with
# Emscripten (the `web` preset), then put into one self-contained HTML file.
# Needs the Win32 stub, library and sample screen saver first (the page
# carries them as ssbuild does); builds them when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${SSI_JOBS:-$(nproc)}
# Debian's Emscripten finds its JavaScript helpers (acorn) among Debian's
# Node.js modules, which a Node.js from elsewhere does not look at.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# SSI_DEMO_BUILD=DIR (run-demo.sh) builds into DIR/win32 and DIR/web instead.
root=${SSI_DEMO_BUILD:-$PWD/build}
if [ ! -f "$root/win32/src/install.exe" ] || [ ! -f "$root/win32/tools/impborl/impborl.dll" ] ||
   [ ! -f "$root/win32/tools/sample-saver/sample.scr" ]; then
  cmake --preset win32 -B "$root/win32" >/dev/null
  cmake --build "$root/win32" -j "$jobs" --target stub impborl sample_saver
fi
cmake --preset web -B "$root/web" -DSSI_WIN32_DIR="$root/win32" >/dev/null
cmake --build "$root/web" -j "$jobs" --target ssbuild_web
python3 web/assemble.py "$root/web/web/ssbuild_web.js" "$root/web/ssbuild.html"
