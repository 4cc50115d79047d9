#!/usr/bin/env bash
# Tovik follows the default output (PulseAudio null sinks): while it streams
# a 440 Hz tone to our receiver in another lab host, the default sink turns
# into one with another rate and channel count, then every sink goes, and a
# new one comes as the default. The tone must keep reaching the receiver with
# unbroken frame numbers, and debug.log must tell each move. (A new null sink
# renders nothing for its first 2 s: the switch waits that out; the return
# after no sink at all cannot, and may be that much quieter.)
#   follow_default_lab.sh <tovik> <listen_probe>
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
pulse_play_tone 440 0.3  # a surround sink's up-mix adds up again in our down-mix

mkdir -p "$work/a/Tovik"
netlab_spawn 1 "$work/tovik.out" env APPDATA="$work/a" "$tovik" --headless
for _ in $(seq 300); do grep -q '^Pairing code: ' "$work/tovik.out" 2>/dev/null && break; sleep 0.1; done
code=$(sed -n 's/^Pairing code: \([0-9]\{3\}\) \([0-9]\{3\}\)$/\1\2/p' "$work/tovik.out")
[ ${#code} = 6 ] || { fail "Tovik printed no pairing code"; cat "$work/tovik.out"; finish; }
netlab_spawn 2 "$work/listen.out" "$probe" 16 "$code"
probe_pid=${NETLAB_PIDS[-1]}
wait_for_line "$work/tovik.out" "Status: Connected (Lab Listener)" || finish

pulse_add_sink surround 44100 6
sleep 2.5
pactl set-default-sink surround
sleep 3
for module in $(pactl list short modules | awk '/module-null-sink/ { print $1 }'); do
  pactl unload-module "$module"
done
sleep 2
pulse_add_sink mono 32000 1
pactl set-default-sink mono
wait "$probe_pid"

value() { sed -n "s/^$1 *//p" "$work/listen.out"; }
[ "$(value GAPS)" = 0 ] || fail "$(value GAPS) jumps in the frame numbers"
awk -v f="$(value FREQ)" 'BEGIN { exit !(f >= 435 && f <= 445) }' || fail "frequency $(value FREQ) Hz"
awk -v r="$(value RMS)" 'BEGIN { exit !(r >= 0.1 && r <= 0.6) }' || fail "level $(value RMS) rms"
long=0
for stretch in $(value QUIET); do
  [ "${stretch%@*}" -lt 1000 ] && continue
  long=$((long + 1))
  [ "$long" = 1 ] && [ "${stretch%@*}" -lt 2500 ] ||
    fail "the tone was gone for ${stretch%@*} ms from ${stretch#*@} s"
done
log="$work/a/Tovik/debug.log"
for line in "capture: follow default output: now surround, 44100 Hz, 6 channels" \
    "capture: follow default output: none usable (code 4), waiting for one" \
    "capture: follow default output: now mono, 32000 Hz, 1 channels"; do
  grep -qxF "$line" "$log" || fail "debug.log lacks '$line'"
done
[ "$LAB_STATUS" = 0 ] || { cat "$work/listen.out" "$work/tovik.out"; tail -n 20 "$log" "$work/pulse/pa.log"; }
echo "follow: $(tr '\n' ' ' <"$work/listen.out")"
finish
