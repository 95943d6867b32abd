#!/usr/bin/env bash
# tools/check-layers.sh has to fail where it should. Breaches are planted in
# a copy of the product folders and judged against the copy's own report
# first, so whatever the real tree still breaks neither hides a planted
# breach nor passes for one. Usage: check_layers_test.sh [SOURCE_DIR]
set -uo pipefail
src=$(cd "${1:-$(dirname "$0")/../..}" && pwd) || exit 2
check=$src/tools/check-layers.sh
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
fail() { echo "check_layers_test: $*" >&2; exit 1; }

# put ROOT FILE LINE...: writes FILE under ROOT, one LINE a line.
put() { mkdir -p "$1/$(dirname "$2")" && printf '%s\n' "${@:3}" >"$1/$2"; }

# A tree that keeps the rules passes quietly with one line.
put "$work/clean" core/a.h '#include <stdio.h>'
put "$work/clean" widgets/w.h '#include <GL/gl.h>' '#include "core/a.h"'
put "$work/clean" app/deep/er/b.cpp '#include <X11/Xlib.h>' '#include "widgets/w.h"'
put "$work/clean" cli/c.cpp '#include "core/a.h"'
out=$(bash "$check" "$work/clean" 2>"$work/err") || fail "a clean tree fails: $(cat "$work/err")"
[ -s "$work/err" ] && fail "a clean tree prints on stderr: $(cat "$work/err")"
[ "$(echo "$out" | wc -l)" = 1 ] || fail "a clean tree prints more than one line: $out"

# The copy reports what the real tree reports, nothing new.
tree=$work/tree
mkdir "$tree"
for d in core widgets colour files deep render generate app cli; do
  [ -d "$src/$d" ] && cp -R "$src/$d" "$tree/"
done
bash "$check" "$tree" >/dev/null 2>"$work/base"
base_rc=$?
((base_rc < 2)) || fail "the check cannot run on the copy: $(cat "$work/base")"
bash "$check" "$src" >/dev/null 2>"$work/real"
cmp -s "$work/base" "$work/real" || fail "the copy and the tree differ: $(diff "$work/real" "$work/base")"

planted=()
plant() { put "$tree" "$@" && planted+=("$tree/$1"); }
# expect NAME...: the check fails, and each NAME is on a line the copy alone did not print.
expect() {
  bash "$check" "$tree" >/dev/null 2>"$work/err"
  local rc=$? name
  ((rc == 1)) || fail "exit $rc, not 1, with $* planted"
  for name; do
    grep -vxF -f "$work/base" "$work/err" | grep -qF "$name" || fail "nothing new names $name: $(cat "$work/err")"
  done
  rm -f "${planted[@]}"
  planted=()
}

plant core/planted/deeper/x.h '#include "render/rows.h"'
expect core/planted/deeper/x.h
plant render/planted/inner.h '#include <GL/gl.h>'
plant render/planted_gl.cpp '#include "render/planted/inner.h"'
expect render/planted/inner.h render/planted_gl.cpp
plant cli/planted.cpp '#include "app/dispatch.h"'
expect cli/planted.cpp
plant app/planted.cpp '#include "cli/options.h"'
expect app/planted.cpp
plant core/planted/a.h '#include "core/planted/b.h"'
plant core/planted/b.h '#include "core/planted/a.h"'
expect core/planted/a
echo "check_layers_test: planted breaches all reported (the copy alone exits $base_rc)"
