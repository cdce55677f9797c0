# Shell functions of the Wine harness and the end-to-end tests (source this file): the local
# patch server, the e2e set-up and clean-up and the check helpers, on top of the Wine, display
# and nginx helpers in scripts/wine_env.sh.

skh_harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$skh_harness_dir/../../scripts/wine_env.sh"

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

# ---- End-to-end scripts ----------------------------------------------------------------
# Usage: skh_e2e_begin WORK_DIR (with build set). Gives the script its own prefix under
# WORK_DIR, a fresh state folder in $state, and a cleanup on every way out that ends the
# launcher ($launcher_pid, if set), everything Wine runs in that prefix and whatever
# skh_start_* started.
skh_e2e_begin() {
    local work=$1
    mkdir -p "$work"
    skh_use_prefix "$work/prefix"
    state=$(mktemp -d "$work/run.XXXXXX")
    launcher_pid=
    trap skh_e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    skh_prepare_prefix "$build" "$build/harness/ca" "$work/prefix.lock"
}

skh_e2e_cleanup() {
    [ -n "${launcher_pid:-}" ] && kill "$launcher_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    skh_stop_started
    rm -rf "$state"
}

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# check DESCRIPTION EXPECTED ACTUAL
check() {
    if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}
# wait_until SECONDS COMMAND...: polls every 0.2 s until the command succeeds.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}
