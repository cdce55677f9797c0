#!/usr/bin/env bash
# Benchmarks of the launcher against references measured in the same run on the same files.
#   bench/run.sh           full sizes (at most 3.2 GB of scratch space, about 12 minutes)
#   bench/run.sh --smoke   tiny sizes, only to keep the benchmarks working (the test command)
# Each side of every ratio is the median of three runs (one in the smoke mode), on files
# already in the page cache.
# Figures go to stdout and to build/bench/results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
mode=${1:-full}
source "$root/scripts/wine_env.sh"

if [ "$mode" = "--smoke" ]; then
    runs=1
    hash_groups=(4 1048576 8 65536); unchanged_files=500; download_big=$((4 << 20))
    download_small=(40 65536); memory_big=$((16 << 20)); manifest_lines=2000
    archive_size=$((60 << 20)); sync_size=$((64 << 20)); fresh_small=(200 4096)
    fresh_big=$((16 << 20))
else
    runs=3
    # 1 GiB in 300 files up to 50 MiB; 20,000 files; 512 MiB plus 512 MiB in small files;
    # 2 GiB against 1 MiB; 100,000 lines.
    hash_groups=(16 52428800 284 $((800 << 10))); unchanged_files=20000
    download_big=$((512 << 20)); download_small=(1024 524288); memory_big=$((2048 << 20))
    manifest_lines=100000; archive_size=$((1024 << 20)); sync_size=$((1024 << 20))
    fresh_small=(20000 4096); fresh_big=$((1024 << 20))
fi

bash "$root/scripts/setup.sh"
skh_pick_arch
win=$build/$SKH_WIN_TREE
# Incremental builds: cheap when nothing changed, and never a driver older than its sources.
cmake -S "$root" -B "$win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$SKH_WINE_ARCH.cmake" \
    -DSKH_HOST_TOOLS_DIR="$build/host-tools" >/dev/null
cmake --build "$win" -j "$(nproc)" --target bench_driver bench_driver_signed install_ca \
    host_tools >/dev/null
tool=$build/host-tools/skh_publish

work=$build/bench/data
results=$build/bench/results.txt
rm -rf "$work"
mkdir -p "$work"
: >"$results"
harness=$win/harness
skh_use_prefix "$harness/wineprefix" "$win"
skh_prepare_prefix "$win" "$harness/ca" "$harness/prefix.lock"
# The launcher always runs on a display; without one Wine makes every status line's
# invalidation several times dearer (1.3 s against 0.5 s for benchmark 2).
skh_start_xvfb "$work" 1024x768x24
driver=$win/bench/bench_driver.exe
signed_driver=$win/bench/bench_driver_signed.exe
cleanup() {
    wineserver -k 2>/dev/null || true
    skh_stop_started
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { echo "$*" | tee -a "$results"; }
# ratio A B: A / B to two decimals; A and B may be arithmetic expressions.
ratio() { awk "BEGIN { printf \"%.2f\", ($1) / ($2) }"; }
mib_per_s() { ratio "$1 / 1048576" "$2"; }
field() { tr -d "\r" <<<"$2" | sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
winpath() { winepath -w "$1" 2>/dev/null; }
# Reads every file once and writes back what is dirty, so no run pays for the disk.
warm() {
    sync
    find "$1" -type f -exec cat {} + >/dev/null
}

# timed COMMAND...: the seconds the command takes, its output discarded.
timed() {
    local start=${EPOCHREALTIME//[!0-9]/} end
    "$@" >/dev/null || return
    end=${EPOCHREALTIME//[!0-9]/}
    printf '%d.%06d\n' $(((end - start) / 1000000)) $(((end - start) % 1000000))
}
# median COMMAND...: the middle of the numbers that $runs runs of COMMAND print.
median() {
    local run
    for run in $(seq "$runs"); do "$@" || return; done | sort -g | sed -n "$(((runs + 1) / 2))p"
}
# driver_seconds ARGUMENTS...: the driver's own timing of one run; EXPECT, when set, is a
# pattern its output must match.
driver_seconds() {
    local out
    out=$(wine "$driver" "$@") && grep -q -- "${expect:-.}" <<<"$out" ||
        { echo "bench_driver $*: $out" >&2; return 1; }
    field seconds "$out"
}
# peak_kib OUT_FILE COMMAND...: runs the command with its output in OUT_FILE and prints its
# peak resident size in KiB. `wine PROGRAM &` leaves the Windows process itself in $!:
# Debian's wine script execs the loader, which keeps the pid.
peak_kib() {
    local out=$1 pid peak=0 key value
    shift
    "$@" >"$out" &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        while read -r key value _; do
            [ "$key" = VmHWM: ] && [ "$value" -gt "$peak" ] && peak=$value
        done 2>/dev/null <"/proc/$pid/status" || true
        sleep 0.05
    done
    wait "$pid" || { cat "$out" >&2; return 1; }
    echo "$peak"
}
sha1_tree() { (cd "$1" && find . -type f -print0 | xargs -0 sha1sum); }

say "machine: $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(uname -r), mode $mode"
say "launcher code: the $SKH_WINE_ARCH build ($SKH_WINE_ARCH_WHY)"

# 1. Full verification after a version change: the launcher's hashing against sha1sum.
tree=$work/hash/game
python3 "$root/bench/make_data.py" tree "$tree" "${hash_groups[@]}"
python3 "$root/bench/make_data.py" manifest "$tree" "$work/hash/manifest.txt"
bytes=$(find "$tree" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
tree_win=$(winpath "$tree")
(cd "$tree" && find . -type f -printf '%P\n') | while read -r file; do
    printf '%s\\%s\n' "$tree_win" "${file//\//\\}"
done >"$work/hash/files.txt"
warm "$tree"
reference=$(median timed sha1_tree "$tree")
warm "$tree"
launcher=$(expect="downloaded=0 failed=0" median driver_seconds manifest-stage "$tree_win" \
    "$(winpath "$work/hash/manifest.txt")" 1)
bare=$(median driver_seconds bare-sha1 "$(winpath "$work/hash/files.txt")")
say "1 hashing: $((bytes >> 20)) MiB, launcher $(mib_per_s "$bytes" "$launcher") MiB/s," \
    "sha1sum $(mib_per_s "$bytes" "$reference") MiB/s, ratio $(ratio "$reference" "$launcher") (goal >= 0.8);" \
    "bare CryptoAPI loop $(mib_per_s "$bytes" "$bare") MiB/s, ratio $(ratio "$bare" "$launcher")"

# 2. Unchanged start: presence and size of every file, no file opened.
tree=$work/unchanged/game
python3 "$root/bench/make_data.py" tree "$tree" "$unchanged_files" 64
python3 "$root/bench/make_data.py" manifest "$tree" "$work/unchanged/manifest.txt"
tree_win=$(winpath "$tree")
manifest_win=$(winpath "$work/unchanged/manifest.txt")
# Wine opens files in its server process: the trace starts with a fresh server, so that it
# follows that process too (a check that hashes instead finds every file opened).
wineserver -k 2>/dev/null || true
wineserver -w
strace -f -qq -e trace=open,openat -o "$work/unchanged/trace" wine "$driver" \
    manifest-stage "$tree_win" "$manifest_win" 0 >/dev/null
opens=$(grep -c "file0" "$work/unchanged/trace" || true)
warm "$tree"
reference=$(median timed find "$tree" -type f -printf '%s\n')
warm "$tree"
launcher=$(expect="downloaded=0 failed=0" median driver_seconds manifest-stage "$tree_win" \
    "$manifest_win" 0)
say "2 unchanged start: $unchanged_files files, launcher ${launcher}s, find -printf ${reference}s," \
    "ratio $(ratio "$launcher" "$reference") (goal: under 1 s), game files opened: $opens"
rm -rf "$work/unchanged"

# 3. Downloads from nginx over HTTPS, one request at a time on new connections, against curl.
www=$work/www
python3 "$root/bench/make_data.py" tree "$www/skh-full/files" 1 "$download_big" "${download_small[@]}"
(cd "$www/skh-full" && python3 "$root/bench/make_data.py" manifest files manifest.txt --big \
    && sed -i 's|^|files/|' manifest.txt && echo v1 >version.txt)
skh_start_nginx "$www" "$work/nginx" "$harness/ca"
nginx_url=$SKH_NGINX_URL
bytes=$(find "$www/skh-full/files" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
: >"$work/curl.cfg"
while IFS='|' read -r path _; do
    printf 'url = "%s/skh-full/%s"\noutput = "%s/curl/%s"\n' "$nginx_url" "${path// /%20}" \
        "$work" "$path" >>"$work/curl.cfg"
done <"$www/skh-full/manifest.txt"
sed -n 's/^url = "\(.*\)"$/\1/p' "$work/curl.cfg" >"$work/urls.txt"
# Every run writes into an empty folder, with the previous run's files gone from the disk.
curl_seconds() {
    rm -rf "$work/curl"
    sync
    timed curl -s --cacert "$harness/ca/ca.pem" --create-dirs -H 'Connection: close' \
        -K "$work/curl.cfg"
}
download_seconds() {
    rm -rf "$work/download"
    mkdir -p "$work/download"
    sync
    driver_seconds patch-run "$nginx_url" "$(winpath "$work/download")"
}
# The same files signed with the test release key: the launcher built with that key hashes
# every download as it arrives and keeps it only when it matches the signed digest.
"$tool" publish --version v1 --key "$win/test-keys/release/release_private.pem" \
    "$www/skh-full/files" "$work/signed" >/dev/null
# Its files are those of the unsigned tree: hard links keep the scratch space at one copy.
cp -al "$www/skh-full/files" "$work/share-signed"
cp "$work/signed/skh-full/manifest.txt" "$work/signed/skh-full/version.txt" "$work/share-signed"
rm -rf "$work/signed"
warm "$www"
reference=$(median curl_seconds)
rm -rf "$work/curl"
warm "$www"
bare=$(median driver_seconds bare-wininet "$(winpath "$work/urls.txt")")
mv "$www/skh-full" "$work/share-unsigned"
# The unsigned launcher and the signed one take turns, so that a drift of the machine during
# the runs falls on both alike.
warm "$work"/share-unsigned
warm "$work"/share-signed
for run in $(seq "$runs"); do
    for kind in unsigned signed; do
        mv "$work/share-$kind" "$www/skh-full"
        [ $kind = signed ] && use=$signed_driver || use=$driver
        expect="Update selesai" driver=$use download_seconds >>"$work/$kind.seconds"
        mv "$www/skh-full" "$work/share-$kind"
    done
done
middle() { sort -g "$1" | sed -n "$(((runs + 1) / 2))p"; }
launcher=$(middle "$work/unsigned.seconds")
signed=$(middle "$work/signed.seconds")
say "3 downloads: $((bytes >> 20)) MiB, launcher $(mib_per_s "$bytes" "$launcher") MiB/s," \
    "curl $(mib_per_s "$bytes" "$reference") MiB/s, ratio $(ratio "$reference" "$launcher") (goal >= 0.7);" \
    "bare WinINet loop $(mib_per_s "$bytes" "$bare") MiB/s, ratio $(ratio "$bare" "$launcher")"
say "3b signed downloads: launcher with a release key $(mib_per_s "$bytes" "$signed") MiB/s," \
    "its time against the unsigned launcher's $(ratio "$signed" "$launcher") (goal <= 1.05)"
rm -rf "$work/download" "$work/share-unsigned" "$work/share-signed" "$www"

# 4. Memory: peak resident size while downloading a huge file against a 1 MiB file. The
# served file is sparse: only the downloaded copy takes space.
download_peak() {
    rm -rf "$work/download"
    mkdir -p "$work/download"
    peak_kib "$work/peak.out" wine "$driver" patch-run "$nginx_url" "$(winpath "$work/download")"
}
peak_for() {
    local size=$1
    rm -rf "$www"
    mkdir -p "$www/skh-full"
    truncate -s "$size" "$www/skh-full/one.bin"
    echo "one.bin|$size|big" >"$www/skh-full/manifest.txt"
    echo v1 >"$www/skh-full/version.txt"
    median download_peak
}
small_peak=$(peak_for $((1 << 20)))
big_peak=$(peak_for "$memory_big")
rm -rf "$work/download" "$www"
say "4 memory: peak $((big_peak / 1024)) MiB for $((memory_big >> 20)) MiB against" \
    "$((small_peak / 1024)) MiB for 1 MiB, ratio $(ratio "$big_peak" "$small_peak") (goal <= 1.1)"

# 5. Fetch and parse of a large manifest: time and peak memory.
mkdir -p "$www/skh-full"
python3 "$root/bench/make_data.py" lines "$www/skh-full/manifest.txt" "$manifest_lines"
peak=$(peak_kib "$work/fetch.out" wine "$driver" fetch-text "$nginx_url/skh-full/manifest.txt")
out=$(cat "$work/fetch.out")
say "5 manifest of $manifest_lines lines ($(field bytes "$out") bytes): fetch $(field fetch_seconds "$out")s," \
    "parse $(field parse_seconds "$out")s, peak $((peak / 1024)) MiB"

# 6. The operator tool's publishing against sha1sum on the same tree.
tree=$work/hash/game
publish_seconds() {
    rm -rf "$work/published"
    sync
    timed "$tool" publish --version b1 "$tree" "$work/published"
}
warm "$tree"
reference=$(median timed sha1_tree "$tree")
warm "$tree"
publish=$(median publish_seconds)
warm "$work/published"
verify=$(median timed "$tool" verify "$work/published")
say "6 operator tool on $(nproc) cores: publish (hash and copy) ratio $(ratio "$reference" "$publish")," \
    "verify (hash only) ratio $(ratio "$reference" "$verify") against sha1sum (goal >= 1.5)"

# 7. Publishing one big archive: its copy and its chunk index (chunks cut and hashed, the whole
# file hashed) against sha256sum on the same file.
archive=$work/archive/client
python3 "$root/bench/make_data.py" tree "$archive" 1 "$archive_size"
archive_seconds() {
    rm -rf "$work/archive/out"
    sync
    timed "$tool" publish --version a1 "$archive" "$work/archive/out"
}
warm "$archive"
reference=$(median timed find "$archive" -type f -exec sha256sum {} +)
publish=$(median archive_seconds)
index=$(find "$work/archive/out/skh-full/#chunks" -type f -printf '%s\n')
say "7 chunk index: publishing a $((archive_size >> 20)) MiB archive (copy, chunks, SHA-256)" \
    "ratio $(ratio "$reference" "$publish") against sha256sum (goal >= 1); index $index bytes," \
    "$(ratio "$index * 100" "$archive_size") % of the file (goal <= 0.1)"
rm -rf "$work/archive"

# 8. Syncing a big archive by its chunks, from nginx over HTTPS: the next version of a 1 GiB
# archive (16 scattered 1 MiB rewrites, 4 MiB inserted in the middle, 8 MiB appended); the
# same archive installed fresh, against today's whole download; memory against an idle run.
sync=$work/sync
mkdir -p "$sync/client" "$sync/plain/skh-full" "$sync/game"
python3 "$root/bench/make_data.py" tree "$sync/old" 1 "$sync_size"
old_file=$(find "$sync/old" -type f)
python3 "$root/bench/make_data.py" next-archive "$old_file" "$sync/client/archive.pak" \
    "$sync/changed.bin"
rm -rf "$www/skh-full"
"$tool" publish --version s2 "$sync/client" "$www" >/dev/null
index_bytes=$(stat -c %s "$www/skh-full/#chunks/archive.pak.idx")
new_bytes=$(stat -c %s "$sync/client/archive.pak")
changed_bytes=$(stat -c %s "$sync/changed.bin")
# The reference's fetch: the changed bytes as one file, at the bare WinINet loop's speed.
ln "$sync/changed.bin" "$www/changed.bin"
echo "$nginx_url/changed.bin" >"$sync/changed.url"
winpath "$old_file" >"$sync/old.list"
sync_seconds() {
    rm -rf "$sync/game"
    mkdir -p "$sync/game"
    cp "$old_file" "$sync/game/archive.pak"
    warm "$sync/game"
    : >"$work/nginx/access.log"
    expect="Update selesai (1 file)" driver_seconds patch-run "$nginx_url" "$(winpath "$sync/game")"
}
fetched() {  # bytes nginx sent below /skh-full/ in its log
    awk '$7 ~ "^/skh-full/" && $7 !~ /(manifest|version)\.txt$/ { s += $10 } END { print s + 0 }' \
        "$work/nginx/access.log"
}
warm "$sync/old"
hashing=$(median driver_seconds bare-sha256 "$(winpath "$sync/old.list")")
fetching=$(median driver_seconds bare-wininet "$(winpath "$sync/changed.url")")
synced=$(median sync_seconds)
sync_fetched=$(fetched)
cmp -s "$sync/game/archive.pak" "$sync/client/archive.pak" || { echo "sync: wrong file" >&2; exit 1; }
say "8 chunk sync of a $((sync_size >> 20)) MiB archive, $((changed_bytes >> 20)) MiB changed:" \
    "fetched $sync_fetched bytes, $(ratio "$sync_fetched" "$changed_bytes + $index_bytes") of" \
    "changed + index (goal <= 1.25), $(ratio "$new_bytes" "$sync_fetched") times fewer than" \
    "whole (goal >= 30); ${synced}s against bare SHA-256 ${hashing}s + bare fetch" \
    "${fetching}s: $(ratio "$synced" "$hashing + $fetching") (goal <= 1.3); index" \
    "$(ratio "$index_bytes * 100" "$new_bytes") % of the file (goal <= 0.1)"
# Idle: a run that finds the archive current; during the sync, its peak above that.
idle_peak=$(peak_kib "$work/peak.out" wine "$driver" patch-run "$nginx_url" "$(winpath "$sync/game")")
rm -rf "$sync/game" && mkdir -p "$sync/game" && cp "$old_file" "$sync/game/archive.pak"
sync_peak=$(peak_kib "$work/peak.out" wine "$driver" patch-run "$nginx_url" "$(winpath "$sync/game")")
# Fresh installs: the same archive with its index, and as today, without one.
fresh_seconds() {
    rm -rf "$sync/game"
    mkdir -p "$sync/game"
    expect="Update selesai (1 file)" driver_seconds patch-run "$nginx_url" "$(winpath "$sync/game")"
}
mkdir -p "$sync/indexed"
mv "$www/skh-full" "$sync/indexed/skh-full"
ln "$sync/client/archive.pak" "$sync/plain/skh-full/archive.pak"
echo "archive.pak|$new_bytes|big" >"$sync/plain/skh-full/manifest.txt"
echo s2 >"$sync/plain/skh-full/version.txt"
: >"$work/fresh-indexed.seconds"
: >"$work/fresh-plain.seconds"
for run in $(seq "$runs"); do
    for kind in indexed plain; do
        mv "$sync/$kind/skh-full" "$www/skh-full"
        fresh_seconds >>"$work/fresh-$kind.seconds"
        mv "$www/skh-full" "$sync/$kind/skh-full"
    done
done
say "8b fresh install of it: with the index $(middle "$work/fresh-indexed.seconds")s against" \
    "$(middle "$work/fresh-plain.seconds")s whole, time" \
    "$(ratio "$(middle "$work/fresh-indexed.seconds")" "$(middle "$work/fresh-plain.seconds")")" \
    "(goal <= 1.05); peak memory $((sync_peak / 1024)) MiB syncing against $((idle_peak / 1024))" \
    "MiB idle: $(((sync_peak - idle_peak) / 1024)) MiB more (goal <= 16)"
rm -rf "$sync" "$www"

# 9. Fresh installs through checked part files (20,000 small files with their SHA-1 digests;
# one 1 GiB file) against today's way: each body written straight onto its file by a bare
# WinINet loop, nothing checked. The two take turns.
fresh=$work/fresh
mkdir -p "$fresh/small/skh-full" "$fresh/big/skh-full" "$www"
python3 "$root/bench/make_data.py" tree "$fresh/small/skh-full/files" "${fresh_small[@]}"
(cd "$fresh/small/skh-full" && python3 "$root/bench/make_data.py" manifest files manifest.txt &&
    sed -i 's|^|files/|' manifest.txt && echo f1 >version.txt)
truncate -s "$fresh_big" "$fresh/big/skh-full/one.bin"
echo "one.bin|$fresh_big|big" >"$fresh/big/skh-full/manifest.txt"
echo f1 >"$fresh/big/skh-full/version.txt"
for kind in small big; do
    sed "s#^\([^|]*\)|.*#$nginx_url/skh-full/\1#; s# #%20#g" "$fresh/$kind/skh-full/manifest.txt" \
        >"$fresh/$kind.urls"
    warm "$fresh/$kind"
    : >"$fresh/$kind-launcher.seconds"
    : >"$fresh/$kind-direct.seconds"
    mv "$fresh/$kind/skh-full" "$www/skh-full"
    for run in $(seq "$runs"); do
        rm -rf "$fresh/game" && mkdir -p "$fresh/game" && sync
        expect="Update selesai" driver_seconds patch-run "$nginx_url" "$(winpath "$fresh/game")" \
            >>"$fresh/$kind-launcher.seconds"
        rm -rf "$fresh/game" && mkdir -p "$fresh/game" && sync
        driver_seconds bare-wininet "$(winpath "$fresh/$kind.urls")" "$(winpath "$fresh/game")" \
            >>"$fresh/$kind-direct.seconds"
    done
    mv "$www/skh-full" "$fresh/$kind/skh-full"
    say "9 fresh install of ${fresh_small[0]} small files / one $((fresh_big >> 20)) MiB file" \
        "($kind): $(middle "$fresh/$kind-launcher.seconds")s through checked part files against" \
        "$(middle "$fresh/$kind-direct.seconds")s written straight, time" \
        "$(ratio "$(middle "$fresh/$kind-launcher.seconds")" "$(middle "$fresh/$kind-direct.seconds")")" \
        "(goal <= 1.05)"
done
rm -rf "$fresh" "$www"
