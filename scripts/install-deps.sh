#!/bin/bash
# Installs, as root, what a fresh Debian 12 machine needs:
#   install-deps.sh demo    what scripts/run-demo.sh needs: the compilers for
#                           the builder and the Windows programs, Wine, Xvfb,
#                           ImageMagick, and for the builder's web page
#                           Emscripten, Chromium and puppeteer-core (pinned in
#                           web/test/package-lock.json, npm ci; it drives
#                           Debian's Chromium and never downloads a browser)
#   install-deps.sh tests   (the default) all that and what the tests need
#                           (clang, GoogleTest, the DCL oracles libdynamite, the
#                           classic implementation in libstorm9, and node-pkware,
#                           pinned in tests/interop/package-lock.json and
#                           installed with npm ci, osslsigncode)
# Prints one line a step, with roughly how long it takes; does nothing when all
# is there already.
set -euo pipefail
cd "$(dirname "$0")/.."
set_name=${1:-tests}

# The demo's set: build the native builder and the Win32 programs, run them
# under Wine on a virtual display, draw and capture pictures. fonts-wine,
# only recommended by Wine, holds the Tahoma and Marlett the screenshots need.
demo_packages=(cmake make g++ g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb imagemagick
               python3 emscripten node-acorn chromium unzip nodejs libstb-dev)
# What the tests add: the fuzzing compiler and its runtime, GoogleTest's
# sources, the independent DCL readers, code signing, zlib (the oracle our own
# inflate is tested against), and tools the scripts use.
test_packages=(clang libclang-rt-14-dev googletest python3 xauth procps
               osslsigncode openssl libdynamite-dev dynamite libstorm9 icoutils python3-pefile
               zlib1g-dev)
# The demo takes no recommended packages (Wine's recommend sound, printing,
# scanning and media stacks); the tests take them, as the machines they were
# written on have them.
apt_options=()
case $set_name in
  demo)
    packages=("${demo_packages[@]}")
    apt_options=(--no-install-recommends)
    ;;
  tests) packages=("${demo_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: install-deps.sh [demo|tests]" >&2
    exit 2
    ;;
esac

say() { echo "install-deps: $*"; }
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# Debian's npm; a Node.js from elsewhere brings its own, which the package
# would conflict with.
command -v npm >/dev/null || missing+=(npm)

if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    say "these Debian packages are missing: ${missing[*]}" >&2
    say "run this script as root (sudo bash $0 $set_name): it installs them with apt-get" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture to dpkg (Wine's 32-bit half, wine32:i386)"
    dpkg --add-architecture i386
  fi
  say "apt-get update: reading the package lists (about 30 s)"
  apt-get update -qq
  # What apt would do, without doing it: the count and the sizes.
  plan=$(apt-get install --assume-no "${apt_options[@]}" "${missing[@]}" 2>/dev/null || true)
  count=$(sed -nE 's/.* ([0-9]+) newly installed.*/\1/p' <<<"$plan")
  download=$(sed -nE 's/^Need to get ([^ ]+ [^ ]+) of archives.*/\1/p' <<<"$plan")
  size=$(sed -nE 's/^After this operation, (.*) of additional disk space will be used\.$/\1/p' <<<"$plan")
  # run-demo.sh announces the demo's step with the same range.
  if [ "$set_name" = demo ]; then estimate="5 to 15 minutes"; else estimate="6 to 25 minutes"; fi
  say "apt-get install: ${missing[*]}"
  say "  that is ${count:-?} packages with what they need: ${download:-?} to download, ${size:-?} on disk; $estimate"
  log=$(mktemp /tmp/install-deps.XXXXXX)
  # A line every 30 s: how many of the packages are unpacked and set up.
  (
    while sleep 30; do
      say "  ... $(grep -c '^Get:' "$log" || true) files downloaded; of ${count:-?} packages $(grep -c '^Unpacking ' "$log" || true) unpacked, $(grep -c '^Setting up ' "$log" || true) set up"
    done
  ) &
  ticker=$!
  status=0
  apt-get install -y -q -o Dpkg::Use-Pty=0 "${apt_options[@]}" "${missing[@]}" >"$log" 2>&1 || status=$?
  kill "$ticker" 2>/dev/null || true
  wait "$ticker" 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    tail -n 20 "$log" >&2
    say "apt-get install failed (above: the end of its output, all of it in $log)" >&2
    exit 1
  fi
  rm -f "$log"
  say "installed $count packages"
fi

# npm_ci DIR WHAT: npm ci in DIR from the registry npm is set to, with a line
# every 30 s; on failure it names the step and npm's first error line.
npm_ci() {
  local dir=$1 what=$2 registry log status=0 ticker started=$SECONDS first
  registry=$(cd "$dir" && npm config get registry 2>/dev/null) || registry="the npm registry"
  say "npm ci in $dir: $what, from $registry (about 10 s)"
  log=$(mktemp /tmp/install-deps-npm.XXXXXX)
  (
    while sleep 30; do say "  ... npm ci in $dir: $((SECONDS - started)) s, still fetching"; done
  ) &
  ticker=$!
  # One retry, not npm's two with back-off: an unreachable registry is
  # reported in about half a minute rather than two.
  (cd "$dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error \
    --fetch-retries=1) >"$log" 2>&1 || status=$?
  kill "$ticker" 2>/dev/null || true
  wait "$ticker" 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    # npm 9 starts its lines "npm ERR!", later ones "npm error"; the first
    # line that is not a bare code names the cause.
    first=$(sed -nE 's/^npm (ERR!|error) +//p' "$log" | grep -vE '^(code|errno|syscall) ' | head -n 1) || true
    say "npm ci in $dir failed: ${first:-$(head -n 1 "$log")}" >&2
    say "this step needs the npm registry, $registry. Behind a proxy: npm config set proxy URL" \
      "(and https-proxy); a proxy that shows its own certificate: npm config set cafile FILE.pem." \
      "All of npm's output: $log" >&2
    exit 3
  fi
  rm -f "$log"
}

# The independent DCL implementation the interop tests run as an oracle.
if [ "$set_name" = tests ] &&
  ! grep -qs '"version": "5.1.0"' tests/interop/node_modules/node-pkware/package.json; then
  npm_ci tests/interop "node-pkware, the DCL oracle"
fi
# The web page's browser tests, benchmark and demo drive: puppeteer-core.
if ! grep -qs '"version": "24.10.0"' web/test/node_modules/puppeteer-core/package.json; then
  npm_ci web/test "puppeteer-core, which drives Debian's Chromium"
fi
exit 0
