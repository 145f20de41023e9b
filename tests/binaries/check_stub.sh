#!/bin/bash
# Checks the shipped stub: its size stays within the bound (and prints where
# its bytes go), its PE header says terminal-server aware, its manifest names
# the supported systems, and it carries
# none of the test build's seams, which the test build must carry (so the
# look for them can find something).
# usage: check_stub.sh OBJDUMP STUB MAP TEST_STUB
set -uo pipefail
objdump=$1 stub=$2 map=$3 test_stub=$4
bound=98304  # 96 KiB
here=$(dirname "$0")
status=0

size=$(stat -c %s "$stub")
echo "install.exe: $size bytes (bound: at most $bound)"
python3 "$here/map_summary.py" "$map" 12
if [ "$size" -gt "$bound" ]; then
  echo "FAIL: install.exe is $size bytes, more than $bound"
  status=1
fi

# IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
flags=$("$objdump" -p "$stub" | sed -nE 's/^DllCharacteristics[[:space:]]+([0-9a-fA-F]+).*/\1/p')
if [ -z "$flags" ] || (( (16#$flags & 0x8000) == 0 )); then
  echo "FAIL: install.exe is not terminal-server aware (DllCharacteristics ${flags:-missing})"
  status=1
fi

for seam in SSI_PAUSE_MS SSI_SWITCH_OUT_OF_MEMORY g_setScreenSaverActive; do
  if grep -qa "$seam" "$stub"; then
    echo "FAIL: install.exe contains the test seam $seam"
    status=1
  fi
done
if ! grep -qa SSI_PAUSE_MS "$test_stub"; then
  echo "FAIL: the test build has no SSI_PAUSE_MS either: the look for it proves nothing"
  status=1
fi

# The manifest names every Windows from Vista to 10/11 as supported, so that
# none of them runs the installer in a compatibility mode.
for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
          4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
          8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  grep -qa "supportedOS Id=\"{$id}\"" "$stub" || { echo "FAIL: manifest lacks supportedOS $id"; status=1; }
done

[ "$status" -eq 0 ] && echo "install.exe: within the bound, terminal-server aware, supported systems named, no test seams"
exit "$status"
