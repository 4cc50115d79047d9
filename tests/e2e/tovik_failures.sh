#!/usr/bin/env bash
# Tovik's start-up failures, for real, in a lab host (the program would
# announce itself if it got that far):
#   - no sound server: the error text on stderr, exit 1, debug.log ends with
#     "StreamManager::create FAILED";
#   - a second start in the session is told "Tovik is already running." and
#     ends at once; another user's Tovik (its own runtime and storage
#     folders) fails on the audio port 19483, bound without address reuse,
#     instead of sharing it: "Internal error..." and exit 1;
#   - no APPDATA, XDG_CONFIG_HOME or HOME: it still runs, and writes nothing.
#   tovik_failures.sh <tovik>
set -u
tovik=$1
. "$(dirname "$0")/lab_checks.sh"
tovik_lab 1 nosound
mkdir -p "$work/a/Tovik" "$work/b" "$work/cwd" "$work/empty-run" && mkdir -m 700 "$work/run-b"
# Runs Tovik (bounded: some cases would otherwise simply run) and checks its
# exit code, its stderr and the last line of its debug.log.
expect_start() {  # name status stderr appdata last-line env...
  local name=$1 want=$2 err=$3 folder=$4 last=$5 status
  shift 5
  netlab_exec 1 timeout 20 env "$@" APPDATA="$folder" "$tovik" --headless >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  [ "$status" = "$want" ] || fail "$name: exit $status, want $want"
  [ "$(cat "$work/$name.err")" = "$err" ] || fail "$name: stderr was '$(cat "$work/$name.err")'"
  [ -z "$last" ] || [ "$(tail -n 1 "$folder/Tovik/debug.log")" = "$last" ] || fail "$name: debug.log ends otherwise"
}

expect_start nosound 1 "Tovik - Error: No audio output device found. Check your sound settings." \
  "$work/a" "StreamManager::create FAILED" -u PULSE_SERVER XDG_RUNTIME_DIR="$work/empty-run"
pulse_start "$work/pulse" 48000 || { fail "no sound server for the next cases"; finish; }
netlab_spawn 1 "$work/first.out" env APPDATA="$work/a" "$tovik" --headless
first=${NETLAB_PIDS[-1]}
wait_for_line "$work/first.out" "Status: Searching..."
expect_start second 0 "Tovik: Tovik is already running." "$work/a" ""
[ -s "$work/second.out" ] && fail "the second start went on: $(cat "$work/second.out")"
expect_start other 1 "Tovik - Error: Internal error. Please report this bug." "$work/b" \
  "Stream start FAILED" XDG_RUNTIME_DIR="$work/run-b"
grep -qxF "Failed to bind audio socket to port 19483" "$work/b/Tovik/connection.log" ||
  fail "another user's connection.log lacks the bind failure"
kill -INT "$first"
wait "$first"
NETLAB_PIDS=()

# No storage base at all: runs, quits on SIGINT, leaves no file anywhere.
netlab_spawn 1 "$work/nobase.out" env -u APPDATA -u XDG_CONFIG_HOME -u HOME \
  sh -c "cd '$work/cwd' && exec '$tovik' --headless"
pid=${NETLAB_PIDS[-1]}
wait_for_line "$work/nobase.out" "Status: Searching..."
kill -INT "$pid"
wait "$pid" || fail "without a storage folder: exit $?, want 0"
NETLAB_PIDS=()
[ -z "$(ls -A "$work/cwd")" ] || fail "files written without a storage folder"
[ ! -e /Tovik ] || fail "a /Tovik folder appeared"
finish
