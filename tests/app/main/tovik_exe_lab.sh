#!/usr/bin/env bash
# Tovik for Windows, the whole program, in the lab: wine with its own
# wineserver in each host, a private X server and a private PulseAudio whose
# null sink is wine's default capture device.
#   host 1: the program with audio port 19483 taken must show the error box
#           "Internal error. Please report this bug." and exit 1; then, the
#           port free, it shows its icon and tooltip, hands out its code
#           through "Copy Pairing Code", streams a 440 Hz tone and quits from
#           the menu with exit 0, taking its icon with it;
#   host 2: our receiver role (under wine too) pairs with that code and must
#           decode the tone.
#   tovik_exe_lab.sh <tovik_capture_rig.exe> <tovik_window_probe.exe> <listen_probe.exe>
set -u
rig=$1 probe=$2 listener=$3
here=$(cd "$(dirname "$0")" && pwd)
e2e=$here/../../e2e
. "$e2e/netlab.sh"
. "$e2e/lab_checks.sh"
. "$e2e/pulse_lab.sh"
. "$here/../../support/xvfb.sh"
netlab_require
pulse_require
for tool in wine wineserver Xvfb xdotool unshare python3; do
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
  bash "$here/tovik_exe_host.sh" "$work/prefix1" "$work" "$rig" "$probe"
host1=${NETLAB_PIDS[-1]}
for _ in $(seq 3000); do
  [ -e "$work/code" ] && break
  kill -0 "$host1" 2>/dev/null || break
  sleep 0.1
done
code=$(cat "$work/code" 2>/dev/null)
if [[ "$code" =~ ^[0-9]{6}$ ]]; then
  pulse_play_tone 440 0.5
  netlab_exec 2 unshare --pid --fork --kill-child bash "$e2e/wine_host.sh" "$work/prefix2" \
    "$work/ready2" - "$listener" 10 "$code" >"$work/listen.out" 2>&1
else
  fail "no pairing code from the clipboard: '$code'"
fi
touch "$work/done"
netlab_wait_all || true

result() { tr -d '\r' <"$work/$1" 2>/dev/null; }
[ "$(result busy.box)" = "BOX Internal error. Please report this bug." ] ||
  fail "busy port: box '$(result busy.box)'"
[ "$(result busy.status)" = 1 ] || fail "busy port: exit $(result busy.status), want 1"
[ "$(result busy/debug.log | tail -n 1)" = "Stream start FAILED" ] ||
  fail "busy port: debug.log does not end with the start failure"
result busy/connection.log | grep -qxF "Failed to bind audio socket to port 19483" ||
  fail "busy port: connection.log lacks the bind failure"

[ "$(result icon.up)" = "ICON present" ] || fail "icon while running: '$(result icon.up)'"
[ "$(result tip.searching)" = "Tovik — Searching..." ] ||
  fail "tooltip while searching: '$(result tip.searching)'"
[ "$(result tip.connected)" = "Tovik — Connected (Lab Listener)" ] ||
  fail "tooltip while streaming: '$(result tip.connected)'"
[ "$(result stream.status)" = 0 ] || fail "exit $(result stream.status) after Quit, want 0"
[ "$(result icon.after)" = "ICON absent" ] || fail "icon after Quit: '$(result icon.after)'"

value() { result listen.out | sed -n "s/^$1 //p"; }
awk -v f="$(value FREQ)" 'BEGIN { exit !(f >= 435 && f <= 445) }' ||
  fail "frequency $(value FREQ) Hz, want 440 +- 5"
awk -v r="$(value RMS)" 'BEGIN { exit !(r >= 0.25 && r <= 0.50) }' ||
  fail "level $(value RMS) rms, want 0.354 within 3 dB"
awk -v f="$(value FPS)" 'BEGIN { exit !(f >= 45 && f <= 55) }' || fail "$(value FPS) frames/s"

logs="$work/prefix1/drive_c/users/$(id -un)/AppData/Roaming/Tovik"
for line in "Tray icon created OK" "Stream started OK - entering message loop" \
    "=== Tovik shutting down ==="; do
  grep -qxF "$line"$'\r' "$logs/debug.log" || fail "debug.log lacks the CR LF line '$line'"
done
grep -q "^Received HELLO from $(netlab_ip 2):[0-9]* — 'Lab Listener' (id=rx-listener, code='$code')" \
  "$logs/connection.log" || fail "connection.log lacks the HELLO line"
grep -q '"id":"rx-listener","name":"Lab Listener"' "$logs/paired_devices.json" 2>/dev/null ||
  fail "paired_devices.json lacks the receiver"

if [ "$LAB_STATUS" != 0 ]; then
  tail -n 20 "$work"/host1.out "$work"/listen.out "$work"/probe.err "$logs"/*.log 2>/dev/null
fi
echo "windows e2e: $(result listen.out | tr '\n' ' ')"
finish
