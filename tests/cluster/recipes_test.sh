#!/usr/bin/env bash
# The README's many-machine recipes, run as the README writes them: the GNU
# parallel recipe over two ssh "hosts" and this machine, and the Slurm job
# array on a one-node cluster (tools/cluster.sh starts both, and stops them
# whatever happens here). Only the sizes shrink, each by a substitution that
# must match the README exactly once, so a recipe that changes fails here
# until this test follows it. Both must write the frames of one plain run
# byte for byte, and so must a task cancelled part way and submitted again.
# The poster recipes (tiles by GNU parallel, by a Slurm array, then the
# join) must each write the still of one plain run byte for byte.
#   recipes_test.sh BINDIR SOURCE_DIR     (exit 77: the services cannot start)
set -euo pipefail
bindir=$1 source=$2 readme=$2/README.md
work=$(mktemp -d /tmp/quorvex-recipes.XXXXXX)
trap 'bash "$source/tools/cluster.sh" stop "$work/cluster"; rm -rf "$work"' EXIT
fail() { echo "recipes: $*" >&2; exit 1; }

# The indented block after the paragraph that starts with $1.
recipe() {
  awk -v head="$1" 'index($0, head) == 1 { on = 1; next }
    on && /^    / { sub(/^    /, ""); print; seen = 1; next }
    on && seen && !/^$/ { exit }' "$readme"
}

# $1 with each "FROM=>TO" of the rest made, each found exactly once.
shrink() {
  local text=$1 from to
  shift
  for pair in "$@"; do
    from=${pair%%=>*} to=${pair#*=>}
    [ "$(grep -cF -- "$from" <<<"$text")" -eq 1 ] || fail "the README's recipe no longer holds '$from'"
    text=${text/"$from"/"$to"}
  done
  printf '%s\n' "$text"
}

# A directory with the recipes' two parameter files, and the frames.
prepare() {
  mkdir -p "$1"
  "$bindir/quorvex-render" --view -0.76,-0.72,0.10,0.14 --detail 20000 --size 8x8 "$1/start.frc"
  "$bindir/quorvex-render" --view -0.74365,-0.74363,0.13182,0.13184 --size 8x8 "$1/spot.frc"
}

same_frames() {
  diff -r "$work/plain/dive" "$1/dive" >/dev/null || fail "$2: the frames differ from one plain run"
}

# "Submitted batch job N": N.
submit() { "$@" | awk '/^Submitted batch job/ { print $4 }'; }

env_lines=$(bash "$source/tools/cluster.sh" start "$work/cluster" "$bindir") || exit $?
eval "$env_lines"
export PATH="$bindir:$PATH"
SIZE="--size 1920x1080=>--size 160x90"

prepare "$work/plain"
mkdir "$work/plain/dive"
(cd "$work/plain" && quorvex-render --from start.frc --zoom-to spot.frc --frames 12 --size 160x90 --smooth \
  --aa 3 dive/frame-%05d.png)
[ "$(ls "$work/plain/dive" | wc -l)" -eq 12 ] || fail "the plain run made no twelve frames"

prepare "$work/parallel"
script=$(shrink "$(recipe '**GNU parallel over several hosts.**')" "seq 0 10 299=>seq 0 4 11" \
  "a + 9=>a + 3" "--frames 300=>--frames 12" "$SIZE")
(cd "$work/parallel" && bash -c "$script") || fail "the GNU parallel recipe failed"
same_frames "$work/parallel" "GNU parallel over alpha, beta and :"
grep -q "Accepted publickey" "$work/cluster/sshd.log" || fail "no job went through ssh"

prepare "$work/slurm"
shrink "$(recipe '**A Slurm job array.**')" "--array=0-29=>--array=0-2" "--cpus-per-task=8=>--cpus-per-task=1" \
  "PER=10=>PER=4" "FRAMES=300=>FRAMES=12" "$SIZE" >"$work/slurm/dive.sbatch"
mkdir "$work/slurm/dive"
cd "$work/slurm"
job=$(submit sbatch dive.sbatch)
# Task 0 (frames 0..3, the slow ones) is cancelled once its first frame is written.
for _ in $(seq 3000); do [ -e dive/frame-00000.png ] && break; sleep 0.01; done
scancel "${job}_0"
wait_for() { for _ in $(seq 1200); do [ -z "$(squeue -h -j "$1" 2>/dev/null)" ] && return; sleep 0.1; done; fail "job $1 hangs"; }
wait_for "$job"
made=$(ls dive | wc -l)
[ "$made" -lt 12 ] || echo "recipes: note: task 0 finished before its cancel came" >&2
again=$(grep -o 'sbatch --array=[0-9]* dive.sbatch' "$readme" | head -n 1)
[ -n "$again" ] || fail "the README no longer says how to submit a task again"
job=$(submit $(sed 's/--array=[0-9]*/--array=0/' <<<"$again"))
wait_for "$job"
same_frames "$work/slurm" "the Slurm array, task 0 cancelled and submitted again ($made frames before)"

# Posters: a deep place, tiles of a 3x2 grid that divides no side evenly.
POSTER=("--size 32768x18432=>--size 97x55" "--tiles 8x8=>--tiles 3x2")
poster_dir() {
  mkdir -p "$1"
  "$bindir/quorvex-render" --center=0,1 --width 3e-31 --detail 2000 --size 8x8 --save-location "$1/valley.qloc" \
    "$1/place.png"
}
joined() {
  (cd "$1" && bash -c "$(shrink "$(recipe '**Joining the tiles**')" "${POSTER[@]}")") || fail "$2: the join failed"
  cmp -s "$work/poster/plain.png" "$1/poster.png" || fail "$2: the joined poster differs from one plain run"
}
poster_dir "$work/poster"
(cd "$work/poster" && quorvex-render --location valley.qloc --size 97x55 --smooth --aa 2 plain.png)
poster_dir "$work/poster-parallel"
script=$(shrink "$(recipe '**Tiles by GNU parallel over several hosts.**')" "seq 0 2 63=>seq 0 2 5" "${POSTER[@]}")
(cd "$work/poster-parallel" && bash -c "$script") || fail "the poster's GNU parallel recipe failed"
joined "$work/poster-parallel" "tiles by GNU parallel"
poster_dir "$work/poster-slurm"
shrink "$(recipe '**Tiles by a Slurm job array.**')" "--array=0-15=>--array=0-2" "--cpus-per-task=8=>--cpus-per-task=1" \
  "PER=4=>PER=2" "TILES=64=>TILES=6" "${POSTER[@]}" >"$work/poster-slurm/poster.sbatch"
cd "$work/poster-slurm"
wait_for "$(submit sbatch poster.sbatch)"
joined "$work/poster-slurm" "tiles by a Slurm array"

echo "recipes: GNU parallel over two ssh hosts, and Slurm with a task cancelled after $made frames and resubmitted: 12 frames each, byte for byte; a poster's tiles by each, joined: the plain still byte for byte"
