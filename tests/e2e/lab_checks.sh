# Checks and steps shared by the lab tests; it brings the network lab
# (netlab.sh) and the private sound server (pulse_lab.sh) along.
. "$(dirname "${BASH_SOURCE[0]}")/netlab.sh"
. "$(dirname "${BASH_SOURCE[0]}")/pulse_lab.sh"
LAB_STATUS=0

fail() { echo "FAIL: $*" && LAB_STATUS=1; }
finish() { [ "$LAB_STATUS" = 0 ] && echo "PASS"; exit "$LAB_STATUS"; }

# Waits (up to 60 s) until file holds the line, with LF or CR LF.
wait_for_line() {
  for _ in $(seq 600); do
    [ -f "$1" ] && tr -d "\r" <"$1" | grep -qxF -- "$2" && return 0
    sleep 0.1
  done
  fail "never saw '$2' in $1"
  return 1
}

# Waits (up to 60 s) for a line "KEY value" in a file and prints the value.
value_of() {
  for _ in $(seq 600); do grep -q "^$2 " "$1" 2>/dev/null && break; sleep 0.1; done
  sed -n "s/^$2 //p" "$1" | head -n 1
}

# The start of a Tovik lab: skipped without root or the sound tools; $work,
# hosts 1..$1 and, unless $2 says "nosound", a sound server; all gone at exit.
tovik_lab() {
  netlab_require
  pulse_require
  work=$(mktemp -d)
  netlab_on_cleanup() { pulse_stop; rm -rf "$work"; }
  netlab_setup "$1"
  [ "${2:-}" = nosound ] || pulse_start "$work/pulse" 48000 || { fail "no sound server"; finish; }
}

# Starts Tovik (terminal mode) in host 1 with APPDATA=$2, output to $1; sets
# TOVIK_PID and code (the printed pairing code without its space).
start_tovik() {
  netlab_spawn 1 "$1" env APPDATA="$2" "$tovik" --headless
  TOVIK_PID=${NETLAB_PIDS[-1]}
  code=$(value_of "$1" "Pairing code:" | sed -n 's/^\([0-9]\{3\}\) \([0-9]\{3\}\)$/\1\2/p')
  [ ${#code} = 6 ] || { fail "Tovik printed no pairing code: $(cat "$1")"; finish; }
}

# A probe's "NAME value" line; whether a number lies within bounds.
value() { sed -n "s/^$1 *//p" "$work/listen.out"; }
within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }
