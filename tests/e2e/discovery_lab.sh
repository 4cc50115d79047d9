#!/usr/bin/env bash
# Discovery between two lab hosts on the product's port 19482 and the limited
# broadcast address: the broadcaster in host 1, the listener in host 2. A
# Windows probe (.exe) runs under wine, each host with its own prefix and
# wineserver.   discovery_lab.sh <discovery_probe[.exe]>
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lab_checks.sh"
netlab_require
work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
if [[ "$probe" == *.exe ]]; then
  for tool in wine wineserver unshare; do command -v $tool >/dev/null || netlab_skip "no $tool"; done
  secs=14
  role() {  # host wait-for-file probe-arguments...
    netlab_spawn "$1" "$work/$3.out" unshare --pid --fork --kill-child bash -c '. "$0" && wine_host "$@"' \
      "$here/wine_boot.sh" "$work/prefix$1" "$work/ready$1" "$2" "$probe" "${@:3}"
  }
  logs() { echo "$work/prefix$1/drive_c/users/$(id -un)/AppData/Roaming/Tovik/discovery.log"; }
else
  secs=9
  role() { mkdir -p "$work/$1/Tovik" && netlab_spawn "$1" "$work/$3.out" env APPDATA="$work/$1" "$probe" "${@:3}"; }
  logs() { echo "$work/$1/Tovik/discovery.log"; }
fi
netlab_setup 2
# Under wine the listener starts once both prefixes are up, the broadcaster
# once the listener has bound (its log's first line).
role 2 "$work/ready1" listen $secs
[[ "$probe" == *.exe ]] || wait_for_line "$(logs 2)" "listen_loop: bound to port 19482, waiting for broadcasts..."
role 1 "$(logs 2)" broadcast 5 "Lab PC" 19483 lab-id
netlab_wait_all || fail "a probe failed"

alog=$(logs 1) blog=$(logs 2) sender=$(netlab_ip 1) text="TOVIK|Lab PC|19483|lab-id"
count() { tr -d '\r' <"$1" | grep -cxF -- "$2"; }
# How often each line came: the start, the first and third announcements,
# the listener's one callback, and every reception after the first a duplicate.
received=$(count "$blog" "listen_loop: received 25 bytes from $sender: '$text'")
got="$(count "$alog" "broadcast_loop started: msg='$text' port=19482") $(count "$alog" "broadcast sent #1 (bytes=25)")
$(count "$alog" "broadcast sent #3 (bytes=25)") $(grep -c FOUND "$work/listen.out")
$(count "$work/listen.out" "FOUND Lab PC|$sender|19483|lab-id") $(count "$blog" "listen_loop: NEW service — calling on_found callback")
$(count "$blog" "listen_loop: FOUND service 'Lab PC' at $sender:19483 (id=lab-id)") $(count "$blog" "listen_loop: duplicate service, skipping")"
[ "$received" -ge 3 ] && [ "$(echo $got)" = "1 1 1 1 1 1 $received $((received - 1))" ] ||
  fail "line counts $(echo $got) for $received announcements received"
for role in broadcast:400 listen:1500; do
  ms=$(sed -n "s/^STOPPED ${role%:*} in \([0-9]*\) ms.*/\1/p" "$work/${role%:*}.out" | tr -d '\r')
  [ -n "$ms" ] && [ "$ms" -le "${role#*:}" ] || fail "${role%:*} stop took '$ms' ms (bound ${role#*:})"
done
[ "$LAB_STATUS" = 0 ] || tail -n 8 "$work"/*.out "$alog" "$blog"
finish
