#!/bin/bash
# An author's pictures, icon and version record with ssbuild.exe under Wine:
# the example project with a PNG preview, JPEG pictures given by a wildcard,
# an .ico and the version texts builds; osslsigncode signs it; ssbuild.exe
# verifies the signed file; Wine's shell finds the author's icon in it
# (ExtractIconEx, icon_probe.exe); the signed installer still shows its
# window and installs.
#   SSI_WINE_STATE=DIR own-icon.sh SSBUILD_EXE SSDRIVER_EXE ICON_PROBE_EXE STUB_EXE
set -uo pipefail
ssbuild=$1 ssdriver=$2 probe=$3 stub=$4
work_name=own-icon source "$(dirname "$0")/../wine/wine-session.sh"
windows=$prefix/drive_c/windows
saver_dir="$windows/sample dir"
cd "$work" || exit 1

check "ssbuild.exe init writes the example" wine "$ssbuild" init ex
convert -size 800x400 gradient:orange-purple ex/art.png
convert -size 320x240 gradient:red-blue -quality 90 ex/pictures/one.jpg
convert -size 320x240 gradient:green-white -interlace Plane ex/pictures/two.jpg
# The 32-pixel image is lime: the colour Wine's shell must draw.
convert -size 16x16 xc:red \( -size 32x32 xc:lime \) \( -size 48x48 xc:blue \) ex/own.ico
sed -i 's/^preview = preview.bmp/preview = art.png/; s|^\[files\]|icon = own.ico\nproduct = Meadow\npublisher = Meadow Makers\nversion = 1.2.3\ncopyright = (c) 2026 Meadow Makers\n\n[files]|; s|^\[show\]|[show]\npicture = pictures/*.jpg|' ex/project.ini
wine "$ssbuild" build ex/project.ini >build.txt 2>&1
check "ssbuild.exe builds the project" test $? -eq 0
tr -d '\r' <build.txt
check "with a note on the converted preview" grep -q "art.png (PNG, 800x400) goes in as the 350x150" build.txt

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 1 \
  -subj "/CN=ssbuild throw-away test certificate" 2>/dev/null
check "osslsigncode signs" osslsigncode sign -certs cert.pem -key key.pem -n "Meadow" \
  -in ex/sample-setup.exe -out signed.exe
check "osslsigncode finds the signature" osslsigncode verify -CAfile cert.pem signed.exe
check "ssbuild.exe verify accepts the signed installer" wine "$ssbuild" verify signed.exe

wine "$probe" signed.exe >probe.txt 2>&1
check "Wine's shell finds one icon" grep -q "^icons 1" probe.txt
check "the author's 32-pixel image, lime at its centre" grep -q "^large 32 centre 00FF00" probe.txt
tr -d '\r' <probe.txt
wine "$probe" "$stub" >stub-probe.txt 2>&1
check "the stub as built has none" grep -q "^icons 0" stub-probe.txt

driver run-and-wait-window "Z:${work//\//\\}\\signed.exe" "Install sample" --timeout 120
check "the signed installer shows its window" test $? -eq 0
pid=$(sed -n 's/^pid //p' "$work/driver.txt" | head -n 1)
check "Accept and Install is pressed" driver click "$pid" "Install sample" 1001
driver wait-exit "$pid" --timeout 180 --answer-boxes
check "the signed installer ends by itself" test $? -eq 0
check "without a message box" bash -c "! tr -d '\r' <'$work/driver.txt' | grep -q '^box '"
check "the JPEG pictures are unpacked" cmp -s "$saver_dir/two.jpg" ex/pictures/two.jpg
check "the preview lands as the converted bitmap" \
  test "$(stat -c %s "$saver_dir/art.bmp")" -eq $((54 + 1052 * 150))
ls -l "$saver_dir"
exit $((failures > 0))
