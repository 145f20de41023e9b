# Sourced by the shell tests that run programs under Wine: a fresh prefix
# copied from the template wine-env.sh set up, removed on exit, the display,
# `check` (counts failures in $failures) and `driver` (runs ssdriver.exe).
#   work_name=NAME ssdriver=EXE source wine-session.sh
state=${SSI_WINE_STATE:?SSI_WINE_STATE must name the directory wine-env.sh set up}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/utf8-locale.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-server.sh"
work=$(mktemp -d "/tmp/ssi-${work_name:-wine}.XXXXXX")
prefix=$work/prefix
cleanup() {
  wine_server_stop "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$prefix" && cp -a "$state/template/." "$prefix/" || exit 1
wine_prefix_detach "$prefix"
WINEPREFIX="$prefix" wineserver -w 2>/dev/null
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=${WINEDEBUG:-fixme-all}
DISPLAY=$(cat "$state/display")
export DISPLAY
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export SSI_PAUSE_MS=${SSI_PAUSE_MS:-20}
failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1" >&2; failures=$((failures + 1)); fi
}
# The driver's output goes through a file: an installer it starts inherits
# the descriptor and would hold a pipe open.
driver() {
  wine "$ssdriver" "$@" >"$work/driver.txt" 2>&1 </dev/null
  local rc=$?
  tr -d '\r' <"$work/driver.txt"
  return $rc
}
