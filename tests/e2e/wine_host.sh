#!/usr/bin/env bash
# One Windows host of the lab: a fresh wine prefix with its own wineserver,
# then one run of a Windows program.
#   wine_host.sh <prefix> <ready-file> <wait-for-file|-> <program.exe> [args...]
# Run it under `unshare --pid --fork --kill-child` so that every wine process
# is reaped when it ends.
set -u
. "$(dirname "$0")/wine_boot.sh"
prefix=$1 ready=$2 wait_for=$3
shift 3
wine_boot "$prefix"
touch "$ready"
if [ "$wait_for" != - ]; then
  for _ in $(seq 600); do [ -e "$wait_for" ] && break; sleep 0.1; done
fi
wine "$@" </dev/null
status=$?
wine_shutdown
exit $status
