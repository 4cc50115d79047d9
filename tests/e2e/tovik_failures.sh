#!/usr/bin/env bash
# Tovik's start-up failures, for real, in a lab host (the program would
# announce itself if it got that far):
#   - no sound server: the error text on stderr, exit 1, debug.log ends with
#     "StreamManager::create FAILED";
#   - a second start in the session is told "Tovik is already running." and
#     ends at once; another user's Tovik (its own runtime and storage
#     folders) fails on the audio port 19483 instead of sharing it:
#     "Internal error..." and exit 1;
#   - no APPDATA, XDG_CONFIG_HOME or HOME: it still runs, and writes nothing.
#   tovik_failures.sh <tovik>
set -u
tovik=$1
here=$(dirname "$0")
. "$here/netlab.sh"
. "$here/lab_checks.sh"
. "$here/pulse_lab.sh"
netlab_require
pulse_require

work=$(mktemp -d)
netlab_on_cleanup() { pulse_stop; rm -rf "$work"; }
netlab_setup 1
mkdir -p "$work/a/Tovik" "$work/empty-run"

# No sound server at all.
netlab_exec 1 env -u PULSE_SERVER XDG_RUNTIME_DIR="$work/empty-run" APPDATA="$work/a" \
  "$tovik" --headless >"$work/nosound.out" 2>"$work/nosound.err"
status=$?
[ "$status" = 1 ] || fail "no sound server: exit $status, want 1"
grep -qxF "Tovik - Error: No audio output device found. Check your sound settings." \
  "$work/nosound.err" || fail "no sound server: stderr was '$(cat "$work/nosound.err")'"
[ "$(tail -n 1 "$work/a/Tovik/debug.log")" = "StreamManager::create FAILED" ] ||
  fail "debug.log does not end with the create failure"

pulse_start "$work/pulse" 48000 || { fail "no sound server for the next cases"; finish; }

# One Tovik per session: a second start is told and ends at once. Another
# user's Tovik (its own runtime and storage folders) finds the audio port
# taken, since it is bound without address reuse: "Internal error..." and
# exit 1.
netlab_spawn 1 "$work/first.out" env APPDATA="$work/a" "$tovik" --headless
first=${NETLAB_PIDS[-1]}
wait_for_line "$work/first.out" "Status: Searching..."
# Bounded: without the claim a second Tovik would simply run.
netlab_exec 1 timeout 20 env APPDATA="$work/a" "$tovik" --headless >"$work/second.out" \
  2>"$work/second.err"
status=$?
[ "$status" = 0 ] || fail "second start: exit $status, want 0"
grep -qxF "Tovik: Tovik is already running." "$work/second.err" || fail "second start was not told"
[ -s "$work/second.out" ] && fail "the second start went on: $(cat "$work/second.out")"
mkdir -m 700 "$work/run-b" && mkdir "$work/b"
netlab_exec 1 timeout 20 env XDG_RUNTIME_DIR="$work/run-b" APPDATA="$work/b" "$tovik" --headless \
  >/dev/null 2>"$work/other.err"
status=$?
[ "$status" = 1 ] || fail "another user's start: exit $status, want 1"
grep -qxF "Tovik - Error: Internal error. Please report this bug." "$work/other.err" ||
  fail "another user's start: stderr was '$(cat "$work/other.err")'"
[ "$(tail -n 1 "$work/b/Tovik/debug.log")" = "Stream start FAILED" ] ||
  fail "another user's debug.log does not end with the start failure"
grep -qxF "Failed to bind audio socket to port 19483" "$work/b/Tovik/connection.log" ||
  fail "another user's connection.log lacks the bind failure"
kill -INT "$first"
wait "$first"
NETLAB_PIDS=()

# No storage base at all: runs, quits on SIGINT, leaves no file anywhere.
mkdir -p "$work/cwd"
netlab_spawn 1 "$work/nobase.out" env -u APPDATA -u XDG_CONFIG_HOME -u HOME \
  sh -c "cd '$work/cwd' && exec '$tovik' --headless"
pid=${NETLAB_PIDS[-1]}
wait_for_line "$work/nobase.out" "Status: Searching..."
kill -INT "$pid"
wait "$pid"
status=$?
NETLAB_PIDS=()
[ "$status" = 0 ] || fail "without a storage folder: exit $status, want 0"
[ -z "$(ls -A "$work/cwd")" ] || fail "files written without a storage folder"
[ ! -e /Tovik ] || fail "a /Tovik folder appeared"
finish
