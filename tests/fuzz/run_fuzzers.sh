#!/usr/bin/env bash
# Builds tests/fuzz/fuzz_readers.cpp with libFuzzer, ASan and UBSan, and runs it.
#   run_fuzzers.sh --smoke BUILD_DIR        a short bounded run of each (the test command)
#   run_fuzzers.sh --seconds N BUILD_DIR    N seconds of each
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=15
case "${1:-}" in
    --smoke) shift ;;
    --seconds) seconds=$2; shift 2 ;;
esac
out=${1:-$root/build/fuzz}
mkdir -p "$out"

sources=()
for dir in base app patch news render; do
    for source in "$root/$dir"/*.cpp; do
        [[ $source == *_win.cpp ]] || sources+=("$source")
    done
done
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -I"$root" -I"$out/generated")
mkdir -p "$out/generated"
# Pure code never reads the build settings, but share one header layout with the real build.
[ -f "$out/generated/build_config.h" ] || sed -e 's/@[A-Z_]*@/0/' \
    "$root/cmake/build_config.h.in" >"$out/generated/build_config.h"

failed=0
for target in "$root"/tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$target" .cpp)
    clang++ "${flags[@]}" "$target" "${sources[@]}" -o "$out/$name"
    corpus="$root/tests/fuzz/corpus/${name#fuzz_}"
    work="$out/corpus-${name#fuzz_}"
    mkdir -p "$work"
    echo "fuzz: $name for ${seconds}s"
    if ! "$out/$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -artifact_prefix="$out/$name-" "$work" "$corpus" >"$out/$name.log" 2>&1; then
        echo "fuzz: $name FOUND A FAULT, see $out/$name.log" >&2
        tail -30 "$out/$name.log" >&2
        failed=1
    else
        grep -E '^(#[0-9]+|Done)' "$out/$name.log" | tail -1
    fi
done
exit $failed
