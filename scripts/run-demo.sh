#!/bin/bash
# The README's demo command: installs what the demo needs (install-deps.sh
# demo), builds the parts that scripts/demo-parts.txt lists, and only those,
# into the presets' folders build/win32 and build/release (configured without
# the tests: -DSSI_TESTS=OFF; scripts/run-tests.sh turns them on again), then
# runs scripts/demo.sh; then builds the builder's web page and drives it once
# in Chromium (web/test/demo.mjs). SSI_DEMO_BUILD=DIR builds into DIR/win32 and
# DIR/release instead (CI uses a fresh one).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/utf8-locale.sh
demo_build=${SSI_DEMO_BUILD:-$root/build}
export SSI_DEMO_BUILD=$demo_build
jobs=$(nproc)
started=$SECONDS
step_started=$SECONDS
step() {
  step_started=$SECONDS
  echo "run-demo: [$1/5] $2"
}
done_step() { echo "run-demo:       done in $((SECONDS - step_started)) s"; }
# A step whose output goes to a log says every 30 s how long it has run and
# how far the build in the log is (CMake's "[ 45%]"), so that no step is
# silent for minutes. The sleep is ended with the ticker: left over, it would
# hold a pipe the demo's output goes into open for up to 30 s.
ticker=""
start_ticker() {  # start_ticker LOG
  (
    trap 'kill "$nap" 2>/dev/null; exit 0' TERM
    while :; do
      sleep 30 &
      nap=$!
      wait "$nap"
      at=$(grep -aoE '^\[ *[0-9]+%\]' "$1" 2>/dev/null | tail -n 1 | tr -d '[] ')
      echo "run-demo:       ... $((SECONDS - step_started)) s${at:+, the build at $at}"
    done
  ) &
  ticker=$!
}
stop_ticker() {
  [ -n "$ticker" ] || return 0
  kill "$ticker" 2>/dev/null || true
  wait "$ticker" 2>/dev/null || true
  ticker=""
}
trap stop_ticker EXIT
die() {
  echo "run-demo: $*" >&2
  exit 1
}

# The estimates below are those the README's table gives; install-deps.sh
# counts what is missing on this machine and says how long that takes.
step 1 "the demo's Debian packages and puppeteer-core (on a fresh Debian 12: about 720 packages, 760 MB download, 5 to 15 min)"
# install-deps.sh names the failing step and its cause itself.
bash scripts/install-deps.sh demo ||
  die "step 1 failed (above: which part and why); once that is fixed, run bash scripts/run-demo.sh again"
done_step

# Targets and files per preset, from the one list the demo reads too.
declare -A targets
while read -r var preset target file; do
  case $var in '' | '#'*) continue ;; esac
  targets[$preset]+="$target "
done <scripts/demo-parts.txt

build() {  # build PRESET [CMAKE OPTIONS]: configure and build the preset's demo targets
  local preset=$1 dir=$demo_build/$1 log
  shift
  log=$demo_build/$preset.log
  mkdir -p "$demo_build"
  : >"$log"
  start_ticker "$log"
  # shellcheck disable=SC2086
  if ! { cmake --preset "$preset" -B "$dir" -DSSI_TESTS=OFF "$@" &&
    cmake --build "$dir" -j "$jobs" --target ${targets[$preset]}; } >"$log" 2>&1; then
    stop_ticker
    grep -E 'error|Error|CMake Error' "$log" | head -n 20 >&2 || tail -n 20 "$log" >&2
    die "building the $preset parts failed (all of it in $log); once the cause is fixed, run bash scripts/run-demo.sh again"
  fi
  stop_ticker
}

step 2 "building the Windows parts with mingw-w64: ${targets[win32]}(the first time 3 to 10 min on 2 cores)"
build win32
done_step
step 3 "building the builder ssbuild, carrying the stub, impborl.dll and sample.scr (the first time 2 to 10 min)"
build release -DSSI_WIN32_DIR="$demo_build/win32"
done_step

# Every file the list names must now be there: a wrong line in the list
# shows here, not as a missing file in the middle of the demo.
while read -r var preset target file; do
  case $var in '' | '#'*) continue ;; esac
  [ -f "$demo_build/$preset/$file" ] ||
    die "the $preset target $target built, but not $demo_build/$preset/$file: scripts/demo-parts.txt names the wrong file"
done <scripts/demo-parts.txt

step 4 "the demo: two installers built and run under Wine on a virtual display (1 to 3 min)"
status=0
bash scripts/demo.sh || status=$?
done_step

step 5 "the builder's web page: compiled with Emscripten, then driven once in Chromium (the first time 3 to 10 min)"
web_log=$demo_build/web.log
: >"$web_log"
start_ticker "$web_log"
web_status=0
bash scripts/build-web.sh >"$web_log" 2>&1 || web_status=$?
stop_ticker
if [ "$web_status" -ne 0 ]; then
  grep -E 'error|Error' "$web_log" | head -n 20 >&2 || tail -n 20 "$web_log" >&2
  echo "run-demo: building the web page failed (all of it in $web_log)" >&2
  status=1
elif ! node web/test/demo.mjs "$demo_build/web/ssbuild.html" "${SSI_DEMO_DIR:-build/demo}/web"; then
  echo "run-demo: the web page did not build an installer in Chromium (above: why)" >&2
  status=1
fi
done_step
echo "run-demo: $((SECONDS - started)) s in all; the screenshots and installers are in ${SSI_DEMO_DIR:-build/demo}"
exit "$status"
