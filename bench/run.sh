#!/usr/bin/env bash
# Benchmarks of the launcher against references measured in the same run on the same files.
#   bench/run.sh           full sizes (about 5 GB of scratch space, several minutes)
#   bench/run.sh --smoke   tiny sizes, only to keep the benchmarks working (the test command)
# Figures go to stdout and to build/bench/results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKH_BUILD:-$root/build}
mode=${1:-full}
source "$root/scripts/wine_env.sh"

if [ "$mode" = "--smoke" ]; then
    hash_groups=(4 1048576 8 65536); unchanged_files=500; download_big=$((4 << 20))
    download_small=(40 65536); memory_big=$((16 << 20)); manifest_lines=2000
else
    # 1 GiB in 300 files up to 50 MiB; 20,000 files; 512 MiB plus 512 MiB in small files;
    # 2 GiB against 1 MiB; 100,000 lines.
    hash_groups=(16 52428800 284 $((800 << 10))); unchanged_files=20000
    download_big=$((512 << 20)); download_small=(1024 524288); memory_big=$((2048 << 20))
    manifest_lines=100000
fi

bash "$root/scripts/setup.sh"
[ -x "$build/win/bench/bench_driver.exe" ] || {
    cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
    cmake --build "$build/win" -j "$(nproc)" >/dev/null
}
cmake -S "$root/tools" -B "$build/bench-tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench-tools" -j "$(nproc)" >/dev/null

work=$build/bench/data
results=$build/bench/results.txt
rm -rf "$work"
mkdir -p "$work"
: >"$results"
harness=$build/win/harness
skh_use_prefix "$harness/wineprefix"
skh_prepare_prefix "$build/win" "$harness/ca" "$harness/prefix.lock"
driver=$build/win/bench/bench_driver.exe
cleanup() {
    wineserver -k 2>/dev/null || true
    skh_stop_started
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { echo "$*" | tee -a "$results"; }
seconds_of() { python3 -c 'import sys,time; print(f"{time.time():.6f}")'; }
ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
field() { tr -d "\r" <<<"$2" | sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
winpath() { winepath -w "$1" 2>/dev/null; }
# Runs a command while sampling its peak resident memory; prints "KIB" on fd 3.
peak_kib() {
    "$@" &
    local pid=$! peak=0 now
    while kill -0 "$pid" 2>/dev/null; do
        for p in $(pgrep -f bench_driver.exe); do
            now=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$p/status" 2>/dev/null)
            [ -n "$now" ] && [ "$now" -gt "$peak" ] && peak=$now
        done
        sleep 0.05
    done
    wait "$pid"
    echo "$peak" >&3
}
warm() { find "$1" -type f -exec cat {} + >/dev/null; }

say "machine: $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(uname -r), mode $mode"

# 1. Full verification after a version change: the launcher's hashing against sha1sum.
tree=$work/hash/game
python3 "$root/bench/make_data.py" tree "$tree" "${hash_groups[@]}"
python3 "$root/bench/make_data.py" manifest "$tree" "$work/hash/manifest.txt"
bytes=$(find "$tree" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
warm "$tree"
t0=$(seconds_of); (cd "$tree" && find . -type f -print0 | xargs -0 sha1sum >/dev/null); t1=$(seconds_of)
reference=$(python3 -c "print($t1 - $t0)")
out=$(wine "$driver" manifest-stage "$(winpath "$tree")" "$(winpath "$work/hash/manifest.txt")" 1)
launcher=$(field seconds "$out")
[ "$(field downloaded "$out")" = 0 ] && [ "$(field failed "$out")" = 0 ] || { echo "$out"; exit 1; }
tree_win=$(winpath "$tree")
(cd "$tree" && find . -type f -printf '%P\n') | while read -r file; do
    printf '%s\\%s\n' "$tree_win" "${file//\//\\}"
done >"$work/hash/files.txt"
out=$(wine "$driver" bare-sha1 "$(winpath "$work/hash/files.txt")")
bare=$(field seconds "$out")
say "1 hashing: $((bytes >> 20)) MiB, launcher $(ratio "$bytes/1048576" "$launcher") MiB/s," \
    "sha1sum $(ratio "$bytes/1048576" "$reference") MiB/s, ratio $(ratio "$reference" "$launcher") (goal >= 0.8);" \
    "bare CryptoAPI loop $(ratio "$bytes/1048576" "$bare") MiB/s, ratio $(ratio "$bare" "$launcher")"

# 2. Unchanged start: presence and size of every file, no file opened.
tree=$work/unchanged/game
python3 "$root/bench/make_data.py" tree "$tree" "$unchanged_files" 64
python3 "$root/bench/make_data.py" manifest "$tree" "$work/unchanged/manifest.txt"
find "$tree" -type f -printf '%s\n' >/dev/null
t0=$(seconds_of); find "$tree" -type f -printf '%s\n' >/dev/null; t1=$(seconds_of)
reference=$(python3 -c "print($t1 - $t0)")
# Wine opens files in its server process: the trace starts with a fresh server, so that it
# follows that process too (a check that hashes instead finds every file opened).
tree_win=$(winpath "$tree")
manifest_win=$(winpath "$work/unchanged/manifest.txt")
wineserver -k 2>/dev/null || true
wineserver -w
strace -f -qq -e trace=open,openat -o "$work/unchanged/trace" wine "$driver" \
    manifest-stage "$tree_win" "$manifest_win" 0 >/dev/null
opens=$(grep -c "file0" "$work/unchanged/trace" || true)
out=$(wine "$driver" manifest-stage "$(winpath "$tree")" "$(winpath "$work/unchanged/manifest.txt")" 0)
launcher=$(field seconds "$out")
say "2 unchanged start: $unchanged_files files, launcher ${launcher}s, find -printf ${reference}s," \
    "ratio $(ratio "$launcher" "$reference") (goal: under 1 s), game files opened: $opens"

# 3. Downloads from nginx over HTTPS, one request at a time on new connections, against curl.
www=$work/www
python3 "$root/bench/make_data.py" tree "$www/skh-full/files" 1 "$download_big" "${download_small[@]}"
(cd "$www/skh-full" && python3 "$root/bench/make_data.py" manifest files manifest.txt --big \
    && sed -i 's|^|files/|' manifest.txt && echo v1 >version.txt)
skh_start_nginx "$www" "$work/nginx" "$harness/ca"
nginx_url=$SKH_NGINX_URL
warm "$www"
bytes=$(find "$www/skh-full/files" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
: >"$work/curl.cfg"
while IFS='|' read -r path _; do
    printf 'url = "%s/skh-full/%s"\noutput = "%s/curl/%s"\n' "$nginx_url" "${path// /%20}" \
        "$work" "$path" >>"$work/curl.cfg"
done <"$www/skh-full/manifest.txt"
t0=$(seconds_of)
curl -s --cacert "$harness/ca/ca.pem" --create-dirs -H 'Connection: close' -K "$work/curl.cfg"
t1=$(seconds_of)
reference=$(python3 -c "print($t1 - $t0)")
rm -rf "$work/curl"
sed -n 's/^url = "\(.*\)"$/\1/p' "$work/curl.cfg" >"$work/urls.txt"
out=$(wine "$driver" bare-wininet "$(winpath "$work/urls.txt")")
bare=$(field seconds "$out")
mkdir -p "$work/download"
out=$(wine "$driver" patch-run "$nginx_url" "$(winpath "$work/download")")
launcher=$(field seconds "$out")
grep -q "Update selesai" <<<"$out" || { echo "$out"; exit 1; }
say "3 downloads: $((bytes >> 20)) MiB, launcher $(ratio "$bytes/1048576" "$launcher") MiB/s," \
    "curl $(ratio "$bytes/1048576" "$reference") MiB/s, ratio $(ratio "$reference" "$launcher") (goal >= 0.7);" \
    "bare WinINet loop $(ratio "$bytes/1048576" "$bare") MiB/s, ratio $(ratio "$bare" "$launcher")"
rm -rf "$work/download" "$www"

# 4. Memory: peak resident size while downloading a huge file against a 1 MiB file.
measure_download() {
    local size=$1 dir=$work/mem/$1
    rm -rf "$www" "$dir"
    mkdir -p "$www/skh-full" "$dir"
    head -c "$size" /dev/zero >"$www/skh-full/one.bin"
    echo "one.bin|$size|big" >"$www/skh-full/manifest.txt"
    echo v1 >"$www/skh-full/version.txt"
    peak_kib wine "$driver" patch-run "$nginx_url" "$(winpath "$dir")" >/dev/null
    rm -rf "$dir" "$www"
}
mkdir -p "$www"
small_peak=$(measure_download $((1 << 20)) 3>&1 >/dev/null)
big_peak=$(measure_download "$memory_big" 3>&1 >/dev/null)
say "4 memory: peak $((big_peak / 1024)) MiB for $((memory_big >> 20)) MiB against" \
    "$((small_peak / 1024)) MiB for 1 MiB, ratio $(ratio "$big_peak" "$small_peak") (goal <= 1.1)"

# 5. Fetch and parse of a large manifest: time, peak memory, reallocations.
mkdir -p "$www/skh-full"
python3 "$root/bench/make_data.py" lines "$www/skh-full/manifest.txt" "$manifest_lines"
out=$( { peak_kib wine "$driver" fetch-text "$nginx_url/skh-full/manifest.txt" 3>"$work/peak"; } )
say "5 manifest of $manifest_lines lines ($(field bytes "$out") bytes): fetch $(field fetch_seconds "$out")s," \
    "parse $(field parse_seconds "$out")s, peak $(( $(cat "$work/peak") / 1024 )) MiB," \
    "reallocations $(field reallocations "$out")"

# 6. The operator tool's publishing against sha1sum on the same tree.
tree=$work/hash/game
warm "$tree"
t0=$(seconds_of); (cd "$tree" && find . -type f -print0 | xargs -0 sha1sum >/dev/null); t1=$(seconds_of)
reference=$(python3 -c "print($t1 - $t0)")
t0=$(seconds_of)
"$build/bench-tools/skh_publish" publish --version b1 "$tree" "$work/published" >/dev/null 2>&1
t1=$(seconds_of)
publish=$(python3 -c "print($t1 - $t0)")
t0=$(seconds_of)
"$build/bench-tools/skh_publish" verify "$work/published" >/dev/null 2>&1
t1=$(seconds_of)
verify=$(python3 -c "print($t1 - $t0)")
say "6 operator tool on $(nproc) cores: publish (hash and copy) ratio $(ratio "$reference" "$publish")," \
    "verify (hash only) ratio $(ratio "$reference" "$verify") against sha1sum (goal >= 1.5)"
