#!/usr/bin/env bash
# The real launcher as players meet it, clicked with xdotool, watched with stand_in.exe and
# photographed: held at its start, patching then finished, one launcher per game folder.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
skh_begin session desktop && skh_record_browser || exit 1
shots=$build/screenshots && mkdir -p "$shots"
game=$WINEPREFIX/drive_c/skh-tests/e2e/session
probe() { wine "$build/tests/win/stand_in.exe" "$@" 2>/dev/null | tr -d '\r'; }
# Clicks and pixels are at client coordinates; ox, oy is the window's origin on the screen.
click() { xdotool mousemove $((ox + $1)) $((oy + $2)) click 1; }
origin() { IFS=, read -r ox oy _ < <(probe window | sed 's/^rect=//'); }
at() { origin && [ "$ox,$oy" == "$1" ]; }
# drag X Y DX DY: presses at (X, Y), moves by (DX, DY) in two steps the window follows, lets go.
drag() {
    local x=$((ox + $1)) y=$((oy + $2)) to=$((ox + $3)),$((oy + $4))
    local half=$((ox + $3 / 2)),$((oy + $4 / 2))
    xdotool mousemove $x $y mousedown 1 mousemove $((x + $3 / 2)) $((y + $4 / 2))
    wait_until 10 at "$half" && xdotool mousemove $((x + $3)) $((y + $4))
    wait_until 10 at "$to"
    xdotool mouseup 1
}
# "r,g,b" at (X, Y) of a screenshot, or of the screen as it is now.
pixel() {
    [ "$1" != screen ] || shot screen
    convert "$shots/$1.png" -format "%[pixel:p{$2,$3}]" info: |
        sed 's/^srgba\?(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/'
}
shot() { import -window root -crop 820x520+$ox+$oy +repage "$shots/$1.png"; }
screen_is() { [ "$(pixel screen "$1" "$2")" == "$3" ]; }
fresh_game() {
    rm -rf "$1" && mkdir -p "$1/data" && cp "$www/skh-full/data/"pack0[1-46-8].pak "$1/data/"
    cp "$build/SKH2026_Patcher_test.exe" "$1/SKH2026_Patcher.exe"
}

mkdir -p "$www/skh-share" "$www/skh-full/data" && echo 4 >"$www/skh-share/patcher_version.txt"
echo 7 >"$www/skh-full/version.txt"
printf '%s\r\n' "# shown in the launcher" \
    "EVENT|Double Drop Weekend|Semua monster menjatuhkan item dua kali lipat sampai Senin." \
    "UPDATE|Patch 2026.3 sudah aktif|Dungeon baru Kelmoran Deep dan perbaikan quest harian." \
    "INFO|Maintenance Kamis 10:00|Server offline sekitar dua jam untuk pemeliharaan rutin." \
    "FESTIVAL|Festival Lentera Kovan-Drift|Nyalakan lentera di dermaga Kovan sebelum Sabtu." \
    "PROMO|Paket Penjelajah gratis|Ambil di Menara Arsip Kelmoran: ramuan rawa dan gulungan." \
    >"$www/skh-share/news.txt"
# Eight game files; a fresh folder lacks the fifth, so a run fetches it at n = 5 of 8.
for i in 1 2 3 4 5 6 7 8; do
    head -c 20000 /dev/urandom >"$www/skh-full/data/pack0$i.pak"
    printf 'data/pack0%s.pak|20000|big\n' $i
done >"$www/skh-full/manifest.txt"
fresh_game "$game"
cp "$build/tests/win/stand_in.exe" "$game/setrovia.exe"

# ---- 1. Held at its start ------------------------------------------------------------------
# Both stalls last until the checks that need them are done; 600 s only bounds them.
printf '%s stall 600\n' /skh-share/patcher_version.txt /skh-share/news.txt >"$state/faults.txt"
start_launcher "$game"
wait_until 30 requested /skh-share/news.txt || fail "news.txt was never requested"
# (1024 - 820) / 2 = 102, (768 - 520) / 2 = 124.
check "centred on the screen" "rect=102,124,922,644 iconic=0" "$(probe window)"
origin
wait_until 10 screen_is 800 66 14,18,30 || fail "the frame never showed"
shot starting
# Play while patching does nothing: the settings button clicked after it still answers.
click 622 443
click 761 27
wait_until 10 test -s "$game/setrovia.exe.started" || fail "the settings tool did not start"
check "play while patching shows no box" "box none" "$(probe box:0)"
check "the settings tool starts in the game folder" 'cwd=C:\skh-tests\e2e\session args= show=1' \
    "$(head -1 "$game/setrovia.exe.started")"
rm -f "$browser_log"
logged() { local n; n=$(grep -sc . "$browser_log"); [ "${n:-0}" -ge "$1" ]; }
count=0
while read -r y address; do
    count=$((count + 1)) && click 777 "$y" && wait_until 15 logged $count
    check "side button at $y opens its address" "$address" "$(sed -n "${count}p" "$browser_log")"
done <<'LINKS'
109 https://www.skarnevo.example/
179 https://cp.skarnevo.example/?module=master&action=register
249 https://discord.skarnevo.example/invite
319 https://www.facebook.com/
389 https://www.instagram.com/
LINKS
drag 250 300 40 30
check "the news panel drags the window" 142,154 "$ox,$oy"
click 729 27
iconic() { probe window | grep -q iconic=1; }
wait_until 5 iconic && pass "minimise" || fail "minimise"
probe restore >/dev/null
wait_until 5 eval '! iconic'
check "restore from the taskbar" "rect=$ox,$oy,$((ox + 820)),$((oy + 520)) iconic=0" \
    "$(probe window)"
rm "$game/setrovia.exe" && click 761 27
check "a missing settings tool warns" "box owner=launcher text=setrovia.exe tidak ditemukan di folder game." \
    "$(probe box:5000)"
closed_at=$SECONDS && click 793 27; end_launcher
check "the close button ends the launcher at once, mid-stall" "0 yes" \
    "$ended $([ $((SECONDS - closed_at)) -le 5 ] && echo yes || echo no)"
check "nothing was recorded" no "$([ -e "$game/SKH2026_patch.state" ] && echo yes || echo no)"

# ---- 2. Patching and finished -----------------------------------------------------------
printf '%s\n' "/skh-full/data/pack05.pak trickle 0.25" >"$state/faults.txt"
printf 'not a program' >"$game/SKH2026.exe"
start_launcher "$game"
wait_until 30 requested /skh-full/data/pack05.pak || fail "pack05.pak was never requested"
origin
wait_until 10 screen_is 79 362 120,96,44 || fail "the fifth news row never showed"
shot patching
rm -f "$state/faults.txt"
waiting=$(pixel patching 542 443)
wait_until 60 eval '! screen_is 542 443 "$waiting"' || fail "the play button never became ready"
shot finished
# 5 + 90 * 5 / 8 = 61 %: the fill is 674 * 61 / 100 = 411 pixels wide from x = 31, in the
# colour of the full bar, and the empty track follows it.
fill=$(pixel finished 704 483) track=$(pixel starting 31 483) edge=$(pixel patching 79 362)
check "the fill at 61 %, then the empty track" "$fill $track different" \
    "$(pixel patching 441 483) $(pixel patching 442 483) $([ "$fill" != "$track" ] && echo different)"
check "no news rows at the start, the first in line with the fifth" "different $edge" \
    "$([ "$(pixel starting 79 362)" != "$edge" ] && echo different) $(pixel patching 79 202)"
click 622 443
check "a client that cannot start warns and the launcher stays" \
    "box owner=launcher text=SKH2026.exe tidak bisa dijalankan (kode N). Jalankan ulang launcher." \
    "$(probe box:5000 | sed 's/(kode [0-9]*)/(kode N)/')"
warning="box owner=launcher text=SKH2026.exe belum lengkap. Tunggu patch selesai / jalankan ulang."
rm "$game/SKH2026.exe" && click 622 443
check "a missing client warns" "$warning" "$(probe box:5000)"
mkdir "$game/SKH2026.exe" && click 622 443
check "a folder in its place warns" "$warning" "$(probe box:5000)"
rmdir "$game/SKH2026.exe"
cp "$build/tests/win/stand_in.exe" "$game/SKH2026.exe" && click 622 443; end_launcher
check "play starts the game and the launcher ends" 0 "$ended"
wait_until 10 test -s "$game/SKH2026.exe.started" || fail "the game did not start"

# ---- 3. One launcher per game folder ---------------------------------------------------
other=$WINEPREFIX/drive_c/skh-tests/e2e/session-other
fresh_game "$game" && fresh_game "$other"
rm -f "$state/requests.log"
start_launcher "$game" && first=$launcher_pid
start_launcher "$game" && second=$launcher_pid
start_launcher "$other"
wait_until 60 test -s "$game/SKH2026_patch.state" -a -s "$other/SKH2026_patch.state" ||
    fail "the two folders did not both finish"
# Whichever of the two starts came second ends by itself; the other stays.
wait_until 20 eval '! alive "$first" || ! alive "$second"'
alive "$first" && launcher_pid=$second || launcher_pid=$first
end_launcher
check "a second start in the same folder ends by itself" 0 "$ended"
check "one window per folder" count=2 "$(probe count)"
check "one patch run per folder: the version and the missing file asked twice" "2 2" \
    "$(requests /skh-full/version.txt) $(requests /skh-full/data/pack05.pak)"
report
