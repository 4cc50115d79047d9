#!/usr/bin/env bash
# The system service's command line, taken from the packaged unit and its
# defaults as systemd would run it, in a lab host against a signal
# transmitter: a clean environment, the state directory as XDG_CONFIG_HOME,
# no sound server, ALSA's "default" a file plugin. The tone comes out. Then
# both sides restart: the code left in the defaults is stale, and they must
# rejoin without it.
# Usage: unit_lab.sh PACKAGE_ROOT tovik-signal-tx tovik-wav-compare
#   PACKAGE_ROOT: the unpacked tovik-receive package of this machine
set -u
pkg=$(cd "$1" && pwd) tx=$2 compare=$3
. "$(dirname "$0")/../../tests/e2e/lab_checks.sh"
netlab_require
work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
mkdir -p "$work/tx"
unit=$pkg/lib/systemd/system/tovik-receive.service

# KEY's value in an environment file or a unit (quotes around it dropped).
value() { sed -n "s/^$1=\"\{0,1\}\([^\"]*\)\"\{0,1\}$/\1/p" "$2" | tail -n 1; }

start_transmitter() {
  netlab_spawn 1 "$work/tx$1.out" env APPDATA="$work/tx" "$tx" --seconds 300 --freq 997
  tx_pid=${NETLAB_PIDS[-1]}
  for _ in $(seq 600); do grep -qs "^CODE " "$work/tx$1.out" && break; sleep 0.1; done
  code=$(sed -n 's/^CODE //p' "$work/tx$1.out")
  [ ${#code} = 6 ] || { fail "no pairing code"; finish; }
}

# Runs the unit's command line until 5 s of sound reached ALSA (silence
# flows before the stream does), then stops it as systemd does (SIGTERM) and
# measures the tone.
play_phase() {
  local raw=$work/rx$1.raw environment command
  printf 'pcm.default {\n type file\n slave.pcm { type null }\n file "%s"\n format "raw"\n}\n' \
    "$raw" >"$work/asound$1.conf"
  # ${CODE} is one word, $OPTIONS any number, as systemd expands them.
  command=$(value ExecStart "$unit" | sed "s|^/usr/bin/|$pkg/usr/bin/|;
    s|\${CODE}|$(value CODE "$work/defaults")|; s|\$OPTIONS|$(value OPTIONS "$work/defaults")|")
  environment=$(value Environment "$unit" | sed "s|=/|=$work/state/|")
  mkdir -p "$work/state/var/lib/$(value StateDirectory "$unit")"
  read -r -a argv <<<"$command"
  netlab_spawn 2 "$work/rx$1.out" env -i PATH=/usr/bin:/bin "$environment" \
    PULSE_SERVER="unix:$work/no-server" ALSA_CONFIG_PATH="$work/asound$1.conf" "${argv[@]}"
  local rx_pid=${NETLAB_PIDS[-1]}
  local second=$((48000 * 8)) start=
  for _ in $(seq 900); do
    start=${start:-$(cmp "$raw" /dev/zero 2>/dev/null | sed -n 's/.* byte \([0-9]*\).*/\1/p')}
    [ -n "$start" ] && [ "$(stat -c %s "$raw")" -gt $((start + 5 * second)) ] && break
    sleep 0.1
  done
  kill -TERM "$rx_pid" && wait "$rx_pid" || fail "phase $1: the receiver ended badly: $(cat "$work/rx$1.out")"
  sox -t raw -r 48000 -e floating-point -b 32 -c 2 "$raw" -e floating-point "$work/rx$1.wav" 2>/dev/null
  "$compare" "$work/rx$1.wav" 997 --skip $((${start:-0} / second + 1)) --length 3 >"$work/rx$1.cmp" ||
    { fail "phase $1: no sound to measure"; return; }
  echo "phase $1: $(cat "$work/rx$1.cmp")"
  frequency=$(tr ' ' '\n' <"$work/rx$1.cmp" | grep -A1 -x frequency | tail -n 1)
  within "${frequency:-0}" 987 1007 || fail "phase $1: tone at ${frequency:-no} Hz, want 997"
}

start_transmitter 1
# What tovik-receive-setup does: the code into the defaults.
sed "s/^CODE=.*/CODE=$code/" "$pkg/etc/default/tovik-receive" >"$work/defaults"
play_phase 1
kill -TERM "$tx_pid" && wait "$tx_pid"
start_transmitter 2
play_phase 2
finish
