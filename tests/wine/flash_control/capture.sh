#!/bin/bash
# The control's picture of a corpus movie against `ssbuild render --size` of
# the same movie, judged by the corpus's compare-frames.py.
#   capture.sh RUN_WINE_TEST TESTS.exe SSBUILD.exe CORPUS_DIR CASE OUT_DIR
set -euo pipefail
run=$1 tests=$2 ssbuild=$3 corpus=$4 case=$5 out=$6
mkdir -p "$out"
movie=$corpus/$case/movie.swf
SSI_CAPTURE_MOVIE=$movie SSI_CAPTURE_OUT=$out/control.png \
  "$run" "$tests" --gtest_filter=Capture.*
"$run" "$ssbuild" render "Z:${movie//\//\\}" --size 350x150 -o "Z:${out//\//\\}\\render.png"
python3 "$corpus/compare-frames.py" "$out/render.png" "$out/control.png"
