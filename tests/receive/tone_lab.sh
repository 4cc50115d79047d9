#!/usr/bin/env bash
# A tone from a signal transmitter in lab host 1 comes out of tovik-receive in
# lab host 2 at its pitch. $TOVIK_EMULATOR, when set, runs the receiver (an
# ARM build under qemu). Modes:
#   wav:  the receiver writes it with --out;
#   alsa: no sound server answers, so the receiver plays on ALSA's "default",
#         here a file plugin over the null device: no card, and no clock (the
#         receiver paces itself); the file holds whole float stereo frames.
# tone_lab.sh <tovik-signal-tx> <tovik-receive> <tovik-wav-compare> wav|alsa
set -u
tx=$1 rx=$2 compare=$3 mode=$4
here=$(dirname "$0")
. "$here/../e2e/lab_checks.sh"
netlab_require
[ "$mode" = wav ] || command -v sox >/dev/null || netlab_skip "sox is missing"
read -r -a emulator <<<"${TOVIK_EMULATOR:-}"

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
mkdir -p "$work/tx" "$work/rx"

netlab_spawn 1 "$work/tx.out" env APPDATA="$work/tx" "$tx" --seconds 14 --freq 997
for _ in $(seq 600); do grep -q '^CODE ' "$work/tx.out" && break; sleep 0.1; done
code=$(sed -n 's/^CODE //p' "$work/tx.out")
[ ${#code} = 6 ] || { fail "no pairing code"; finish; }

printf 'pcm.default {\n type file\n slave.pcm { type null }\n file "%s"\n format "raw"\n}\n' \
  "$work/rx.raw" >"$work/asound.conf"
out=()
[ "$mode" = wav ] && out=(--out "$work/rx.wav")
netlab_exec 2 env XDG_CONFIG_HOME="$work/rx" PULSE_SERVER="unix:$work/no-server" \
  ALSA_CONFIG_PATH="$work/asound.conf" "${emulator[@]}" "$rx" --code "$code" --duration 7 \
  --quiet "${out[@]}" >"$work/rx.out" 2>&1 || fail "receiver failed: $(cat "$work/rx.out")"
kill "${NETLAB_PIDS[@]}" 2>/dev/null
netlab_wait_all

if [ "$mode" = alsa ]; then
  bytes=$(stat -c %s "$work/rx.raw" 2>/dev/null || echo 0)
  # Whole frames of two float channels, and more than the 4 s measured below.
  [ $((bytes % 8)) = 0 ] && [ "$bytes" -gt $((4 * 48000 * 8)) ] || fail "ALSA file: $bytes bytes"
  sox -t raw -r 48000 -e floating-point -b 32 -c 2 "$work/rx.raw" -e floating-point "$work/rx.wav"
fi
"$compare" "$work/rx.wav" 997 --skip 1 --length 3 >"$work/rx.cmp" || fail "no sound to measure"
echo "$mode: ${bytes:+$bytes bytes, }$(cat "$work/rx.cmp") | $(tail -n 1 "$work/rx.out")"
frequency=$(tr ' ' '\n' <"$work/rx.cmp" | grep -A1 -x frequency | tail -n 1)
within "${frequency:-0}" 987 1007 || fail "tone at ${frequency:-no} Hz, want 997"
finish
