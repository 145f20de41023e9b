#!/bin/bash
# ssbuild.exe as an author on Windows uses it, under Wine: `init` writes the
# example project and `build` makes an installer of it with no other option;
# osslsigncode signs it with a throw-away self-signed certificate; ssbuild.exe
# lists, verifies and unpacks the signed file; the signed installer installs
# through its window (Accept and Install pressed by the window driver). Then
# a silent variant built with options over the project installs too, and a
# UTF-8 name in a project file reaches the installer in Windows-1252.
#   SSI_WINE_STATE=DIR author-workflow.sh SSBUILD_EXE SSDRIVER_EXE
set -uo pipefail
ssbuild=$1 ssdriver=$2
work_name=author source "$(dirname "$0")/../wine/wine-session.sh"
windows=$prefix/drive_c/windows
saver_dir="$windows/sample dir"
installed() {  # installed WHAT: the checks after an install
  check "$1: the screen saver program is installed" cmp -s "$windows/sample.scr" ex/sample.scr
  check "$1: the data file's pictures are unpacked" \
    cmp -s "$saver_dir/picture2.bmp" ex/pictures/picture2.bmp
  check "$1: the stand-ins left nothing: saver.dat is the 1220-byte settings file" \
    test "$(stat -c %s "$saver_dir/saver.dat")" -eq 1220
  check "$1: no data file or manifest stays" \
    test ! -e "$saver_dir/sample.ssd" -a ! -e "$saver_dir/saver.ini"
  ls -l "$saver_dir"
}
cd "$work" || exit 1

check "ssbuild.exe init writes the example" wine "$ssbuild" init ex
check "with CR LF line ends, as Windows editors of old want them" grep -q $'^\\[installer\\]\r$' ex/project.ini
check "a project file alone (dropped onto ssbuild.exe) is built" \
  wine "$ssbuild" -q ex/project.ini
check "ssbuild.exe build with the project and no other option" wine "$ssbuild" build ex/project.ini
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 1 \
  -subj "/CN=ssbuild throw-away test certificate" 2>/dev/null
check "osslsigncode signs" osslsigncode sign -certs cert.pem -key key.pem -n "sample" \
  -in ex/sample-setup.exe -out signed.exe
check "osslsigncode finds the signature" osslsigncode verify -CAfile cert.pem signed.exe
check "the signed file is longer" \
  test "$(stat -c %s signed.exe)" -gt "$(stat -c %s ex/sample-setup.exe)"
check "ssbuild.exe verify accepts the signed installer" wine "$ssbuild" verify signed.exe
wine "$ssbuild" list signed.exe >list.txt 2>&1
check "ssbuild.exe list names the signature" grep -q "Authenticode signature" list.txt
wine "$ssbuild" extract signed.exe -C out >/dev/null 2>&1
check "ssbuild.exe extract gives back the screen saver" cmp -s out/sample.scr ex/sample.scr

driver run-and-wait-window "Z:${work//\//\\}\\signed.exe" "Install sample" --timeout 120
check "the signed installer shows its window" test $? -eq 0
pid=$(sed -n 's/^pid //p' "$work/driver.txt" | head -n 1)
check "Accept and Install is pressed" driver click "$pid" "Install sample" 1001
driver wait-exit "$pid" --timeout 180 --answer-boxes
check "the signed installer ends by itself" test $? -eq 0
check "without a message box" bash -c "! tr -d '\r' <'$work/driver.txt' | grep -q '^box '"
installed "signed, interactive"

# Silent, with options over the project; the silent install runs the Flash
# check first, so it carries a program that ends at once as the player's installer.
check "ssbuild.exe build with options over the project" \
  wine "$ssbuild" build ex/project.ini -o silent.exe --display silent --no-accept-licence \
  --no-open-readme --flash-installer ex/sample.scr
rm -f "$saver_dir"/* "$windows/sample.scr"
check "the silent installer runs to its end" wine silent.exe
installed "silent"

# A name in UTF-8 in the project file reaches the installer in code page 1252
# through the Win32 conversion calls.
printf '[installer]\nname = Caf\xc3\xa9\n' >ex/cafe.ini
wine "$ssbuild" build ex/cafe.ini ex/project.ini -o cafe.exe -q 2>/dev/null
check "ssbuild.exe refuses two project files" test $? -eq 1
check "ssbuild.exe builds with a UTF-8 name" \
  wine "$ssbuild" build ex/cafe.ini -o cafe.exe -q --screen-saver ex/sample.scr
wine "$ssbuild" list cafe.exe --json >cafe.json 2>&1
check "the name arrives as Windows-1252" grep -q '"name": "Caf\\u00e9.scr"' cafe.json
printf '[installer]\nname = Caf\xe2\x86\x92\n' >ex/arrow.ini
wine "$ssbuild" build ex/arrow.ini -o arrow.exe --screen-saver ex/sample.scr >arrow.txt 2>&1
check "a character that code page 1252 lacks is refused with exit code 2" test $? -eq 2
check "and named" grep -q 'U+2192' arrow.txt

# A project file as Windows editors save it (UTF-8 with a byte order mark, CR
# LF line ends) with accents in the saver name, the output name (made from
# it), the publisher and a picture's file and folder names given with
# Windows separators. ssbuild.exe reads and writes those files through the
# wide calls; the installer gets every text in code page 1252, which the
# uninstall entry and the installed settings file give back.
mkdir -p acc/Bilder && cp ex/pictures/picture1.bmp "acc/Bilder/Über den Wolken.bmp" &&
  cp ex/sample.scr acc/ || exit 1
{
  printf '\xef\xbb\xbf'
  sed 's/$/\r/' <<'EOF'
[variables]
saver = Café Lumière
[installer]
name = ${saver}
output = ${saver}-setup.exe
display = silent
[files]
screen-saver = sample.scr
flash-installer = sample.scr
[chunk]
file = Bilder\Über den Wolken.bmp
[show]
picture = Über den Wolken.bmp
publisher = Zoë Müller
version = 1.0 «beta»
EOF
} >acc/project.ini
wine "$ssbuild" build acc/project.ini >acc.txt 2>&1
check "ssbuild.exe builds the accented UTF-8 project" test $? -eq 0
cat acc.txt
check "what ssbuild.exe prints to a file is UTF-8" grep -q 'Café Lumière-setup.exe' acc.txt
check "the output name keeps its accents" test -f "acc/Café Lumière-setup.exe"
check "no .part file is left" bash -c "! ls acc | grep -q part"
check "the accented installer runs silently to its end" wine "acc/Café Lumière-setup.exe"
acc_dir="$windows/Café Lumière dir"
check "the picture lands under its accented name" \
  cmp -s "$acc_dir/Über den Wolken.bmp" ex/pictures/picture1.bmp
check "the settings file holds the picture's name in code page 1252" \
  env LC_ALL=C grep -q $'\xdcber den Wolken.bmp' "$acc_dir/saver.dat"
check "and the publisher" env LC_ALL=C grep -q $'Zo\xeb M\xfcller' "$acc_dir/saver.dat"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Café Lumière' \
  /v Publisher >reg.txt 2>&1
cat reg.txt
# The installer wrote the value with the ANSI calls in code page 1252; reg.exe
# prints it to a file in the OEM code page, 850 here.
check "the uninstall entry's Publisher reads Zoë Müller" \
  bash -c "iconv -f CP850 -t UTF-8 reg.txt | grep -q 'Zoë Müller'"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Café Lumière' \
  /v DisplayVersion >reg.txt 2>&1
check "and its DisplayVersion 1.0 «beta»" \
  bash -c "iconv -f CP850 -t UTF-8 reg.txt | grep -q '1.0 «beta»'"

# Ctrl-C while ssbuild.exe packs (Wine turns SIGINT into the console's
# Ctrl-C event): the console handler deletes the .part file, and no output
# appears.
# Random lines of four letters: full of short matches, so that imploding them
# at the best level takes tens of seconds (random base64 has no matches, and
# the builder sees at once that it does not shrink and stores it).
head -c 40000000 /dev/urandom | tr '\000-\377' '[a*64][b*64][c*64][d*64]' | fold -w 76 |
  head -c 40000000 >noise.bin
wine "$ssbuild" build ex/project.ini -o "Über.exe" --further noise.bin --level best \
  >cut.txt 2>&1 </dev/null &
builder=$!
for _ in $(seq 120); do [ -e "Über.exe.part" ] && break; sleep 0.5; done
check "the build is writing Über.exe.part" test -e "Über.exe.part"
sleep 1
check "ssbuild.exe is still packing when Ctrl-C comes" kill -0 "$builder"
kill -INT "$builder"
wait "$builder"
check "an interrupted ssbuild.exe leaves neither the .part file nor an output" \
  bash -c '! ls | grep -q "^Über.exe"'
exit $((failures > 0))
