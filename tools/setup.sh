#!/usr/bin/env bash
# Installs what building, running and testing Quorvex needs on Debian 12,
# and only what is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  build-essential cmake pkg-config g++ clang libclang-rt-14-dev
  freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  libx11-dev libxtst-dev libpng-dev libmpfr-dev libgmp-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth
  desktop-file-utils groff-base man-db dpkg-dev file
  ffmpeg parallel
  openssh-server openssh-client slurm-wlm munge
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "setup: installing ${missing[*]}" >&2
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
