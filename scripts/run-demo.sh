#!/bin/bash
# Builds everything and runs the main job: builds a sample screen saver
# installer with our builder and runs it under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake --preset release >/dev/null && cmake --build --preset release -j "$jobs"
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j "$jobs"
bash scripts/demo.sh
