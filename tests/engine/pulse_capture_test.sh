#!/bin/bash
# Real-device capture test: a private PulseAudio daemon whose default sink is
# a null sink at RATE Hz with CHANNELS channels plays a 440 Hz tone (amplitude
# 0.5); the probe command captures it through the real endpoint, converted as
# the engine does, and checks frequency and level. Exit 77 (skip) without
# pulseaudio.
#   pulse_capture_test.sh RATE CHANNELS PROBE-COMMAND...
set -u
rate=$1 channels=$2
shift 2
. "$(dirname "$0")/../e2e/pulse_lab.sh"
pulse_require
dir=$(mktemp -d)
trap 'pulse_stop; rm -rf "$dir"' EXIT
pulse_start "$dir" "$rate" "$channels" || exit 1
pulse_play_tone 440 0.5
# 0.354 rms; PulseAudio's upmix puts the stereo tone into every channel of a
# 5.1 sink, and the down-mix adds centre and surround at -3 dB: 2.41 times that.
levels="0.30 0.40"
[ "$channels" = 6 ] && levels="0.80 0.90"
read -r low high <<<"$levels"
"$@" --expect-freq 440 --min-rms "$low" --max-rms "$high" --expect-rate "$rate" \
  --expect-channels "$channels" --timeout 20
status=$?
[ $status -eq 0 ] || tail -20 "$dir/pa.log"
exit $status
