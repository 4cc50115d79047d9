#!/usr/bin/env bash
# Tovik for Windows, the program as users start it, in the lab: wine 10 with
# its own wineserver in host 1, a private X server and a private PulseAudio
# whose null sink is the default output.
#   host 1: the program with audio port 19483 taken must show the error box
#           "Internal error. Please report this bug." and exit 1; then, the
#           port free, it shows its icon and tooltip, hands out its code
#           through "Copy Pairing Code", captures the loopback of the default
#           output while a 440 Hz tone plays into it, and quits from the menu
#           with exit 0, taking its icon with it; its logs are CR LF text;
#   host 2: our receiver, tovik-receive, pairs with that code and must hear
#           the tone at its level, about 50 frames a second, none missing.
#   tovik_exe_lab.sh <tovik.exe> <tovik_window_probe.exe> <tovik-receive>
set -u
program=$1 probe=$2 receiver=$3
here=$(cd "$(dirname "$0")" && pwd)
e2e=$here/../../e2e
. "$e2e/netlab.sh"
. "$e2e/lab_checks.sh"
. "$e2e/pulse_lab.sh"
. "$here/../../support/xvfb.sh"
netlab_require
pulse_require
for tool in Xvfb xdotool unshare python3 "$receiver"; do
  command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"
done

work=$(mktemp -d)
netlab_on_cleanup() {
  pulse_stop
  [ -n "${XVFB_PID:-}" ] && { kill "${XVFB_PID:-}" 2>/dev/null; wait "${XVFB_PID:-}" 2>/dev/null; }
  rm -rf "$work"
}
netlab_setup 2

xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
pulse_start "$work/pulse" 48000 || { fail "no sound server"; finish; }

netlab_spawn 1 "$work/host1.out" unshare --pid --fork --kill-child \
  bash "$here/tovik_exe_host.sh" "$work/prefix1" "$work" "$program" "$probe"
host1=${NETLAB_PIDS[-1]}
for _ in $(seq 3000); do
  [ -e "$work/code" ] && break
  kill -0 "$host1" 2>/dev/null || break
  sleep 0.1
done
code=$(cat "$work/code" 2>/dev/null)
if [[ "$code" =~ ^[0-9]{6}$ ]]; then
  pulse_play_tone 440 0.5
  netlab_exec 2 env APPDATA="$work/rx" "$receiver" --code "$code" --name "Lab Listener" \
    --id rx-listener --out "$work/heard.wav" --duration 10 2>"$work/rx.err"
else
  fail "no pairing code from the clipboard: '$code'"
fi
touch "$work/done"
netlab_wait_all || true

result() { tr -d '\r' <"$work/$1" 2>/dev/null; }
crlf() { printf '%s\r\n' "$@"; }
same() { cmp -s "$1" <(shift && crlf "$@") || fail "$(basename "$1") is not, byte for byte: $*"; }
[ "$(result busy.box)" = "BOX Internal error. Please report this bug." ] ||
  fail "busy port: box '$(result busy.box)'"
[ "$(result busy.status)" = 1 ] || fail "busy port: exit $(result busy.status), want 1"
same "$work/busy/debug.log" "=== Tovik starting ===" "Creating stream manager..." \
  "Calling StreamManager::create..." "StreamManager created OK" "Loading settings..." \
  "Creating tray icon..." "Tray icon created OK" "Wiring up callbacks..." "Starting stream..." \
  "Stream start FAILED"
same "$work/busy/connection.log" "Failed to bind audio socket to port 19483"

[ "$(result icon.up)" = "ICON present" ] || fail "icon while running: '$(result icon.up)'"
[ "$(result tip.searching)" = "Tovik — Searching..." ] ||
  fail "tooltip while searching: '$(result tip.searching)'"
[ "$(result tip.connected)" = "Tovik — Connected (Lab Listener)" ] ||
  fail "tooltip while streaming: '$(result tip.connected)'"
[ "$(result stream.status)" = 0 ] || fail "exit $(result stream.status) after Quit, want 0"
[ "$(result icon.after)" = "ICON absent" ] || fail "icon after Quit: '$(result icon.after)'"

# What the receiver heard: the tone of the last 4 s (0.354 rms sent); the
# frames that arrived for each 20 ms it played (a capture that delivers too
# little makes it conceal or insert); sequences missing for good (lost, less
# those that came late).
length=$(soxi -D "$work/heard.wav" 2>/dev/null || echo 0)
stat=$(sox "$work/heard.wav" -n trim "$(awk -v l="$length" 'BEGIN { print l - 4.5 }')" 4 remix 1 \
  stat 2>&1)
freq=$(echo "$stat" | sed -n 's/^Rough *frequency: *//p')
rms=$(echo "$stat" | sed -n 's/^RMS *amplitude: *//p')
summary=$(tail -n 1 "$work/rx.err")
field() { echo "$summary" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
fps=$(awk -v f="$(field frames)" -v s="$(field skipped)" -v i="$(field inserted)" \
  -v l="$(field lost)" 'BEGIN { if (f > 0) print 50 * (f + s) / (f + i + l) }')
awk -v f="$freq" 'BEGIN { exit !(f >= 435 && f <= 445) }' || fail "frequency '$freq' Hz, want 440"
awk -v r="$rms" 'BEGIN { exit !(r >= 0.32 && r <= 0.39) }' || fail "level '$rms' rms, want 0.354"
awk -v f="$fps" 'BEGIN { exit !(f >= 47 && f <= 53) }' || fail "'$fps' frames/s, want 50"
[ "$(field lost)" -le "$(field late)" ] 2>/dev/null || fail "frames missing: $summary"

logs="$work/prefix1/drive_c/users/$(id -un)/AppData/Roaming/Tovik"
same "$logs/debug.log" "=== Tovik starting ===" "Creating stream manager..." \
  "Calling StreamManager::create..." "StreamManager created OK" "Loading settings..." \
  "Creating tray icon..." "Tray icon created OK" "Wiring up callbacks..." "Starting stream..." \
  "Stream started OK - entering message loop" "=== Tovik shutting down ==="
peer=$(sed -n 's/^Connected to peer \([0-9.:]*\)\r$/\1/p' "$logs/connection.log")
same "$logs/connection.log" "Audio socket bound to port 19483" \
  "Transmitter listen loop started on port 19483" \
  "Received HELLO from $peer — 'Lab Listener' (id=rx-listener, code='$code')" \
  "Connected to peer $peer"
[ "${peer%:*}" = "$(netlab_ip 2)" ] || fail "peer '$peer' is not host 2"
grep -Eq "^broadcast_loop started: msg='TOVIK\|[^|]*\|19483\|$(cat "$logs/device_id")' port=19482"$'\r$' \
  "$logs/discovery.log" || fail "discovery.log lacks the CR LF start line"
grep -q '"id":"rx-listener","name":"Lab Listener"' "$logs/paired_devices.json" 2>/dev/null ||
  fail "paired_devices.json lacks the receiver"

if [ "$LAB_STATUS" != 0 ]; then
  tail -n 20 "$work"/host1.out "$work"/rx.err "$work"/probe.err "$logs"/*.log 2>/dev/null
fi
echo "windows e2e: $freq Hz, rms $rms, $fps frames/s; $summary"
finish
