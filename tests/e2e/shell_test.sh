#!/usr/bin/env bash
# The real launcher as a player meets it: SKH2026_Patcher_test.exe copied into a game folder
# as SKH2026_Patcher.exe, run under Wine on an Xvfb screen against the local patch server,
# clicked with xdotool and looked at with shell_probe.exe. Two launcher runs:
#   1. 1024x768, the patch run held by a slow version.txt: window, buttons, hit test,
#      background, play ignored while patching, settings tool, web links, drag, minimise,
#      missing settings tool; then play once the run has ended starts the game and quits.
#   2. 800x600: placement off the screen's edge, missing client and a folder in its place,
#      close button.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
work=$build/harness/e2e-shell
mkdir -p "$work" "$build/screenshots"

skh_e2e_begin "$work" || exit 1

# The system browser of this prefix is a script that records the addresses it is handed.
browser_log=$work/browser.log
if [ ! -f "$WINEPREFIX/.skh-browser" ]; then
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$browser_log" >"$work/browser.sh"
    chmod +x "$work/browser.sh"
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$work/browser.sh" /f \
        >/dev/null 2>&1 || { echo "cannot set the recording browser" >&2; exit 1; }
    wineserver -w
    touch "$WINEPREFIX/.skh-browser"
fi

game=$WINEPREFIX/drive_c/skh-e2e/shell
game_win='C:\skh-e2e\shell'
probe_exe=$build/tests/win/shell_probe.exe
stub_exe=$build/tests/win/started_program_stub.exe

probe() { wine "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
requested() { grep -q -P "^GET\t$1\t" "$state/requests.log" 2>/dev/null; }
launcher_running() { kill -0 "$launcher_pid" 2>/dev/null; }
launcher_gone() { ! launcher_running; }
# Every later check needs the launcher: stop at once when it has gone away.
expect_running() {
    if launcher_running; then
        pass "launcher still runs $1"
    else
        fail "launcher ended $1"
        exit 1
    fi
}
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }

# Window origin on screen, read back from the window itself after every move.
origin_x=0
origin_y=0
read_origin() {
    local rect
    rect=$(probe window | field rect)
    origin_x=${rect%%,*}
    rect=${rect#*,}
    origin_y=${rect%%,*}
}
click() {
    xdotool mousemove $((origin_x + $1)) $((origin_y + $2)) click 1
    sleep 0.3
}
drag() {
    local x=$((origin_x + $1)) y=$((origin_y + $2))
    xdotool mousemove $x $y mousedown 1 sleep 0.3 mousemove $((x + $3 / 2)) $((y + $4 / 2)) \
        sleep 0.2 mousemove $((x + $3)) $((y + $4)) sleep 0.3 mouseup 1
    sleep 0.5
}
# Client centres of the buttons.
click_play() { click 622 443; }
click_close() { click 793 27; }
click_minimize() { click 729 27; }
click_setup() { click 761 27; }

new_game_folder() {
    rm -rf "$game"
    mkdir -p "$game"
    cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"
}
start_launcher() {
    rm -f "$state/requests.log" "$browser_log"
    # Started from another folder: the game folder must come from the program's own path.
    (cd "$work" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$game/SKH2026_Patcher.exe" >/dev/null 2>&1) &
    launcher_pid=$!
}
# Waits for the launcher to end and checks its exit code.
expect_exit_zero() {
    if wait_until 20 launcher_gone; then
        wait "$launcher_pid"
        check "$1: exit code" 0 $?
    else
        fail "$1: the launcher is still running"
    fi
    launcher_pid=
}

skh_start_server "$state" "$build/harness/ca" || exit 1
mkdir -p "$state/www/skh-share" "$state/www/skh-full"
printf '4\n' >"$state/www/skh-share/patcher_version.txt"
printf 'EVENT|Double drop|All weekend\r\nINFO|Server up\r\n' >"$state/www/skh-share/news.txt"

# ---- Run 1: 1024x768, patch run held ----------------------------------------------------
skh_start_xvfb "$state" 1024x768x24 || exit 1
# version.txt arrives in 512-byte pieces over about 20 s; manifest.txt is then missing, so
# the run ends there. A request for manifest.txt shows that the run went on.
{ printf '7\n'; head -c 5000 /dev/zero | tr '\0' '#'; } >"$state/www/skh-full/version.txt"
echo "/skh-full/version.txt trickle 2" >"$state/faults.txt"
new_game_folder
cp "$stub_exe" "$game/SKH2026.exe"
cp "$stub_exe" "$game/setrovia.exe"
start_launcher

shape=$(probe window buttons hittest:711,10 hittest:712,10 hittest:731,100 hittest:732,100 \
    hittest:100,145 hittest:100,146 hittest:300,300)
window_line=$(grep '^window ' <<<"$shape")
check "window class" SKH2026Patcher "$(field class <<<"$window_line")"
check "window title" "title=Skarnevo Kelmoran Heritage 2026" \
    "$(grep -o 'title=Skarnevo Kelmoran Heritage 2026 ' <<<"$window_line" | sed 's/ $//')"
check "centred 820x520 on 1024x768" 102,124,922,644 "$(field rect <<<"$window_line")"
style=$(field style <<<"$window_line")
# WS_POPUP and visible; no caption, border or sizing frame.
check "popup style" "0x80000000 0x10000000 0x0" \
    "$(printf '0x%X 0x%X 0x%X' $((style & 0x80000000)) $((style & 0x10000000)) \
        $((style & 0x00CF0000)))"
check "no extended style" 0x00000000 "$(field exstyle <<<"$window_line")"
expected_buttons="id=1006 rect=716,14,742,40
id=1004 rect=748,14,774,40
id=1002 rect=780,14,806,40
id=1007 rect=738,74,816,144
id=1003 rect=738,144,816,214
id=1005 rect=738,214,816,284
id=1008 rect=738,284,816,354
id=1009 rect=738,354,816,424
id=1001 rect=532,412,712,474"
check "nine buttons in creation order" "$expected_buttons" \
    "$(grep '^button ' <<<"$shape" | sed 's/.*\(id=[0-9]*\).*\(rect=[-0-9,]*\).*/\1 \2/')"
# Everything but identifier and rectangle, counted: all nine must be alike.
button_kinds=$(grep '^button ' <<<"$shape" | sed 's/ id=[0-9]*//; s/ rect=[-0-9,]*//' |
    sort | uniq -c | sed 's/^ *//')
check "buttons are empty owner-drawn BUTTON children" \
    "9 button class=Button style=0x5000000B exstyle=0x00000000 text=[]" "$button_kinds"
check "hit test bands" "711,10=2 712,10=1 731,100=2 732,100=1 100,145=2 100,146=1 300,300=1" \
    "$(grep '^hittest ' <<<"$shape" | cut -d' ' -f2 | tr '\n' ' ' | sed 's/ $//')"
read_origin

# The background resource is on screen where nothing is drawn over it.
wait_until 20 requested /skh-share/news.txt || fail "news.txt was never requested"
sleep 1
shot=$build/screenshots/shell_1024x768.png
import -window root "$shot"
bmp=$build/generated/pictures/background.bmp
for point in 640,112 600,300 780,480 500,30; do
    x=${point%,*}
    y=${point#*,}
    check "background pixel at $point" \
        "$(convert "$bmp" -format "%[pixel:p{$x,$y}]" info:)" \
        "$(convert "$shot" -format "%[pixel:p{$((origin_x + x)),$((origin_y + y))}]" info:)"
done

# Play while the patch run is held: nothing starts, no box, the launcher stays.
wait_until 20 requested /skh-full/version.txt || fail "version.txt was never requested"
click_play
check "play while patching shows no box" "nobox ok" "$(probe nobox:1500)"
if requested /skh-full/manifest.txt; then
    fail "the patch run ended too early for the play-while-patching check"
fi
if [ -e "$game/SKH2026.exe.started" ]; then
    fail "play while patching started the game"
else
    pass "play while patching starts nothing"
fi
expect_running "after play while patching"

# Settings tool while patching: started with the game folder as working directory.
click_setup
if wait_until 10 test -s "$game/setrovia.exe.started"; then
    check "setrovia started in the game folder" "cwd=$game_win" \
        "$(head -1 "$game/setrovia.exe.started" | tr -d '\r')"
else
    fail "setrovia.exe was not started"
fi
expect_running "after setup"

# The five side buttons hand their exact addresses to the system browser. One at a time:
# each press starts a browser process of its own, and those may finish in any order.
links=$'109 https://www.skarnevo.example/
179 https://cp.skarnevo.example/?module=master&action=register
249 https://discord.skarnevo.example/invite
319 https://facebook.skarnevo.example/
389 https://instagram.skarnevo.example/'
count=0
while read -r y address; do
    count=$((count + 1))
    click 777 "$y"
    wait_until 15 test "$(wc -l <"$browser_log" 2>/dev/null || echo 0)" -ge $count
    check "side button at y $y opens its address" "$address" \
        "$(sed -n "${count}p" "$browser_log" 2>/dev/null)"
done <<<"$links"

# A press on the news panel and one in the title band both move the window.
before_x=$origin_x
before_y=$origin_y
drag 250 300 40 30
read_origin
check "news panel drag moves the window" "$((before_x + 40)),$((before_y + 30))" \
    "$origin_x,$origin_y"
drag 300 20 -20 -10
read_origin
check "title band drag moves the window" "$((before_x + 20)),$((before_y + 20))" \
    "$origin_x,$origin_y"

# Minimise, then restore it as the taskbar would.
click_minimize
restored=$(probe window restore window)
check "minimise makes the window iconic" "iconic=1" \
    "$(grep '^window ' <<<"$restored" | head -1 | grep -o 'iconic=[01]')"
check "restore brings it back in place" \
    "$origin_x,$origin_y,$((origin_x + 820)),$((origin_y + 520)) iconic=0" \
    "$(grep '^window ' <<<"$restored" | tail -1 | sed 's/.*rect=\([^ ]*\).*\(iconic=[01]\)/\1 \2/')"

# Settings tool missing: the warning box, owned by the launcher, which stays.
rm -f "$game/setrovia.exe"
click_setup
check "missing setrovia.exe warns" \
    "box owner=launcher text=setrovia.exe tidak ditemukan di folder game." \
    "$(probe box:5000 | head -1)"
expect_running "after the settings warning"

# Once the held run has gone on and ended, play starts the game and the launcher quits.
wait_until 60 requested /skh-full/manifest.txt && pass "patching went on" ||
    fail "manifest.txt was never requested"
for _ in $(seq 20); do
    click_play
    wait_until 2 launcher_gone && break
done
expect_exit_zero "play after the run"
if [ -s "$game/SKH2026.exe.started" ]; then
    check "game started once in the game folder" "cwd=$game_win" \
        "$(tr -d '\r' <"$game/SKH2026.exe.started" | grep '^cwd=')"
else
    fail "SKH2026.exe was not started"
fi

# ---- Run 2: 800x600 ---------------------------------------------------------------------
# A new screen needs a new Wine desktop: end the first one with everything on it.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
skh_stop_started
skh_start_server "$state" "$build/harness/ca" || exit 1
skh_start_xvfb "$state" 800x600x24 || exit 1
rm -f "$state/faults.txt"
new_game_folder
start_launcher
check "overhangs an 800x600 screen" -10,40,810,560 "$(probe window | field rect)"
read_origin

# The run ends quickly (no manifest); play is ignored until then, so press until the box.
box=
for _ in $(seq 20); do
    click_play
    box=$(probe box:1500 | head -1)
    [ "$box" != "box none" ] && break
done
warning="box owner=launcher text=SKH2026.exe belum lengkap. Tunggu patch selesai / jalankan ulang."
check "missing client warns" "$warning" "$box"
mkdir "$game/SKH2026.exe"
click_play
check "a folder named SKH2026.exe warns" "$warning" "$(probe box:5000 | head -1)"
expect_running "after the client warnings"

click_close
expect_exit_zero "close button"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all shell checks passed"
