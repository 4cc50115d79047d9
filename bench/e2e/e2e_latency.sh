#!/usr/bin/env bash
# End to end through the real capture path. Clicks of 2 ms play
# into the PulseAudio default sink (a null sink), 401 ms apart so that they
# fall on every place of a 20 ms frame in turn. Their onsets are timed at
# the sink's monitor (a 5 ms-fragment recorder), at the paced output of
# tovik-receive in another lab host (--latency 0, then the adaptive default),
# and at the arrival of the frames that hold them (a receiver without any
# buffering), which splits the milliseconds into the transmitter's side and
# the receiver's. Also the tovik process's CPU, wake-ups and resident memory
# while it streams.
# Release builds; root (network lab). Prints Markdown table rows.
#   e2e_latency.sh <tovik> <tovik-receive> <tovik-click-onsets> <tovik-frame-onsets> [seconds]
set -u
tovik=$1 rx=$2 onsets=$3 frame_onsets=$4 seconds=${5:-20}
here=$(cd "$(dirname "$0")/../../tests/e2e" && pwd)
. "$here/netlab.sh"
. "$here/pulse_lab.sh"
netlab_require
pulse_require

work=$(mktemp -d)
# TOVIK_BENCH_KEEP=<folder>: the recordings, logs and timings are copied there.
netlab_on_cleanup() {
  pulse_stop
  [ -n "${TOVIK_BENCH_KEEP:-}" ] && cp -r "$work" "$TOVIK_BENCH_KEEP"
  rm -rf "$work"
}
netlab_setup 2
pulse_start "$work/pulse" 48000 || exit 1
sox -n -r 48000 -c 2 -b 16 "$work/click.wav" synth 0.002 sine 2000 vol 0.8 pad 0 0.399 repeat 1500
mkfifo "$work/monitor.pipe"
"$onsets" --captured <"$work/monitor.pipe" >"$work/monitor.onsets" &
timing=$!
parec --latency-msec=5 --raw --format=float32le --rate=48000 --channels=2 -d ci_sink.monitor \
  >"$work/monitor.pipe" &
recorder=$!
paplay "$work/click.wav" &
PULSE_PIDS+=($!)

mkdir -p "$work/a/Tovik"
netlab_spawn 1 "$work/tovik.out" env APPDATA="$work/a" "$tovik" --headless
tovik_pid=${NETLAB_PIDS[-1]}
for _ in $(seq 300); do grep -q '^Pairing code: ' "$work/tovik.out" 2>/dev/null && break; sleep 0.1; done
code=$(sed -n 's/^Pairing code: \([0-9]\{3\}\) \([0-9]\{3\}\)$/\1\2/p' "$work/tovik.out")
[ ${#code} = 6 ] || { echo "Tovik printed no pairing code"; exit 1; }

# CPU ticks and sleeps (voluntary switches) of the tovik process, and the
# sleeps of each of its threads.
thread_sleeps() {
  for task in /proc/"$tovik_pid"/task/*; do
    echo "$(cat "$task/comm") $(awk '/^voluntary_ctxt/ { print $2 }' "$task/status")"
  done
}
tovik_ticks() { awk '{ print $14 + $15 }' "/proc/$tovik_pid/stat"; }
tovik_sleeps() { cat /proc/"$tovik_pid"/task/*/status | awk '/^voluntary_ctxt/ { s += $2 } END { print s }'; }

receive() {  # name latency-options...
  local name=$1
  shift
  netlab_exec 2 sh -c "\"$rx\" --code $code --out - --duration $seconds --quiet $* \
    2>\"$work/$name.err\" | \"$onsets\" --paced" >"$work/$name.onsets"
}
ticks=$(tovik_ticks) sleeps=$(tovik_sleeps) started=$(date +%s.%N)
thread_sleeps >"$work/sleeps.before"
receive fixed --latency 0
thread_sleeps >"$work/sleeps.after"
rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$tovik_pid/status")
cpu=$(awk -v t="$(($(tovik_ticks) - ticks))" -v s="$started" -v n="$(date +%s.%N)" \
  -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", 100 * t / hz / (n - s) }')
wakeups=$(awk -v w="$(($(tovik_sleeps) - sleeps))" -v s="$started" -v n="$(date +%s.%N)" \
  'BEGIN { printf "%.0f", w / (n - s) }')
receive adaptive
netlab_exec 2 "$frame_onsets" "$seconds" "$code" >"$work/frames.out"
kill "$recorder"
wait "$recorder" "$timing"
pulse_stop

awk '{ print "ONSET", $2 }' "$work/frames.out" >"$work/frames.onsets"
stat() { "$onsets" --pair "$work/monitor.onsets" "$work/$1.onsets" 5 | tail -n 1; }
field() { echo "$1" | tr ' ' '\n' | grep -A1 -x "$2" | tail -n 1; }
fixed=$(stat fixed) adaptive=$(stat adaptive) frames=$(stat frames)
target() { tr ' ' '\n' <"$work/$1.err" | sed -n 's/^target_ms=//p' | tail -n 1; }
# The rest of the frame after the onset, plus the codec's 6.5 ms look-ahead,
# is in the decoded onset's place in its frame.
assembly=$(awk 'NR > 5 { s += (960 - $3) / 48 + 6.5; n++ } END { if (n) printf "%.1f", s / n }' \
  "$work/frames.out")
transmit=$(field "$frames" MEAN)
printf '| end to end, real capture path, --latency 0: p50 / p90 (%s clicks) | %s / %s ms | p50 <= 50 ms |\n' \
  "$(field "$fixed" COUNT)" "$(field "$fixed" P50)" "$(field "$fixed" P90)"
printf '| end to end, real capture path, adaptive: p50 / p90 (%s clicks) | %s / %s ms | p50 <= 60 ms |\n' \
  "$(field "$adaptive" COUNT)" "$(field "$adaptive" P50)" "$(field "$adaptive" P90)"
printf '| ... sink monitor -> frame at the receiving host: p50 / mean (%s clicks) | %s / %s ms | |\n' \
  "$(field "$frames" COUNT)" "$(field "$frames" P50)" "$transmit"
printf '| ... of which the rest of the frame and the codec look-ahead (mean) | %s ms | |\n' "$assembly"
printf '| ... of which capture delivery, encoding, sending, network (mean) | %s ms | |\n' \
  "$(awk -v t="$transmit" -v a="$assembly" 'BEGIN { printf "%.1f", t - a }')"
printf '| ... receiver side, frame arrival -> output (mean), --latency 0 / adaptive | %s / %s ms (target %s / %s ms) | |\n' \
  "$(awk -v e="$(field "$fixed" MEAN)" -v t="$transmit" 'BEGIN { printf "%.1f", e - t }')" \
  "$(awk -v e="$(field "$adaptive" MEAN)" -v t="$transmit" 'BEGIN { printf "%.1f", e - t }')" \
  "$(target fixed)" "$(target adaptive)"
by_thread=$(paste -d' ' "$work/sleeps.before" "$work/sleeps.after" |
  awk -v s="$started" -v n="$(date +%s.%N)" '{ printf "%s%s %.0f/s", sep, $1, ($4 - $2) / '"$seconds"'; sep = ", " }')
printf '| tovik process while streaming (real capture path) | %s %% of one core, %s wake-ups/s (%s) | |\n' \
  "$cpu" "$wakeups" "$by_thread"
printf '| ... its resident memory | %s MiB | <= 8 MiB |\n' "$rss"
