#!/bin/bash
# Installs, as root with apt-get, everything the build, the tests and the demo
# need on a fresh Debian 12 machine. Does nothing when all is there already.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev googletest python3
          g++-mingw-w64-i686 wine wine32:i386 xvfb xauth imagemagick procps
          osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get install is needed)" >&2
  exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
