#!/bin/bash
# Runs one Win32 test program under Wine in a fresh copy of the template
# prefix that wine-env.sh made, so that a test may change C:\windows, the
# registry or system.ini freely. Exit code: the program's.
#   SSI_WINE_STATE=DIR run-wine-test.sh PROGRAM.exe [ARGS...]
set -uo pipefail
state=${SSI_WINE_STATE:?SSI_WINE_STATE must name the directory wine-env.sh set up}
source "$(dirname "$0")/../../scripts/utf8-locale.sh"
source "$(dirname "$0")/../../scripts/wine-server.sh"
[ -d "$state/template" ] || { echo "run-wine-test.sh: no template prefix in $state" >&2; exit 1; }
prefix=$(mktemp -d /tmp/ssi-wine-test.XXXXXX)
cleanup() {
  # The next prefix may get this folder's inode, and Wine finds a prefix's
  # server by device and inode: the server must be gone before the folder is.
  wine_server_stop "$prefix"
  rm -rf "$prefix"
}
trap cleanup EXIT
if ! cp -a "$state/template/." "$prefix/"; then
  echo "run-wine-test.sh: could not copy the template prefix to $prefix (disk full?)" >&2
  df -h "$prefix" >&2
  exit 1
fi
wine_prefix_detach "$prefix"
# A test may need things in its prefix that only the Unix side can make.
if [ -n "${SSI_WINE_PREPARE:-}" ] && ! "$SSI_WINE_PREPARE" "$prefix"; then
  echo "run-wine-test.sh: $SSI_WINE_PREPARE failed" >&2
  exit 1
fi
# A server left over from a removed prefix with this inode must not serve us.
WINEPREFIX="$prefix" wineserver -w 2>/dev/null
# Wine's own error lines are kept aside and shown only when the test fails:
# they are the one clue when a program dies before it can report anything.
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:-fixme-all}
export DISPLAY=$(cat "$state/display")
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The installer's one-second pauses shortened for tests (see the window's Pause).
export SSI_PAUSE_MS=${SSI_PAUSE_MS:-20}
wine "$@" 2>"$prefix/wine-errors.log"
rc=$?
if [ "$rc" -ne 0 ] && [ -s "$prefix/wine-errors.log" ]; then
  echo "--- Wine's error output (last 80 lines):" >&2
  tail -n 80 "$prefix/wine-errors.log" >&2
fi
exit $rc
