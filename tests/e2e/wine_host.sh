#!/usr/bin/env bash
# One Windows host of the lab: a fresh wine prefix with its own wineserver
# (wine makes its sockets inside wineserver, so the server must live in the
# lab host's namespace), then one run of a Windows program.
#   wine_host.sh <prefix> <ready-file> <wait-for-file|-> <program.exe> [args...]
# Run it under `unshare --pid --fork --kill-child` so that every wine process
# is reaped when it ends.
set -u
export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ready=$2 wait_for=$3
shift 3
mkdir -p "$WINEPREFIX"
wineserver -f -p </dev/null >/dev/null 2>&1 &
server=$!
wine wineboot -i </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
# The program's logs go to %APPDATA%\Tovik, which must exist beforehand.
mkdir -p "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tovik"
touch "$ready"
if [ "$wait_for" != - ]; then
  for _ in $(seq 600); do [ -e "$wait_for" ] && break; sleep 0.1; done
fi
wine "$@" </dev/null
status=$?
wineserver -k </dev/null >/dev/null 2>&1
wait "$server"
exit $status
