#!/usr/bin/env bash
# Builds the launcher and runs a real patch run against the local HTTPS test server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$(nproc)"
cd "$build/win" && ctest --output-on-failure -R 'win_patch_run_test'
