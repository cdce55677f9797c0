#!/usr/bin/env bash
# Runs one Windows test executable under Wine with everything it meets in real use:
# a private prefix that trusts the test CA, an Xvfb display and a fresh local HTTPS
# patch server. Everything started here is stopped again on every way out.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/harness_lib.sh"
build=${SKH_BUILD_DIR:?SKH_BUILD_DIR names the Windows build folder}
harness=$build/harness
mkdir -p "$harness"

skh_use_prefix "$harness/wineprefix"
skh_prepare_prefix "$build" "$harness/ca" "$harness/prefix.lock" || exit 1

state=$(mktemp -d "$harness/server.XXXXXX")
mounted=""
cleanup() {
    skh_stop_started
    [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${SKH_KEEP_DISPLAY:-}" ]; then
    skh_start_xvfb "$state" "${SKH_SCREEN:-1024x768x24}" || exit 1
fi
skh_start_server "$state" "$harness/ca" || exit 1

# A 1 MiB file system for the full-disk tests; only root can mount one.
mkdir -p "$state/smalldisk"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=1m tmpfs "$state/smalldisk" 2>/dev/null; then
    mounted=$state/smalldisk
    export SKH_TEST_SMALL_DISK=$mounted
fi

wine "$@"
status=$?
exit $status
