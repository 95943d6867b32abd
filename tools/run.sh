#!/usr/bin/env bash
# Installs what is missing, builds, and opens the explorer on $DISPLAY.
# Arguments are passed on: tools/run.sh t 4  runs with four worker slots.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh >/dev/null
if [ -z "${DISPLAY:-}" ]; then
  echo "quorvex: no X display (DISPLAY is not set); run it inside a desktop session or an X server" >&2
  exit 1
fi
exec ./build/quorvex "$@"
