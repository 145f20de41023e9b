#!/bin/bash
# Builds what the demo needs and runs the main job: builds a sample screen
# saver installer with our builder and runs it under Wine on a virtual display.
# Only the programs the demo uses are built, not the tests: the stub, the
# library, the sample screen saver, the window driver and the stand-in Flash
# installer for Win32, then the native builder (which then carries the stub).
# Then the builder's web page: built, driven once in Chromium, its screenshot
# saved in build/demo/web.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake --preset win32 >/dev/null &&
  cmake --build --preset win32 -j "$jobs" --target stub impborl sample_saver ssdriver flash_standin_installer
cmake --preset release >/dev/null && cmake --build --preset release -j "$jobs" --target ssbuild
bash scripts/demo.sh
bash scripts/build-web.sh
node web/test/demo.mjs build/web/ssbuild.html build/demo/web
