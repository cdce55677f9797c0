#!/usr/bin/env bash
# The real launcher when things go wrong outside it:
#   1. a server that stalls: the window keeps answering and closes at once, exit code 0;
#   2. a crash in the middle of a large download: the next start completes the folder and
#      records the version, fetching only what is still missing.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
work=$build/harness/e2e-reliability

skh_e2e_begin "$work" || exit 1
skh_start_server "$state" "$build/harness/ca" || exit 1
skh_start_xvfb "$state" 1024x768x24 || exit 1

game=$WINEPREFIX/drive_c/skh-e2e/reliability
probe_exe=$build/tests/win/shell_probe.exe
probe() { wine "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
requests_of() { cat "$state/requests.log" 2>/dev/null | grep -c -P "^GET\t$1\t"; }
requested() { [ "$(requests_of "$1")" -gt 0 ]; }
launcher_gone() { ! kill -0 "$launcher_pid" 2>/dev/null; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
start_launcher() {
    (cd "$work" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$game/SKH2026_Patcher.exe" >/dev/null 2>&1) &
    launcher_pid=$!
}
click_close() {
    local rect x y
    rect=$(probe window | sed -n 's/.* rect=\([^ ]*\).*/\1/p')
    x=${rect%%,*}
    rect=${rect#*,}
    y=${rect%%,*}
    xdotool mousemove $((x + 793)) $((y + 27)) click 1
}

www=$state/www
mkdir -p "$www/skh-share" "$www/skh-full"
printf '4\n' >"$www/skh-share/patcher_version.txt"
printf 'INFO|Server up|\n' >"$www/skh-share/news.txt"
rm -rf "$game"
mkdir -p "$game"
cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"

# ---- 1. A stalled server ----------------------------------------------------------------
printf 'v1\n' >"$www/skh-full/version.txt"
echo "/skh-full/version.txt stall 120" >"$state/faults.txt"
start_launcher
wait_until 30 requested /skh-full/version.txt || fail "version.txt was never requested"
answers=""
for _ in 1 2 3; do
    answers+="$(probe hittest:100,10 | cut -d' ' -f2) "
    sleep 0.5
done
check "the window answers while the patch thread waits" "100,10=2 100,10=2 100,10=2 " "$answers"
closed_at=$SECONDS
click_close
if wait_until 10 launcher_gone; then
    wait "$launcher_pid"
    check "closing during the stall: exit code" 0 $?
    check "closing during the stall takes no wait for the server" yes \
        "$([ $((SECONDS - closed_at)) -le 5 ] && echo yes || echo no)"
else
    fail "the launcher did not close while the server stalled"
fi
launcher_pid=
check "nothing recorded after a stalled run" no "$([ -e "$game/SKH2026_patch.state" ] && echo yes || echo no)"

# ---- 2. A crash in the middle of a large download ---------------------------------------
: >"$state/faults.txt"
head -c $((12 << 20)) /dev/urandom >"$www/skh-full/big.bin"
printf 'small file\n' >"$www/skh-full/a-small.txt"
big_sha=$(sha1sum <"$www/skh-full/big.bin" | cut -d' ' -f1)
printf 'a-small.txt|11|%s\nbig.bin|%d|%s\n' "$(sha1sum <"$www/skh-full/a-small.txt" | cut -d' ' -f1)" \
    $((12 << 20)) "$big_sha" >"$www/skh-full/manifest.txt"
echo "/skh-full/big.bin trickle 0.001" >"$state/faults.txt"
rm -f "$state/requests.log"
start_launcher
big_started() { [ "$(size_of "$game/big.bin")" -gt 262144 ]; }
if wait_until 60 big_started; then
    kill -9 "$launcher_pid"
    wait_until 10 launcher_gone
    wait "$launcher_pid" 2>/dev/null
    launcher_pid=
    wineserver -w 2>/dev/null
    partial=$(size_of "$game/big.bin")
    pass "killed in mid-download with $partial of $((12 << 20)) bytes on disk"
    check "no version recorded after the crash" no \
        "$([ -e "$game/SKH2026_patch.state" ] && echo yes || echo no)"
    check "the file before the crash is whole" "small file" "$(cat "$game/a-small.txt")"
else
    fail "the large download never started"
fi

: >"$state/faults.txt"
rm -f "$state/requests.log"
start_launcher
if wait_until 90 test -s "$game/SKH2026_patch.state"; then
    check "the restart records the version" v1 "$(cat "$game/SKH2026_patch.state")"
    check "the large file is complete" "$big_sha" "$(sha1sum <"$game/big.bin" | cut -d' ' -f1)"
    check "the restart fetched only the cut file" "0 1" \
        "$(requests_of /skh-full/a-small.txt) $(requests_of /skh-full/big.bin)"
else
    fail "the restarted launcher did not complete the folder"
fi
click_close
if wait_until 10 launcher_gone; then
    wait "$launcher_pid"
    check "close after the restart: exit code" 0 $?
fi
launcher_pid=

echo "reliability: $failures failure(s)"
[ "$failures" -eq 0 ]
