#!/bin/bash
# Peak memory of `ssbuild build` for a data file with one 192 MB picture
# chunk (a 24-bit BMP of 8192 x 8192 pixels, a gradient that implodes well),
# as the builder's -v reports it. A figure to read, not a test.
#   bench/chunk-memory.sh SSBUILD [MB]
set -euo pipefail
ssbuild=$(realpath "$1")
mb=${2:-192}
work=$(mktemp -d /tmp/ssi-chunk-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$ssbuild" init ex -q
python3 - "$mb" <<'PY'
import struct, sys
side = 8192 if int(sys.argv[1]) == 192 else int((int(sys.argv[1]) * 2**20 / 3) ** 0.5) // 4 * 4
row = bytes((x * 255 // side) % 256 for x in range(side * 3))
with open("ex/pictures/big.bmp", "wb") as f:
    size = 54 + len(row) * side
    f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, len(row) * side, 3780, 3780, 0, 0))
    for y in range(side):
        f.write(row[y % 3:] + row[:y % 3])
PY
printf '\n[chunk]\nfile = pictures/big.bmp\n' >>ex/project.ini
size=$(stat -c %s ex/pictures/big.bmp)
start=$(date +%s.%N)
"$ssbuild" build ex/project.ini -v 2>steps.txt >/dev/null
end=$(date +%s.%N)
peak=$(sed -n 's/.*peak memory \([0-9]*\) KiB.*/\1/p' steps.txt)
printf 'ssbuild build, one %d-byte picture chunk: peak memory %d KiB (%.1f MB), %.1f s, installer %d bytes\n' \
  "$size" "$peak" "$(echo "$peak / 1024" | bc -l)" "$(echo "$end - $start" | bc -l)" \
  "$(stat -c %s ex/sample-setup.exe)"
