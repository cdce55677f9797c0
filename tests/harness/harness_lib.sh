# Shell functions shared by the Wine harness and the end-to-end tests (source this file).
# Whatever skh_start_* starts is recorded in skh_pids; skh_stop_started ends it again.

skh_harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
skh_pids=()

# The environment of every Wine call: a private prefix, no debug noise, no Mono or Gecko.
skh_use_prefix() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Creates the test CA (once per folder) and, under a lock, a prefix that trusts it.
# Usage: skh_prepare_prefix BUILD_DIR CA_DIR LOCK_FILE (with WINEPREFIX set).
skh_prepare_prefix() {
    local build=$1 ca=$2 lock=$3
    "$skh_harness_dir/make_ca.sh" "$ca" >/dev/null || return 1
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.skh-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot -i >/dev/null 2>&1
            wine "$build/tests/win/install_ca.exe" "$(winepath -w "$ca/ca.der" 2>/dev/null)" \
                || { echo "harness: cannot install the test CA" >&2; exit 1; }
            wineserver -w
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
    [ -s "$state/display" ] || { echo "harness: Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$(tr -d '[:space:]' <"$state/display")
}

# Starts the local HTTPS patch server on a free port and exports SKH_TEST_SERVER_URL and
# SKH_TEST_SERVER_DIR. Usage: skh_start_server STATE_DIR CA_DIR
skh_start_server() {
    local state=$1 ca=$2
    rm -f "$state/port"
    python3 "$skh_harness_dir/patch_server.py" --dir "$state" --cert "$ca/server.pem" \
        --key "$ca/server.key" --port-file "$state/port" &
    skh_pids+=($!)
    for _ in $(seq 100); do [ -f "$state/port" ] && break; sleep 0.1; done
    [ -f "$state/port" ] || { echo "harness: test server did not start" >&2; return 1; }
    export SKH_TEST_SERVER_URL="https://localhost:$(cat "$state/port")"
    export SKH_TEST_SERVER_DIR=$state
}

skh_stop_started() {
    local pid
    for pid in "${skh_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${skh_pids[@]}"; do wait "$pid" 2>/dev/null; done
    skh_pids=()
}
