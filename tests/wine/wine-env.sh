#!/bin/bash
# Sets up (or tears down) what every Wine test of one test run shares: one
# Xvfb display and one booted 32-bit template prefix that each test copies.
#   wine-env.sh setup STATE_DIR
#   wine-env.sh teardown STATE_DIR
# Never touches the user's own ~/.wine.
set -euo pipefail
cmd=${1:?usage: wine-env.sh setup|teardown STATE_DIR}
state=${2:?usage: wine-env.sh setup|teardown STATE_DIR}
scripts=$(dirname "$0")/../../scripts
source "$scripts/utf8-locale.sh"
source "$scripts/wine-server.sh"

teardown() {
  if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
  if [ -d "$state/template" ]; then wine_server_stop "$state/template"; fi
  rm -rf "$state"
}

case "$cmd" in
  teardown) teardown; exit 0 ;;
  setup) ;;
  *) echo "wine-env.sh: unknown command $cmd" >&2; exit 1 ;;
esac

teardown
mkdir -p "$state"
# Xvfb picks a free display itself and tells us which.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
echo $! >"$state/xvfb.pid"
display=""
for _ in $(seq 100); do
  read -t 0.1 -u 3 display || true
  [ -n "$display" ] && break
done
[ -n "$display" ] || { echo "wine-env.sh: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; }
echo ":$display" >"$state/display"

export WINEPREFIX="$state/template" WINEARCH=win32 WINEDEBUG=-all DISPLAY=":$display"
# No Mono/Gecko installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineboot -i >"$state/wineboot.log" 2>&1
# Without window management switched off every dialog close stalls about 2 s
# under a bare Xvfb.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wineserver -w
echo "wine-env.sh: template prefix ready, display :$display"
