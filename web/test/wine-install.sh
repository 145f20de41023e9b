#!/bin/bash
# Installs an installer the page built, under Wine through its window (the
# window driver presses Accept and Install), in a fresh copy of the template
# prefix, and checks what landed: the screen saver program and every picture,
# byte for byte.
# The window's client area must have the size the page's preview gave it
# (CLIENT: "WIDTH HEIGHT").
#   SSI_WINE_STATE=DIR wine-install.sh INSTALLER SSDRIVER_EXE NAME PICTURES_DIR CLIENT
set -uo pipefail
installer=$1 ssdriver=$2 name=$3 pictures=$4 client=$5
work_name=page-install source "$(dirname "$0")/../../tests/wine/wine-session.sh"
cp "$installer" "$work/setup.exe"
title="Install $name"
driver run-and-wait-window "Z:${work//\//\\}\\setup.exe" "$title" --timeout 120
check "the page's installer shows its window" test $? -eq 0
pid=$(sed -n 's/^pid //p' "$work/driver.txt" | head -n 1)
shown=$(tr -d '\r' <"$work/driver.txt" | sed -n 's/^client //p' | head -n 1)
check "the window's client area is the page's preview's ($client; the window: $shown)" \
  test "$shown" = "$client"
check "Accept and Install is pressed" driver click "$pid" "$title" 1001
driver wait-exit "$pid" --timeout 180 --answer-boxes
check "the installer ends by itself" test $? -eq 0
check "without a message box" bash -c "! tr -d '\r' <'$work/driver.txt' | grep -q '^box '"
windows=$prefix/drive_c/windows
check "the screen saver program is installed" test -s "$windows/$name.scr"
for picture in "$pictures"/*.png "$pictures"/*.jpg "$pictures"/*.gif "$pictures"/dusk.bmp; do
  check "$(basename "$picture") lands in the screen saver's folder as it was" \
    cmp -s "$windows/$name dir/$(basename "$picture")" "$picture"
done
check "the read-me is written" test -s "$windows/$name dir/readme.txt"
ls -l "$windows/$name dir"
exit $((failures > 0))
