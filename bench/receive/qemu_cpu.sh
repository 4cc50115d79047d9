#!/usr/bin/env bash
# CPU of tovik-receive over one stream, native against an ARM build under
# qemu user-mode emulation: a rough sign of what a small board spends, not a
# measure of one (qemu translates every instruction). A signal transmitter in
# lab host 1, each receiver in turn in host 2 playing through ALSA's null
# device (paced by itself, as on a headless board). Root (network lab).
#   qemu_cpu.sh <tovik-signal-tx> <native tovik-receive> <arm tovik-receive> <qemu> [seconds]
set -u
tx=$1 native=$2 arm=$3 qemu=$4 seconds=${5:-30}
here=$(cd "$(dirname "$0")/../../tests/e2e" && pwd)
. "$here/netlab.sh"
netlab_require

work=$(mktemp -d)
netlab_on_cleanup() { rm -rf "$work"; }
netlab_setup 2
printf 'pcm.default {\n type null\n}\n' >"$work/asound.conf"

# Prints the user and system seconds of one receiver run.
cpu_of() {  # name command...
  local name=$1 code
  shift
  mkdir -p "$work/$name"
  netlab_spawn 1 "$work/$name.tx" env APPDATA="$work/$name" "$tx" --seconds $((seconds + 10))
  for _ in $(seq 600); do grep -q '^CODE ' "$work/$name.tx" && break; sleep 0.1; done
  code=$(sed -n 's/^CODE //p' "$work/$name.tx")
  netlab_exec 2 env XDG_CONFIG_HOME="$work/$name" PULSE_SERVER="unix:$work/no-server" \
    ALSA_CONFIG_PATH="$work/asound.conf" bash -c '"$@" >/dev/null 2>&1; times' x \
    "$@" --code "$code" --duration "$seconds" --quiet >"$work/$name.times"
  kill "${NETLAB_PIDS[@]}" 2>/dev/null
  netlab_wait_all
  # The second line of `times`: the children's user and system time.
  sed -n 2p "$work/$name.times" | awk '{
    split($1, u, "m"); split($2, s, "m")
    printf "%.2f\n", u[1] * 60 + u[2] + s[1] * 60 + s[2] }'
}

native_s=$(cpu_of native "$native")
arm_s=$(cpu_of arm "$qemu" -L / "$arm")
awk -v n="$native_s" -v a="$arm_s" -v t="$seconds" 'BEGIN {
  printf "| receiver | CPU s over %d s | share of a core |\n|---|---|---|\n", t
  printf "| native | %.2f | %.1f %% |\n| qemu | %.2f | %.1f %% |\n", n, 100 * n / t, a, 100 * a / t
  if (n > 0) printf "qemu / native: %.1f\n", a / n }'
