# shellcheck shell=bash
# Sourced by the scripts that run Wine. Debian's wineserver keeps its socket
# in a folder it makes with mkdtemp, ${TMPDIR:-/tmp}/wine-XXXXXX, names that
# folder in the prefix's file `wineserver` and leaves it behind when it ends:
# one folder a prefix, never removed by Wine.

# wine_prefix_detach PREFIX: a prefix copied from another would share the
# original's folder (and leave it to whoever removes it last); it gets its own.
wine_prefix_detach() {
  rm -f "$1/wineserver"
}

# wine_server_stop PREFIX: ends the prefix's server, waits until it is gone
# and removes its folder.
wine_server_stop() {
  local name
  WINEPREFIX="$1" wineserver -k 2>/dev/null || true
  WINEPREFIX="$1" wineserver -w 2>/dev/null || true
  name=$(cat "$1/wineserver" 2>/dev/null) || true
  # Only a name of the form Wine makes: never a path that reaches elsewhere.
  if [[ $name =~ ^wine-[A-Za-z0-9]{6}$ ]]; then
    rm -rf "${TMPDIR:-/tmp}/$name"
  fi
  return 0
}
