#!/usr/bin/env bash
# The launcher replacing itself under Wine with the script it writes. (A launcher that finds its
# own build under the hand-over record hands over no more: patch_run_test.)
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
skh_begin self-update || exit 1
game=$WINEPREFIX/drive_c/skh-tests/e2e/self-update
tools=$WINEPREFIX/drive_c/skh-tests/e2e/tools
# The test launcher is build 4, the share offers build 5. The script runs its tools from the
# system folder, here stand-ins for tasklist and find, never a tasklist.exe of the game folder.
rm -rf "$game" "$tools"
mkdir -p "$game" "$tools" "$www/skh-share"
cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"
printf '5\r\n' >"$www/skh-share/patcher_version.txt"
for copy in "$www/skh-share/SKH2026_Patcher.exe" "$game/tasklist.exe" "$tools/tasklist.exe" \
    "$tools/find.exe"; do
    cp "$build/tests/win/stand_in.exe" "$copy"
done
export SKH_TEST_TOOLS_FOLDER='C:\skh-tests\e2e\tools'
touch "$tools/running"  # the script sees its launcher listed until this file goes
start_launcher "$game"
unset SKH_TEST_TOOLS_FOLDER
end_launcher
check "the old launcher ends with exit code 0" 0 "$ended"
check "it never reached the version check" 0 "$(requests /skh-full/version.txt)"
asked_twice() { [ "$(grep -c . "$tools/tasklist.exe.started" 2>/dev/null)" -ge 2 ]; }
wait_until 60 asked_twice || fail "the script did not ask for its launcher again"
check "while its launcher is listed the script waits and moves nothing" "yes no" \
    "$([ -e "$game/SKH2026_Patcher.new.exe" ] && echo yes || echo no) $([ -e "$game/SKH2026_Patcher.exe.started" ] && echo yes || echo no)"
rm "$tools/running"
# Only the stand-in records a start, and only under the launcher's own name once moved there.
wait_until 30 test -s "$game/SKH2026_Patcher.exe.started" || fail "the new build never started"
check "the new build runs from the game folder" 'cwd=C:\skh-tests\e2e\self-update args= show=1' \
    "$(cat "$game/SKH2026_Patcher.exe.started")"
script_done() { [ ! -e "$game/_skh_update.bat" ] && [ ! -e "$game/SKH2026_Patcher.new.exe" ]; }
wait_until 30 script_done || fail "the script or the new file stayed"
check "the hand-over is recorded for the next start" 5 "$(cat "$game/SKH2026_patch.handover")"
check "the script never ran the game folder's tasklist" no \
    "$([ -e "$game/tasklist.exe.started" ] && echo yes || echo no)"
report
