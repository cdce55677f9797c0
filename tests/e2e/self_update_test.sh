#!/usr/bin/env bash
# The launcher replacing itself under Wine: SKH2026_Patcher_test.exe in a game folder, the
# local patch server offering build 5. Cases: a stand-in new build, the real launcher as the
# new build, a launcher under another name, and the script's wait loop, whose process probe
# is swapped for a flag file because Wine's tasklist is a stub and its find refuses /i.
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
same() { cmp -s "$1" "$2" && pass "$3" || fail "$3"; }

# fresh_game NAME BUILD SHARED_EXE: the launcher as NAME in an empty game folder.
fresh_game() {
    rm -rf "$game" "$www"
    mkdir -p "$game" "$www/skh-share" "$www/skh-full"
    : >"$state/requests.log"
    cp "$launcher_exe" "$game/$1"
    printf "$2" >"$www/skh-share/patcher_version.txt"
    cp "$3" "$www/skh-share/SKH2026_Patcher.exe"
}

# Runs a launcher file of the game folder until it ends; prints its exit code.
run_launcher() {
    local pid
    (cd "$work" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$game/$1" >/dev/null 2>&1) &
    pid=$!
    wait_until 120 bash -c "! kill -0 $pid 2>/dev/null" || { kill "$pid" 2>/dev/null; echo timeout; return; }
    wait "$pid"
    echo $?
}

# 1. The old launcher exits with 0; the script moves the stand-in over it, starts it from
# the game folder and deletes itself.
fresh_game SKH2026_Patcher.exe '5\r\n' "$new_build_exe"
check "old launcher ends with exit code 0" 0 "$(run_launcher SKH2026_Patcher.exe)"
check "old launcher never reached the version check" 0 "$(requests /skh-full/version.txt)"
wait_until 30 test -f "$game/new_launcher_started.txt" || fail "the script never started the new build"
check "new build started from the game folder" \
    "module=$game_win\\SKH2026_Patcher.exe|cwd=$game_win|" \
    "$(tr '\n' '|' <"$game/new_launcher_started.txt" 2>/dev/null)"
wait_until 30 script_done || fail "script or new file still in the game folder"
same "$new_build_exe" "$game/SKH2026_Patcher.exe" "new build moved over the launcher"
check "game folder holds only the new launcher and its record" \
    "SKH2026_Patcher.exe new_launcher_started.txt" "$(ls "$game" | tr '\n' ' ' | sed 's/ $//')"

# 2. The real launcher updates again while the share offers 5, and patches once it says 4.
fresh_game SKH2026_Patcher.exe 5 "$launcher_exe"
printf 'v1\n' >"$www/skh-full/version.txt"
printf '# nothing to fetch\n' >"$www/skh-full/manifest.txt"
check "first launcher ends with exit code 0" 0 "$(run_launcher SKH2026_Patcher.exe)"
wait_until 60 bash -c "[ \$(grep -c -P '^GET\t/skh-share/patcher_version.txt\t' \
    '$state/requests.log') -ge 2 ]" || fail "no launcher started after the hand-over"
printf '4' >"$www/skh-share/patcher_version.txt"
wait_until 120 test -f "$game/SKH2026_patch.state" || fail "the new launcher never finished a patch run"
check "the new launcher finished its own patch run" v1 "$(cat "$game/SKH2026_patch.state" 2>/dev/null)"
wait_until 30 bash -c "xdotool search --name 'Skarnevo Kelmoran Heritage 2026' >/dev/null" ||
    fail "no launcher window after the update"
check "only the settled launcher checked the game files" 1 "$(requests /skh-full/version.txt)"
wait_until 30 script_done || fail "script or new file left after the updates"
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

# 3. Started under another name: the script waits for nothing and installs the new build.
fresh_game Launcher_old.exe 5 "$new_build_exe"
check "renamed launcher ends with exit code 0" 0 "$(run_launcher Launcher_old.exe)"
wait_until 30 test -f "$game/new_launcher_started.txt" || fail "new build not started"
wait_until 30 script_done || fail "script or new file left behind"
same "$new_build_exe" "$game/SKH2026_Patcher.exe" "new build installed as SKH2026_Patcher.exe"
same "$launcher_exe" "$game/Launcher_old.exe" "renamed launcher left untouched"

# 4. The product's own script with only line 5 replaced: "dir" of a flag file stands in for
# the process probe, with the same errorlevels (0 while the flag exists).
fresh_game SKH2026_Patcher.exe 5 "$new_build_exe"
cp "$new_build_exe" "$game/SKH2026_Patcher.new.exe"
printf 'old' >"$game/SKH2026_Patcher.exe"
touch "$game/hold.flag"
# The script's bytes as the shipped launcher holds them.
python3 - "$build/SKH2026_Patcher.exe" "$game/_skh_update.bat" <<'PY'
import sys
image = open(sys.argv[1], "rb").read()
start = image.index(b"@echo off\r\n")
lines = image[start:start + 320].split(b"\r\n")
assert lines[4].startswith(b"tasklist "), lines[4]
lines[4] = b'dir /b "hold.flag" >nul 2>&1'
open(sys.argv[2], "wb").write(b"\r\n".join(lines))
PY
(cd "$work" && exec wine cmd /c "$game_win\\_skh_update.bat" >/dev/null 2>&1) &
script_pid=$!
sleep 4
check "while the flag stands the script waits" old "$(cat "$game/SKH2026_Patcher.exe")"
kill -0 $script_pid 2>/dev/null && pass "script still looping" || fail "script ended early"
rm -f "$game/hold.flag"
wait_until 30 bash -c "! kill -0 $script_pid 2>/dev/null" || fail "script did not leave its loop"
wait_until 30 test -f "$game/new_launcher_started.txt" || fail "new build not started after the wait"
same "$new_build_exe" "$game/SKH2026_Patcher.exe" "moved after the wait"
wait_until 10 bash -c "[ ! -e '$game/_skh_update.bat' ]" && pass "script deleted itself" ||
    fail "script still present"

[ $failures -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all self-update checks passed"
