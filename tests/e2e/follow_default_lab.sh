#!/usr/bin/env bash
# Tovik follows the default output (PulseAudio null sinks): while it streams
# a 440 Hz tone to our receiver in another lab host, the default sink turns
# into one with another rate and channel count, then every sink goes, and a
# new one comes as the default. The tone must keep reaching the receiver with
# unbroken frame numbers, and debug.log must tell each move. Each step waits
# for the last to show (a new null sink renders nothing for its first
# seconds); the return after no sink at all may be one stretch quieter.
#   follow_default_lab.sh <tovik> <listen_probe>
set -u
tovik=$1 listen=$2
. "$(dirname "$0")/lab_checks.sh"
tovik_lab 2
pulse_play_tone 440 0.2  # a surround sink's up-mix adds up again in our down-mix
log=$work/a/Tovik/debug.log
mkdir -p "$work/a/Tovik"
start_tovik "$work/tovik.out" "$work/a"
netlab_spawn 2 "$work/listen.out" "$listen" 120 "$code"
listener=${NETLAB_PIDS[-1]}
wait_for_line "$work/tovik.out" "Status: Connected (Lab Listener)" || finish
move() { wait_for_line "$log" "capture: follow default output: $1"; }

sleep 2
pulse_add_sink surround 44100 6 || fail "the surround sink carries no tone"
pactl set-default-sink surround
move "now surround, 44100 Hz, 6 channels"
sleep 3
for module in $(pactl list short modules | awk '/module-null-sink/ { print $1 }'); do
  pactl unload-module "$module"
done
move "none usable (code 4), waiting for one"
sleep 2
pulse_add_sink mono 32000 1 || fail "the mono sink carries no tone"
pactl set-default-sink mono
move "now mono, 32000 Hz, 1 channels"
sleep 3
kill -TERM "$listener" && wait "$listener"

[ "$(value GAPS)" = 0 ] || fail "$(value GAPS) jumps in the frame numbers"
within "$(value FREQ)" 435 445 || fail "frequency $(value FREQ) Hz"
within "$(value RMS)" 0.1 0.6 || fail "level $(value RMS) rms"
long=0
for stretch in $(value QUIET); do
  [ "${stretch%@*}" -lt 1000 ] && continue
  long=$((long + 1))
  [ "$long" = 1 ] && [ "${stretch%@*}" -lt 2500 ] ||
    fail "the tone was gone for ${stretch%@*} ms from ${stretch#*@} s"
done
[ "$LAB_STATUS" = 0 ] || { cat "$work/tovik.out"; tail -n 20 "$log" "$work/pulse/pa.log"; }
echo "follow: $(grep -v ARRIVALS "$work/listen.out" | tr '\n' ' ')"
finish
