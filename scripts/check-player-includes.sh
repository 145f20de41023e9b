#!/bin/bash
# Fails when a file of the player (player/<room>/) includes a room it may not
# see. Rooms include each other by path ("format/tags.h"); what each may see:
#   raster   itself: pixels and geometry, nothing of the movie format
#   format   raster and itself: the bytes of a movie
#   script   itself only: the interpreter knows its host by an abstract class
#   movie    every room: it runs the movie and implements the script's host
set -uo pipefail
player=${1:-$(cd "$(dirname "$0")/.." && pwd)/player}
declare -A sees=(
  [raster]="raster"
  [format]="raster format"
  [script]="script"
  [movie]="raster format script movie"
)

status=0
[ -d "$player" ] || { echo "player includes: no player/ folder"; exit 0; }
while read -r path; do
  rel=${path#"$player"/}
  room=${rel%%/*}
  if [ "$room" = "$rel" ]; then continue; fi  # player/CMakeLists.txt and the like
  if [ -z "${sees[$room]:-}" ]; then
    echo "player/$rel: folder $room is in no room (add it to scripts/check-player-includes.sh)"
    status=1
    continue
  fi
  while IFS=: read -r line name; do
    case "$name" in
      ../*|*/../*) echo "player/$rel:$line: includes \"$name\" by a relative path; name rooms as room/file.h"
                   status=1; continue ;;
      */*) target=${name%%/*} ;;
      *) continue ;;  # a system header or one of the room's own by bare name
    esac
    [ -n "${sees[$target]:-}" ] || continue  # not a room: a library's own folder
    if [[ " ${sees[$room]} " != *" $target "* ]]; then
      echo "player/$rel:$line: includes \"$name\" from $target, which $room may not see"
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$path" |
    sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find "$player" \( -name '*.h' -o -name '*.cpp' \) | sort)

[ "$status" -eq 0 ] && echo "player includes: every room sees only the rooms below it (raster, format, script, movie)"
exit "$status"
