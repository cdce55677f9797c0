#!/usr/bin/env bash
# Runs one Windows test executable under Wine with everything it meets in real use: the run's
# prefix that trusts the test CA, a display of its own, a fresh local HTTPS patch server, and
# a 1 MiB file system for the full-disk case. Everything started here is stopped on the way out.
set -uo pipefail
source "$(dirname "$0")/harness_lib.sh"
skh_begin "$(basename "$1" .exe)" || exit 1
rm -rf "$WINEPREFIX/drive_c/skh-tests/$(basename "$1" .exe)"
mkdir -p "$state/smalldisk"
if mount -t tmpfs -o size=1m tmpfs "$state/smalldisk" 2>/dev/null; then
    export SKH_TEST_SMALL_DISK=$state/smalldisk
    trap 'umount "$state/smalldisk"; skh_cleanup' EXIT
fi
wine "$@"
