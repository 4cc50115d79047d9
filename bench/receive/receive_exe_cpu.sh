#!/usr/bin/env bash
# The receiver's CPU on the same stream: tovik-receive natively, then
# tovik-receive.exe under wine 10, each in lab host 2 playing a signal
# transmitter's tone (host 1) into a private PulseAudio null sink. CPU time
# (utime + stime from /proc) over `seconds` of playing, from 3 s after the
# start; for wine also its server (the receiver's sockets live there) and
# wine's other processes of the host (services, device manager, explorer).
# Root (network lab); run with the Windows build's wine links first on PATH.
# Prints Markdown table rows.
#   receive_exe_cpu.sh <tovik-receive.exe> <tovik-receive> <tovik-signal-tx> [seconds]
set -u
exe=$1 native=$2 tx=$3 seconds=${4:-30}
here=$(cd "$(dirname "$0")/../../tests/e2e" && pwd)
. "$here/lab_checks.sh"
tovik_lab 2

mkdir -p "$work/a/Tovik" "$work/rx/Tovik"
netlab_spawn 1 "$work/tx.out" env APPDATA="$work/a" "$tx" --seconds $((3 * seconds + 90)) --freq 997
for _ in $(seq 600); do grep -q '^CODE ' "$work/tx.out" && break; sleep 0.1; done
code=$(sed -n 's/^CODE //p' "$work/tx.out")

# CPU ticks of host 2's processes whose command name matches a pattern.
ticks() {
  local pid sum=0
  for pid in $(ip netns pids "$(netlab_host 2)"); do
    grep -qE "$1" "/proc/$pid/comm" 2>/dev/null || continue
    sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0)))
  done
  echo "$sum"
}
# Percent of one core per pattern over the measured seconds.
measure() {
  local before=() pattern k=0
  sleep 3
  for pattern in "$@"; do before+=("$(ticks "$pattern")"); done
  sleep "$seconds"
  for pattern in "$@"; do
    awk -v t="$(($(ticks "$pattern") - before[k++]))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
      'BEGIN { printf "%.2f ", 100 * t / hz / s }'
  done
}

netlab_spawn 2 "$work/native.out" env APPDATA="$work/rx" "$native" --code "$code" --quiet \
  --duration $((seconds + 5))
native_pid=${NETLAB_PIDS[-1]}
read -r linux < <(measure '^tovik-receive$')
wait "$native_pid"
netlab_spawn 2 "$work/exe.out" unshare --pid --fork --kill-child bash -c '. "$0" && wine_host "$@"' \
  "$here/wine_boot.sh" "$work/prefix" "$work/ready" - "$exe" --code "$code" --quiet \
  --duration $((seconds + 5))
exe_pid=${NETLAB_PIDS[-1]}
for _ in $(seq 600); do [ -e "$work/ready" ] && break; sleep 0.1; done
read -r exe_cpu server others < <(measure '^tovik-receive' '^wineserver' '\.exe$')
wait "$exe_pid"
summary() { tr -d '\r' <"$work/$1.out" | grep '^tovik-receive:' | tail -n 1; }
echo "| tovik-receive (Linux, PulseAudio) | $linux % of one core | $(summary native) |"
echo "| tovik-receive.exe under wine 10 | $exe_cpu % of one core | $(summary exe) |"
echo "| ... wineserver / wine's other processes meanwhile | $server / $others % | |"
finish
