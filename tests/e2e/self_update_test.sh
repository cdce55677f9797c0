#!/usr/bin/env bash
# The launcher replacing itself under Wine with the script it writes: 1. a real newer build
# (the stand-in) takes its place and starts; 2. an offer of build 5 that serves this build 4
# hands over once, then patches; 3. the script's wait loop, its process probe swapped for a
# flag file, because Wine's tasklist cannot find a process by name.
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

# 3. The product's own script, as the shipped launcher holds it, with line 5 replaced:
# "dir" of a flag file gives the same errorlevels as the process probe.
offer 5 "$stub"
cp "$stub" "$game/SKH2026_Patcher.new.exe"
printf 'old' >"$game/SKH2026_Patcher.exe"
touch "$game/hold.flag"
python3 - "$build/SKH2026_Patcher.exe" "$game/_skh_update.bat" <<'PY'
import sys
image = open(sys.argv[1], "rb").read()
start = image.index(b"@echo off\r\n")
lines = image[start:start + 320].split(b"\r\n")
assert lines[4].startswith(b"tasklist "), lines[4]
lines[4] = b'dir /b "hold.flag" >nul 2>&1'
open(sys.argv[2], "wb").write(b"\r\n".join(lines))
PY
(cd "$game" && exec wine cmd /c '_skh_update.bat' >/dev/null 2>&1) &
script_pid=$!
wait_until 3 bash -c "! kill -0 $script_pid 2>/dev/null"
check "while the launcher runs the script waits" "old running" \
    "$(cat "$game/SKH2026_Patcher.exe") $(kill -0 $script_pid 2>/dev/null && echo running)"
rm "$game/hold.flag"
wait_until 30 bash -c "! kill -0 $script_pid 2>/dev/null" || fail "the script did not leave its loop"
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" || fail "the new build was not started"
same "$stub" "$game/SKH2026_Patcher.exe" "moved after the wait"
check "the script deleted itself" no "$([ -e "$game/_skh_update.bat" ] && echo yes || echo no)"
report
