#!/usr/bin/env bash
# The launcher replacing itself under Wine with the script it writes: 1. a real newer build
# (the stand-in) takes its place and starts, the hand-over recorded (a launcher that finds its
# own build under that record hands over no more: patch_run_test); 2. the script waits for its
# own launcher.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
skh_begin self-update || exit 1
game=$WINEPREFIX/drive_c/skh-tests/e2e/self-update
stub=$build/tests/win/stand_in.exe
script_done() { [ ! -e "$game/_skh_update.bat" ] && [ ! -e "$game/SKH2026_Patcher.new.exe" ]; }
same() { cmp -s "$1" "$2" && pass "$3" || fail "$3"; }
# A fresh game folder holding the test launcher (build 4), and the share's offer of build 5.
offer() {
    rm -rf "$game"
    mkdir -p "$game" "$www/skh-share"
    rm -f "$state/requests.log"
    cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"
    printf '5\r\n' >"$www/skh-share/patcher_version.txt"
    cp "$stub" "$www/skh-share/SKH2026_Patcher.exe"
}
mkdir -p "$www/skh-full"
printf 'v1\n' >"$www/skh-full/version.txt"
printf '# nothing to fetch\n' >"$www/skh-full/manifest.txt"

# 1.
offer
start_launcher "$game"
end_launcher
check "the old launcher ends with exit code 0" 0 "$ended"
check "it never reached the version check" 0 "$(requests /skh-full/version.txt)"
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" || fail "the new build never started"
check "the new build runs from the game folder" 'cwd=C:\skh-tests\e2e\self-update args= show=1' \
    "$(cat "$game/SKH2026_Patcher.exe.started")"
wait_until 30 script_done || fail "the script or the new file stayed"
same "$stub" "$game/SKH2026_Patcher.exe" "the new build took the launcher's place"
check "the hand-over is recorded for the next start" 5 "$(cat "$game/SKH2026_patch.handover")"

# 2. The script runs its tools from the system folder, here stand-ins that list processes as
# tasklist does (Wine's lists none), and waits while its launcher is listed; a tasklist.exe in
# the game folder never runs. (Launchers of two folders side by side: session_test.)
tools=$WINEPREFIX/drive_c/skh-tests/e2e/tools
rm -rf "$tools"
mkdir -p "$tools"
cp "$stub" "$tools/tasklist.exe"
cp "$stub" "$tools/find.exe"
offer
cp "$stub" "$game/tasklist.exe"
export SKH_TEST_TOOLS_FOLDER='C:\skh-tests\e2e\tools'
touch "$tools/running"  # the script sees its launcher listed until this file goes
start_launcher "$game"
unset SKH_TEST_TOOLS_FOLDER
end_launcher
check "the launcher hands over" 0 "$ended"
asked_twice() { [ "$(grep -c . "$tools/tasklist.exe.started" 2>/dev/null)" -ge 2 ]; }
wait_until 60 asked_twice || fail "the script did not ask for its launcher again"
check "while its launcher is listed the script waits and moves nothing" "yes no" \
    "$([ -e "$game/SKH2026_Patcher.new.exe" ] && echo yes || echo no) $([ -e "$game/SKH2026_Patcher.exe.started" ] && echo yes || echo no)"
rm "$tools/running"
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" || fail "the new build never started"
same "$stub" "$game/SKH2026_Patcher.exe" "the new build took the launcher's place"
check "the script ran the system folder's tasklist, never the game folder's" "yes no" \
    "$([ -s "$tools/tasklist.exe.started" ] && echo yes || echo no) $([ -e "$game/tasklist.exe.started" ] && echo yes || echo no)"
report
