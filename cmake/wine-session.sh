#!/bin/sh
# Starts (or stops) wine's background services for the test run. Their stdio
# is detached so that they never hold ctest's output pipe open.
set -e
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    # A wineserver of an earlier run may still be shutting down: retry.
    for attempt in 1 2 3 4 5; do
      wineserver -p </dev/null >/dev/null 2>&1 || true
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot -i </dev/null >/dev/null 2>&1 || true
      fi
      if wine cmd /c exit </dev/null >/dev/null 2>&1; then exit 0; fi
      sleep "$attempt"
    done
    wine --version >/dev/null  # says why, e.g. that the root is missing
    exit 1
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
