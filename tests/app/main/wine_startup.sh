#!/bin/bash
# The real tovik.exe under wine with a display but no output to capture: the
# engine cannot be created, so the program shows its error box ("Tovik -
# Error") and after the box is closed ends with exit code 1, with the CR LF
# start-up log ending in "StreamManager::create FAILED". It never gets as far
# as opening a socket. With no sound server (none) wine has no output device:
# "No audio output device found. Check your sound settings."; with a sound
# server that has no sink (no-sink) wine still offers its default output,
# whose loopback stream then fails: "Failed to capture audio. Another app may
# be using exclusive mode.".
# Usage: wine_startup.sh none|no-sink <tovik.exe> <tovik_window_probe.exe> <wine prefix>
# Exit 77 (skipped) when Xvfb or PulseAudio is missing.
set -u
here=$(dirname "$0")
. "$here/../../support/xvfb.sh"
. "$here/../../e2e/pulse_lab.sh"
. "$here/../../e2e/lab_checks.sh"
sound=$1 exe=$2 probe=$3
export WINEPREFIX=$4
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed"; exit 77; }
pulse_require
work=$(mktemp -d)
trap 'wineserver -k </dev/null >/dev/null 2>&1; kill ${XVFB_PID:-} 2>/dev/null; pulse_stop; rm -rf "$work"' EXIT

xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
want="No audio output device found. Check your sound settings."
if [ "$sound" = no-sink ]; then
  want="Failed to capture audio. Another app may be using exclusive mode."
  pulse_start "$work/pulse" 48000 && pactl unload-module module-null-sink || fail "no sink-less server"
else
  unset PULSE_SERVER  # no PulseAudio reachable: no address, an empty runtime folder
  mkdir -m 700 "$work/run"
  export XDG_RUNTIME_DIR=$work/run
fi
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
logs="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tovik"
rm -rf "$logs"
wine "$exe" </dev/null >"$work/app.out" 2>&1 &
app_pid=$!
box=$(wine "$probe" box 30 </dev/null 2>/dev/null | tr -d '\r')  # also presses OK
[ "$box" = "BOX $want" ] || fail "error box: '$box'"
for _ in $(seq 100); do kill -0 $app_pid 2>/dev/null || break; sleep 0.1; done
kill $app_pid 2>/dev/null
wait $app_pid
status=$?
[ "$status" = 1 ] || fail "exit code $status, want 1"
[ "$(tail -n 1 "$logs/debug.log")" = $'StreamManager::create FAILED\r' ] ||
  fail "debug.log: $(cat "$logs/debug.log" 2>/dev/null)"
[ ! -e "$logs/connection.log" ] || fail "a session was started"
finish
