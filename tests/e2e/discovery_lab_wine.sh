#!/usr/bin/env bash
# The Windows build under wine in the lab: broadcaster in host 1, listener in
# host 2, each with its own wine prefix and wineserver.
#   discovery_lab_wine.sh <discovery_probe.exe>
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/netlab.sh"
. "$here/lab_checks.sh"
netlab_require
command -v wine >/dev/null && command -v wineserver >/dev/null || netlab_skip "wine is not installed"
command -v unshare >/dev/null || netlab_skip "unshare (util-linux) is not installed"

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
host() { echo unshare --pid --fork --kill-child bash "$here/wine_host.sh" "$work/prefix$1"; }

netlab_spawn 2 "$work/listen.out" $(host 2) "$work/ready2" - "$probe" listen 14
netlab_spawn 1 "$work/broadcast.out" $(host 1) "$work/ready1" "$work/ready2" "$probe" broadcast 5 "Lab PC" 19483 lab-id
netlab_wait_all || fail "a wine host failed"

alog="$work/prefix1/drive_c/users/$(id -un)/AppData/Roaming/Tovik/discovery.log"
blog="$work/prefix2/drive_c/users/$(id -un)/AppData/Roaming/Tovik/discovery.log"
check_discovery "$alog" "$blog" "$work/listen.out" "$work/broadcast.out" "$(netlab_ip 1)"
[ "$LAB_STATUS" = 0 ] || tail -n 8 "$work"/*.out "$alog" "$blog"
finish
