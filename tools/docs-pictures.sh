#!/usr/bin/env bash
# Makes the README's pictures with the built programs:
#   bash tools/docs-pictures.sh [OUTDIR]     (default: docs)
# The window is the real quorvex in a private X server, driven as the
# end-to-end tests drive it (build/docs-window-shot); the renders are
# quorvex-render, each on one line below exactly as README.md shows it.
# The programs are exact, so the same build always makes the same pixels:
# the docs_pictures test compares the committed pictures with a fresh run.
# To re-record after a change that alters them: bash tools/docs-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
build=$(cd "${QUORVEX_BUILD:-build}" 2>/dev/null && pwd) || build=${QUORVEX_BUILD:-build}
for program in quorvex-render docs-window-shot; do
  [ -x "$build/$program" ] || { echo "docs-pictures: $build/$program is missing; run bash tools/build.sh" >&2; exit 1; }
done
mkdir -p "$out"
cd "$out"
render() { "$build/quorvex-render" "$@"; }

"$build/docs-window-shot" window.png
render --view -0.7485,-0.7425,0.1095,0.1140 --detail 600 --size 320x240 --palette 4,6,3 valley.png
render --type Julia --pivot -0.8,0.156 --view -1.6,1.6,-1.2,1.2 --detail 400 --size 320x240 --palette 7,2,5 julia.png
render --type J-Phoenix --pivot 0.5667,-0.5 --view -1.6,1.6,-1.2,1.2 --detail 300 --size 320x240 --palette 3,5,8 phoenix.png
render --view -0.7485,-0.7425,0.1095,0.1140 --detail 600 --size 320x240 --palette 4,6,3 --smooth --aa 3 valley-smooth.png
rm -f dive-*.png  # a dive keeps frames that exist: make them all again
render --view -2.4,1.2,-1.35,1.35 --zoom-to-view -0.7485,-0.7425,0.1095,0.1140 --frames 5 --detail 600 --size 160x120 --palette 4,6,3 --smooth --aa 2 dive-%d.png
