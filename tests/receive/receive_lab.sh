#!/usr/bin/env bash
# tovik-receive between two lab hosts over the product's ports: a signal
# transmitter (Tovik's encoder settings, a real transmitter session with its
# broadcast) in host 1, the receiver writing WAV files in host 2:
#   a tone heard at its pitch, by the receiver's own kept id;
#   10 % loss and 20 ms jitter through tovik-relay: concealed;
#   transmitter restarted mid-stream: greeted again, audio back;
#   transmitter's host moved to a new address mid-stream: found there again.
# How fast and how clean are quality bars, judged only with TOVIK_QUALITY_BARS
# (the release build): a busy machine slows everything else down.
# receive_lab.sh <tovik-signal-tx> <tovik-receive> <tovik-wav-compare> <tovik-relay>
set -u
tx=$1 rx=$2 compare=$3 relay=$4
here=$(dirname "$0")
. "$here/../e2e/lab_checks.sh"
netlab_require

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
mkdir -p "$work/a/Tovik"  # the transmitter keeps its log and paired receivers there
tx_id=tovik-5167a1000000beef
bars=${TOVIK_QUALITY_BARS:-}

# A field "name value" of the comparer's line, or name=value of the receiver's.
field() { tr ' ' '\n' <"$work/$1.cmp" | grep -A1 -x "$2" | tail -n 1; }
rx_field() { tr ' ' '\n' <"$work/$1.rx" | sed -n "s/^$2=//p" | tail -n 1; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
# The comparer's field within min..max; with "bar", only under the quality bars.
expect() {  # name field min max [bar]
  [ -z "${5:-}" ] || [ -n "$bars" ] || return 0
  local value
  value=$(field "$1" "$2")
  at_least "$value" "$3" && at_least "$4" "$value" || fail "$1: $2 $value, want $3..$4"
}

start_transmitter() {  # name seconds
  netlab_spawn 1 "$work/$1.tx" env APPDATA="$work/a" "$tx" --seconds "$2" --freq 997
  TX_PID=${NETLAB_PIDS[-1]}
  code=$(value_of "$work/$1.tx" CODE)
  [ ${#code} = 6 ] || fail "$1: no pairing code"
}
start_receiver() {  # name seconds args...
  local name=$1 seconds=$2
  shift 2
  mkdir -p "$work/$name"
  netlab_spawn 2 "$work/$name.rx" env APPDATA="$work/$name" "$rx" --code "$code" \
    --out "$work/$name.wav" --duration "$seconds" --quiet "$@"
  RX_PID=${NETLAB_PIDS[-1]}
  unset 'NETLAB_PIDS[-1]'  # waited for by its scenario
}
# Compares the recording from its first sound plus skip seconds.
measure() {  # name skip length
  "$compare" "$work/$1.wav" 997 --skip "$2" --length "$3" >"$work/$1.cmp" ||
    fail "$1: no sound to measure"
  echo "$1: $(cat "$work/$1.cmp") | $(tail -n 1 "$work/$1.rx")"
}

# The tone, heard at its pitch (stretching moves it by at most 0.4 %).
start_transmitter tone 9
start_receiver tone 7 --name "Lab Receiver"
wait "$RX_PID" || fail "tone: receiver failed"
netlab_wait_all || fail "tone: transmitter failed"
measure tone 1 3
expect tone frequency 987 1007
# Most blocks clean, however busy the machine: a stall spoils a few.
expect tone clean_fraction 0.5 1 bar
expect tone clean_snr_db 30 200 bar
# The receiver drew its id once, kept it, and greeted with it.
rx_id=$(cat "$work/tone/tovik-receive/receiver_id")
[[ $rx_id =~ ^rx-[0-9a-f]{16}$ ]] || fail "receiver id '$rx_id'"
grep -q "^Received HELLO from $(netlab_ip 2):[0-9]* — 'Lab Receiver' (id=$rx_id, code='$code')" \
  "$work/a/Tovik/connection.log" || fail "no HELLO from the receiver host"
grep -qx "$tx_id" "$work/tone/tovik-receive/transmitters" || fail "transmitter not remembered"

# Loss and jitter: the relay runs beside the receiver and forwards to the
# transmitter's real port.
start_transmitter impaired 9
netlab_spawn 2 "$work/relay.out" "$relay" --server "$(netlab_ip 1):19483" \
  --drop 10 --jitter 20 --seed 7
RELAY_PID=${NETLAB_PIDS[-1]}
start_receiver impaired 6 --to "127.0.0.1:$(value_of "$work/relay.out" RELAY)"
wait "$RX_PID" || fail "impaired: receiver failed"
kill "$RELAY_PID"
netlab_wait_all
measure impaired 1 3
[ "$(rx_field impaired concealed)" -gt 0 ] || fail "no concealment counted under 10 % loss"
expect impaired longest_quiet_ms 0 120 bar  # the concealment limit is 100 ms

# Restart: once the receiver plays, the transmitter stops and a new process
# (new pairing code, sequences from 0) takes its place.
start_transmitter first 20
start_receiver restart 9
wait_for_line "$work/restart/tovik-receive/transmitters" "$tx_id"
kill "$TX_PID"
wait "$TX_PID"
start_transmitter second 9
wait "$RX_PID" || fail "restart: receiver failed"
netlab_wait_all
measure restart 0 1
[ "$(rx_field restart rejoins)" -ge 1 ] || fail "no new HELLO after the restart"
expect restart trailing_quiet_ms 0 500  # audio came back
expect restart longest_quiet_ms 0 3000 bar

# Moved: once the receiver plays, the transmitter's host is off the network
# for 7 s and comes back at a new address (a laptop that switched networks).
# By then the transmitter has dropped the receiver (5 s of silence) and the
# receiver's greetings go to the old address; it must greet the one now
# announced. (A move without such a gap heals by itself: PONGs answer the
# PING's sender.)
start_transmitter moving 40
start_receiver moved 21
wait_for_line "$work/moved/tovik-receive/transmitters" "$tx_id"
host1=$(netlab_host 1)
ip -n "$host1" addr flush dev eth0
sleep 7
ip -n "$host1" addr add "$(netlab_ip 9)/24" dev eth0
ip -n "$host1" route replace default dev eth0
wait "$RX_PID" || fail "moved: receiver failed"
kill "$TX_PID"
netlab_wait_all
measure moved 0 1
[ "$(rx_field moved moves)" -ge 1 ] || fail "the receiver never greeted the new address"
expect moved trailing_quiet_ms 0 500
# Coming back takes up to ~3 s (staleness, a fresh listener, the next
# announcement): within 6 s of the 7 s outage.
expect moved longest_quiet_ms 0 13000 bar

[ "$LAB_STATUS" = 0 ] || tail -n 5 "$work"/*.rx "$work"/*.tx
finish
