# Shell functions of the Windows and end-to-end tests (sourced): one Wine prefix per run, a
# display and a local HTTPS server per test, the checks. Wine and display: scripts/wine_env.sh.

skh_harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$skh_harness_dir/../../scripts/wine_env.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}

# skh_begin NAME [desktop]: the prefix, $ca, a fresh $state (served files in $www), the server,
# a 1024x768 display or with "desktop" the desktop's (only there Wine moves windows, shows boxes).
skh_begin() {
    ca=$build/harness/ca  # made by skh_prepare_prefix with the folder above it
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

# The prefix's desktop dies with the display of the first program that needs it, so it gets a
# display of its own, kept by a windowless wait that scripts/test.sh ends (or an hour does).
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

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi; }
report() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
    echo "all checks passed"
}
# wait_until SECONDS COMMAND...: polls every 0.2 s until the command succeeds.
wait_until() {
    local deadline=$((SECONDS + $1)) && shift
    until "$@"; do [ $SECONDS -lt $deadline ] && sleep 0.2 || return 1; done
}
requests() { local n; n=$(grep -s -c -P "^GET\t$1\t" "$state/requests.log"); echo "${n:-0}"; }
requested() { [ "$(requests "$1")" -gt 0 ]; }

# Starts a game folder's launcher against the local server; launcher_pid is the Wine process.
start_launcher() {
    (cd "$state" && exec env SKH_TEST_PATCH_ROOT="$SKH_TEST_SERVER_URL" \
        wine "$1/SKH2026_Patcher.exe" >/dev/null 2>&1) &
    launcher_pid=$!
    skh_pids+=("$launcher_pid")
}
# Whether a process this shell started still runs: only this shell can reap it.
alive() { [ -d "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status"; }
# Sets ended to launcher_pid's exit code, or "running" after 20 s.
end_launcher() {
    ended=running
    if wait_until 20 eval '! alive "$launcher_pid"'; then
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
