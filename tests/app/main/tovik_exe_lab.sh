#!/usr/bin/env bash
# Tovik for Windows, the program as users start it, in the lab: wine 10 with
# its own wineserver in host 1 (see tovik_exe_host.sh: a Chinese path longer
# than 260 characters on a Western code page, settings from the menu, a second
# start, another session, the installer, a restart), a private X server and a
# private PulseAudio whose null sink is the default output with a 440 Hz tone
# playing; host 2: our receiver, tovik-receive, pairs with the code and must
# hear the tone, captured through the output's loopback, at its level, about
# 50 frames a second, none missing; then starts with nothing to capture.
#   tovik_exe_lab.sh <tovik.exe> <tovik_window_probe.exe> <tovik-receive> <setup.exe>
set -u
program=$1 probe=$2 receiver=$3 setup=$4
here=$(cd "$(dirname "$0")" && pwd)
e2e=$here/../../e2e
. "$e2e/netlab.sh"
. "$e2e/lab_checks.sh"
. "$e2e/pulse_lab.sh"
. "$here/../../support/xvfb.sh"
netlab_require
pulse_require
for tool in Xvfb unshare "$receiver" "$setup"; do
  command -v "$tool" >/dev/null || [ -f "$tool" ] || netlab_skip "$tool is not there"
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
pulse_play_tone 440 0.5

netlab_spawn 1 "$work/host1.out" unshare --pid --fork --kill-child \
  bash "$here/tovik_exe_host.sh" "$work" "$program" "$probe" "$setup"
host1=${NETLAB_PIDS[-1]}
for _ in $(seq 3000); do
  [ -e "$work/code" ] && break
  kill -0 "$host1" 2>/dev/null || break
  sleep 0.1
done
code=$(cat "$work/code" 2>/dev/null)
if [[ "$code" =~ ^[0-9]{6}$ ]]; then
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
expect() { [ "$(result "$1")" = "$2" ] || fail "$1: '$(result "$1")', want '$2'"; }
expect second.box "BOX Tovik is already running."
expect second.status 0
expect run.first "RUN \"$(result exe.win)\""
expect other.box "BOX Internal error. Please report this bug."
expect other.status 1
run=("=== Tovik starting ===" "Creating stream manager..." "Calling StreamManager::create..."
  "StreamManager created OK" "Loading settings..." "Creating tray icon..." "Tray icon created OK"
  "Wiring up callbacks..." "Starting stream..." "Stream started OK - entering message loop"
  "=== Tovik shutting down ===")
same "$work/other/debug.log" "${run[@]:0:9}" "Stream start FAILED"
same "$work/other/connection.log" "Failed to bind audio socket to port 19483"
expect first.status 0
expect restart.status 0
expect run.after ""
# Nothing to capture: the error box, exit 1, the log ends with the failure.
expect nosink.box "BOX Failed to capture audio. Another app may be using exclusive mode."
expect nosound.box "BOX No audio output device found. Check your sound settings."
expect nosink.status 1
expect nosound.status 1
[ "$(tail -n 1 "$work/nosound.log")" = $'StreamManager::create FAILED\r' ] &&
  [ "$(grep -c 'create FAILED' "$work/nosound.log")" = 2 ] || fail "nosound.log: $(result nosound.log)"

# What the receiver heard: the tone of the last 4 s (0.354 rms sent); the
# frames that arrived for each 20 ms it played (a capture that delivers too
# little makes it conceal or insert); sequences missing for good (lost, less
# those that came late).
stat=$(sox "$work/heard.wav" -n trim -4.5 4 remix 1 stat 2>&1)
freq=$(echo "$stat" | sed -n 's/^Rough *frequency: *//p')
rms=$(echo "$stat" | sed -n 's/^RMS *amplitude: *//p')
summary=$(tail -n 1 "$work/rx.err")
field() { echo "$summary" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
fps=$(awk -v f="$(field frames)" -v s="$(field skipped)" -v i="$(field inserted)" \
  -v l="$(field lost)" 'BEGIN { if (f > 0) print 50 * (f + s) / (f + i + l) }')
awk -v f="$freq" -v r="$rms" -v s="$fps" 'BEGIN { exit !(f >= 435 && f <= 445 && r >= 0.32 &&
  r <= 0.39 && s >= 47 && s <= 53) }' || fail "$freq Hz, $rms rms, $fps frames/s: want 440, 0.354, 50"
[ "$(field lost)" -le "$(field late)" ] 2>/dev/null || fail "frames missing: $summary"

logs="$work/store"
# The first start's first two lines are lost: the Tovik folder did not exist.
same "$logs/debug.log" "${run[@]:2}" "${run[@]}"
peer=$(sed -n 's/^Connected to peer \([0-9.:]*\)\r$/\1/p' "$logs/connection.log")
cmp -s <(head -n 4 "$logs/connection.log") <(crlf "Audio socket bound to port 19483" \
  "Transmitter listen loop started on port 19483" \
  "Received HELLO from $peer — 'Lab Listener' (id=rx-listener, code='$code')" \
  "Connected to peer $peer") || fail "connection.log does not begin, byte for byte, with the pairing"
[ "${peer%:*}" = "$(netlab_ip 2)" ] || fail "peer '$peer' is not host 2"
ids=$(grep -o "msg='TOVIK|[^|]*|19483|tovik-[0-9a-f]\{16\}' port=19482"$'\r$' "$logs/discovery.log" |
  grep -o 'tovik-[0-9a-f]\{16\}' | sort | uniq -c)
[ "$ids" = "      2 $(cat "$logs/device_id")" ] || fail "ids announced in CR LF start lines: $ids"
expect store/settings.json '{"quality":"low","start_with_windows":false,"smart_volume":false}'
grep -qE '"id":"rx-listener","name":"Lab Listener","timestamp":1[0-9]{9}}' "$logs/paired_devices.json" 2>/dev/null ||
  fail "paired_devices.json lacks the receiver"

[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/host1.out "$work"/rx.err "$work"/probe.err \
  "$work"/program.out "$logs"/*.log "$work"/other/*.log 2>/dev/null
echo "windows e2e: $freq Hz, rms $rms, $fps frames/s; $summary"
finish
