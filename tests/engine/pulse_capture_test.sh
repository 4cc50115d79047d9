#!/bin/bash
# Real-device capture test: starts a private PulseAudio daemon whose default
# sink is a null sink at RATE Hz with CHANNELS channels (1, 2, 6 for 5.1 or 8
# for 7.1), plays a 440 Hz tone (amplitude 0.5) into its front speakers and
# runs the probe command, which captures through the real endpoint and checks
# frequency and level. Exit 77 (skip) without pulseaudio.
#
#   pulse_capture_test.sh RATE CHANNELS PROBE-COMMAND...
set -u
rate=$1 channels=$2
shift 2
case $channels in
  1) map=mono silent="" ;;
  2) map=front-left,front-right silent="" ;;
  6) map=front-left,front-right,front-center,lfe,rear-left,rear-right silent="0 0 0 0" ;;
  8) map=front-left,front-right,front-center,lfe,rear-left,rear-right,side-left,side-right
     silent="0 0 0 0 0 0" ;;
  *) echo "FAIL: no channel map for $channels channels"; exit 1 ;;
esac
for tool in pulseaudio pactl parec paplay sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (packages pulseaudio, pulseaudio-utils, sox)"
    exit 77
  fi
done

dir=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$dir"
}
trap cleanup EXIT

mkdir -m 700 "$dir/run" "$dir/pr" "$dir/ps" "$dir/home"
export XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/pr PULSE_STATE_PATH=$dir/ps
export HOME=$dir/home
cat >"$dir/ci.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
load-module module-null-sink sink_name=ci_sink rate=$rate channels=$channels channel_map=$map
set-default-sink ci_sink
PA
pulseaudio -n -F "$dir/ci.pa" --daemonize=no --exit-idle-time=-1 --disallow-exit \
  --use-pid-file=no --realtime=no --high-priority=no --log-target="file:$dir/pa.log" &
pids+=($!)
export PULSE_SERVER=unix:$dir/pulse.sock

for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "FAIL: the PulseAudio daemon did not come up"
  cat "$dir/pa.log"
  exit 1
fi

# An idle null sink renders in 2 s blocks: a low-latency reader keeps it moving.
parec --latency-msec=10 -d ci_sink.monitor >/dev/null &
pids+=($!)
# The tone on the front speakers only (both, or the one of a mono sink): the
# down-mix then gives it back at its level.
fronts="1 1"
[ "$channels" = 1 ] && fronts=1
sox -n -r "$rate" -c "$channels" -b 16 "$dir/tone.wav" synth 30 sine 440 vol 0.5 \
  remix $fronts $silent
paplay -d ci_sink --channel-map="$map" "$dir/tone.wav" &
pids+=($!)

"$@" --expect-freq 440 --min-rms 0.30 --max-rms 0.40 --expect-rate "$rate" --timeout 20 |
  tee "$dir/probe.out"
status=${PIPESTATUS[0]}
grep -q "^probe: device $rate Hz, $channels channels" "$dir/probe.out" || status=1
[ $status -eq 0 ] || tail -20 "$dir/pa.log"
exit $status
