#!/usr/bin/env bash
# The include rules of the source tree, checked from the #include lines:
#   1. every include points down the layers
#        core  <  widgets  <  colour  <  files  <  generate  <  app
#      (a file may include its own folder and the folders below it; nothing
#      below app/ includes app/), and tools/render uses core, colour and
#      files only;
#   2. core/, files/ and tools/render/ reach no GL, GLU or GLUT header, not
#      even through another header;
#   3. inside each folder, the files' includes form no circle.
# Prints each breach and exits 1 when there is any. Usage: check-layers.sh [ROOT]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2

layers=(core widgets colour files generate app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done
breaches=0
breach() {
  echo "check-layers: $*" >&2
  breaches=$((breaches + 1))
}

# The project headers a file includes ("dir/name.h"), one a line.
includes() { sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"; }

sources() { for f in "$1"/*.h "$1"/*.cpp; do [ -e "$f" ] && echo "$f"; done; }

# 1. one way down
for folder in "${layers[@]}"; do
  for f in $(sources "$folder"); do
    for inc in $(includes "$f"); do
      top=${inc%%/*}
      [ -n "${rank[$top]+x}" ] || continue
      if ((rank[$top] > rank[$folder])); then breach "$f includes $inc, and $top/ is above $folder/"; fi
    done
  done
done
for f in $(sources tools/render); do
  for inc in $(includes "$f"); do
    case ${inc%%/*} in
      core | colour | files | tools) ;;
      *) breach "$f includes $inc; quorvex-render uses core/, colour/ and files/ only" ;;
    esac
  done
done

# 2. no GL where none belongs: the first file on the way that includes one
glOnTheWay() {
  local -A seen=()
  local queue=("$1") f inc
  while ((${#queue[@]})); do
    f=${queue[0]}
    queue=("${queue[@]:1}")
    [ -n "${seen[$f]+x}" ] && continue
    seen[$f]=1
    if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(GL|GLUT)/' "$f"; then
      echo "$f"
      return
    fi
    for inc in $(includes "$f"); do [ -f "$inc" ] && queue+=("$inc"); done
  done
}
for folder in core files tools/render; do
  for f in $(sources "$folder"); do
    via=$(glOnTheWay "$f")
    [ -n "$via" ] && breach "$f reaches a GL header (included by $via); $folder/ builds without GL"
  done
done

# 3. no circle inside a folder (a file and its header are one node)
for folder in "${layers[@]}" tools/render; do
  edges=$(for f in $(sources "$folder"); do
    from=$(basename "${f%.*}")
    echo "$from $from"
    for inc in $(includes "$f"); do
      [ "$(dirname "$inc")" = "$folder" ] && echo "$from $(basename "${inc%.*}")"
    done
  done)
  if ! loop=$(echo "$edges" | tsort 2>&1 >/dev/null) || [ -n "$loop" ]; then
    breach "$folder/ has a circle of includes: $(echo "$loop" | grep -v 'contains a loop' | sed 's/^tsort: //' | tr '\n' ' ')"
  fi
done

if ((breaches)); then
  echo "check-layers: $breaches breach(es) of the include rules" >&2
  exit 1
fi
echo "check-layers: every include points down; core/, files/ and tools/render/ are GL-free; no circles"
