#!/bin/bash
# The stub allocates thrown exceptions itself (src/app/lean_runtime.cpp) and
# puts the C++ runtime's header in front of each; its size there must be the
# one the toolchain's runtime uses, which its own __cxa_allocate_exception
# adds to the object's size (the first `lea 0xNN(...)` in it). A mismatch
# would let the runtime write outside the block, silently.
# usage: check_exception_header.sh OBJDUMP CXX LEAN_RUNTIME_CPP
set -uo pipefail
objdump=$1 cxx=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
library=$("$cxx" -print-file-name=libstdc++.a)
(cd "$work" && ar x "$library" eh_alloc.o) || { echo "FAIL: no eh_alloc.o in $library"; exit 1; }
theirs=$("$objdump" -d --no-show-raw-insn "$work/eh_alloc.o" |
  awk '/<_*cxa_allocate_exception>:/ {f = 1; next} f && /^$/ {exit} f && /lea +0x[0-9a-f]+\(/ {print; exit}' |
  sed -nE 's/.*lea +(0x[0-9a-f]+)\(.*/\1/p')
ours=$(sed -nE 's/.*kExceptionHeader = ([0-9]+);.*/\1/p' "$source")
if [ -z "$theirs" ] || [ -z "$ours" ]; then
  echo "FAIL: header size not found (runtime: '${theirs}', ours: '${ours}')"
  exit 1
fi
echo "exception header: runtime $((theirs)) bytes, stub $ours bytes"
if [ "$((theirs))" -ne "$ours" ]; then
  echo "FAIL: the stub's exception header ($ours) is not the runtime's ($((theirs)))"
  exit 1
fi
