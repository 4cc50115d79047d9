#!/usr/bin/env bash
# The whole road on Linux, with a hostile host beside it: a 440 Hz tone plays
# into a PulseAudio null sink, Tovik (terminal mode, saved quality Low)
# captures it in lab host 1, honest receivers in host 2 pair with the code it
# printed, host 3 is hostile; all on the product's ports and real broadcast.
# Without the code host 3 gets no audio, cannot guess it, cannot pause,
# retune or keep alive the honest stream, and its flood of 20,000 datagrams
# neither stops the stream nor grows the logs past their cap. Our receiver
# pairs with the code and comes back without it after either side restarts.
# Tovik then follows the default output while it streams: the default sink
# turns into one with another rate and channel count, then every sink goes,
# and a new one comes as the default.
#   hostile_lab.sh <tovik> <listen_probe> <tovik-receive>
set -u
tovik=$1 listen=$2 receive=$3
. "$(dirname "$0")/lab_checks.sh"
tovik_lab 3
pulse_play_tone 440 0.2  # a surround sink's up-mix adds up again in our down-mix
a=$work/a/Tovik tx=$(netlab_ip 1) evil=$(netlab_ip 3)
mkdir -p "$a" "$work/b"
settings='{"quality":"low","start_with_windows":false,"smart_volume":false}'
echo "$settings" >"$a/settings.json"
log=$a/connection.log

stop_tovik() { kill -INT "$TOVIK_PID" && wait "$TOVIK_PID" || fail "Tovik exited with $? on SIGINT"; }
# From a host: send the datagrams (printf formats), then count the bytes
# that come back to that socket within UDP_WAIT seconds (3).
udp_exchange() {  # host formats...
  netlab_exec "$1" bash -c 'wait=$1; shift; exec 3<>/dev/udp/$0/19483
    for f in "$@"; do printf "$f" >&3; done; timeout "$wait" cat <&3 | wc -c' "$tx" "${UDP_WAIT:-3}" "${@:2}"
}

start_tovik "$work/tovik1.out" "$work/a"
[ "$(udp_exchange 3 'TOVIK_HELLO|Mallory|rx-stranger')" = 0 ] || fail "a codeless stranger got data"
guesses=()
for i in $(seq 30); do guesses+=("TOVIK_HELLO|Mallory|rx-guess|$(printf '%06d' $(((10#$code + i) % 1000000)))"); done
[ "$(udp_exchange 3 "${guesses[@]}" "TOVIK_HELLO|Mallory|rx-guess|$code")" = 0 ] ||
  fail "the right code got through after 30 wrong ones from the same host"
wait_for_line "$log" "Pairing code MISMATCH: got '${guesses[0]##*|}' expected '$code' — rejecting"
heard=$(tr -d '\r' <"$log" | grep -c "^Received HELLO from $evil:")
[ "$heard" -le 5 ] || fail "$heard HELLOs from the guessing host were looked at (want <= 5)"
[ "$(grep -c "^Notice: Refused a connection from 'Mallory' ($evil): no pairing code$" "$work/tovik1.out")" = 1 ] ||
  fail "the first refusal was not shown once: $(grep Notice "$work/tovik1.out")"

# The honest listener streams while host 3 and a stranger socket on host 2
# pause, retune and flood.
netlab_spawn 2 "$work/listen.out" "$listen" 120 "$code"
listener=${NETLAB_PIDS[-1]}
wait_for_line "$work/tovik1.out" "Status: Connected (Lab Listener)"
grep -q 'libQt5' "/proc/$TOVIK_PID/maps" && fail "terminal mode maps Qt"
sleep 4
for host in 2 3; do UDP_WAIT=0.2 udp_exchange "$host" '\xC0\x03\x00\x01\x01' '\xC0\x01\x00\x04\x00\x00\x17\x70' \
  'TOVIK_PONG|1' >/dev/null; done
# Host 3 floods: HELLOs without a code and with wrong codes under fresh ids,
# CTRLs that pause and retune, PONGs, PINGs, keepalives and junk up to the
# receive buffer's size, 20,000 datagrams as fast as bash sends them.
flood='exec 3<>/dev/udp/$0/19483; junk=$(printf "%2048s" .); echo $((${EPOCHREALTIME/./} / 1000))
  for ((i = 0; i < 20000; i += 8)); do printf "TOVIK_HELLO|Mallory|rx-flood-$i" >&3
    printf "TOVIK_HELLO|Mallory|rx-flood-$i|$((100000 + i))" >&3; printf "\xC0\x03\x00\x01\x01" >&3
    printf "\xC0\x01\x00\x04\x00\x00\x17\x70" >&3; printf "TOVIK_PONG|$i" >&3; printf "TOVIK_PING|$i" >&3
    printf K >&3; printf %s "$junk" >&3; done; echo $((${EPOCHREALTIME/./} / 1000))'
read -r first last <<<"$(netlab_exec 3 bash -c "$flood" "$tx" | tr '\n' ' ')"
sleep 3
kill -TERM "$listener" && wait "$listener"
arrivals() { value ARRIVALS | tr ' ' '\n' | awk -v a="$1" -v b="$2" '$1 >= a && $1 <= b'; }
[ "$(value BITRATE)" = 64000 ] || fail "bitrate $(value BITRATE), want the saved 64000"
# Rates are bars for a release build (TOVIK_QUALITY_BARS); elsewhere a busy
# machine may stall the stream, so only a wrong pace or a stop fails.
bars=${TOVIK_QUALITY_BARS:-0}
after=$(arrivals "$last" 1e15 | wc -l)
[ "$after" -ge $((bars ? 100 : 25)) ] || fail "$after frames in the 3 s after the flood"
within "$(value FREQ)" 435 445 || fail "frequency $(value FREQ) Hz, want 440 +- 5"
# 0.2 amplitude is 0.141 rms; within 3 dB: 0.100 .. 0.200
within "$(value RMS)" 0.1 0.2 || fail "level $(value RMS) rms, want 0.141 within 3 dB"
fps=$(arrivals 0 "$first" | awk 'NR == 1 { a = $1 } { n++; b = $1 } END { if (n > 1) print 1000 * (n - 1) / (b - a) }')
within "$fps" $((bars ? 45 : 30)) $((bars ? 55 : 70)) || fail "$fps frames/s before the flood"
grep -q "^Received HELLO from $(netlab_ip 2):[0-9]* — 'Lab Listener' (id=rx-listener, code='$code')" \
  "$log" && grep -q "^Connected to peer $(netlab_ip 2):" "$log" || fail "no HELLO and Connected lines"
# Frames during the flood, over at least a second. Only a release build
# (TOVIK_QUALITY_BARS) is held to 80 % of 50 a second; debug and sanitizer
# builds on a busy machine must merely keep the stream going.
window=$((last - first < 1000 ? 1000 : last - first))
during=$(arrivals "$first" $((first + window)) | wc -l)
echo "flood: 20000 datagrams in $((last - first)) ms; $during frames in the $window ms from its start"
[ "$during" -ge $((window * (bars ? 40 : 10) / 1000)) ] || fail "$during frames during the flood"

# The listener has gone; strangers' keepalives and PONGs (one from its own
# host) must not keep its link alive.
keep='exec 3<>/dev/udp/$0/19483; for i in $(seq 400); do printf K >&3; printf "TOVIK_PONG|1" >&3; sleep 0.02; done'
netlab_exec 2 bash -c "$keep" "$tx" & keep2=$!
netlab_exec 3 bash -c "$keep" "$tx"
grep -Eq '^Connection timeout — no packets for (500[1-9]|50[1-9][0-9]|5[1-9][0-9]{2}|6[0-9]{3})ms, disconnecting' \
  "$log" || fail "strangers kept a silent link alive"
wait "$keep2"

# Ours pairs with the code; later runs need none: a stale code after a
# restart of Tovik, no code at all, and a restart of Tovik while it plays.
rx() { netlab_spawn 2 "$work/rx$1.out" env APPDATA="$work/b" "$receive" --out "$work/rx.wav" --quiet "${@:2}"; }
rx 1 --code "$code" --duration 5 && wait "${NETLAB_PIDS[-1]}"
stop_tovik
rx 2 --code "$code" --duration 8  # stale: Tovik comes back with another
start_tovik "$work/tovik2.out" "$work/a"
wait "${NETLAB_PIDS[-2]}"
rx 3 --duration 10
sleep 4
stop_tovik
start_tovik "$work/tovik3.out" "$work/a"
wait "${NETLAB_PIDS[-2]}"
for run in 1:100 2:100 3:200; do
  [ "$(sed -n 's/.*frames=\([0-9]*\).*/\1/p' "$work/rx${run%:*}.out")" -ge "${run#*:}" ] ||
    fail "ours, run ${run%:*}: $(cat "$work/rx${run%:*}.out")"
done

# The default output moves while the listener hears the tone: the frame
# numbers run on, the tone keeps coming, and debug.log tells each move. Each
# step waits for the last to show (a new null sink renders nothing for its
# first seconds); the return after no sink at all may be one stretch quieter.
netlab_spawn 2 "$work/listen.out" "$listen" 120 "$code"
listener=${NETLAB_PIDS[-1]}
# The server has to report the new default before Tovik can follow it (a
# busy machine may drop a pactl call); when Tovik does not, its own capture
# lines and the server's default go with the failure.
make_default() {
  for _ in $(seq 20); do
    pactl set-default-sink "$1" && pactl info | grep -qx "Default Sink: $1" && return 0
    sleep 0.5
  done
  fail "the server never took $1 as its default"
}
move() {
  wait_for_line "$a/debug.log" "capture: follow default output: $1" && return 0
  pactl info | grep '^Default Sink'
  grep -a 'capture\|pulse' "$a/debug.log" | tail -n 10
  return 1
}
wait_for_line "$work/tovik3.out" "Status: Connected (Lab Listener)" && sleep 2
pulse_add_sink surround 44100 6 || fail "the surround sink carries no tone"
make_default surround
move "now surround, 44100 Hz, 6 channels" && sleep 3
for module in $(pactl list short modules | awk '/module-null-sink/ { print $1 }'); do pactl unload-module "$module"; done
move "none usable (code 4), waiting for one" && sleep 2
pulse_add_sink mono 32000 1 || fail "the mono sink carries no tone"
make_default mono
move "now mono, 32000 Hz, 1 channels" && sleep 4
kill -TERM "$listener" && wait "$listener"
stop_tovik
echo "follow: $(grep -v ARRIVALS "$work/listen.out" | tr '\n' ' ')"
[ "$(value GAPS)" = 0 ] || fail "$(value GAPS) jumps in the frame numbers"
within "$(value FREQ)" 435 445 && within "$(value RMS)" 0.1 0.6 || fail "tone $(value FREQ) Hz $(value RMS) rms"
# Silences of a second or more (ms@s): none at the end. A release build
# (TOVIK_QUALITY_BARS) has one, the return after no sink, under the 2.5 s a
# new sink may take; on a busy machine the switch may add one, each under 6 s.
quiet=$(value QUIET | tr ' ' '\n' | awk -F@ '$1 >= 1000' | tr '\n' ' ')
echo "$quiet" | awk -v q=${TOVIK_QUALITY_BARS:-0} '{ for (i = 1; i <= NF; i++) if ($i ~ /end/ ||
  $i + 0 >= (q ? 2500 : 6000)) bad = 1 } END { exit bad || NF > (q ? 1 : 2) }' || fail "the tone was gone: $quiet"
NETLAB_PIDS=()

for line in "Stream started OK - entering message loop" "=== Tovik shutting down ==="; do
  [ "$(grep -cxF "$line" "$a/debug.log")" = 3 ] || fail "debug.log lacks '$line' for each run"
done
grep -Eq "^broadcast_loop started: msg='TOVIK\|[^|]*\|19483\|tovik-[0-9a-f]{16}' port=19482$" \
  "$a/discovery.log" || fail "discovery.log lacks the start line"
grep -Eq '^\[\{"id":"rx-listener","name":"Lab Listener","timestamp":[0-9]+\},\{"id":"rx-[0-9a-f]{16}","name":"Tovik Receiver","timestamp":[0-9]+\}\]$' \
  "$a/paired_devices.json" || fail "paired_devices.json: $(cat "$a/paired_devices.json")"
[ "$(cat "$a/settings.json")" = "$settings" ] || fail "settings.json changed"
[ "$(wc -c <"$a/device_id")" = 22 ] || fail "device_id is not 22 bytes"
[ -z "$(find "$a" -name '*.log' -size +512k)" ] || fail "logs over their cap: $(ls -l "$a")"
[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/*.out "$log"
finish
