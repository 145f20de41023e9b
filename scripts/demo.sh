#!/bin/bash
# The demo: builds a sample screen saver installer ("meadow": a bitmap
# preview, a licence, a read-me, the sample screen saver and a data file of
# pictures) with ssbuild, runs it under Wine in a throw-away 32-bit prefix on
# a virtual display of its own, saves a screenshot of the installer window,
# shows what the set-up wrote, then presses "Accept and Install" and shows
# what the install left on the system.
#
# Then, in the same prefix, a second installer ("meadow-movie") previews the
# screen saver as a Flash movie (display mode 3). No real Flash player is
# used: its entry 2 is the STAND-IN flashax.exe from the Wine tests
# (tests/wine/standins/flash, test material only), which, run with /Q,
# registers a stand-in control under the Shockwave Flash class that shows the
# movie's file name instead of playing it. The prefix starts without any
# Flash control, so the installer writes flashax.exe, runs it hidden, then
# creates the control in its preview panel. The demo saves a screenshot of
# that window and presses "Decline".
#
# scripts/run-demo.sh builds what it runs, the parts listed in
# scripts/demo-parts.txt, into build/<preset> (or SSI_DEMO_BUILD/<preset>), and
# then runs this script. A part's path can be given through the environment
# under the name the list gives it (SSBUILD, SSI_STUB, ...); other settings:
#   SSI_DEMO_DIR       output              build/demo
#   SSI_PAUSE_MS       the pause of a test build of the stub (install-test.exe) only
#   SSI_DEMO_DISPLAY   an X display number for Xvfb (default: a free one)
#   SSI_DEMO_KEEP_PREFIX=1 keeps the Wine prefix for a look afterwards.
# Exit status: 0 when every step and every check passed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/utf8-locale.sh"
source "$root/scripts/wine-server.sh"
demo_build=${SSI_DEMO_BUILD:-$root/build}
out=${SSI_DEMO_DIR:-$root/build/demo}
name=meadow
title="Install $name"
movie_name=meadow-movie
movie_title="Install $movie_name"
movie_file=meadow-intro.swf
window_timeout=180    # seconds for the set-up to show its window (a loaded machine is slow)
install_timeout=180   # seconds for the install to end

failures=0
step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; failures=$((failures + 1)); }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# ---------------------------------------------------------------- inputs
declare -A part
while read -r var preset target file; do
  case $var in '' | '#'*) continue ;; esac
  part[$var]=${!var:-$demo_build/$preset/$file}
  [ -f "${part[$var]}" ] ||
    die "missing ${part[$var]}, the $preset target $target: run \"bash scripts/run-demo.sh\" (it builds what scripts/demo-parts.txt lists, then runs this demo), or set $var to the file"
done <"$root/scripts/demo-parts.txt"
ssbuild=${part[SSBUILD]}
stub=${part[SSI_STUB]}
impborl=${part[SSI_IMPBORL]}
ssdriver=${part[SSDRIVER]}
sample_saver=${part[SSI_SAMPLE_SAVER]}
preview_host=${part[SSI_PREVIEW_HOST]}
flash_standin=${part[SSI_FLASH_STANDIN]}
for cmd in wine wineserver wineboot Xvfb import convert identify; do
  command -v "$cmd" >/dev/null ||
    die "missing the program $cmd: run \"bash scripts/install-deps.sh demo\" as root (it installs the demo's Debian packages)"
done

# ---------------------------------------------------------------- clean-up
xvfb_pid=""
prefix=""
cleanup() {
  set +e
  if [ -n "$prefix" ]; then
    wine_server_stop "$prefix"
    if [ "${SSI_DEMO_KEEP_PREFIX:-0}" = 1 ]; then
      echo "demo: the Wine prefix stays in $prefix"
    else
      rm -rf "$prefix"
    fi
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---------------------------------------------------------------- material
step "Sample material in $out/material"
rm -rf "$out"
material=$out/material
mkdir -p "$material"
# Pictures are drawn now rather than kept in the repository.
convert -size 350x150 gradient:'#9fd3f0-#e8f6ff' \
  \( -size 350x60 gradient:'#5fae3c-#2f6e22' \) -gravity south -composite \
  -fill '#ffd84a' -draw 'circle 290,35 290,55' \
  -fill '#f4f4f4' -draw 'ellipse 80,40 35,12 0,360' -draw 'ellipse 110,34 28,11 0,360' \
  -fill '#d04a7a' -draw 'circle 60,128 60,132' -draw 'circle 150,135 150,139' -draw 'circle 240,126 240,130' \
  BMP3:"$material/$name-preview.bmp"
convert -size 640x480 gradient:'#7fbfea-#dff1ff' \
  \( -size 640x200 gradient:'#6bb544-#2b6a1f' \) -gravity south -composite \
  -fill '#ffe066' -draw 'circle 520,90 520,140' BMP3:"$material/${name}1.bmp"
convert -size 640x480 gradient:'#f7b267-#4f6d9a' \
  \( -size 640x180 gradient:'#4d8a35-#1d4515' \) -gravity south -composite \
  -fill '#fff3c4' -draw 'circle 120,110 120,140' BMP3:"$material/${name}2.bmp"
cp "$root/samples/$name/licence.txt" "$root/samples/$name/readme.txt" "$root/samples/$name/$name.cfg" "$material/"
printf 'Meadow screen saver: pictures drawn by the demo script.\r\n' >"$material/$name-credits.txt"
printf 'grass sky sun cloud flower wind\r\n' >"$material/$name-words.txt"
saver_program=$sample_saver
# The movie: its content does not matter, the stand-in control only shows
# the file's name.
{ printf 'FWS\006'; printf 'placeholder movie for the demo; the stand-in Flash control shows its name\r\n'; } \
  >"$material/$movie_file"
ls -l "$material"

# ---------------------------------------------------------------- build
step "Building the data file $out/$name.ssd with its show layout"
data_file=$out/$name.ssd
"$ssbuild" data -o "$data_file" --chunk "$material/${name}1.bmp" --chunk "$material/${name}2.bmp" \
  --show picture "${name}1.bmp" --show picture "${name}2.bmp:3" --seconds 2 \
  --transition fade --transition-ms 600 --publisher "Meadow Makers" --version 1.0
"$ssbuild" list "$data_file"

step "Building $out/$name-setup.exe with ssbuild"
installer=$out/$name-setup.exe
# SSI_DEMO_BUILD_OPTIONS may add builder options, e.g. --store-all.
# shellcheck disable=SC2086
"$ssbuild" build -o "$installer" --stub "$stub" --saver-name "$name" --display-mode 1 \
  --licence-flag --readme-flag \
  --library "$impborl" \
  --preview "$material/$name-preview.bmp" \
  --licence "$material/licence.txt" \
  --readme "$material/readme.txt" \
  --saver "$saver_program" \
  --further "$material/$name.cfg" \
  --data "$data_file" \
  --support1 "$material/$name-credits.txt" \
  --support2 "$material/$name-words.txt" \
  ${SSI_DEMO_BUILD_OPTIONS:-}
"$ssbuild" list "$installer"

step "Building $out/$movie_name-setup.exe (movie preview, STAND-IN Flash player as entry 2)"
movie_installer=$out/$movie_name-setup.exe
# shellcheck disable=SC2086
"$ssbuild" build -o "$movie_installer" --stub "$stub" --saver-name "$movie_name" --display-mode 3 \
  --licence-flag \
  --library "$impborl" \
  --flash "$flash_standin" \
  --preview "$material/$movie_file" \
  --licence "$material/licence.txt" \
  --saver "$saver_program" \
  --further "$material/$name.cfg" \
  --data-chunk "$material/${name}1.bmp" \
  --support1 "$material/$name-credits.txt" \
  --support2 "$material/$name-words.txt" \
  ${SSI_DEMO_BUILD_OPTIONS:-}
"$ssbuild" list "$movie_installer"

# ---------------------------------------------------------------- Wine
step "A throw-away Wine prefix and a virtual display"
prefix=$(mktemp -d /tmp/e2e-demo.XXXXXX)
if [ -n "${SSI_DEMO_DISPLAY:-}" ]; then
  display=${SSI_DEMO_DISPLAY#:}
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
  done
  [ -e "/tmp/.X11-unix/X$display" ] && kill -0 "$xvfb_pid" 2>/dev/null || display=""
else
  # Xvfb picks a free display itself and tells us which.
  exec 3<> <(:)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  display=""
  for _ in $(seq 100); do
    read -r -t 0.1 -u 3 display || true
    [ -n "$display" ] && break
  done
fi
[ -n "$display" ] || die "Xvfb did not start (see $out/xvfb.log)"
export DISPLAY=":$display" WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
echo "display $DISPLAY, prefix $WINEPREFIX"
timeout 300 wineboot -i >"$out/wineboot.log" 2>&1 || die "wineboot failed (see $out/wineboot.log)"
# The fonts Windows draws this window with: Tahoma for the dialog's text and
# Marlett for the caption's close box. Wine 8 does not load its own copies
# (Debian's fonts-wine, /usr/share/wine/fonts) by itself; without them the
# close box shows an "r" and a wider stand-in fills the buttons. Fonts in the
# prefix's C:\windows\Fonts are loaded by every program started after.
wine_fonts=/usr/share/wine/fonts
if [ ! -f "$wine_fonts/marlett.ttf" ] || [ ! -f "$wine_fonts/tahoma.ttf" ]; then
  die "missing Wine's fonts in $wine_fonts: run \"bash scripts/install-deps.sh demo\" as root (it installs fonts-wine)"
fi
cp "$wine_fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"
# Wine draws the window frames itself: there is no window manager on Xvfb.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
timeout 60 wineserver -w || true

drive_c=$prefix/drive_c
windows=$drive_c/windows
saver_dir="$windows/$name dir"

# ssdriver's output goes through a file, not a pipe: the installer it starts
# inherits the descriptor and would hold a pipe open for its whole life.
driver() {
  local log rc=0
  log=$(mktemp "$out/ssdriver.XXXXXX")
  timeout 300 wine "$ssdriver" "$@" >"$log" 2>&1 </dev/null || rc=$?
  tr -d '\r' <"$log"
  rm -f "$log"
  return "$rc"
}
field() { sed -n "s/^$1 //p" <<<"$2" | head -n 1; }
# start_installer EXE TITLE: starts it, waits for its window and sets pid, x11
# (the X window, for screenshots) and left, top, width, height.
start_installer() {
  local report status
  set +e
  report=$(driver run-and-wait-window "$(winpath "$1")" "$2" --timeout "$window_timeout")
  status=$?
  set -e
  echo "$report"
  pid=$(field pid "$report")
  [ "$status" = 0 ] || die "the window \"$2\" did not show (status $status)"
  x11=$(field x11 "$report")
  read -r left top width height <<<"$(field rect "$report")"
}

# close_glyph_drawn SHOT DPI: the caption's close box in a window's
# screenshot shows Marlett's cross. The cross is its own mirror image; the
# "r" Wine draws in its place without Marlett is not, and an empty box has no
# ink. The box's corner of the window, 24 x 22 pixels at 96 DPI, is cut, its
# dark pixels trimmed to their bounds and compared with their mirror image.
close_glyph_drawn() {
  local shot=$1 w h width ink asym glyph=$out/close-glyph.png
  w=$((24 * $2 / 96)) h=$((22 * $2 / 96))
  width=$(identify -format '%w' "$shot")
  convert "$shot" -crop "${w}x${h}+$((width - w))+0" +repage -colorspace Gray -threshold 40% \
    -negate -trim +repage "$glyph"
  ink=$(convert "$glyph" -format '%[fx:round(mean*w*h)]' info:)
  asym=$(convert "$glyph" \( +clone -flop \) -compose difference -composite \
    -format '%[fx:round(mean*w*h)]' info:)
  rm -f "$glyph"
  echo "the close box of $(basename "$shot"): $ink dark pixels, $asym differ from its mirror image"
  if [ "$ink" -lt 8 ] || [ "$asym" -gt 2 ]; then
    fail "the caption's close box in $(basename "$shot") shows no cross (Wine found no Marlett font)"
  fi
}

# ---------------------------------------------------------------- set-up
step "Starting the installer and waiting for its window"
start_installer "$installer" "$title"

sleep 1  # let the preview paint
shot=$out/installer-window.png
if [ -n "$x11" ]; then
  import -display "$DISPLAY" -window "$x11" "$shot"
else
  import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage "$shot"
fi
echo "screenshot of the installer window: $shot ($(identify -format '%wx%h' "$shot"))"
close_glyph_drawn "$shot" 96
driver dump "$pid"

step "What the set-up wrote"
for path in "$windows/impborl.dll" "$saver_dir/saver.ini" "$saver_dir/$name-preview.bmp" \
            "$saver_dir/licence.txt" "$saver_dir/readme.txt"; do
  [ -f "$path" ] || fail "the set-up did not write ${path#"$drive_c"/}"
done
echo "C:\\windows\\impborl.dll: $(stat -c %s "$windows/impborl.dll" 2>/dev/null || echo missing) bytes"
echo "C:\\windows\\$name dir\\:"
ls -l "$saver_dir"
echo "saver.ini:"
tr -d '\r' <"$saver_dir/saver.ini"
echo "temporary copy: $(find "$windows/temp/VLF temp" -type f -printf '%f ' 2>/dev/null)"
[ -f "$windows/temp/VLF temp/temp1.dat" ] || fail "no temporary copy C:\\windows\\TEMP\\VLF temp\\temp1.dat"

# ---------------------------------------------------------------- install
step "Pressing \"Accept and Install\""
driver click "$pid" "$title" 1001 || die "could not press the install button"
sleep 2
progress_shot=$out/installer-progress.png
if [ -n "$x11" ] && import -display "$DISPLAY" -window "$x11" "$progress_shot" 2>/dev/null; then
  echo "screenshot while installing: $progress_shot"
else
  echo "(the window closed before a screenshot of the progress could be taken)"
fi
set +e
ended=$(driver wait-exit "$pid" --timeout "$install_timeout" --answer-boxes)
status=$?
set -e
echo "$ended"
[ "$status" = 0 ] || die "the installer did not end within $install_timeout s"
grep -q '^box ' <<<"$ended" && fail "the install showed message boxes"

step "What the install left"
scr="$windows/$name.scr"
if [ -f "$scr" ]; then echo "C:\\windows\\$name.scr: $(stat -c %s "$scr") bytes"; else fail "no C:\\windows\\$name.scr"; fi
echo "C:\\windows\\$name dir\\:"
ls -l "$saver_dir"
for path in "${name}1.bmp" "${name}2.bmp" saver.dat "$name.cfg" "$name-credits.txt" "$name-words.txt"; do
  [ -f "$saver_dir/$path" ] || fail "missing C:\\windows\\$name dir\\$path"
done
[ -f "$saver_dir/saver.ini" ] && fail "saver.ini is still there"
[ -f "$saver_dir/$name.ssd" ] && fail "the data file $name.ssd is still there"
[ -f "$windows/temp/VLF temp/temp1.dat" ] && fail "the temporary copy is still there"
for gone in "$saver_dir/saver.ini" "$saver_dir/$name.ssd" "$windows/temp/VLF temp/temp1.dat"; do
  [ -e "$gone" ] || echo "gone: ${gone#"$drive_c"/}"
done

scrnsave=$(tr -d '\r' <"$windows/system.ini" | grep -i '^SCRNSAVE.EXE=' || true)
echo "system.ini: ${scrnsave:-(no SCRNSAVE.EXE line)}"
[ -n "$scrnsave" ] || fail "system.ini names no screen saver"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
if registry=$(timeout 60 wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r'); then
  echo "$registry"
  grep -q "DisplayName.*$name Screen Saver" <<<"$registry" || fail "the uninstall entry has no DisplayName"
  grep -qiE "UninstallString.*$name\.scr\"? /u" <<<"$registry" || fail "the uninstall entry has no UninstallString"
else
  fail "no uninstall entry $uninstall_key"
fi

# ---------------------------------------------------------------- saver
step "The installed screen saver, full screen (/s)"
for value in QuietUninstallString DisplayIcon Publisher DisplayVersion EstimatedSize NoModify NoRepair; do
  grep -q "$value" <<<"${registry:-}" || fail "the uninstall entry has no $value"
done
saver_title="$name Screen Saver"
set +e
report=$(driver run-and-wait-window "C:\\windows\\$name.scr" "$saver_title" --arg /s --timeout "$window_timeout")
status=$?
set -e
echo "$report"
saver_pid=$(field pid "$report")
if [ "$status" = 0 ]; then
  sleep 1.5  # the first picture; the fade into the second starts at 2 s
  saver_shot=$out/saver-fullscreen.png
  import -display "$DISPLAY" -window root "$saver_shot"
  echo "screenshot of the screen saver: $saver_shot ($(identify -format '%wx%h' "$saver_shot"))"
  brightness=$(convert "$saver_shot" -colorspace Gray -format '%[fx:int(mean*100)]' info:)
  [ "$brightness" -gt 10 ] || fail "the screen saver shows a dark screen (mean brightness $brightness%)"
  closing=$(driver close "$saver_pid" "$saver_title" --message) ||
    fail "could not close the screen saver (the driver: ${closing:-no answer})"
  driver wait-exit "$saver_pid" --timeout 30 || fail "the screen saver did not end"
else
  fail "the screen saver showed no window (status $status)"
fi

step "The screen saver's preview (/p) in a window of its own"
# wait_for_x11 LOG: the X window the preview host reports in LOG.
wait_for_x11() {
  local found=""
  for _ in $(seq 100); do
    found=$(tr -d '\r' <"$1" | sed -n 's/^x11 //p')
    [ -n "$found" ] && break
    sleep 0.2
  done
  printf '%s' "$found"
}
# Wine 8 does not show what a child window of another process draws, so the
# screenshot is of the screen saver's own preview code hosted in one process
# (preview-host --in-process, for the installed saver's folder); the installed
# program's /p then runs as Display Properties starts it, for the checks.
preview_log=$out/preview-in-process.log
timeout 120 wine "$preview_host" --in-process "C:\\windows\\$name.scr" 5 >"$preview_log" 2>&1 </dev/null &
host_job=$!
preview_x11=$(wait_for_x11 "$preview_log")
sleep 2.5
preview_shot=$out/saver-preview.png
if [ -n "$preview_x11" ] && import -display "$DISPLAY" -window "$preview_x11" "$preview_shot"; then
  echo "screenshot of the preview window: $preview_shot ($(identify -format '%wx%h' "$preview_shot"))"
  colours=$(convert "$preview_shot" -format '%k' info:)
  [ "$colours" -gt 16 ] || fail "the preview's screenshot shows no picture ($colours colours)"
else
  fail "no screenshot of the preview window"
fi
wait "$host_job" || fail "the in-process preview failed"
tr -d '\r' <"$preview_log"

preview_log=$out/preview-host.log
timeout 120 wine "$preview_host" "C:\\windows\\$name.scr" 4 >"$preview_log" 2>&1 </dev/null ||
  fail "the preview host failed"
preview_report=$(tr -d '\r' <"$preview_log")
echo "$preview_report"
grep -q '^child SsiScreenSaver' <<<"$preview_report" || fail "no preview window inside the host"
grep -q '^child-rect 304 224' <<<"$preview_report" || fail "the preview does not fill its host"
grep -q '^saver-exit 0 ' <<<"$preview_report" || fail "the preview did not end with its host window"

step "Uninstalling: C:\\windows\\$name.scr /u, answered Yes"
set +e
report=$(driver run "C:\\windows\\$name.scr" --arg /u)
set -e
uninstall_pid=$(field pid "$report")
driver wait-window "$uninstall_pid" "$saver_title" --timeout 60 >/dev/null || fail "no question"
driver press-box "$uninstall_pid" "&Yes" --title "$saver_title" || fail "could not answer Yes"
driver wait-exit "$uninstall_pid" --timeout 60 || fail "the uninstall did not end well"
for _ in $(seq 75); do
  [ -e "$scr" ] || break
  sleep 0.2
done

step "What is left of $name"
left=0
for path in "$scr" "$saver_dir"; do
  if [ -e "$path" ]; then fail "still there: ${path#"$drive_c"/}"; left=1; fi
done
if timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall entry is still there"; left=1; fi
if tr -d '\r' <"$windows/system.ini" | grep -qi "^SCRNSAVE.EXE=$name"; then
  fail "system.ini still names $name"; left=1
fi
copies=$(find "$drive_c/users" -iname 'ssi-uninstall-*' 2>/dev/null | wc -l)
[ "$copies" = 0 ] || { fail "$copies temporary uninstall copies are left"; left=1; }
[ -f "$windows/impborl.dll" ] || fail "impborl.dll went too; other screen savers need it"
echo "C:\\windows\\$name*: $(cd "$windows" && ls -d "$name"* 2>/dev/null | tr '\n' ' ')"
echo "C:\\windows\\impborl.dll: $(stat -c %s "$windows/impborl.dll" 2>/dev/null || echo missing) bytes (stays: other screen savers use it)"
[ "$left" = 0 ] && echo "nothing else of $name is left"

# ---------------------------------------------------------------- movie
step "The movie installer: a STAND-IN Flash player, not the real one"
echo "Entry 2 of $movie_name-setup.exe is the stand-in flashax.exe (test material from"
echo "tests/wine/standins/flash): run with /Q it registers ssi-flash-standin.ocx under the"
echo "Shockwave Flash class; that control shows the movie's file name instead of playing it."
flash_key='HKCR\CLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}'
standin_control=$windows/system32/ssi-flash-standin.ocx
standin_log=$windows/temp/flash-standin.log
movie_dir="$windows/$movie_name dir"
flash_registered() { timeout 60 wine reg query "$flash_key\\InprocServer32" >/dev/null 2>&1; }
if flash_registered || [ -f "$standin_control" ]; then
  fail "a Flash control is registered before the movie installer runs"
else
  echo "before: no Flash control in the prefix ($flash_key is missing)"
fi
rm -f "$standin_log"

start_installer "$movie_installer" "$movie_title"
movie_pid=$pid
movie_x11=$x11

sleep 1  # let the movie panel paint
movie_shot=$out/movie-window.png
if [ -n "$movie_x11" ]; then
  import -display "$DISPLAY" -window "$movie_x11" "$movie_shot"
else
  import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage "$movie_shot"
fi
echo "screenshot of the movie installer window: $movie_shot ($(identify -format '%wx%h' "$movie_shot"))"
close_glyph_drawn "$movie_shot" 96
movie_dump=$(driver dump "$movie_pid")
echo "$movie_dump"

step "What the movie set-up did"
[ -f "$movie_dir/$movie_file" ] || fail "the set-up did not write the movie ${movie_dir#"$drive_c"/}/$movie_file"
if [ -f "$windows/flashax.exe" ]; then
  printf 'C:\\windows\\flashax.exe (the stand-in, from entry 2): %s bytes\n' "$(stat -c %s "$windows/flashax.exe")"
else
  fail "the set-up did not write C:\\windows\\flashax.exe"
fi
if [ -f "$standin_control" ]; then
  echo "C:\\windows\\system32\\ssi-flash-standin.ocx: $(stat -c %s "$standin_control") bytes"
else
  fail "the stand-in flashax.exe did not write C:\\windows\\system32\\ssi-flash-standin.ocx"
fi
if flash_registered; then
  echo "after: $flash_key is registered (the stand-in control)"
else
  fail "no Flash control registered after the set-up"
fi
printf '%s\n' "the stand-in's log (C:\\windows\\temp\\flash-standin.log):"
standin_lines=$(tr -d '\r' <"$standin_log" 2>/dev/null || true)
while IFS= read -r line; do printf '  %s\n' "$line"; done <<<"${standin_lines:-(empty)}"
grep -qx 'flashax /Q show=0' <<<"$standin_lines" || fail "flashax.exe did not run hidden with /Q"
grep -qx 'flashax /Q: control registered' <<<"$standin_lines" || fail "flashax.exe did not register the control"
grep -qxF "dispatch put Movie C:\\windows\\$movie_name dir\\$movie_file" <<<"$standin_lines" ||
  fail "the control was not given the movie"
grep -q '^  id [0-9-]* SsiFlashStandin ".*" visible' <<<"$movie_dump" ||
  fail "no visible Flash control in the preview panel"
grep -q '^  id 1001 .* disabled' <<<"$movie_dump" && fail "the install button is disabled"

step "Pressing \"Decline\""
: >"$standin_log"
driver click "$movie_pid" "$movie_title" 1002 || die "could not press the decline button"
set +e
movie_ended=$(driver wait-exit "$movie_pid" --timeout 60 --answer-boxes)
status=$?
set -e
echo "$movie_ended"
[ "$status" = 0 ] || die "the movie installer did not end within 60 s"
grep -q '^box ' <<<"$movie_ended" && fail "declining showed message boxes"
standin_lines=$(tr -d '\r' <"$standin_log" 2>/dev/null || true)
echo "the stand-in control on closing: $(paste -sd, <<<"$standin_lines" | sed 's/,/, /g')"
grep -qx 'destroy' <<<"$standin_lines" || fail "the Flash control was not destroyed on closing"
leftover=$(find "$windows/temp/VLF temp" -type f -printf '%f ' 2>/dev/null || true)
[ -z "$leftover" ] || fail "temporary copies are left: $leftover"

# ---------------------------------------------------------------- 144 DPI
step "The installer window at 144 DPI (Wine reads LogPixels when a program starts)"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_installer "$installer" "$title"
sleep 1
dpi_shot=$out/installer-window-144dpi.png
if [ -n "$x11" ]; then
  import -display "$DISPLAY" -window "$x11" "$dpi_shot"
else
  import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage "$dpi_shot"
fi
echo "screenshot at 144 DPI: $dpi_shot ($(identify -format '%wx%h' "$dpi_shot"))"
close_glyph_drawn "$dpi_shot" 144
driver click "$pid" "$title" 1002 || fail "could not press Decline at 144 DPI"
driver wait-exit "$pid" --timeout 60 --answer-boxes >/dev/null || fail "the 144 DPI window did not close"

step "Summary"
echo "installers:  $installer"
echo "             $movie_installer (movie preview, stand-in Flash player)"
echo "screenshots: $shot"
echo "             $movie_shot"
echo "             $dpi_shot (144 DPI)"
echo "             ${saver_shot:-(none)} (the screen saver, /s)"
echo "             $preview_shot (its preview, /p)"
if [ "$failures" -gt 0 ]; then
  echo "demo: $failures check(s) failed"
  exit 1
fi
echo "demo: all checks passed"
