#!/usr/bin/env bash
# The launcher replacing itself under Wine with the script it writes: 1. a real newer build
# (the stand-in) takes its place and starts; 2. an offer of build 5 that serves this build 4
# hands over once, then patches; 3. a hand-over in one folder while a launcher runs in another.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
skh_begin self-update || exit 1
game=$WINEPREFIX/drive_c/skh-tests/e2e/self-update
stub=$build/tests/win/stand_in.exe
script_done() { [ ! -e "$game/_skh_update.bat" ] && [ ! -e "$game/SKH2026_Patcher.new.exe" ]; }
same() { cmp -s "$1" "$2" && pass "$3" || fail "$3"; }
# offer BUILD SERVED_EXE: a fresh game folder holding the test launcher, and the share's offer.
offer() {
    rm -rf "$game"
    mkdir -p "$game" "$www/skh-share"
    rm -f "$state/requests.log"
    cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"
    printf '%s\r\n' "$1" >"$www/skh-share/patcher_version.txt"
    cp "$2" "$www/skh-share/SKH2026_Patcher.exe"
}
mkdir -p "$www/skh-full"
printf 'v1\n' >"$www/skh-full/version.txt"
printf '# nothing to fetch\n' >"$www/skh-full/manifest.txt"

# 1.
offer 5 "$stub"
start_launcher "$game"
end_launcher
check "the old launcher ends with exit code 0" 0 "$ended"
check "it never reached the version check" 0 "$(requests /skh-full/version.txt)"
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" || fail "the new build never started"
check "the new build runs from the game folder" 'cwd=C:\skh-tests\e2e\self-update args= show=1' \
    "$(cat "$game/SKH2026_Patcher.exe.started")"
wait_until 30 script_done || fail "the script or the new file stayed"
same "$stub" "$game/SKH2026_Patcher.exe" "the new build took the launcher's place"

# 2.
offer 5 "$build/SKH2026_Patcher_test.exe"
start_launcher "$game"
end_launcher
check "the launcher hands over once" 0 "$ended"
wait_until 60 test -s "$game/SKH2026_patch.state" || fail "no launcher reached the play button"
check "the launcher that started after it patched" v1 "$(cat "$game/SKH2026_patch.state")"
check "at most two downloads of the launcher" yes \
    "$([ "$(requests /skh-share/SKH2026_Patcher.exe)" -le 2 ] && echo yes || echo no)"
wait_until 30 script_done || fail "the script or the new file stayed"
wait_until 10 bash -c "xdotool search --name 'Skarnevo Kelmoran Heritage 2026' >/dev/null" ||
    fail "no launcher window after the hand-over"
# The script started that launcher for this test: it ends here, found by its exact program
# path in this test's own folder, and by its process id.
handed=$(for p in /proc/[0-9]*; do
    [ "$(tr '\0' '\n' <"$p/cmdline" 2>/dev/null | head -1)" = 'C:\skh-tests\e2e\self-update\SKH2026_Patcher.exe' ] &&
        echo "${p#/proc/}"
done)
check "one launcher runs after the hand-over" 1 "$(wc -w <<<"$handed")"
kill $handed 2>/dev/null
gone() { ! kill -0 $handed 2>/dev/null; }
wait_until 10 gone || fail "the handed-over launcher did not end"

# 3. Two game folders: one hands over while the other's launcher runs on. The script runs its
# tools from the system folder, here stand-ins that list processes as tasklist does (Wine's
# lists none), and waits for its own launcher only; a tasklist.exe in the game folder never runs.
tools=$WINEPREFIX/drive_c/skh-tests/e2e/tools
other=$WINEPREFIX/drive_c/skh-tests/e2e/self-update-other
rm -rf "$tools" "$other"
mkdir -p "$tools" "$other"
cp "$stub" "$tools/tasklist.exe"
cp "$stub" "$tools/find.exe"
cp "$build/SKH2026_Patcher_test.exe" "$other/SKH2026_Patcher.exe"
rm -f "$www/skh-share/patcher_version.txt"
start_launcher "$other"
other_pid=$launcher_pid
wait_until 60 test -s "$other/SKH2026_patch.state" || fail "the other folder's launcher did not run"
game=$game-two
offer 5 "$stub"
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
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" ||
    fail "the hand-over waited for the other folder's launcher"
same "$stub" "$game/SKH2026_Patcher.exe" "the new build took the launcher's place"
check "the other folder's launcher runs on, untouched" "running SKH2026_Patcher.exe" \
    "$(kill -0 "$other_pid" 2>/dev/null && echo running) $(ls "$other" | grep -v '^SKH2026_patch')"
check "the script ran the system folder's tasklist, never the game folder's" "yes no" \
    "$([ -s "$tools/tasklist.exe.started" ] && echo yes || echo no) $([ -e "$game/tasklist.exe.started" ] && echo yes || echo no)"
report
