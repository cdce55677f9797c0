#!/usr/bin/env bash
# Installs what is missing, builds both halves and runs every test: the native tests under
# ASan and UBSan, short fuzz runs, the Windows tests and end-to-end tests under Wine.
# The shipped launcher is always the i686 build. The Windows tests run that build under 32-bit
# Wine where the machine runs 32-bit code, else the x86_64 build of the same sources under
# Wine's 64-bit loader (SKH_WINE_ARCH=i686 or x86_64 overrides the choice).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
jobs=$(nproc)
source "$root/scripts/wine_env.sh"

bash "$root/scripts/setup.sh"
skh_pick_arch
echo "test: Windows tests run the $SKH_WINE_ARCH build, since $SKH_WINE_ARCH_WHY"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
configure_win() {  # configure_win TREE ARCH
    cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$2.cmake" \
        -DSKH_HOST_TOOLS_DIR="$build/host-tools" -DSKH_SHIPPED_BUILD_DIR="$build/win" >/dev/null
}
tests=$build/$SKH_WIN_TREE
configure_win "$build/win" i686
if [ "$SKH_WINE_ARCH" = i686 ]; then
    cmake --build "$build/win" -j "$jobs"
else
    # The shipped launcher alone at i686, checked statically; everything else at x86_64.
    cmake --build "$build/win" -j "$jobs" --target SKH2026_Patcher
    configure_win "$tests" x86_64
    cmake --build "$tests" -j "$jobs"
fi

failed=0
(cd "$build/native" && ctest --output-on-failure) || failed=1
bash "$root/tests/fuzz/run_fuzzers.sh" --smoke "$build/fuzz" || failed=1
(cd "$tests" && ctest --output-on-failure -j "$jobs") || failed=1
bash "$root/bench/run.sh" --smoke || failed=1
# Leave no Wine server or program of the test prefixes running: first the group that kept the
# tests' desktop, by its id, then whatever the prefixes still run.
keeper=$tests/harness/desktop.pid
# The group may be gone already (the benchmarks end their prefix's server); that is no failure.
if [ -s "$keeper" ]; then kill -- "-$(cat "$keeper")" 2>/dev/null || true; fi
rm -f "$keeper"
while read -r prefix; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done < <(find "$build" -maxdepth 6 -name .skh-ready -printf '%h\n' 2>/dev/null)
exit $failed
