#!/bin/bash
# Real-device capture test: a private PulseAudio daemon whose default sink is
# a null sink at RATE Hz with CHANNELS channels (1, 2, 6 for 5.1 or 8 for 7.1)
# plays a 440 Hz tone (amplitude 0.5) on its front speakers; the probe command
# captures it through the real endpoint, converted as the engine does, and
# checks frequency and level (the down-mix gives the front tone back whole).
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
"$@" 440 0.30 0.40 "$rate" "$channels" 20 || { tail -20 "$dir/pa.log"; exit 1; }
