#!/bin/bash
# Runs every libFuzzer target for DURATION_SECONDS on a copy of its seed
# corpus, one after the other. Builds nothing and writes nothing into the
# repository.
# Usage: run-fuzzers.sh DURATION_SECONDS [BUILD_DIR]   (BUILD_DIR default: build/fuzz)
set -u
duration=${1:?usage: run-fuzzers.sh DURATION_SECONDS [BUILD_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${2:-${FUZZ_BUILD_DIR:-$repo/build/fuzz}}
work=$(mktemp -d "${TMPDIR:-/tmp}/ssi-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The targets: every seed folder corpus/<target>/, and every built *_fuzzer
# (one without seeds starts from nothing).
targets=$( { for seeds in "$here"/corpus/*/; do basename "$seeds"; done
             find "$build" -type f -name '*_fuzzer' -perm -u+x -printf '%f\n' 2>/dev/null; } | sort -u)

status=0
ran=0
for target in $targets; do
  exe=$(find "$build" -type f -name "$target" -perm -u+x 2>/dev/null | head -n 1)
  if [ -z "$exe" ]; then
    echo "run-fuzzers: $target is not built in $build" >&2
    status=1
    continue
  fi
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  [ -d "$here/corpus/$target" ] && cp "$here/corpus/$target/"* "$work/$target/corpus/"
  echo "== $target for ${duration}s"
  "$exe" -max_total_time="$duration" -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
    "$work/$target/corpus" > "$work/$target/log" 2>&1
  rc=$?
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target/log"
  ran=$((ran + 1))
  if [ $rc -ne 0 ]; then
    echo "run-fuzzers: $target FOUND A FAILURE (exit $rc):" >&2
    tail -n 60 "$work/$target/log" >&2
    for a in "$work/$target/artifacts"/*; do
      [ -e "$a" ] && { echo "reproducer (hex):" >&2; od -An -tx1 "$a" | head -n 20 >&2; }
    done
    status=1
  fi
done
[ $ran -eq 0 ] && { echo "run-fuzzers: no fuzz target found in $build" >&2; exit 1; }
exit $status
