#!/usr/bin/env bash
# Installs what is missing, builds both halves and runs every test: the native tests under
# ASan and UBSan, short fuzz runs, the Windows tests and end-to-end tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
jobs=$(nproc)

bash "$root/scripts/setup.sh"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$jobs"

failed=0
(cd "$build/native" && ctest --output-on-failure) || failed=1
bash "$root/tests/fuzz/run_fuzzers.sh" --smoke "$build/fuzz" || failed=1
(cd "$build/win" && ctest --output-on-failure -j "$jobs") || failed=1
bash "$root/bench/run.sh" --smoke || failed=1
# Leave no Wine server or program of the test prefixes running: first the group that kept the
# tests' desktop, by its id, then whatever the prefixes still run.
keeper=$build/win/harness/desktop.pid
# The group may be gone already (the benchmarks end their prefix's server); that is no failure.
if [ -s "$keeper" ]; then kill -- "-$(cat "$keeper")" 2>/dev/null || true; fi
rm -f "$keeper"
while read -r prefix; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done < <(find "$build" -maxdepth 6 -name .skh-ready -printf '%h\n' 2>/dev/null)
exit $failed
