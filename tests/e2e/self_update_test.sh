#!/usr/bin/env bash
# The launcher replacing itself under Wine: SKH2026_Patcher_test.exe copied into a game
# folder as SKH2026_Patcher.exe, pointed at the local patch server, which offers build 5.
#   1. The new build is a stand-in that records where it was started: the old launcher
#      exits with code 0, the script moves the new file over it, starts it from the game
#      folder and deletes itself.
#   2. The new build is the real launcher: it runs its own patch run from the start, the
#      self-update included, and settles once the share stops offering a newer build.
#   3. A launcher under another file name is left alone; the new one is installed under
#      the launcher's name at once.
#   4. The script's wait loop, with its process probe swapped for a flag file: Wine's
#      tasklist is a stub and its find refuses /i, so the real probe cannot run here.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
work=$build/harness/e2e-self-update

skh_e2e_begin "$work" || exit 1
skh_start_xvfb "$state" 1024x768x24 || exit 1
skh_start_server "$state" "$build/harness/ca" || exit 1

launcher_exe=$build/SKH2026_Patcher_test.exe
new_build_exe=$build/tests/win/new_launcher_stub.exe
game=$WINEPREFIX/drive_c/skh-e2e/self-update
game_win='C:\skh-e2e\self-update'
www=$state/www

requests() { grep -c -P "^GET\t$1\t" "$state/requests.log" 2>/dev/null; }
script_done() { [ ! -e "$game/_skh_update.bat" ] && [ ! -e "$game/SKH2026_Patcher.new.exe" ]; }

fresh_game() {
    rm -rf "$game" "$www"
    mkdir -p "$game" "$www/skh-share" "$www/skh-full"
    : >"$state/requests.log"
}

# Runs the launcher file given (relative to the game folder) and waits until it ends;
# prints its exit code.
run_launcher() {
    local pid
    (cd "$work" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$game/$1" >/dev/null 2>&1) &
    pid=$!
    if ! wait_until 120 bash -c "! kill -0 $pid 2>/dev/null"; then
        kill "$pid" 2>/dev/null
        echo timeout
        return
    fi
    wait "$pid"
    echo $?
}

# 1. Hand-over to a stand-in new build.
fresh_game
cp "$launcher_exe" "$game/SKH2026_Patcher.exe"
printf '5\r\n' >"$www/skh-share/patcher_version.txt"
cp "$new_build_exe" "$www/skh-share/SKH2026_Patcher.exe"
check "old launcher ends with exit code 0" 0 "$(run_launcher SKH2026_Patcher.exe)"
check "old launcher never reached the version check" 0 "$(requests /skh-full/version.txt)"
if wait_until 30 test -f "$game/new_launcher_started.txt"; then
    check "new build started from the game folder" \
        "module=$game_win\\SKH2026_Patcher.exe|cwd=$game_win|" \
        "$(tr '\n' '|' <"$game/new_launcher_started.txt")"
else
    fail "the script never started the new build"
fi
wait_until 30 script_done || fail "script or new file still in the game folder"
if cmp -s "$new_build_exe" "$game/SKH2026_Patcher.exe"; then
    pass "new build moved over the launcher"
else
    fail "SKH2026_Patcher.exe is not the new build"
fi
check "game folder holds only the new launcher and its record" \
    "SKH2026_Patcher.exe new_launcher_started.txt" "$(ls "$game" | tr '\n' ' ' | sed 's/ $//')"

# 2. The real launcher as the new build: every start that still sees build 5 on the share
# updates again; once the share says 4 the started launcher goes on with its patch run.
fresh_game
cp "$launcher_exe" "$game/SKH2026_Patcher.exe"
printf '5' >"$www/skh-share/patcher_version.txt"
cp "$launcher_exe" "$www/skh-share/SKH2026_Patcher.exe"
printf 'v1\n' >"$www/skh-full/version.txt"
printf '# nothing to fetch\n' >"$www/skh-full/manifest.txt"
check "first launcher ends with exit code 0" 0 "$(run_launcher SKH2026_Patcher.exe)"
if wait_until 60 bash -c "[ \$(grep -c -P '^GET\t/skh-share/patcher_version.txt\t' \
        '$state/requests.log') -ge 2 ]"; then
    pass "the started launcher ran the self-update stage again"
else
    fail "no launcher started after the hand-over"
fi
printf '4' >"$www/skh-share/patcher_version.txt"
if wait_until 120 test -f "$game/SKH2026_patch.state"; then
    check "the new launcher finished its own patch run" v1 "$(cat "$game/SKH2026_patch.state")"
else
    fail "the new launcher never finished a patch run"
fi
if wait_until 30 bash -c "xdotool search --name 'Skarnevo Kelmoran Heritage 2026' >/dev/null"; then
    pass "the new launcher shows its window"
else
    fail "no launcher window after the update"
fi
check "only the settled launcher checked the game files" 1 "$(requests /skh-full/version.txt)"
wait_until 30 script_done || fail "script or new file left after the updates"
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

# 3. Started under another name: the script waits for nothing and installs the new build.
fresh_game
cp "$launcher_exe" "$game/Launcher_old.exe"
printf '5' >"$www/skh-share/patcher_version.txt"
cp "$new_build_exe" "$www/skh-share/SKH2026_Patcher.exe"
check "renamed launcher ends with exit code 0" 0 "$(run_launcher Launcher_old.exe)"
wait_until 30 test -f "$game/new_launcher_started.txt" || fail "new build not started"
wait_until 30 script_done || fail "script or new file left behind"
cmp -s "$new_build_exe" "$game/SKH2026_Patcher.exe" && pass "new build installed as SKH2026_Patcher.exe" ||
    fail "SKH2026_Patcher.exe missing or wrong"
cmp -s "$launcher_exe" "$game/Launcher_old.exe" && pass "renamed launcher left untouched" ||
    fail "renamed launcher changed"

# 4. The loop of the product's own script, with only line 5 replaced: "dir" of a flag file
# stands in for the process probe, with the same errorlevels (0 while the flag exists).
fresh_game
loop_script=$game/_skh_update.bat
cp "$new_build_exe" "$game/SKH2026_Patcher.new.exe"
printf 'old' >"$game/SKH2026_Patcher.exe"
touch "$game/hold.flag"
python3 - "$SKH_SOURCE_DIR/patch/update_script.cpp" "$loop_script" <<'EOF'
import re, sys
source = open(sys.argv[1], encoding="utf-8").read()
body = source[source.index("kUpdateScript[] ="):source.index(";", source.index("kUpdateScript[] ="))]
text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', body))
text = text.encode().decode("unicode_escape")
lines = text.split("\r\n")
assert lines[4].startswith("tasklist "), lines[4]
lines[4] = 'dir /b "hold.flag" >nul 2>&1'
open(sys.argv[2], "wb").write("\r\n".join(lines).encode())
EOF
(cd "$work" && exec wine cmd /c "$game_win\\_skh_update.bat" >/dev/null 2>&1) &
script_pid=$!
sleep 4
check "while the flag stands the script waits" old "$(cat "$game/SKH2026_Patcher.exe")"
kill -0 $script_pid 2>/dev/null && pass "script still looping" || fail "script ended early"
rm -f "$game/hold.flag"
wait_until 30 bash -c "! kill -0 $script_pid 2>/dev/null" || fail "script did not leave its loop"
wait_until 30 test -f "$game/new_launcher_started.txt" || fail "new build not started after the wait"
cmp -s "$new_build_exe" "$game/SKH2026_Patcher.exe" && pass "moved after the wait" ||
    fail "not moved after the wait"
wait_until 10 bash -c "[ ! -e '$loop_script' ]" && pass "script deleted itself" ||
    fail "script still present"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all self-update checks passed"
