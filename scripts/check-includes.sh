#!/bin/bash
# Fails when a file under src/ includes a header of a layer above its own.
# The stub's layers, each allowed to include only itself and those below it:
#   core     portable formats, path rules, messages (and core/dcl)
#   win      Win32 building blocks that know nothing of the installer
#   install  the state every step shares: Installer, InstallerUi, error boxes, saver.ini
#   system   work locations, file replacement, activation, Flash support
#   payload  payload and data file readers, the expander
#   app      the program entry, the window, set-up and the install sequence
# Includes are by bare name, so every header name must be unique under src/.
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
layers=(core win install system payload app)

rank() {  # rank LAYER: its place in the order above, or nothing
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && echo "$i"; done
}
layer_of() {  # layer_of PATH-UNDER-SRC: the first folder (core/dcl counts as core)
  echo "${1%%/*}"
}

declare -A header_layer
status=0
while read -r path; do
  rel=${path#"$src"/}
  name=$(basename "$rel")
  if [ -n "${header_layer[$name]:-}" ]; then
    echo "two headers named $name: src/${header_layer[$name]}/.../$name and src/$rel"
    status=1
  fi
  header_layer[$name]=$(layer_of "$rel")
done < <(find "$src" -name '*.h' | sort)

while read -r path; do
  rel=${path#"$src"/}
  own=$(layer_of "$rel")
  own_rank=$(rank "$own")
  if [ -z "$own_rank" ]; then
    echo "src/$rel: folder $own is in no layer (add it to scripts/check-includes.sh)"
    status=1
    continue
  fi
  while IFS=: read -r line name; do
    target=${header_layer[$name]:-}
    [ -z "$target" ] && continue  # a system or test header
    if [ "$(rank "$target")" -gt "$own_rank" ]; then
      echo "src/$rel:$line: includes \"$name\" from $target, a layer above $own"
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$path" |
    sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find "$src" \( -name '*.h' -o -name '*.cpp' \) | sort)

[ "$status" -eq 0 ] && echo "include direction: every include points down (${layers[*]})"

# The player's rooms have an order of their own (the stub's tree only when
# checking the repository's own).
if [ $# -eq 0 ]; then
  bash "$(dirname "$0")/check-player-includes.sh" || status=1
fi
exit "$status"
