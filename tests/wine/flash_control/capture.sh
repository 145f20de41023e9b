#!/bin/bash
# A picture of a corpus movie that a Wine test saved (the control drawn
# through IViewObject2, or the installer's panel on screen) against
# `ssbuild render --size 350x150` of the same movie, judged by the corpus's
# compare-frames.py.
#   capture.sh RUN_WINE_TEST TESTS.exe GTEST_FILTER SSBUILD.exe CORPUS_DIR CASE OUT_DIR
set -euo pipefail
run=$1 tests=$2 filter=$3 ssbuild=$4 corpus=$5 case=$6 out=$7
mkdir -p "$out"
movie=$corpus/$case/movie.swf
rm -f "$out/captured.png" "$out/render.png"
SSI_CAPTURE_MOVIE=$movie SSI_CAPTURE_OUT=$out/captured.png \
  "$run" "$tests" "--gtest_filter=$filter"
"$run" "$ssbuild" render "Z:${movie//\//\\}" --size 350x150 -o "Z:${out//\//\\}\\render.png"
python3 "$corpus/compare-frames.py" "$out/render.png" "$out/captured.png"
