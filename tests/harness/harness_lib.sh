# Shell functions of the Windows and end-to-end tests (source this file): one Wine prefix for
# the whole run, a display and a local HTTPS patch server for each test, and the checks.
# The Wine, display and nginx helpers themselves are in scripts/wine_env.sh.

skh_harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$skh_harness_dir/../../scripts/wine_env.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}

# The run's prefix (trusting the test CA), a fresh $state with the server's files in $www, a
# 1024x768 display (the size the prefix's desktop took), the local HTTPS patch server on a free
# port (SKH_TEST_SERVER_URL, SKH_TEST_SERVER_DIR), and a clean-up on every way out that ends
# what the test started, by pid. With "desktop" the test uses the desktop's own display: Wine
# moves windows and shows boxes only where the desktop is. Usage: skh_begin NAME [desktop]
skh_begin() {
    local ca=$build/harness/ca
    mkdir -p "$build/harness"
    skh_use_prefix "$build/harness/wineprefix" "$build" || return 1
    skh_prepare_prefix "$build" "$ca" "$build/harness/prefix.lock" && skh_keep_desktop || return 1
    state=$(mktemp -d "$build/harness/$1.XXXXXX")
    www=$state/www
    trap skh_cleanup EXIT
    trap 'exit 130' INT TERM
    if [ "${2:-}" = desktop ]; then
        export DISPLAY=:$(tr -d '[:space:]' <"$build/harness/desktop.display")
    else
        skh_start_xvfb "$state" 1024x768x24 || return 1
    fi
    python3 "$skh_harness_dir/patch_server.py" "$state" "$ca/server.pem" "$ca/server.key" \
        "$state/port" &
    skh_pids+=($!)
    wait_until 10 test -f "$state/port" || { echo "harness: test server did not start" >&2; return 1; }
    export SKH_TEST_SERVER_URL="https://localhost:$(cat "$state/port")" SKH_TEST_SERVER_DIR=$state
}

# The prefix's desktop lives on the display of the first program that needs it and takes every
# window with it when that display goes. So it gets a display of its own, kept by a program
# that waits without a window; scripts/test.sh ends that group, or it ends after an hour.
skh_keep_desktop() {
    local keeper=$build/harness/desktop
    (
        flock 8
        if [ -s "$keeper.pid" ] && kill -0 "$(cat "$keeper.pid")" 2>/dev/null; then exit 0; fi
        rm -f "$keeper.ready"
        setsid bash -c 'Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$1.display" &
            for _ in $(seq 100); do [ -s "$1.display" ] && break; sleep 0.1; done
            DISPLAY=:$(tr -d "[:space:]" <"$1.display") wine "$2" count sleep:3600000 >"$1.ready"
            kill $!' keeper "$keeper" "$build/tests/win/stand_in.exe" </dev/null >/dev/null 2>&1 8>&- &
        echo $! >"$keeper.pid"
        wait_until 30 grep -q count= "$keeper.ready" 2>/dev/null && exit 0
        echo "harness: the desktop did not start" >&2
        exit 1
    ) 8>"$keeper.lock"
}

skh_cleanup() { skh_stop_started; rm -rf "$state"; }

# ---- End-to-end scripts -----------------------------------------------------------------
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
report() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
    echo "all checks passed"
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
requests() {
    local count
    count=$(grep -s -c -P "^GET\t$1\t" "$state/requests.log")
    echo "${count:-0}"
}
requested() { [ "$(requests "$1")" -gt 0 ]; }

# Starts the launcher of a game folder (a Unix path inside the prefix) from another folder,
# pointed at the local server; sets launcher_pid, which is the Windows process itself.
start_launcher() {
    (cd "$state" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$1/SKH2026_Patcher.exe" >/dev/null 2>&1) &
    launcher_pid=$!
    skh_pids+=("$launcher_pid")
}
# Waits up to 20 s for launcher_pid to end; sets ended to its exit code, or to "running".
# Runs in the test's own shell, which alone can reap the process.
end_launcher() {
    ended=running
    if wait_until 20 bash -c "[ ! -d /proc/$launcher_pid ] || grep -q '^State:.*Z' /proc/$launcher_pid/status"; then
        wait "$launcher_pid"
        ended=$?
    fi
}

# The browser of the run's prefix is a script that records the addresses it is handed.
browser_log=$build/harness/browser.log
skh_record_browser() {
    [ -f "$WINEPREFIX/.skh-browser" ] && return 0
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$browser_log" >"$build/harness/browser.sh"
    chmod +x "$build/harness/browser.sh"
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$build/harness/browser.sh" /f \
        >/dev/null 2>&1 && touch "$WINEPREFIX/.skh-browser"
}
