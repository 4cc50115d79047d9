#!/usr/bin/env bash
# A newcomer's first minutes, on a fresh Debian 12 (a throwaway copy of
# scripts/bookworm-root: no sound server, no desktop, root). The README's
# `./scripts/setup && ./scripts/run`: setup in the machine's namespace (it
# needs the archive), run in a lab host, where the transmitter may broadcast.
# Then, as from a second terminal, the same-machine listen command that Tovik
# printed; its WAV must carry the test tone. Ctrl-C must end Tovik and the
# private sound server. The transcript goes to OUT/newcomer.txt.
# Usage: newcomer.sh WAV_COMPARE OUT
set -euo pipefail
compare=$(readlink -f "$1")
out=$(mkdir -p "$2" && cd "$2" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tests/e2e/netlab.sh"
netlab_require

work=$(mktemp -d /var/tmp/tovik-newcomer.XXXXXX)
netlab_on_cleanup() { rm -rf --one-file-system "$work"; }
"$top/scripts/bookworm-root"
mkdir "$work/tovik"
git -C "$top" ls-files -z | (cd "$top" && tar --null -T - -cf -) | tar -C "$work/tovik" -xf -

# The machine's own download cache stands in for the archive's (it is only
# a cache: apt in the root still resolves and installs every package).
start=$(date +%s)
"$top/scripts/bookworm-root" run -u "$work/upper" -b "$work" -b /var/cache/apt/archives \
  sh -c "cd $work/tovik && ./scripts/setup" >"$work/setup.log" 2>&1 ||
  { tail -n 30 "$work/setup.log"; exit 1; }
setup_s=$(($(date +%s) - start))

# The two terminals, inside the root: `./scripts/run` with job control (so
# that Ctrl-C reaches it as from a keyboard), then the printed check command.
cat >"$work/terminals.sh" <<'DRIVER'
set -m
cd "$1/tovik"
start=$(date +%s)
./scripts/run >"$1/run.out" 2>&1 &
run=$!
for _ in $(seq 1200); do
  grep -q '^Status: ' "$1/run.out" && break
  kill -0 "$run" 2>/dev/null || { echo "scripts/run ended early"; exit 1; }
  sleep 0.5
done
echo "$(($(date +%s) - start))" >"$1/run.seconds"
check=$(grep -A1 '^Check on this computer' "$1/run.out" | tail -n 1)
[ -n "$check" ] || { echo "no same-machine listen command"; exit 1; }
(cd "$1" && eval "$check") >"$1/check.out" 2>&1 || { echo "the listen command failed"; exit 1; }
kill -0 "$run" 2>/dev/null || { echo "Tovik did not stay running"; exit 1; }
kill -INT -- "-$run"
for _ in $(seq 100); do kill -0 "$run" 2>/dev/null || break; sleep 0.2; done
wait "$run" || { echo "scripts/run ended with $? after Ctrl-C"; exit 1; }
echo autospawn=no >"$1/no-spawn"
! PULSE_CLIENTCONFIG="$1/no-spawn" pactl info >/dev/null 2>&1 ||
  { echo "the private sound server outlived Tovik"; exit 1; }
DRIVER
netlab_setup 1
netlab_exec 1 "$top/scripts/bookworm-root" run -u "$work/upper" -b "$work" \
  bash "$work/terminals.sh" "$work" || { cat "$work/run.out" "$work/check.out" 2>/dev/null; exit 1; }

grep -q '^Pairing code: [0-9]\{3\} [0-9]\{3\}$' "$work/run.out"
grep -q '^  tovik-receive --code [0-9]\{6\}$' "$work/run.out"
grep -q '^Status: Connected' "$work/run.out" || { cat "$work/run.out"; exit 1; }
verdict=$("$compare" "$work/tovik-check.wav" 440 --skip 2 --length 6)
echo "$verdict"
awk '{ if ($2 < 435 || $2 > 445 || $8 < 10) exit 1 }' <<<"$verdict" ||
  { echo "the test tone is not in the check recording"; exit 1; }
{
  echo "# ./scripts/setup   ($setup_s s, machine namespace)"
  tail -n 3 "$work/setup.log"
  echo "# ./scripts/run     ($(cat "$work/run.seconds") s to the first status, lab host)"
  grep -v '^\[' "$work/run.out"
  echo "# second terminal: the check command ($verdict)"
  cat "$work/check.out"
} >"$out/newcomer.txt"
echo "newcomer: setup ${setup_s} s, run $(cat "$work/run.seconds") s; transcript in $out/newcomer.txt"
