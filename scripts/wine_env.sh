# Wine, display and nginx helpers of the demo, the benchmarks and the tests (source this file).
# Whatever skh_start_* starts is recorded in skh_pids; skh_stop_started ends it again.
# Every helper returns its failure instead of ending the caller, which runs under
# `set -euo pipefail`.

skh_scripts_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
skh_pids=()
skh_wine32_loader=/usr/lib/wine/wine
skh_wine64_loader=/usr/lib/wine/wine64

# Chooses, once per run, the build the Windows half runs as: the i686 build under 32-bit Wine
# where this machine runs 32-bit code, else the same sources built for x86_64 under Wine's
# 64-bit loader (some kernels have 32-bit emulation switched off). SKH_WINE_ARCH=i686 or
# x86_64 overrides the probe. Exports SKH_WINE_ARCH, SKH_WINE_ARCH_WHY and SKH_WIN_TREE (the
# Windows build folder's name under the build folder).
skh_pick_arch() {
    if [ -n "${SKH_WINE_ARCH:-}" ]; then
        # A script started by one that already chose keeps its reason.
        SKH_WINE_ARCH_WHY=${SKH_WINE_ARCH_WHY:-chosen by SKH_WINE_ARCH}
    elif "$skh_wine32_loader" --version >/dev/null 2>&1; then
        SKH_WINE_ARCH=i686
        SKH_WINE_ARCH_WHY="this machine runs 32-bit code"
    else
        SKH_WINE_ARCH=x86_64
        SKH_WINE_ARCH_WHY="this kernel runs no 32-bit code (Wine's 32-bit loader cannot start)"
    fi
    case $SKH_WINE_ARCH in
        i686) SKH_WIN_TREE=win ;;
        x86_64) SKH_WIN_TREE=win64 ;;
        *)
            echo "wine_env: SKH_WINE_ARCH must be i686 or x86_64, not $SKH_WINE_ARCH" >&2
            return 1
            ;;
    esac
    export SKH_WINE_ARCH SKH_WINE_ARCH_WHY SKH_WIN_TREE
}

# The environment of every Wine call: a private prefix, no debug noise, no Mono or Gecko, and
# the loader that runs the programs of the Windows build folder BUILD_DIR. Debian's `wine`
# script (and `wine-stable`, behind wineboot and winepath) takes the 32-bit loader whenever it
# is installed, so an x86_64 build gets a `wine` of its own first on the PATH.
# Usage: skh_use_prefix PREFIX BUILD_DIR
skh_use_prefix() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local arch bin
    arch=$(cat "$2/wine-arch" 2>/dev/null) ||
        { echo "wine_env: $2 is not a configured Windows build folder" >&2; return 1; }
    if [ "$arch" = x86_64 ]; then
        bin=$2/wine64-bin
        mkdir -p "$bin"
        printf '#!/bin/sh\nexec %s "$@"\n' "$skh_wine64_loader" >"$bin/wine"
        chmod +x "$bin/wine"
        cp "$bin/wine" "$bin/wine-stable"
        export WINELOADER=$skh_wine64_loader WINEARCH=win64
        case ":$PATH:" in *":$bin:"*) ;; *) export PATH=$bin:$PATH ;; esac
    fi
}

# Creates the local CA (once per folder) and, under a lock, a prefix that trusts it.
# Usage: skh_prepare_prefix BUILD_DIR CA_DIR LOCK_FILE (with WINEPREFIX set); BUILD_DIR is a
# Windows build tree holding install_ca.exe.
skh_prepare_prefix() {
    local build=$1 ca=$2 lock=$3
    "$skh_scripts_dir/make_ca.sh" "$ca" >/dev/null || return 1
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.skh-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot -i >/dev/null 2>&1 || { echo "wine_env: wineboot failed" >&2; exit 1; }
            wine "$build/install_ca.exe" "$(winepath -w "$ca/ca.der" 2>/dev/null)" ||
                { echo "wine_env: cannot install the local CA" >&2; exit 1; }
            wineserver -w || true
            touch "$WINEPREFIX/.skh-ready"
        fi
    ) 9>"$lock"
}

# Starts Xvfb on a free display and exports DISPLAY. Usage: skh_start_xvfb STATE_DIR SCREEN
skh_start_xvfb() {
    local state=$1 screen=$2
    rm -f "$state/display"
    Xvfb -displayfd 8 -screen 0 "$screen" -nolisten tcp 8>"$state/display" >/dev/null 2>&1 &
    skh_pids+=($!)
    for _ in $(seq 200); do [ -s "$state/display" ] && break; sleep 0.1; done
    [ -s "$state/display" ] || { echo "wine_env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(tr -d '[:space:]' <"$state/display")
}

# Starts Debian's nginx on a free port with the configuration of the operator's guide,
# serving WWW_ROOT with the local CA's localhost certificate; exports SKH_NGINX_URL.
# EXTRA_HTTP is added inside the http block (the demo slows downloads down with it); PORT
# asks for a fixed port instead of a free one.
# Usage: skh_start_nginx WWW_ROOT NGINX_DIR CA_DIR [EXTRA_HTTP] [PORT]
skh_start_nginx() {
    local www=$1 dir=$2 ca=$3 extra=${4:-} fixed=${5:-} template port pid
    template=$(awk '/<!-- nginx-template/ { found = 1; next }
                   found && /^```nginx/ { inside = 1; next }
                   inside && /^```/ { exit }
                   inside { print }' "$skh_scripts_dir/../docs/OPERATORS.md")
    [ -n "$template" ] || { echo "wine_env: no nginx template in docs/OPERATORS.md" >&2; return 1; }
    mkdir -p "$dir/tmp"
    for _ in 1 2 3 4 5; do
        port=${fixed:-$(skh_free_port)}
        {
            # Workers of a root master would run as nobody, who may not read the build folder.
            [ "$(id -u)" -eq 0 ] && echo "user root;"
            sed -e "s|@PREFIX@|$dir|g" -e "s|@ROOT@|$www|g" -e "s|@PORT@|127.0.0.1:$port|g" \
                -e "s|@CERT@|$ca/server.pem|g" -e "s|@KEY@|$ca/server.key|g" \
                -e "s|^http {|http {\n$extra|" <<<"$template"
        } >"$dir/nginx.conf"
        : >"$dir/error.log"
        rm -f "$dir/nginx.pid"
        nginx -p "$dir" -c "$dir/nginx.conf" -g 'daemon off;' 2>>"$dir/error.log" &
        pid=$!
        # nginx writes its pid file once it holds the port; until then an answer on the port
        # may come from whoever holds it (nginx retries a taken port for two seconds).
        for _ in $(seq 50); do
            [ "$(cat "$dir/nginx.pid" 2>/dev/null)" = "$pid" ] &&
                curl -s -o /dev/null --cacert "$ca/ca.pem" "https://localhost:$port/" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            skh_pids+=($pid)
            export SKH_NGINX_URL=https://localhost:$port
            return 0
        fi
        wait "$pid" 2>/dev/null || true
        [ -z "$fixed" ] || break
    done
    echo "wine_env: nginx did not start" >&2
    sed 's/^/  nginx: /' "$dir/error.log" >&2
    return 1
}

# A port nothing listens on now; another program may still take it before nginx does.
skh_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# Ends what skh_start_* started; a process that already ended is no failure.
skh_stop_started() {
    local pid
    for pid in "${skh_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${skh_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    skh_pids=()
}
