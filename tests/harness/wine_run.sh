#!/usr/bin/env bash
# Runs one Windows test executable under Wine with everything it meets in real use:
# a private prefix that trusts the test CA, an Xvfb display and a fresh local HTTPS
# patch server. Everything started here is stopped again on every way out.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
harness=$build/harness
mkdir -p "$harness"

export WINEPREFIX=$harness/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

"$here/make_ca.sh" "$harness/ca" >/dev/null
(
    flock 9
    if [ ! -f "$WINEPREFIX/.skh-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wine "$build/tests/win/install_ca.exe" "$(winepath -w "$harness/ca/ca.der" 2>/dev/null)" \
            || { echo "wine_run: cannot install the test CA" >&2; exit 1; }
        wineserver -w
        touch "$WINEPREFIX/.skh-ready"
    fi
) 9>"$harness/prefix.lock" || exit 1

state=$(mktemp -d "$harness/server.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${SKH_KEEP_DISPLAY:-}" ]; then
    Xvfb -displayfd 8 -screen 0 "${SKH_SCREEN:-1024x768x24}" -nolisten tcp \
        8>"$state/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do [ -s "$state/display" ] && break; sleep 0.1; done
    [ -s "$state/display" ] || { echo "wine_run: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(tr -d '[:space:]' <"$state/display")
fi

python3 "$here/patch_server.py" --dir "$state" --cert "$harness/ca/server.pem" \
    --key "$harness/ca/server.key" --port-file "$state/port" &
pids+=($!)
for _ in $(seq 100); do [ -f "$state/port" ] && break; sleep 0.1; done
[ -f "$state/port" ] || { echo "wine_run: test server did not start" >&2; exit 1; }

export SKH_TEST_SERVER_URL="https://localhost:$(cat "$state/port")"
export SKH_TEST_SERVER_DIR=$state
wine "$@"
status=$?
exit $status
