# A private PulseAudio daemon for end-to-end tests, sourced by test scripts:
#   pulse_require                  exit 77 unless the tools are installed
#   pulse_start DIR RATE [CHANNELS] daemon with a null sink (the default) at RATE
#                                  Hz with CHANNELS channels (1, 2, 6 or 8; 2)
#   pulse_play_tone FREQ AMPLITUDE a long tone into the sink's front speakers
#   pulse_add_sink NAME RATE CHANNELS  one more null sink, with the tone playing into it
#   pulse_stop                     stop everything started here (by PID)
# The daemon listens on a unix socket only; PULSE_SERVER is exported.
PULSE_PIDS=()

pulse_require() {
  local tool
  for tool in pulseaudio pactl parec paplay sox; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed (packages pulseaudio, pulseaudio-utils, sox)"
      exit 77
    fi
  done
}

# The channel map of a sink with $1 channels.
pulse_channel_map() {
  case $1 in
    1) echo mono ;;
    6) echo front-left,front-right,front-center,lfe,rear-left,rear-right ;;
    8) echo front-left,front-right,front-center,lfe,rear-left,rear-right,side-left,side-right ;;
    *) echo front-left,front-right ;;
  esac
}

pulse_start() {
  local dir=$1 rate=$2 channels=${3:-2}
  PULSE_DIR=$dir PULSE_RATE=$rate PULSE_CHANNELS=$channels
  mkdir -p "$dir"
  mkdir -m 700 "$dir/run" "$dir/pr" "$dir/ps" "$dir/home"
  export XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/pr PULSE_STATE_PATH=$dir/ps
  cat >"$dir/ci.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
load-module module-null-sink sink_name=ci_sink rate=$rate channels=$channels channel_map=$(pulse_channel_map "$channels")
set-default-sink ci_sink
PA
  HOME=$dir/home pulseaudio -n -F "$dir/ci.pa" --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=no --realtime=no --high-priority=no \
    --log-target="file:$dir/pa.log" &
  PULSE_PIDS+=($!)
  export PULSE_SERVER=unix:$dir/pulse.sock
  local i
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 || { echo "FAIL: PulseAudio did not come up"; cat "$dir/pa.log"; return 1; }
  # An idle null sink renders in 2 s blocks: a low-latency reader keeps it moving.
  parec --latency-msec=10 -d ci_sink.monitor >/dev/null &
  PULSE_PIDS+=($!)
}

pulse_play_tone() {
  local freq=$1 amplitude=$2 remix="1 1" silent
  # The tone on the front speakers only (the one of a mono sink), silence on
  # the others.
  [ "$PULSE_CHANNELS" = 1 ] && remix=1
  for ((silent = 2; silent < PULSE_CHANNELS; silent++)); do remix+=" 0"; done
  sox -n -r "$PULSE_RATE" -c "$PULSE_CHANNELS" -b 16 "$PULSE_DIR/tone.wav" synth 60 sine "$freq" \
    vol "$amplitude" remix $remix
  paplay -d ci_sink --channel-map="$(pulse_channel_map "$PULSE_CHANNELS")" "$PULSE_DIR/tone.wav" &
  PULSE_PIDS+=($!)
}

pulse_add_sink() {
  local name=$1 rate=$2 channels=$3
  pactl load-module module-null-sink sink_name="$name" rate="$rate" channels="$channels" \
    >/dev/null || return 1
  parec --latency-msec=10 -d "$name.monitor" >/dev/null &
  PULSE_PIDS+=($!)
  # The tone at the sink's own rate: another one could make it switch rates.
  sox "$PULSE_DIR/tone.wav" -r "$rate" "$PULSE_DIR/$name.wav"
  paplay -d "$name" "$PULSE_DIR/$name.wav" &
  PULSE_PIDS+=($!)
}

pulse_stop() {
  local pid
  for pid in "${PULSE_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PULSE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  PULSE_PIDS=()
}
