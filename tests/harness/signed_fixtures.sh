#!/usr/bin/env bash
# signed_fixtures.sh BUILD_DIR OUT_DIR COMMAND...: trees made by the real skh_publish, then
# COMMAND. Keys are copied with counters at 0, so seq1 and seq2 are sequences 1 and 2.
set -euo pipefail
build=$1 out=$2
shift 2
tool=${SKH_PUBLISH:?SKH_PUBLISH names the skh_publish to publish with}
rm -rf "$out"
mkdir -p "$out/client/data" "$out/client/_Runtime" "$out/big-client"
printf 'abc' >"$out/client/a.txt"
printf 'The quick brown fox jumps over the lazy dog' >"$out/client/data/b.dat"
cp "$build/tests/win/stand_in.exe" "$out/client/_Runtime/vc_redist.x86.exe"
truncate -s 52428801 "$out/big-client/big.pak"
cp -r "$build/test-keys" "$out/keys"
printf '0\n' | tee "$out"/keys/*/release_sequence.txt >/dev/null
key=$out/keys/release/release_private.pem
publish() {  # publish NAME VERSION CLIENT [--key KEY]
    "$tool" publish --version "$2" "${@:4}" "$out/$3" "$out/$1" >/dev/null
}
publish seq1 v1 client --key "$key"
publish seq2 v2 client --key "$key"
publish other v2 client --key "$out/keys/other/release_private.pem"
publish unsigned v2 client
publish chunks v1 big-client --key "$key"
for number in 5 3; do
    "$tool" launcher --build $number --key "$key" "$build/tests/win/stand_in.exe" \
        "$out/launcher$number" >/dev/null
done
exec "$@"
