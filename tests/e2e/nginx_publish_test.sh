#!/usr/bin/env bash
# A client tree published with skh_publish and served by nginx over HTTPS patches an empty
# game folder to an exact copy, names with blanks and Windows-1252 letters included.
set -uo pipefail
build=${SKH_BUILD_DIR:?}
source=${SKH_SOURCE_DIR:?}
source "$source/scripts/wine_env.sh"

work=$build/e2e/nginx_publish
harness=$build/harness
driver=$build/bench/bench_driver.exe

fail() {
    echo "nginx_publish: $*" >&2
    [ -f "$work/nginx/error.log" ] && sed 's/^/  nginx: /' "$work/nginx/error.log" >&2
    exit 1
}
trap skh_stop_started EXIT
trap 'exit 130' INT TERM

[ -f "$driver" ] || fail "$driver is missing: build the Windows tree first"
rm -rf "$work"
mkdir -p "$work/nginx/tmp" "$work/www"

# The tool is a Linux program: built here on its own, without the sanitizers of the
# native test tree, unless a build is named.
tool=${SKH_PUBLISH_TOOL:-}
if [ -z "$tool" ]; then
    cmake -S "$source/tools" -B "$build/host-tools" -DCMAKE_BUILD_TYPE=Release >/dev/null \
        && cmake --build "$build/host-tools" -j2 >/dev/null \
        || fail "cannot build skh_publish"
    tool=$build/host-tools/skh_publish
fi

# The client: nested folders, blanks, Windows-1252 letters (UTF-8 on this disk), an empty
# file, a file above the launcher's hash limit, and the launcher's own files, which the
# tool must leave out.
client=$work/client
mkdir -p "$client/café" "$client/dir one/sub folder" "$client/data/maps/ß"
printf 'résumé body\n' >"$client/café/résumé.txt"
printf 'a b' >"$client/dir one/sub folder/a b.txt"
printf '€ sign' >"$client/data/maps/ß/€uro – ™.dat"
: >"$client/data/empty.bin"
head -c 52428801 /dev/urandom >"$client/data/big.pak"
head -c 300000 /dev/urandom >"$client/SKH2026.exe"
printf 'MZ old launcher' >"$client/SKH2026_Patcher.exe"
printf 'stale' >"$client/SKH2026_patch.state"
expected_files=6

"$tool" publish --version "2026.1" "$client" "$work/www" >"$work/publish.log" 2>&1 \
    || { cat "$work/publish.log" >&2; fail "publish failed"; }
"$tool" verify "$work/www" >/dev/null || fail "verify rejects a fresh publish"
manifest=$work/www/skh-full/manifest.txt
[ "$(wc -l <"$manifest")" -eq "$expected_files" ] || fail "manifest has the wrong number of lines"
grep -q "^SKH2026_Patcher" "$manifest" && fail "the launcher's own file was published"
LC_ALL=C grep -qa "$(printf '^caf\xe9/r\xe9sum\xe9.txt|14|')" "$manifest" \
    || fail "manifest does not carry the Windows-1252 name"
grep -qa '^data/big.pak|52428801|big$' "$manifest" || fail "big file not marked big"

# nginx from the distribution, on a free port, with the harness's localhost certificate and
# the configuration the operator's guide shows.
skh_use_prefix "$harness/wineprefix"
skh_prepare_prefix "$build" "$harness/ca" "$harness/prefix.lock" || fail "no Wine prefix"
skh_start_nginx "$work/www" "$work/nginx" "$harness/ca" || fail "nginx did not start"
url=$SKH_NGINX_URL

# The server must find the file under the launcher's own request, byte for byte.
got=$(curl -sf --cacert "$harness/ca/ca.pem" "$url/skh-full/caf%E9/r%E9sum%E9.txt") \
    || fail "nginx does not serve the Windows-1252 request"
[ "$got" = "résumé body" ] || fail "nginx served the wrong body for the Windows-1252 name"
code=$(curl -s -o /dev/null -w '%{http_code}' --cacert "$harness/ca/ca.pem" \
    "$url/skh-full/caf%C3%A9/r%C3%A9sum%C3%A9.txt")
[ "$code" = 404 ] || fail "the UTF-8 spelling of the name is served too ($code)"
mkdir -p "$work/www/.skh-full.new"
printf 'half a release' >"$work/www/.skh-full.new/probe.txt"
code=$(curl -s -o /dev/null -w '%{http_code}' --cacert "$harness/ca/ca.pem" \
    "$url/.skh-full.new/probe.txt")
[ "$code" = 403 ] || fail "the staging folder is served ($code)"
rm -rf "$work/www/.skh-full.new"

skh_start_xvfb "$work" "${SKH_SCREEN:-1024x768x24}" || fail "no display"
game_unix=$WINEPREFIX/drive_c/skh-e2e/nginx-publish
rm -rf "$game_unix"
mkdir -p "$game_unix"
game='C:\skh-e2e\nginx-publish\'

run_patch() {
    wine "$driver" patch-run "$url" "$game" >"$work/run$1.log" 2>"$work/run$1.err" \
        || { cat "$work/run$1.log" "$work/run$1.err" >&2; fail "patch run $1 did not finish"; }
    tr -d '\r' <"$work/run$1.log" | sed -n 's/^seconds=[^ ]* status=//p'
}

status=$(run_patch 1)
[ "$status" = "Update selesai ($expected_files file). Siap dimainkan!" ] \
    || fail "first run ended with \"$status\""
# The game folder is the client minus the launcher's files, plus the state file.
diff -r --exclude=SKH2026_Patcher.exe --exclude=SKH2026_patch.state "$client" "$game_unix" \
    >"$work/diff.log" 2>&1 \
    || { cat "$work/diff.log" >&2; fail "game folder differs from the client"; }
[ -f "$game_unix/SKH2026_Patcher.exe" ] && fail "the launcher's own file was downloaded"
[ "$(cat "$game_unix/SKH2026_patch.state")" = "2026.1" ] || fail "state file not written"
[ "$(stat -c %s "$game_unix/SKH2026_patch.state")" -eq 6 ] || fail "state file has a line break"
grep -q '"GET /skh-full/caf%E9/r%E9sum%E9.txt HTTP/1.1" 200 .*"SKH2026-Patcher/1.0"' \
    "$work/nginx/access.log" \
    || fail "the launcher did not fetch the Windows-1252 name through nginx"

status=$(run_patch 2)
[ "$status" = "File lengkap & terbaru. Siap dimainkan!" ] \
    || fail "second run ended with \"$status\""

# A new version with one byte changed at the same size: only the digest check finds it.
printf 'résumé BODY\n' >"$client/café/résumé.txt"
"$tool" publish "$client" "$work/www" >/dev/null 2>&1 || fail "second publish failed"
[ "$(cat "$work/www/skh-full/version.txt")" = "2026.2" ] || fail "version not bumped"
status=$(run_patch 3)
[ "$status" = "Update selesai (1 file). Siap dimainkan!" ] \
    || fail "third run ended with \"$status\""
cmp -s "$client/café/résumé.txt" "$game_unix/café/résumé.txt" \
    || fail "changed file not patched"

skh_stop_started
wineserver -w
echo "nginx_publish: $expected_files files patched through nginx, names and bytes intact"
