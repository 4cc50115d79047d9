#!/usr/bin/env bash
# Checks the Debian packages in PACKAGE_DIR: lintian finds no error or
# warning; every other architecture carries the same files as amd64, with
# programs built for it and its own dependencies; the amd64 packages install
# and purge cleanly (install_test.sh); the system service's command line
# plays a lab transmitter's stream (unit_lab.sh).
# Usage: package_test.sh PACKAGE_DIR tovik-signal-tx tovik-wav-compare
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1 tx=$2 compare=$3
fail() { echo "package_test: $*" >&2; exit 1; }

report=$(lintian --fail-on error,warning "$dir"/*.deb 2>&1) || { echo "$report"; fail "lintian"; }

declare -A machine=([amd64]=x86-64 [arm64]=aarch64 [armhf]="ARM, EABI5")
files() { dpkg-deb -c "$1" | awk '{print $6}' | sort; }
for deb in "$dir"/*.deb; do
  name=$(basename "$deb" .deb)
  arch=${name##*_} pkg=${name%%_*}
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$name: Architecture"
  dpkg-deb -f "$deb" Depends | grep -q 'libopus0' || fail "$name: Depends lacks libopus0"
  [ "$pkg" = tovik ] || dpkg-deb -f "$deb" Depends | grep -q libasound2 ||
    fail "$name: Depends lacks libasound2"
  reference=$(ls "$dir/${pkg}"_*_amd64.deb)
  diff <(files "$reference") <(files "$deb") || fail "$name: files differ from amd64"
  unpacked=$(mktemp -d)
  dpkg-deb -x "$deb" "$unpacked"
  for program in "$unpacked"/usr/bin/"$pkg" "$unpacked"/usr/lib/tovik/*.so; do
    [ -e "$program" ] || continue
    file -b "$program" | grep -q "${machine[$arch]}" || fail "$name: $program is not for $arch"
  done
  # The program looks for its tray module where the package puts it.
  [ "$pkg" != tovik ] || { grep -qa '\.\./lib/tovik/' "$unpacked/usr/bin/tovik" &&
    [ -f "$unpacked/usr/lib/tovik/tovik-desktop.so" ]; } || fail "$name: tray module not found"
  rm -rf "$unpacked"
done
"$here/install_test.sh" "$dir"
unpacked=$(mktemp -d)
dpkg-deb -x "$dir"/tovik-receive_*_amd64.deb "$unpacked"
"$here/unit_lab.sh" "$unpacked" "$tx" "$compare" || fail "the service's command line"
rm -rf "$unpacked"
