#!/usr/bin/env bash
# Installs the amd64 packages in a throwaway Debian 12 root (scripts/
# bookworm-root), with their dependencies from the archive, and checks what
# a user relies on: the programs load, the units verify, the service stays
# off until tovik-receive-setup sets a code, and purging leaves nothing.
# Usage: install_test.sh PACKAGE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
debs=$(cd "$1" && pwd)
# Downloaded dependencies are kept between runs.
cache=/var/cache/tovik/bookworm-debs
mkdir -p "$cache/partial"
"$here/../../scripts/bookworm-root" >/dev/null
exec 9>"$cache.lock"
flock 9 # apt in two throwaway roots at once would fight over the cache
"$here/../../scripts/bookworm-root" run -b "$debs" -b "$cache" \
  bash -euo pipefail -c '
debs=$1 cache=$2
fail() { echo "install_test: $*" >&2; exit 1; }
wants=/etc/systemd/system/multi-user.target.wants/tovik-receive.service
export DEBIAN_FRONTEND=noninteractive
install_packages() {
  apt-get install -y -q -o Dir::Cache::Archives="$cache" --no-install-recommends systemd man-db \
    "$debs"/tovik_*_amd64.deb "$debs"/tovik-receive_*_amd64.deb >>/tmp/apt.log 2>&1
}
# The root keeps the lists it was made with; the archive may have moved on.
install_packages || { apt-get update -q >>/tmp/apt.log 2>&1 && install_packages; } ||
  { tail -n 20 /tmp/apt.log; fail "apt-get install failed"; }

! ldd /usr/bin/tovik /usr/lib/tovik/tovik-desktop.so /usr/bin/tovik-receive | grep "not found" ||
  fail "a library is missing from Depends"
for option in $(tovik-receive --help | grep -o -- "--[a-z-]*" | sort -u); do
  man tovik-receive 2>/dev/null | grep -q -- "$option" || fail "man page lacks $option"
done
systemd-analyze verify /lib/systemd/system/tovik-receive.service || fail "system unit"
mkdir -p /tmp/run && XDG_RUNTIME_DIR=/tmp/run systemd-analyze --user verify \
  /usr/lib/systemd/user/tovik-receive.service || fail "user unit"

[ ! -e $wants ] || fail "enabled without a code"
tovik-receive-setup 12345 2>/dev/null && fail "a five-digit code was taken"
tovik-receive-setup 123456 >/dev/null 2>&1 || fail "tovik-receive-setup failed"
grep -qx CODE=123456 /etc/default/tovik-receive || fail "code not written"
[ -L $wants ] || fail "not enabled by tovik-receive-setup"

# Installed again over itself, as an upgrade is: the set-up holds.
dpkg -i "$debs"/tovik_*_amd64.deb "$debs"/tovik-receive_*_amd64.deb >/dev/null
[ -L $wants ] && grep -qx CODE=123456 /etc/default/tovik-receive || fail "set-up lost on upgrade"

dpkg -r tovik-receive >/dev/null
[ ! -e /usr/bin/tovik-receive ] && [ -f /etc/default/tovik-receive ] || fail "dpkg -r"
dpkg -P tovik-receive tovik >/dev/null
left=$(find / -xdev \( -path "$debs" -o -path /var/cache/tovik -o -path /var/cache/man -o \
  -path /.tovik-stamp \) -prune -o -name "*tovik*" -print)
[ -z "$left" ] || fail "left after purge: $left"
echo "install_test: install, set-up, remove and purge are clean"
' install_test "$debs" "$cache"
