#!/bin/bash
# Links that a Wine program cannot make (Wine 8 has no junctions), made in
# the test's prefix before Wine starts; Wine shows a Unix symbolic link to a
# folder as a folder with the reparse-point attribute.
#   prepare-links.sh PREFIX
set -eu
c=${1:?usage: prepare-links.sh PREFIX}/drive_c
mkdir -p "$c/ssi-link-target" "$c/ssi-inner-target" "$c/windows/inner dir"
echo keep >"$c/ssi-link-target/keep.txt"
echo keep >"$c/ssi-inner-target/keep.txt"
ln -sfn "$c/ssi-link-target" "$c/windows/linked dir"
echo plain >"$c/windows/inner dir/plain.txt"
ln -sfn "$c/ssi-inner-target" "$c/windows/inner dir/outside"
