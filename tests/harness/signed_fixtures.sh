#!/usr/bin/env bash
# Makes signed release trees with the real skh_publish, then runs the rest of its arguments.
# The Windows signed-release test serves them and alters their bytes itself.
#   signed_fixtures.sh BUILD_DIR OUT_DIR COMMAND...
# OUT_DIR/seq1, seq2: the client signed with test-keys/release as v1 and v2 (sequences 1, 2:
# OUT_DIR/keys holds copies of the keys whose counters start at 0 in every run);
# other: v2 signed with test-keys/other; unsigned: v2 without a key; launcher5, launcher3:
# the stand-in program offered as builds 5 and 3, signed with test-keys/release; chunks: a
# client of one file above 50 MiB (sparse here), so with a chunk index, signed as v1.
set -euo pipefail
build=$1
out=$2
shift 2
keys=$out/keys
tool=${SKH_PUBLISH:?SKH_PUBLISH names the skh_publish to publish with}

rm -rf "$out"
mkdir -p "$out/client/data" "$out/client/_Runtime"
printf 'abc' >"$out/client/a.txt"
printf 'The quick brown fox jumps over the lazy dog' >"$out/client/data/b.dat"
cp "$build/tests/win/stand_in.exe" "$out/client/_Runtime/vc_redist.x86.exe"
publish() {  # publish NAME VERSION [--key KEY]
    local name=$1 version=$2
    shift 2
    mkdir -p "$out/$name"
    "$tool" publish --version "$version" "$@" "$out/client" "$out/$name" >/dev/null
}
for pair in release other; do
    mkdir -p "$keys/$pair"
    cp "$build/test-keys/$pair/release_private.pem" "$keys/$pair/"
    printf '0\n' >"$keys/$pair/release_sequence.txt"
done
publish seq1 v1 --key "$keys/release/release_private.pem"
publish seq2 v2 --key "$keys/release/release_private.pem"
publish other v2 --key "$keys/other/release_private.pem"
publish unsigned v2
mkdir -p "$out/big-client"
truncate -s 52428801 "$out/big-client/big.pak"
"$tool" publish --version v1 --key "$keys/release/release_private.pem" "$out/big-client" \
    "$out/chunks" >/dev/null
for build_number in 5 3; do
    "$tool" launcher --build "$build_number" --key "$keys/release/release_private.pem" \
        "$build/tests/win/stand_in.exe" "$out/launcher$build_number" >/dev/null
done
exec "$@"
