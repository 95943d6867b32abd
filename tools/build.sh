#!/usr/bin/env bash
# Configures and builds the default (optimised, portable) tree in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"
