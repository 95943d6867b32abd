#!/usr/bin/env bash
# The include rules of the source tree, checked from the #include lines of
# every *.h, *.hpp, *.cpp and *.cc file in the product folders, at any depth
# (core/a/b/x.h belongs to core/):
#   1. every include points down the layers
#        core < widgets < colour < files < deep < render < generate < app, cli
#      a file may include its own folder and the folders below it; app/ and
#      cli/ are both on top and neither includes the other;
#   2. GL, GLU, GLUT and X headers (<GL/...>, <GLUT/...>, <OpenGL/...>,
#      <X11/...>, and "widgets/gl.h", which only wraps them) are included in
#      widgets/ and app/ only, and no file in another folder reaches one,
#      not even through a chain of project headers; but for the explorer's
#      two drawing files below app/, the grid drawing (colour/display.cpp)
#      and Make's rows (generate/make.cpp), which draw through the drawing
#      layer of widgets/ and build into the GL library, not the GL-free ones;
#   3. inside each folder, the files' includes form no circle (a file and its
#      header are one node).
# Includes of anything outside the product folders (system headers) are not
# judged. Prints each breach on stderr, one a line, and exits 1 when there is
# any; prints one summary line and exits 0 otherwise; exits 2 when ROOT holds
# none of the folders.
# Usage: check-layers.sh [ROOT]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2

layers=(core widgets colour files deep render generate app cli)
present=()
for folder in "${layers[@]}"; do [ -d "$folder" ] && present+=("$folder"); done
if ((${#present[@]} == 0)); then
  echo "check-layers: no product folder (${layers[*]}) under $(pwd)" >&2
  exit 2
fi

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT

find "${present[@]}" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) |
  LC_ALL=C sort >"$tmp/files"

# One grep for the whole tree and one awk pass over it: a grep and a
# subshell for every file and include took seconds on a hundred files.
{
  cat "$tmp/files"
  echo "--"
  tr '\n' '\0' <"$tmp/files" |
    xargs -0 -r grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' /dev/null
} | LC_ALL=C awk -v edges="$tmp/edges" -v layers="${layers[*]}" '
function top(p) { return substr(p, 1, index(p, "/") - 1) }
function stem(p) { sub(/\.[^.\/]*$/, "", p); return p }
# "../x.h" and "./x.h" from a file resolved against its directory.
function resolve(dir, inc,   n, parts, out, i, m) {
  n = split(dir "/" inc, parts, "/"); m = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == "..") { if (m == 0) return ""; m--; continue }
    out[++m] = parts[i]
  }
  inc = out[1]
  for (i = 2; i <= m; i++) inc = inc "/" out[i]
  return inc
}
BEGIN {
  n = split(layers, names, " ")
  for (i = 1; i <= n; i++) rank[names[i]] = i
  rank["cli"] = rank["app"]       # side by side on top
  gluse["widgets"] = gluse["app"] = 1
  drawing["colour/display.cpp"] = drawing["generate/make.cpp"] = 1
  listing = 1
}
listing && $0 == "--" { listing = 0; next }
listing { files[++nfiles] = $0; known[$0] = 1; next }
{
  # path:line:text
  f = $0; sub(/:.*/, "", f)
  rest = substr($0, length(f) + 2)
  line = rest; sub(/:.*/, "", line)
  text = substr(rest, length(line) + 2)
  if (!match(text, /include[ \t]*[<"][^>"]*[>"]/)) next
  quoted = substr(text, RSTART, RLENGTH); sub(/^include[ \t]*/, "", quoted)
  quote = substr(quoted, 1, 1); inc = substr(quoted, 2, length(quoted) - 2)

  if (quote == "<" && inc ~ /^(GL|GLUT|OpenGL|X11)\//) {
    if (!(f in gl)) gl[f] = "<" inc ">"
    next
  }
  if (!(top(inc) in rank)) {
    if (quote != "\"") next
    dir = f; sub(/\/[^\/]*$/, "", dir)
    inc = resolve(dir, inc)
    if (!(inc in known)) next
  }
  if (inc == "widgets/gl.h") wrapper[f] = 1

  from = top(f); to = top(inc)
  if (to != from) {
    if (rank[to] == rank[from])
      breach(f ":" line ": includes \"" inc "\"; " from "/ and " to "/ are both on top and neither includes the other")
    else if (rank[to] > rank[from])
      breach(f ":" line ": includes \"" inc "\", and " to "/ is above " from "/")
  }
  if (inc in known) {
    out[f] = out[f] SUBSEP inc
    if (to == from) print stem(f), stem(inc) >> (edges "." from)
  }
}
function breach(msg) { print "check-layers: " msg; breaches++ }
END {
  # Where the wrapper is missing (a partial tree) its name alone has to do;
  # where it is present the way is followed into it and names the GL header.
  if (!("widgets/gl.h" in known))
    for (f in wrapper) if (!(f in gl)) gl[f] = "\"widgets/gl.h\""
  for (i = 1; i <= nfiles; i++) {
    f = files[i]
    print stem(f), stem(f) >> (edges "." top(f))
    if (top(f) in gluse) continue
    if (f in drawing && !(f in gl)) continue
    # Breadth first, so the way named is a shortest one.
    split("", parent); split("", seen)
    q[1] = f; head = 1; tail = 1; seen[f] = 1; hit = ""
    while (head <= tail && hit == "") {
      g = q[head++]
      if (g in gl) { hit = g; break }
      m = split(out[g], next_, SUBSEP)
      for (j = 2; j <= m; j++) if (!(next_[j] in seen)) {
        seen[next_[j]] = 1; parent[next_[j]] = g; q[++tail] = next_[j]
      }
    }
    if (hit == "") continue
    way = gl[hit]
    for (g = hit; g != f; g = parent[g]) way = g " -> " way
    breach(f " reaches a GL/X header: " f " -> " way "; only widgets/ and app/ may")
  }
  print "#files", nfiles
  print "#breaches", breaches + 0
}
' >"$tmp/report"

breaches=$(sed -n 's/^#breaches //p' "$tmp/report")
nfiles=$(sed -n 's/^#files //p' "$tmp/report")
grep -v '^#' "$tmp/report" >&2

for folder in "${present[@]}"; do
  [ -s "$tmp/edges.$folder" ] || continue
  if ! loop=$(tsort "$tmp/edges.$folder" 2>&1 >/dev/null) || [ -n "$loop" ]; then
    echo "check-layers: $folder/ has a circle of includes: $(echo "$loop" | grep -v 'contains a loop' | sed 's/^tsort: //' | tr '\n' ' ')" >&2
    breaches=$((breaches + 1))
  fi
done

if ((breaches)); then
  echo "check-layers: $breaches breach(es) of the include rules" >&2
  exit 1
fi
echo "check-layers: $nfiles files in ${#present[@]} folders; every include points down, GL and X stay in widgets/ and app/ (drawn through from colour/display and generate/make), no circles"
