#!/usr/bin/env bash
# tovik-receive.exe, the receiver for Windows, under wine 10 in lab host 2,
# playing into a private PulseAudio whose default output is a 44.1 kHz 5.1
# null sink (wine's mix format follows it, so the stream is resampled and
# spread on the way); a signal transmitter in host 1 streams a 997 Hz tone at
# amplitude 0.5. What the sink's monitor carries is recorded and judged at
# the Linux receiver's bar, the pitch (987..1007 Hz; the median of 1 s
# pieces), with the level (0.354 rms) and the other four speakers silent; the
# receiver itself plays no silence. Gaps and clean 100 ms blocks are shown,
# not judged: wine renders one period per tick of its own timer, whose ticks
# come late for seconds on end even on a quiet machine, so the sink runs dry
# now and then and the receiver's drift control follows wine's slow pace.
# The receiver runs as from its Start-menu entry: without --code, in a
# console that asks for the code.
#   receive_exe_lab.sh <tovik-receive.exe> <tovik-signal-tx> <tovik-wav-compare>
set -u
rx=$1 tx=$2 compare=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lab_checks.sh"
command -v unshare >/dev/null || netlab_skip "no unshare"
tovik_lab 2 nosound
pulse_start "$work/pulse" 44100 6 || { fail "no sound server"; finish; }

# Records the sink's monitor in the sink's own format (nothing remixed).
record() {
  parec --raw --format=float32le --rate=44100 --channels=6 --channel-map="$(pulse_channel_map 6)" \
    -d ci_sink.monitor >"$work/heard.raw" & PULSE_PIDS+=($!)
}
# The front speakers at 48 kHz without the silence before and after the
# sound, judged; the other four must be silent.
judge() {
  local raw=(-t raw -r 44100 -e floating-point -b 32 -c 6 "$work/heard.raw") rms rest pitch cmp
  sox "${raw[@]}" "$work/heard.wav" remix 1 2 rate 48000 \
    silence 1 0.01 0.01 reverse silence 1 0.01 0.01 reverse
  rms=$(sox "$work/heard.wav" -n trim 0.5 -0.5 remix 1 stat 2>&1 | sed -n 's/^RMS *amplitude: *//p')
  rest=$(sox "${raw[@]}" -n remix 3-6 stat 2>&1 | sed -n 's/^Maximum amplitude: *//p')
  pitch=$(for s in 1 2 3 4 5 6 7 8; do sox "$work/heard.wav" -n trim "$s" 1 remix 1 stat 2>&1 |
    sed -n 's/^Rough *frequency: *//p'; done | sort -n | sed -n 4p)
  cmp=$("$compare" "$work/heard.wav" 997 --skip 0.5 --length 8) || { fail "no tone"; return; }
  echo "heard: pitch $pitch Hz, rms $rms, others $rest; $cmp"
  awk -v f="$pitch" -v r="$rms" -v o="$rest" 'BEGIN { exit !(f >= 987 && f <= 1007 && r >= 0.32 &&
    r <= 0.39 && o == 0) }' || fail "want 987..1007 Hz at 0.354 rms in front, silence elsewhere"
}

mkdir -p "$work/a/Tovik"
netlab_spawn 1 "$work/tx.out" env APPDATA="$work/a" "$tx" --seconds 60 --freq 997
for _ in $(seq 600); do grep -q '^CODE ' "$work/tx.out" && break; sleep 0.1; done
code=$(sed -n 's/^CODE //p' "$work/tx.out")
record
# As from its Start-menu entry: no --code, a console (a terminal) that asks
# for it, typed once the prompt is there. Enter is a carriage return to
# wine's console, so the terminal passes it as such; a second Enter closes
# the console after a failure. Wine draws the console's text with escapes.
mkfifo "$work/keys"
exec 3<>"$work/keys"
netlab_spawn 2 "$work/rx.out" unshare --pid --fork --kill-child bash -c '. "$0" && wine_boot "$1" &&
  script -qec "stty -icrnl; wine $2 --duration 15 --quiet" /dev/null <"$3"; s=$?; wine_shutdown; exit $s' \
  "$here/../e2e/wine_boot.sh" "$work/prefix" "$rx" "$work/keys"
RX_PID=${NETLAB_PIDS[-1]}
unset 'NETLAB_PIDS[-1]'
console() { sed 's/\x1b\[1C/ /g; s/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/rx.out" | tr -d '\r'; }
for _ in $(seq 1200); do console | grep -q 'Pairing code' && break; sleep 0.1; done
printf '%s\r\r' "$code" >&3
wait "$RX_PID" || fail "the receiver failed"
exec 3>&-
pulse_stop
judge
summary=$(console | tr -d '\n' | grep -ao 'frames=.*target_ms=[0-9.]*')
echo "receiver: $summary"
[[ "$summary" == *" silent=0 "* ]] || fail "the receiver played silence: $summary"
[ "$LAB_STATUS" = 0 ] || tail -n 5 "$work"/*.out
finish
