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
render --center=-0.743643887037158704752191506114774,0.131825904205311970493132056385139 --width 7.1111111111111111e-30 --detail 100000 --size 240x135 --smooth --palette twilight seahorse-deep.png
render --center=-0.74364388703715870475219149604482263358453091224053223633867222264789862276025693574157947088861800085378845092894546588926388533030804579010458312773,0.131825904205311970493132053527391134858357567582994082637122145688150715700395995911030547823061349970094072983562899208048092247768779050486056724214 --width 7.1111111111111111e-99 --detail 1000000 --size 240x135 --smooth --palette 3,5,7 minibrot-deep.png
