#!/usr/bin/env bash
# The whole road on Linux: a 440 Hz tone plays into a PulseAudio null sink,
# Tovik (terminal mode) captures it in lab host 1, our receiver role in lab
# host 2 pairs with the code Tovik printed, decodes the frames and must find
# the tone. Then the files and logs are checked, and Tovik quits on SIGINT.
#   tovik_e2e.sh <tovik> <listen_probe>
set -u
tovik=$1
probe=$2
here=$(dirname "$0")
. "$here/netlab.sh"
. "$here/lab_checks.sh"
. "$here/pulse_lab.sh"
netlab_require
pulse_require

work=$(mktemp -d)
netlab_on_cleanup() { pulse_stop; rm -rf "$work"; }
netlab_setup 2
pulse_start "$work/pulse" 48000 || { fail "no sound server"; finish; }
pulse_play_tone 440 0.5
# Saved quality Low: the frames must carry 64000 from the start.
mkdir -p "$work/a/Tovik"
printf '{"quality":"low","start_with_windows":false,"smart_volume":false}\n' \
  >"$work/a/Tovik/settings.json"

netlab_spawn 1 "$work/tovik.out" env APPDATA="$work/a" "$tovik" --headless
tovik_pid=${NETLAB_PIDS[-1]}
for _ in $(seq 300); do grep -q '^Pairing code: ' "$work/tovik.out" 2>/dev/null && break; sleep 0.1; done
code=$(sed -n 's/^Pairing code: \([0-9]\{3\}\) \([0-9]\{3\}\)$/\1\2/p' "$work/tovik.out")
[ ${#code} = 6 ] || { fail "Tovik printed no pairing code"; cat "$work/tovik.out"; finish; }

netlab_exec 2 "$probe" 8 "$code" >"$work/listen.out" 2>&1
value() { sed -n "s/^$1 //p" "$work/listen.out"; }
awk -v f="$(value FREQ)" 'BEGIN { exit !(f >= 435 && f <= 445) }' ||
  fail "frequency $(value FREQ) Hz, want 440 +- 5"
# 0.5 amplitude is 0.354 rms; within 3 dB: 0.250 .. 0.500
awk -v r="$(value RMS)" 'BEGIN { exit !(r >= 0.25 && r <= 0.50) }' ||
  fail "level $(value RMS) rms, want 0.354 within 3 dB"
awk -v f="$(value FPS)" 'BEGIN { exit !(f >= 45 && f <= 55) }' || fail "$(value FPS) frames/s"
[ "$(value BITRATE)" = 64000 ] || fail "bitrate $(value BITRATE), want the saved 64000"
grep -qx 'Status: Connected (Lab Listener)' "$work/tovik.out" || fail "no Connected status line"

# Resident memory of the terminal-mode process while it streams (a figure
# for the benchmarks table, not a pass/fail check).
rss=$(sed -n 's/^VmRSS:[[:space:]]*//p' "/proc/$tovik_pid/status" 2>/dev/null)
grep -q 'libQt5' "/proc/$tovik_pid/maps" && fail "terminal mode maps Qt"
kill -INT "$tovik_pid"
wait "$tovik_pid"
status=$?
[ "$status" = 0 ] || fail "Tovik exited with $status after SIGINT"

log="$work/a/Tovik"
for line in "=== Tovik starting ===" "StreamManager created OK" "Tray icon created OK" \
    "Stream started OK - entering message loop" "=== Tovik shutting down ==="; do
  grep -qxF "$line" "$log/debug.log" || fail "debug.log lacks '$line'"
done
grep -q "^Received HELLO from $(netlab_ip 2):[0-9]* — 'Lab Listener' (id=rx-listener, code='$code')" \
  "$log/connection.log" || fail "connection.log lacks the HELLO line"
grep -q '^Connected to peer ' "$log/connection.log" || fail "connection.log lacks Connected"
grep -Eq "^broadcast_loop started: msg='TOVIK\|[^|]*\|19483\|tovik-[0-9a-f]{16}' port=19482$" \
  "$log/discovery.log" || fail "discovery.log lacks the start line"
grep -Eq '^\[\{"id":"rx-listener","name":"Lab Listener","timestamp":[0-9]+\}\]$' \
  "$log/paired_devices.json" || fail "paired_devices.json: $(cat "$log/paired_devices.json")"
[ "$(cat "$log/settings.json")" = '{"quality":"low","start_with_windows":false,"smart_volume":false}' ] ||
  fail "settings.json changed"
[ "$(wc -c <"$log/device_id")" = 22 ] || fail "device_id is not 22 bytes"
NETLAB_PIDS=()
[ "$LAB_STATUS" = 0 ] || { cat "$work/tovik.out" "$work/listen.out"; tail -n 20 "$log"/*.log; }
echo "e2e: $(tr '\n' ' ' <"$work/listen.out") RSS ${rss:-?}"
finish
