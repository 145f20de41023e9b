#!/bin/bash
# Makes DCL streams with node-pkware (an implementation we did not write) for
# the impborl.dll test: for every input NAME, NAME.in and NAME.MODE.dcl in all
# six modes (binary1024 ... ascii4096).
# Usage: make-pkware-streams.sh OUTPUT_DIR
set -euo pipefail
out=${1:?usage: make-pkware-streams.sh OUTPUT_DIR}
repo=$(cd "$(dirname "$0")/../../.." && pwd)
rm -rf "$out" && mkdir -p "$out" && cd "$out"
python3 - <<'PY'
import random
r = random.Random(8)
open('random.in', 'wb').write(bytes(r.getrandbits(8) for _ in range(65536)))
open('zeros.in', 'wb').write(bytes(100000))
# Many 9-byte repeats: the length whose code the codec once got wrong.
pieces = [bytes(r.getrandbits(8) for _ in range(9)) for _ in range(50)]
open('nines.in', 'wb').write(b''.join(r.choice(pieces) + bytes([r.getrandbits(8)]) for _ in range(3000)))
PY
head -c 60000 /usr/share/common-licenses/GPL-3 > text.in
head -c 65536 /usr/lib/i386-linux-gnu/wine/i386-windows/comctl32.dll > pe.in
for name in random zeros nines text pe; do
  for mode in binary ascii; do
    for dict in 1024 2048 4096; do
      echo "implode $mode $dict $out/$name.in $out/$name.$mode$dict.dcl"
    done
  done
done > jobs
node "$repo/tests/interop/pkware.mjs" jobs
if ls ./*.err >/dev/null 2>&1; then
  echo "make-pkware-streams: node-pkware failed:" >&2
  cat ./*.err >&2
  exit 1
fi
