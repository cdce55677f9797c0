#!/usr/bin/env bash
# The operator's path: a client published and signed with skh_publish, served by nginx with the
# operator's guide's configuration, patched by launchers built without a key and with one.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
skh_begin nginx || exit 1
tool=${SKH_PUBLISH:?SKH_PUBLISH names the skh_publish to publish with}
keys=$build/test-keys/release

# The client: nested folders, blanks, Windows-1252 letters (UTF-8 on this disk), an empty
# file, one above the launcher's hash limit, and the launcher's own file, which is left out.
client=$state/client
mkdir -p "$client/café" "$client/dir one/sub folder" "$client/data/maps/ß"
printf 'résumé body\n' >"$client/café/résumé.txt"
printf 'a b' >"$client/dir one/sub folder/a b.txt"
printf '€ sign' >"$client/data/maps/ß/€uro – ™.dat"
: >"$client/data/empty.bin"
head -c 52428801 /dev/urandom >"$client/data/big.pak"
printf 'MZ old launcher' >"$client/SKH2026_Patcher.exe"
release() {  # release VERSION: the client published, signed and verified
    "$tool" publish --version "$1" --key "$keys/release_private.pem" "$client" "$www" >/dev/null &&
        "$tool" verify --key "$keys/release_public.der" "$www" >/dev/null || fail "release $1"
}
release 2026.1

skh_start_nginx "$www" "$state/nginx" "$ca" || fail "nginx did not start"
url=$SKH_NGINX_URL
status_of() { curl -s -o /dev/null -w '%{http_code}' --cacert "$ca/ca.pem" "$url/$1"; }
check "nginx finds the launcher's Windows-1252 request, not the UTF-8 spelling" "200 404" \
    "$(status_of 'skh-full/caf%E9/r%E9sum%E9.txt') $(status_of 'skh-full/caf%C3%A9/r%C3%A9sum%C3%A9.txt')"
mkdir -p "$www/.skh-full.new"
printf 'half a release' >"$www/.skh-full.new/x.txt"
check "the staging folder is not served" 403 "$(status_of .skh-full.new/x.txt)"

# patch DRIVER FOLDER: one patch run of the launcher's code into a game folder; prints the
# status line it ended with, as its run log records it for support.
patch() {
    wine "$build/bench/$1.exe" patch-run "$url" "C:\\skh-tests\\e2e\\$2\\" >/dev/null 2>&1
    tr -d '\r' <"$game/SKH2026_patch.log" | sed -n 's/^final status: //p'
}
for driver in bench_driver bench_driver_signed; do
    game=$WINEPREFIX/drive_c/skh-tests/e2e/nginx-$driver
    rm -rf "$game"
    mkdir -p "$game"
    check "$driver: an empty folder is patched" "Update selesai (5 file). Siap dimainkan!" \
        "$(patch "$driver" "nginx-$driver")"
    diff -r --exclude=SKH2026_Patcher.exe --exclude='SKH2026_patch.*' "$client" "$game" &&
        pass "$driver: the game folder is the client" || fail "$driver: the folder differs"
done

# The next version rewrites 1 MiB inside the big archive, its size unchanged: each launcher
# syncs it by its chunk index, fetching little more than that MiB in nginx's 206 answers.
dd if=/dev/urandom of="$client/data/big.pak" bs=1M seek=20 count=1 conv=notrunc status=none
release 2026.2
for driver in bench_driver bench_driver_signed; do
    : >"$state/nginx/access.log"
    game=$WINEPREFIX/drive_c/skh-tests/e2e/nginx-$driver
    check "$driver: the changed archive is synced" "Update selesai (1 file). Siap dimainkan!" \
        "$(patch "$driver" "nginx-$driver")"
    cmp -s "$client/data/big.pak" "$game/data/big.pak" && pass "$driver: the archive is v2" ||
        fail "$driver: the archive differs"
    sent=$(awk '$7 == "/skh-full/data/big.pak" && $9 == 206 { s += $10 } END { print s + 0 }' \
        "$state/nginx/access.log")
    [ "$sent" -ge 1048576 ] && [ "$sent" -le $((2 << 20)) ] &&
        pass "$driver: $sent bytes of the archive fetched in ranges" ||
        fail "$driver: $sent bytes of the archive fetched in ranges"
done
# The cache lifetimes of the guide's CDN section, path by path, with a launcher offer and news.
"$tool" launcher --build 9 "${SKH_SHIPPED_BUILD_DIR:?}/SKH2026_Patcher.exe" "$www" >/dev/null ||
    fail "launcher offer"
printf 'INFO|Hari ini|Server baru\n' >"$www/skh-share/news.txt"
cache_of() { curl -s -o /dev/null -w '%header{cache-control}' --cacert "$ca/ca.pem" "$url/$1"; }
for path in skh-full/version.txt skh-full/manifest.txt skh-share/patcher_version.txt \
    skh-share/SKH2026_Patcher.exe 'skh-full/caf%E9/r%E9sum%E9.txt'; do
    check "$path is revalidated by every cache" no-cache "$(cache_of "$path")"
done
check "the news may be cached for a minute" max-age=60 "$(cache_of skh-share/news.txt)"

# A cut download above 8 MiB resumes: a second, slow nginx on the tree has its worker ended in
# mid-body; the worker its master starts answers the Range with If-Range by a 206 of the rest.
rm "$www/skh-share/patcher_version.txt"  # no hand-over to the offer above
head -c 20971520 /dev/urandom >"$client/data/voice.bank"
release 2026.3
skh_start_nginx "$www" "$state/slow" "$ca" "limit_rate_after 4m; limit_rate 8m;" ||
    fail "the slow nginx"
master=${skh_pids[-1]} url=$SKH_NGINX_URL game=$WINEPREFIX/drive_c/skh-tests/e2e/nginx-bench_driver
patch bench_driver nginx-bench_driver >/dev/null &
run=$!
part_at_6m() { [ -n "$(find "$game/data" -name voice.bank.skh2026-part -size +6M)" ]; }
wait_until 30 part_at_6m
for stat in /proc/[0-9]*/stat; do  # the worker: the child of the master this test started
    read -r worker _ _ parent _ <"$stat" 2>/dev/null && [ "$parent" = "$master" ] && kill -9 "$worker"
done
wait "$run"
cmp -s "$client/data/voice.bank" "$game/data/voice.bank" && pass "the cut file is resumed whole" ||
    fail "the resumed file differs"
# The ended worker logs nothing: the log holds the 206 alone, of at most the 14 MiB missing.
check "the rest in one 206 of at most 14 MiB" "0 1 1" "$(awk '$7 == "/skh-full/data/voice.bank" {
    n[$9]++; s += $10 } END { print n[200] + 0, n[206] + 0, (s <= 14680064) }' "$state/slow/access.log")"
report
