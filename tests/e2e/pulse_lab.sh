# A private PulseAudio daemon for end-to-end tests, sourced by test scripts:
#   pulse_require                  exit 77 unless the tools are installed
#   pulse_start DIR RATE [CHANNELS] daemon with a null sink (the default) at RATE
#                                  Hz with CHANNELS channels (1, 2, 6 or 8; 2)
#   pulse_play_tone FREQ AMPLITUDE a long tone into the sink's front speakers
#   pulse_add_sink NAME RATE CHANNELS  one more null sink, with the tone playing
#                                  into it; returns once its monitor carries it
#   pulse_stop                     stop everything started here (by PID)
# The daemon listens on a unix socket only; PULSE_SERVER is exported.
PULSE_PIDS=()

pulse_require() {
  for tool in pulseaudio pactl parec paplay sox; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: no $tool (pulseaudio, pulseaudio-utils, sox)"; exit 77; }
  done
}

# The channel map of a sink with $1 channels.
pulse_channel_map() {
  local six=front-left,front-right,front-center,lfe,rear-left,rear-right
  case $1 in 1) echo mono ;; 6) echo $six ;; 8) echo $six,side-left,side-right ;; *) echo front-left,front-right ;; esac
}

pulse_start() {
  local dir=$1 rate=$2 channels=${3:-2}
  PULSE_DIR=$dir PULSE_RATE=$rate PULSE_CHANNELS=$channels
  mkdir -p -m 700 "$dir/run" "$dir/pr" "$dir/ps" "$dir/home"
  export XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/pr PULSE_STATE_PATH=$dir/ps
  cat >"$dir/ci.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
load-module module-null-sink sink_name=ci_sink rate=$rate channels=$channels channel_map=$(pulse_channel_map "$channels")
set-default-sink ci_sink
PA
  HOME=$dir/home pulseaudio -n -F "$dir/ci.pa" --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=no --realtime=no --high-priority=no \
    --log-target="file:$dir/pa.log" & PULSE_PIDS+=($!)
  export PULSE_SERVER=unix:$dir/pulse.sock
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || { echo "FAIL: PulseAudio did not come up"; cat "$dir/pa.log"; return 1; }
  # An idle null sink renders in 2 s blocks: a low-latency reader keeps it moving.
  parec --latency-msec=10 -d ci_sink.monitor >/dev/null & PULSE_PIDS+=($!)
}

pulse_play_tone() {
  local remix="1 1" silent
  # The tone on the front speakers only (the one of a mono sink), silence on
  # the others.
  [ "$PULSE_CHANNELS" = 1 ] && remix=1
  for ((silent = 2; silent < PULSE_CHANNELS; silent++)); do remix+=" 0"; done
  sox -n -r "$PULSE_RATE" -c "$PULSE_CHANNELS" -b 16 "$PULSE_DIR/tone.wav" synth 60 sine "$1" \
    vol "$2" remix $remix
  paplay -d ci_sink --channel-map="$(pulse_channel_map "$PULSE_CHANNELS")" "$PULSE_DIR/tone.wav" & PULSE_PIDS+=($!)
}

pulse_add_sink() {
  local name=$1 rate=$2
  # The tone at the sink's own rate (another one could make it switch rates),
  # made before the sink appears: a busy machine takes its time.
  sox "$PULSE_DIR/tone.wav" -r "$rate" "$PULSE_DIR/$name.wav"
  pactl load-module module-null-sink sink_name="$name" rate="$rate" channels="$3" >/dev/null || return 1
  parec --latency-msec=10 -d "$name.monitor" >/dev/null & PULSE_PIDS+=($!)
  paplay -d "$name" "$PULSE_DIR/$name.wav" & PULSE_PIDS+=($!)
  # A new null sink renders nothing for its first seconds.
  for _ in $(seq 60); do
    timeout 5 parec --raw --rate=8000 --channels=1 -d "$name.monitor" | head -c 1600 |
      sox -t raw -r 8000 -e signed -b 16 -c 1 - -n stat 2>&1 |
      awk '/^RMS +amplitude/ { ok = $3 > 0.05 } END { exit !ok }' && return 0
  done
  return 1
}

pulse_stop() {
  [ ${#PULSE_PIDS[@]} = 0 ] && return
  kill "${PULSE_PIDS[@]}" 2>/dev/null
  wait "${PULSE_PIDS[@]}" 2>/dev/null
  PULSE_PIDS=()
}
