#!/bin/bash
# Runs one Win32 test program under Wine in a fresh copy of the template
# prefix that wine-env.sh made, so that a test may change C:\windows, the
# registry or system.ini freely. Exit code: the program's.
#   SSI_WINE_STATE=DIR run-wine-test.sh PROGRAM.exe [ARGS...]
set -uo pipefail
state=${SSI_WINE_STATE:?SSI_WINE_STATE must name the directory wine-env.sh set up}
[ -d "$state/template" ] || { echo "run-wine-test.sh: no template prefix in $state" >&2; exit 1; }
prefix=$(mktemp -d /tmp/ssi-wine-test.XXXXXX)
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT
cp -a "$state/template/." "$prefix/"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
export DISPLAY=$(cat "$state/display")
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The installer's one-second pauses shortened for tests (see the window's Pause).
export SSI_PAUSE_MS=${SSI_PAUSE_MS:-20}
wine "$@"
rc=$?
exit $rc
