#!/bin/bash
# Installs, as root with apt-get, everything the build, the tests and the demo
# need on a fresh Debian 12 machine, then node-pkware (pinned in
# tests/interop/package-lock.json) and puppeteer-core (pinned in
# web/test/package-lock.json; it drives Debian's chromium and never downloads
# a browser) with npm ci. Does nothing when all is there already.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake make g++ clang libclang-rt-14-dev googletest python3
          g++-mingw-w64-i686 wine wine32:i386 xvfb xauth imagemagick procps
          osslsigncode openssl nodejs libdynamite-dev dynamite
          emscripten node-acorn chromium unzip)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# Debian's npm; a Node.js from elsewhere brings its own, which the package
# would conflict with.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (apt-get install is needed)" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# The independent DCL implementation the interop tests run as an oracle.
if ! grep -qs '"version": "5.1.0"' tests/interop/node_modules/node-pkware/package.json; then
  echo "install-deps: npm ci in tests/interop"
  (cd tests/interop && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
# The web page's browser tests and benchmark.
if ! grep -qs '"version": "24.10.0"' web/test/node_modules/puppeteer-core/package.json; then
  echo "install-deps: npm ci in web/test"
  (cd web/test && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
