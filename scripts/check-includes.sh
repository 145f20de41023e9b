#!/bin/bash
# Fails when a file under src/ includes a header of a layer above its own, or
# a file of the builder (tools/ssbuild, web/) one of a room it does not use.
# The stub's layers, each allowed to include only itself and those below it:
#   core     portable formats, path rules, messages (and core/dcl)
#   win      Win32 building blocks that know nothing of the installer
#   install  the state every step shares: Installer, InstallerUi, error boxes, saver.ini
#   system   work locations, file replacement, activation, Flash support
#   payload  payload and data file readers, the expander
#   app      the program entry, the window, set-up and the install sequence
# Includes are by bare name, so every header name must be unique under src/.
#   check-includes.sh [SRC [BUILDER [WEB]]]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=${1:-$root/src}
builder=${2:-$root/tools/ssbuild}
web=${3:-$root/web}
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

# The builder's rooms, each with the rooms it uses; it sees those, what they
# use in turn, and itself. The same as tools/ssbuild/CMakeLists.txt.
declare -A uses=(
  [base]="" [pe]="base" [formats]="pe" [pictures]="base"
  [project]="formats pictures" [examine]="project" [pack]="project" [plan]="pack"
  [core]="plan" [cli]="core examine" [web]="core"
)
declare -A sees
seen_by() {  # seen_by ROOM: ROOM and every room below it, once each
  local room=$1 used
  echo "$room"
  for used in ${uses[$room]}; do seen_by "$used"; done
}
for room in "${!uses[@]}"; do sees[$room]=" $(seen_by "$room" | sort -u | tr '\n' ' ')"; done

declare -A header_room
builder_status=0
builder_files() {  # every source of the builder with its room: "ROOM PATH"
  local path rel
  while read -r path; do
    rel=${path#"$builder"/}
    echo "${rel%%/*} $path"
  done < <(find "$builder" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sort)
  find "$web" -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) | sort | sed 's/^/web /'
}
while read -r room path; do
  name=$(basename "$path")
  [[ $name == *.h ]] || continue
  if [ -n "${header_room[$name]:-}" ]; then
    echo "two headers named $name in the builder: rooms ${header_room[$name]} and $room"
    builder_status=1
  fi
  header_room[$name]=$room
done < <(builder_files)

while read -r room path; do
  shown=${path#"$root"/}
  if [ -z "${uses[$room]+set}" ]; then
    echo "$shown: folder $room is in no room (add it to scripts/check-includes.sh)"
    builder_status=1
    continue
  fi
  while IFS=: read -r line name; do
    target=${header_room[$name]:-}
    [ -z "$target" ] && continue  # the portable core's, a system or test header
    [[ ${sees[$room]} == *" $target "* ]] && continue
    if [[ ${sees[$target]} == *" $room "* ]]; then
      echo "$shown:$line: includes \"$name\" from $target, a room above $room"
    else
      echo "$shown:$line: includes \"$name\" from $target, a room beside $room (it sees:${sees[$room]% })"
    fi
    builder_status=1
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$path" |
    sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(builder_files)

[ "$builder_status" -eq 0 ] && echo "include direction: every builder room uses only the rooms below it"
[ "$builder_status" -eq 0 ] || status=1
# The player's rooms have an order of their own (the stub's tree only when
# checking the repository's own).
if [ $# -eq 0 ]; then
  bash "$(dirname "$0")/check-player-includes.sh" || status=1
fi
exit "$status"
