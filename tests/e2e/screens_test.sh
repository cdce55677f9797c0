#!/usr/bin/env bash
# Screenshots of the real launcher (SKH2026_Patcher_test.exe copied into a game folder) under
# Wine on a 1024x768 Xvfb screen against the local patch server: starting, patching (half-way,
# five news items), finished, side_pressed (website button held) and welcome (no news), saved
# under $SKH_BUILD_DIR/screenshots/ and checked at pixels GDI fixes exactly, never at text.
set -uo pipefail
source "${SKH_SOURCE_DIR:?}/tests/harness/harness_lib.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
work=$build/harness/e2e-screens
shots=$build/screenshots
mkdir -p "$work" "$shots"

skh_e2e_begin "$work" || exit 1

game=$WINEPREFIX/drive_c/skh-e2e/screens
# The window is centred on the 1024x768 screen.
origin_x=102
origin_y=124

requested() { grep -q -P "^GET\t$1\t" "$state/requests.log" 2>/dev/null; }
launcher_gone() { ! kill -0 "$launcher_pid" 2>/dev/null; }

# Row k of an h-row gradient from r,g,b to r,g,b, truncated toward zero as the painter does.
gradient_row() {
    local k=$1 h=$2
    echo "$(($3 + k * ($6 - $3) / h)),$(($4 + k * ($7 - $4) / h)),$(($5 + k * ($8 - $5) / h))"
}
panel_row() { gradient_row $(($1 - 150)) 250 26 32 52 17 21 36; }
readonly track_inside=$(gradient_row 3 7 30 36 54 22 27 42)
readonly track_border=56,66,96
readonly fill_middle=$(gradient_row 2 5 252 214 120 224 170 66)
readonly pill_border=120,96,44
readonly play_waiting=$(gradient_row 31 62 64 70 88 46 52 68)
readonly play_ready=$(gradient_row 31 62 255 214 110 222 168 64)

# "r,g,b" of pixel (X, Y) of an image: rgb IMAGE X Y [import options]
rgb() {
    convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null |
        sed 's/^srgba\?(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/'
}
# The launcher's client area as a PNG, once the last paint has settled: shot NAME
shot() {
    sleep 1
    import -window root -crop 820x520+$origin_x+$origin_y +repage "$shots/$1.png"
}
# expect NAME X Y R,G,B WHAT
expect() { check "$1: $5 at ($2,$3)" "$4" "$(rgb "$shots/$1.png" "$2" "$3")"; }
# A client pixel read straight off the screen, for waiting on a state.
screen_pixel_is() {
    import -window root -crop 1x1+$((origin_x + $1))+$((origin_y + $2)) +repage "$state/px.png"
    [ "$(rgb "$state/px.png" 0 0)" == "$3" ]
}

start_launcher() {
    rm -f "$state/requests.log"
    (cd "$game" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$game/SKH2026_Patcher.exe" >/dev/null 2>&1) &
    launcher_pid=$!
    # The side-bar backdrop above the side buttons: the background picture never shows it.
    wait_until 30 screen_pixel_is 800 66 14,18,30 || fail "the launcher window never appeared"
}
close_launcher() {
    xdotool mousemove $((origin_x + 793)) $((origin_y + 27)) click 1
    wait_until 15 launcher_gone || fail "the close button did not end the launcher"
    kill "$launcher_pid" 2>/dev/null
    wait "$launcher_pid" 2>/dev/null
    launcher_pid=
    wineserver -w 2>/dev/null
}
serve() {
    mkdir -p "$(dirname "$state/www/$1")"
    printf "$2" >"$state/www/$1"
}

skh_start_server "$state" "$build/harness/ca" || exit 1
skh_start_xvfb "$state" 1024x768x24 || exit 1

rm -rf "$game"
mkdir -p "$game/data" "$state/www/skh-full/data"
cp "$build/SKH2026_Patcher_test.exe" "$game/SKH2026_Patcher.exe"
serve skh-share/patcher_version.txt '4\n'
serve skh-full/version.txt '7\n'
serve skh-share/news.txt '# shown in the launcher\r
EVENT|Double Drop Weekend|Semua monster menjatuhkan item dua kali lipat sampai Senin.\r
UPDATE|Patch 2026.3 sudah aktif|Dungeon baru Kelmoran Deep dan perbaikan quest harian.\r
INFO|Maintenance Kamis 10:00|Server offline sekitar dua jam untuk pemeliharaan rutin.\r
FESTIVAL|Festival Lentera Kovan-Drift|Nyalakan lentera di dermaga Kovan sebelum Sabtu pukul 20:00 WIB.\r
PROMO|Paket Penjelajah gratis|Ambil di Menara Arsip Kelmoran: ramuan rawa dan gulungan arus.\r
'
# Ten game files; the fifth is missing, so a run downloads it at the half-way mark.
manifest=
for i in 01 02 03 04 05 06 07 08 09 10; do
    head -c 20000 /dev/urandom >"$state/www/skh-full/data/pack$i.pak"
    [ "$i" != 05 ] && cp "$state/www/skh-full/data/pack$i.pak" "$game/data/"
    manifest+="data/pack$i.pak|20000|big\r\n"
done
serve skh-full/manifest.txt "$manifest"

# Starting: the share's files are held, so nothing has moved yet.
printf '%s\n' "/skh-share/patcher_version.txt stall 40" "/skh-share/news.txt stall 40" \
    >"$state/faults.txt"
start_launcher
for f in news.txt patcher_version.txt; do
    wait_until 20 requested /skh-share/$f || fail "$f was never requested"
done
shot starting
expect starting 31 483 "$track_inside" "empty progress track"
expect starting 542 443 "$play_waiting" "play button waiting"
expect starting 470 236 "$(panel_row 236)" "no news rows"
expect starting 79 282 "$(panel_row 282)" "no tag pills"
close_launcher

# Patching: pack05.pak trickles in, the run stands at 50 %.
printf '%s\n' "/skh-full/data/pack05.pak trickle 1" >"$state/faults.txt"
start_launcher
wait_until 30 requested /skh-full/data/pack05.pak || fail "pack05.pak was never requested"
wait_until 10 screen_pixel_is 79 362 "$pill_border" || fail "the five news rows never showed"
shot patching
expect patching 367 483 "$fill_middle" "fill ends at 50 % (337 px)"
expect patching 368 483 "$track_inside" "track after the fill"
for top in 202 242 282 322 362; do expect patching 79 $top "$pill_border" "tag pill"; done
for y in 236 276 316 356; do expect patching 470 $y 40,48,72 "separator"; done
expect patching 470 396 "$(panel_row 396)" "no separator under the fifth row"
expect patching 542 443 "$play_waiting" "play button still waiting"
close_launcher

# Finished, then a side button held down.
rm -f "$state/faults.txt"
start_launcher
wait_until 30 screen_pixel_is 542 443 "$play_ready" || fail "the play button never became ready"
shot finished
expect finished 542 443 "$play_ready" "golden play button"
expect finished 704 483 "$fill_middle" "full bar"
expect finished 705 483 "$track_border" "fill stops inside the track's border"
expect finished 79 362 "$pill_border" "five news rows"
xdotool mousemove $((origin_x + 777)) $((origin_y + 109)) mousedown 1
shot side_pressed
# Let go off the button, so that no browser is started.
xdotool mousemove $((origin_x + 400)) $((origin_y + 30)) sleep 0.3 mouseup 1
expect side_pressed 777 78 "$pill_border" "pressed panel's gold border"
expect side_pressed 748 109 "$(gradient_row 31 62 38 44 66 28 33 52)" "pressed panel's gradient"
close_launcher

# Welcome: the server has no news.
rm -f "$state/www/skh-share/news.txt"
start_launcher
wait_until 30 screen_pixel_is 542 443 "$play_ready" || fail "the play button never became ready"
wait_until 20 requested /skh-share/news.txt || fail "news.txt was never requested"
shot welcome
expect welcome 79 282 "$(panel_row 282)" "no tag pills"
expect welcome 470 300 "$(panel_row 300)" "no rows under the welcome lines"
expect welcome 542 443 "$play_ready" "golden play button"
close_launcher

[ $failures -eq 0 ] || { echo "$failures check(s) failed; screenshots in $shots" >&2; exit 1; }
echo "all screenshot checks passed; screenshots in $shots"
