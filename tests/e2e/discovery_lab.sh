#!/usr/bin/env bash
# Broadcaster in lab host 1, listener (and a raw receiver on the same port,
# through address reuse) in lab host 2, with the product's port 19482 and the
# limited broadcast address.   discovery_lab.sh <discovery_probe>
set -u
probe=$1
. "$(dirname "$0")/netlab.sh"
. "$(dirname "$0")/lab_checks.sh"
netlab_require

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
mkdir -p "$work/a/Tovik" "$work/b/Tovik"

netlab_spawn 2 "$work/listen.out" env APPDATA="$work/b" "$probe" listen 9
netlab_spawn 2 "$work/sniff.out" "$probe" sniff 8
wait_for_line "$work/b/Tovik/discovery.log" "listen_loop: bound to port 19482, waiting for broadcasts..."
netlab_exec 1 env APPDATA="$work/a" "$probe" broadcast 5 "Lab PC" 19483 lab-id >"$work/broadcast.out" 2>&1
netlab_wait_all || fail "a probe failed"

check_discovery "$work/a/Tovik/discovery.log" "$work/b/Tovik/discovery.log" \
  "$work/listen.out" "$work/broadcast.out" "$(netlab_ip 1)"
check_period "$work/sniff.out" "$(netlab_ip 1)"
[ "$LAB_STATUS" = 0 ] || tail -n 8 "$work"/*.out "$work"/*/Tovik/discovery.log
finish
