#!/bin/bash
# The real tovik.exe under wine with a display but no sound server: the
# engine cannot be created, so the program shows its error box ("Tovik -
# Error", "No audio output device found. Check your sound settings."), and
# after the box is closed ends with exit code 1, with the
# start-up log ending in "StreamManager::create FAILED". It never gets as
# far as opening a socket.
# Usage: wine_startup.sh <tovik.exe> <tovik_window_probe.exe> <wine prefix>
# Exit 77 (skipped) when Xvfb is missing.
set -u
. "$(dirname "$0")/../../support/xvfb.sh"
exe=$1
probe=$2
export WINEPREFIX=$3
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for tool in Xvfb wine wineserver; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$app_pid" ] && wait "$app_pid" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && { kill "${XVFB_PID:-}" 2>/dev/null; wait "${XVFB_PID:-}" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

xvfb_start "$work" || fail "Xvfb did not start"

# No PulseAudio reachable: no server address, an empty runtime folder.
unset PULSE_SERVER
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
logs="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tovik"
rm -rf "$logs"

wine "$exe" </dev/null >"$work/app.out" 2>&1 &
app_pid=$!
# The probe reads the box and presses its OK button.
box=$(wine "$probe" box 30 </dev/null 2>/dev/null | tr -d '\r')
[ "$box" = "BOX No audio output device found. Check your sound settings." ] ||
  fail "error box: '$box'; program output: $(cat "$work/app.out")"
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
status=$?
app_pid=""
[ "$status" = 1 ] || fail "exit code $status, want 1"
[ "$(tail -n 1 "$logs/debug.log" | tr -d '\r')" = "StreamManager::create FAILED" ] ||
  fail "debug.log: $(cat "$logs/debug.log" 2>/dev/null)"
grep -q $'Calling StreamManager::create...\r$' "$logs/debug.log" || fail "debug.log is not CR LF text"
[ ! -e "$logs/connection.log" ] || fail "a session was started"
echo "PASSED: error box shown, exit 1, log ends with the create failure"
