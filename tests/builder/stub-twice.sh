#!/bin/bash
# Builds the stub and ssbuild.exe a second time, in a build tree at another
# path, and compares them byte for byte with the ones of the main build: the
# same commit must give the same binaries wherever it is built.
#   stub-twice.sh SOURCE_DIR STUB SSBUILD_EXE
set -euo pipefail
source_dir=$1 stub=$2 ssbuild=$3
other=$(mktemp -d /tmp/ssi-reproducible.XXXXXX)
trap 'rm -rf "$other"' EXIT
cmake -S "$source_dir" -B "$other/tree" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build "$other/tree" -j2 --target stub ssbuild >/dev/null
status=0
for pair in "$stub:$other/tree/src/install.exe" "$ssbuild:$other/tree/tools/ssbuild/ssbuild.exe"; do
  first=${pair%%:*} second=${pair#*:}
  if cmp -s "$first" "$second"; then
    echo "same bytes: $(basename "$first") ($(stat -c %s "$first") bytes)"
  else
    echo "DIFFERENT: $first and $second" >&2
    cmp -l "$first" "$second" | head -5 >&2
    status=1
  fi
done
exit $status
