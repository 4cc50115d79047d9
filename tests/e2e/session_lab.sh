#!/usr/bin/env bash
# Our transmitter in lab host 1 and our receiver role in host 2, over the
# product's ports and the real broadcast: a wrong code is refused, the right
# one pairs, frames flow, PINGs are answered, and a receiver that leaves is
# dropped after its silence.   session_lab.sh <session_probe>
set -u
probe=$1
. "$(dirname "$0")/netlab.sh"
. "$(dirname "$0")/lab_checks.sh"
netlab_require

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
mkdir -p "$work/a/Tovik" "$work/b/Tovik"
tx_log="$work/a/Tovik/connection.log"

netlab_spawn 1 "$work/tx.out" env APPDATA="$work/a" "$probe" transmit 20
for _ in $(seq 300); do grep -q '^CODE ' "$work/tx.out" 2>/dev/null && break; sleep 0.1; done
code=$(sed -n 's/^CODE //p' "$work/tx.out")
[ ${#code} = 6 ] || { fail "no pairing code from the transmitter"; finish; }
wrong=$(printf '%06d' $(( (10#$code + 1) % 1000000 )))

netlab_exec 2 env APPDATA="$work/b" "$probe" receive 3 "$wrong" >"$work/wrong.out" 2>&1
grep -qx 'FRAMES 0' "$work/wrong.out" || fail "a wrong code received frames"
wait_for_line "$tx_log" \
  "Pairing code MISMATCH: got '$wrong' expected '$code' — rejecting"

netlab_exec 2 env APPDATA="$work/b" "$probe" receive 6 "$code" >"$work/right.out" 2>&1
frames=$(sed -n 's/^FRAMES //p' "$work/right.out")
[ "${frames:-0}" -ge 200 ] || fail "only ${frames:-0} frames in 6 s (want >= 200)"
grep -qx 'STATE 4 Lab PC' "$work/right.out" || fail "receiver never reported Connected"
rx=$(netlab_ip 2)
grep -q "^Received HELLO from $rx:[0-9]* — 'Lab Receiver' (id=rx-lab, code='$code')" "$tx_log" ||
  fail "no HELLO line from $rx"
grep -q "^Connected to peer $rx:[0-9]*" "$tx_log" || fail "no Connected line"
tr -d '\r' <"$work/b/Tovik/connection.log" | grep -qx 'Keepalive loop started' ||
  fail "receiver keepalive did not start"

# The receiver has gone: the transmitter drops it after more than 5 s.
timeout_line="^Connection timeout — no packets for (500[1-9]|50[1-9][0-9]|5[1-9][0-9]{2}|6[0-9]{3})ms, disconnecting"
for _ in $(seq 150); do grep -Eq "$timeout_line" "$tx_log" && break; sleep 0.1; done
grep -Eq "$timeout_line" "$tx_log" || fail "no silence time-out line"
netlab_wait_all || fail "a probe failed"
grep -Eq '^SENT [0-9]+' "$work/tx.out" || fail "transmitter did not finish"
[ "$LAB_STATUS" = 0 ] || tail -n 12 "$work"/*.out "$tx_log"
finish
