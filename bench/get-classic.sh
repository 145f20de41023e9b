#!/bin/bash
# Fetches the classic DCL implementation as a same-run reference for dcl_bench:
# Debian's libstorm9 exports it as `implode` and `explode` (its sizes equal
# ../shared/bench-corpus/classic-sizes.txt). The 64-bit and the i386 packages
# share a path, so each is unpacked into a folder of its own rather than
# installed. Also installs what the 32-bit benchmark build needs. As root.
#   bench/get-classic.sh [DIR]   (default build/classic; then DIR/amd64/... and DIR/i386/...)
set -euo pipefail
dir=$(realpath -m "${1:-build/classic}")
dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386 && apt-get update -qq; }
apt-get install -y -qq --no-install-recommends g++-multilib \
  libbz2-1.0 zlib1g libtomcrypt1 libtommath1 \
  libbz2-1.0:i386 zlib1g:i386 libtomcrypt1:i386 libtommath1:i386 >/dev/null
mkdir -p "$dir"
cd "$dir"
apt-get download -qq libstorm9:amd64 libstorm9:i386 2>/dev/null  # (a warning that _apt cannot write here)
for arch in amd64 i386; do
  rm -rf "$arch"
  dpkg -x libstorm9_*_"$arch".deb "$arch"
done
rm -f libstorm9_*.deb
echo "classic library: $dir/amd64/usr/lib/libstorm.so.9 (native), $dir/i386/usr/lib/libstorm.so.9 (32-bit)"
