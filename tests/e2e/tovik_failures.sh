#!/usr/bin/env bash
# Tovik's start-up failures, for real, in a lab host (the program would
# announce itself if it got that far):
#   - no sound server: the error text on stderr, exit 1, debug.log ends with
#     "StreamManager::create FAILED";
#   - audio port 19483 held by another socket: "Internal error..." and exit 1;
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

# The audio port is taken (a socket without address reuse holds it).
netlab_spawn 1 "$work/holder.out" python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 19483))
print("held", flush=True)
time.sleep(30)'
holder=${NETLAB_PIDS[-1]}
wait_for_line "$work/holder.out" held
netlab_exec 1 env APPDATA="$work/a" "$tovik" --headless >"$work/busy.out" 2>"$work/busy.err"
status=$?
kill "$holder"; wait "$holder" 2>/dev/null; NETLAB_PIDS=()
[ "$status" = 1 ] || fail "busy port: exit $status, want 1"
grep -qxF "Tovik - Error: Internal error. Please report this bug." "$work/busy.err" ||
  fail "busy port: stderr was '$(cat "$work/busy.err")'"
[ "$(tail -n 1 "$work/a/Tovik/debug.log")" = "Stream start FAILED" ] ||
  fail "debug.log does not end with the start failure"
grep -qxF "Failed to bind audio socket to port 19483" "$work/a/Tovik/connection.log" ||
  fail "connection.log lacks the bind failure"

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
