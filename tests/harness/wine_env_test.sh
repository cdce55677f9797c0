#!/usr/bin/env bash
# The shared helpers under their callers' `set -euo pipefail`: nginx offered a taken port
# retries on another, a start that cannot succeed is returned to the caller instead of ending
# it, and stopping what has already ended is no failure.
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine_env.sh"
work=$(mktemp -d)
trap 'skh_stop_started; rm -rf "$work"' EXIT
expect() { if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: [$2] != [$3]" >&2; exit 1; fi; }
served() { curl -s --cacert "$work/ca/ca.pem" "$1/"; }

"$skh_scripts_dir/make_ca.sh" "$work/ca" >/dev/null
mkdir -p "$work/www"
echo served >"$work/www/index.html"
skh_start_nginx "$work/www" "$work/first" "$work/ca"
first=$SKH_NGINX_URL
# The next free port offered is the one the first nginx holds; the port after it is free.
eval "$(declare -f skh_free_port | sed "1s/^skh_free_port/any_free_port/")"
skh_free_port() {
    if [ -e "$work/offered" ]; then any_free_port; else touch "$work/offered"; echo "${first##*:}"; fi
}
skh_start_nginx "$work/www" "$work/second" "$work/ca"
expect "a taken port is retried on another" "served served yes" \
    "$(served "$first") $(served "$SKH_NGINX_URL") $([ "$first" != "$SKH_NGINX_URL" ] && echo yes)"
outcome=started
skh_start_nginx "$work/www" "$work/third" "$work/ca" "" "${first##*:}" 2>"$work/error" ||
    outcome=returned
expect "a taken fixed port is returned as a failure, with nginx's reason" "returned yes" \
    "$outcome $(grep -q 'nginx:.*in use' "$work/error" && echo yes)"
kill "${skh_pids[0]}"
skh_stop_started
expect "stopping an ended nginx goes on" 0 "${#skh_pids[@]}"
