#!/usr/bin/env bash
# run_fuzzers.sh [--smoke | --seconds N] [BUILD_DIR]: builds fuzz_readers.cpp with the portable
# sources, libFuzzer, ASan and UBSan, and runs it from its seeds for 15 s (--smoke: 5 s).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=15
case "${1:-}" in
    --smoke) seconds=5; shift ;;
    --seconds) seconds=$2; shift 2 ;;
esac
out=${1:-$root/build/fuzz}
mkdir -p "$out/generated" "$out/corpus"
# The portable sources never read the build settings, but share the real build's headers.
sed -e 's/@[A-Z_]*@/0/' "$root/cmake/build_config.h.in" >"$out/generated/build_config.h"
sources=$(ls "$root"/{base,app,patch,news,render}/*.cpp | grep -v '_win\.cpp$')
# shellcheck disable=SC2086
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" -I"$out/generated" "$root/tests/fuzz/fuzz_readers.cpp" $sources -o "$out/fuzz_readers"
if ! "$out/fuzz_readers" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$out/" "$out/corpus" "$root/tests/fuzz/corpus/readers" >"$out/fuzz.log" 2>&1; then
    echo "fuzz: FOUND A FAULT, see $out/fuzz.log" >&2
    tail -30 "$out/fuzz.log" >&2
    exit 1
fi
echo "fuzz: $(grep -E '^(#[0-9]+|Done)' "$out/fuzz.log" | tail -1)"
