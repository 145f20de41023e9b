#!/bin/bash
# Writes the seed files of installer_fuzzer, datafile_fuzzer,
# payload_header_fuzzer and show_layout_fuzzer into corpus/ with a native
# ssbuild. The seeds are committed; run this again only when the formats change.
# Usage: make-seeds.sh SSBUILD   (e.g. build/native/tools/ssbuild/ssbuild)
set -eu
ssbuild=$(realpath "${1:?usage: make-seeds.sh SSBUILD}")
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ssi-seeds.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# A fake stub of 300 bytes: filler around the payload offset field (the
# marker "SSI-PAYLOAD-AT:~" and a zero offset).
{ printf 'MZ fake stub %.0s' {1..10}; printf 'SSI-PAYLOAD-AT:~\0\0\0\0'; } > stub.head
head -c 300 /dev/zero | tr '\0' 'x' > stub.fill
cat stub.head stub.fill | head -c 300 > stub.exe

printf 'impborl stand-in\n' > impborl.dat
printf 'saver program %.0s' {1..20} > meadow.scr
printf 'further file\n' > further.txt
printf 'support one\n' > support1.dll
printf 'support two %.0s' {1..12} > support2.dll
printf 'BM tiny preview %.0s' {1..8} > preview.bmp
printf 'licence text: use it kindly.\n%.0s' {1..6} > licence.txt
printf 'movie bytes %.0s' {1..30} > movie.swf
printf 'plain' > plain.txt
head -c 1220 /dev/zero > settings.bin

mkdir -p "$corpus/installer_fuzzer" "$corpus/datafile_fuzzer" "$corpus/payload_header_fuzzer" \
  "$corpus/show_layout_fuzzer"

# Data files: imploded and stored chunks, a copy, FirstChunkKind 3.
"$ssbuild" data -o "$corpus/datafile_fuzzer/two-chunks-and-copy" \
  --chunk movie.swf --chunk plain.txt --chunk-kind 1 --copy "sub\\copy.swf" > /dev/null
"$ssbuild" data -o "$corpus/datafile_fuzzer/stored" --store-all \
  --chunk licence.txt --chunk-name readme.txt > /dev/null
"$ssbuild" data -o "$corpus/datafile_fuzzer/first-kind-copy" --first-chunk-kind 3 \
  --copy first.swf --chunk movie.swf --chunk-compress ascii:1024 > /dev/null
"$ssbuild" data -o "$corpus/datafile_fuzzer/empty" > /dev/null

# Show layouts: the settings record behind a first byte that asks the target
# to leave the checksum as it is (even) or to make it right (odd).
"$ssbuild" data -o pictures.ssd --chunk preview.bmp --show picture preview.bmp:10 \
  --show picture other.png --seconds 4 --transition wipe --publisher "Meadow Makers" \
  --version 2.1 > /dev/null 2>&1
"$ssbuild" data -o movie.ssd --chunk movie.swf --show movie movie.swf --order shuffled \
  --transition-ms 0 > /dev/null
for f in pictures movie; do
  { printf '\000'; head -c 1220 "$f.ssd"; } > "$corpus/show_layout_fuzzer/$f"
  { printf '\001'; head -c 1220 "$f.ssd"; } > "$corpus/show_layout_fuzzer/$f-resealed"
done

# Installers: complete (every role, data file built from parts) and a small
# incomplete one with stored entries.
"$ssbuild" build -o "$corpus/installer_fuzzer/complete" --stub stub.exe --saver-name meadow \
  --display-mode 1 --licence-flag --library impborl.dat --preview preview.bmp \
  --licence licence.txt --saver meadow.scr --further further.txt --support1 support1.dll \
  --support2 support2.dll --data-chunk movie.swf --data-chunk plain.txt \
  --data-copy "copy.swf" > /dev/null
"$ssbuild" build -o "$corpus/installer_fuzzer/incomplete-stored" --stub stub.exe \
  --saver-name "Blue Sky" --display-mode 4 --allow-incomplete --store-all \
  --saver meadow.scr --data "$corpus/datafile_fuzzer/stored" > /dev/null
"$ssbuild" build -o "$corpus/installer_fuzzer/ascii-entries" --stub stub.exe --saver-name x \
  --display-mode 3 --allow-incomplete --compress saver=ascii:1024 --saver meadow.scr \
  --further licence.txt --compress further=binary:2048 > /dev/null

# Headers: the payload header of each installer; one with a name behind it.
for f in "$corpus"/installer_fuzzer/*; do
  tail -c +301 "$f" | head -c 3148 > "$corpus/payload_header_fuzzer/$(basename "$f")"
done
{ cat "$corpus/payload_header_fuzzer/complete"; printf 'sub\\..\\x.swf'; } \
  > "$corpus/payload_header_fuzzer/complete-with-path"
