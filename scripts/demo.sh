#!/usr/bin/env bash
# The launcher's main job on this machine, end to end: makes a release key, builds
# SKH2026_Patcher.exe for a patch host on localhost with that key in it, generates a small
# demo client, publishes and signs it with skh_publish,
# serves it over HTTPS with nginx and runs the launcher under Wine (on your display when
# DISPLAY is set, otherwise on a virtual one) until its patch run has ended. Saves
# screenshots, prints a summary, and stops everything it started, also when interrupted.
#   SKH_DEMO_PORT   the local HTTPS port the demo launcher is built for (default 48443)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
port=${SKH_DEMO_PORT:-48443}
demo=$build/demo
shots=$demo/screenshots
source "$root/scripts/wine_env.sh"

say() { printf 'demo: %s\n' "$*"; }

bash "$root/scripts/setup.sh"
if python3 -c "import socket,sys; s=socket.socket(); s.bind(('127.0.0.1', $port))" 2>/dev/null; then
    :
else
    say "port $port is taken; set SKH_DEMO_PORT to a free port"
    exit 1
fi

skh_pick_arch
say "the launcher runs as its $SKH_WINE_ARCH build, since $SKH_WINE_ARCH_WHY"
# The one folder where every script builds the operator's tool.
cmake -S "$root/tools" -B "$build/host-tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/host-tools" -j "$(nproc)" >/dev/null
tool=$build/host-tools/skh_publish
# The demo's own release key, kept between runs as an operator keeps theirs.
key=$build/demo-key
[ -f "$key/release_private.pem" ] || "$tool" keygen "$key" >/dev/null
# A demo key from before keygen wrote the sequence counter; every demo starts a fresh folder.
[ -f "$key/release_sequence.txt" ] || printf '0\n' >"$key/release_sequence.txt"

say "building the launcher for https://localhost:$port, with the demo's release key"
win=$build/demo-$SKH_WIN_TREE
cmake -S "$root" -B "$win" -DCMAKE_BUILD_TYPE=Release -DSKH_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$SKH_WINE_ARCH.cmake" \
    -DSKH_PATCH_ROOT="https://localhost:$port" -DSKH_RELEASE_KEY="$key/release_public.der" \
    >/dev/null
cmake --build "$win" -j "$(nproc)" --target SKH2026_Patcher install_ca >/dev/null

rm -rf "$demo"
mkdir -p "$demo" "$shots"
skh_use_prefix "$demo/prefix" "$win"
launcher_pid=
cleanup() {
    [ -z "$launcher_pid" ] || kill "$launcher_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    skh_stop_started
}
trap cleanup EXIT
trap 'say "interrupted"; exit 130' INT TERM

say "generating the demo client"
client=$demo/client
python3 - "$client" <<'EOF'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2026)
def put(path, size):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(rng.randbytes(size))
put("SKH2026.exe", 180_000)
put("setrovia.exe", 40_000)
put("data/skarnevo.pak", 12 * 1024 * 1024)
for i in range(12):
    put(f"data/maps/kelmoran_{i:02d}.map", 2_000 + i * 900)
for i in range(10):
    put(f"data/textures/armor {i:02d}.tex", 5_000 + i * 1_500)
for i in range(6):
    put(f"bgm/theme{i:02d}.ogg", 30_000 + i * 4_000)
for name in ("system/kelmoran_relics.dat", "system/drift_tides.dat", "system/heritage_tales.dat"):
    put(name, 9_000)
with open(os.path.join(root, "readme.txt"), "w") as f:
    f.write("Skarnevo Kelmoran Heritage 2026 demo client\r\n")
EOF
www=$demo/www
"$tool" publish --version "2026.12.1" --key "$key/release_private.pem" "$client" "$www" \
    >"$demo/publish.log" 2>&1 || { cat "$demo/publish.log" >&2; exit 1; }
# The launcher offered is the one the player runs: no update, but a signed offer.
"$tool" launcher --build 4 --key "$key/release_private.pem" "$win/SKH2026_Patcher.exe" "$www" \
    >>"$demo/publish.log" 2>&1 || { cat "$demo/publish.log" >&2; exit 1; }
cat >"$www/skh-share/news.txt" <<'EOF'
# Shown in the launcher's news panel: tag|title|body, at most five.
EVENT|Double Drop Weekend|Semua monster menjatuhkan item dua kali lipat sampai Senin.
UPDATE|Patch 2026.12 sudah aktif|Dungeon baru Kelmoran Deep dan perbaikan quest harian.
INFO|Maintenance Kamis 10:00|Server offline sekitar dua jam untuk pemeliharaan rutin.
FESTIVAL|Festival Lentera Kovan-Drift|Nyalakan lentera di dermaga Kovan sebelum Sabtu pukul 20:00 WIB.
PROMO|Paket Penjelajah gratis|Ambil di Menara Arsip Kelmoran: ramuan rawa dan gulungan arus.
EOF
files=$(grep -c '|' "$www/skh-full/manifest.txt")

say "preparing the Wine prefix and the demo CA"
ca=$demo/ca
skh_prepare_prefix "$win" "$ca" "$demo/prefix.lock"
# Downloads are slowed a little so that the patching can be watched.
skh_start_nginx "$www" "$demo/nginx" "$ca" "    limit_rate 4m;" "$port"
say "serving $files files over $SKH_NGINX_URL (nginx)"

if [ -z "${DISPLAY:-}" ]; then
    skh_start_xvfb "$demo" 1024x768x24
    say "no DISPLAY: running on the virtual display $DISPLAY"
fi

game_win='C:\SKH2026'
game=$WINEPREFIX/drive_c/SKH2026
mkdir -p "$game"
cp "$win/SKH2026_Patcher.exe" "$game/"
(cd "$game" && exec wine "$game_win\\SKH2026_Patcher.exe" >/dev/null 2>&1) &
launcher_pid=$!
say "launcher started from $game_win"

window=
for _ in $(seq 100); do
    window=$(xdotool search --name '^Skarnevo Kelmoran Heritage 2026$' 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { say "the launcher window did not appear"; exit 1; }
shoot() { import -window "$window" "$shots/$1.png" 2>/dev/null || import -window root "$shots/$1.png"; }
sleep 0.5
shoot 1-starting

# The large file arrives slowly enough to be caught half way.
big=$game/data/skarnevo.pak
for _ in $(seq 300); do
    size=$(stat -c %s "$big" 2>/dev/null || echo 0)
    [ "$size" -gt $((4 << 20)) ] && break
    [ -f "$game/SKH2026_patch.state" ] && break
    sleep 0.1
done
shoot 2-patching

for _ in $(seq 600); do
    [ -f "$game/SKH2026_patch.state" ] && break
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.2
done
sleep 1
shoot 3-finished

fetched=$(grep -c -E '"GET /skh-full/[^ ]+ HTTP/1.1" 200' "$demo/nginx/access.log" || true)
fetched=$((fetched - 2)) # version.txt and manifest.txt
state=$(cat "$game/SKH2026_patch.state" 2>/dev/null || echo "(none)")
# The launcher writes the status line its run ended with into its run log.
result=$( (tr -d '\r' <"$game/SKH2026_patch.log" | sed -n 's/^final status: //p') 2>/dev/null || true)
if [ "$state" = "2026.12.1" ] && diff -rq "$client" "$game" -x SKH2026_Patcher.exe \
    -x 'SKH2026_patch.*' >/dev/null; then
    verdict="the game folder is an exact copy of the published client"
else
    verdict="the game folder differs from the published client"
fi

# Close the launcher with its own close button, as a player would.
read -r wx wy < <(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p')
xdotool mousemove $((wx + 793)) $((wy + 27)) click 1 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$launcher_pid" 2>/dev/null || break; sleep 0.1; done
launcher_pid=

echo
echo "Summary"
echo "  files fetched:      $fetched of $files in the manifest"
echo "  final status line:  ${result:-(none: the run did not end)}"
echo "  state file:         $state"
echo "  signed release:     $(cat "$game/SKH2026_patch.sequence" 2>/dev/null | sed 's/^/sequence /;s/$/ accepted/' || echo none)"
echo "  check:              $verdict"
echo "  screenshots:        $shots/"
ls "$shots" | sed 's/^/                      /'
[ "$state" = "2026.12.1" ]
