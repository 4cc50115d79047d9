#!/usr/bin/env bash
# How the Linux program starts, for real, in a lab host (it announces itself
# once it runs):
#   - no sound server: the error text on stderr, exit 1, debug.log ends with
#     "StreamManager::create FAILED";
#   - on a desktop (Xvfb with trayer as the tray), beside its desktop module
#     or installed (the module in ../lib/tovik), it shows the Qt tray: the module and Qt are mapped, no pairing code is
#     printed, and SIGTERM (a logout) goes through "Quit Tovik": exit 0 and
#     the shutdown line in debug.log;
#   - a second start in the session, tray or terminal, is told "Tovik is
#     already running." and ends at once;
#   - copied away from its module it says why, and runs in the terminal;
#     another user's Tovik (its own runtime and storage folders) then fails
#     on the audio port 19483, bound without address reuse, instead of
#     sharing it: "Internal error..." and exit 1;
#   - no APPDATA, XDG_CONFIG_HOME or HOME: it still runs, and writes nothing.
#   tovik_starts.sh <tovik>
set -u
tovik=$1
. "$(dirname "$0")/lab_checks.sh"
. "$(dirname "$0")/../support/xvfb.sh"
for tool in Xvfb trayer; do command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"; done
tovik_lab 1 nosound
mkdir -p "$work/a/Tovik" "$work/b" "$work/bare" "$work/cwd" "$work/empty-run" && mkdir -m 700 "$work/run-b"

# Runs Tovik in the terminal (bounded: some cases would otherwise simply run)
# and checks its exit code, its stderr and the last line of its debug.log.
expect_start() {  # status stderr appdata last-line env...
  local got
  got="$(netlab_exec 1 timeout 20 env "${@:5}" APPDATA="$3" "$tovik" --headless 2>&1 >/dev/null) $?"
  got+=" | $(tail -n 1 "$3/Tovik/debug.log")"
  [ "$got" = "$2 $1 | $4" ] || fail "exit, stderr | last line of debug.log: '$got'"
}

# Starts the program with its logs in <folder>, waits for its message loop and
# starts it again (tray, terminal; their output and exit codes go to
# <folder>/second). <folder>/report says whether the desktop module and Qt
# were mapped; end_run adds the exit code on SIGTERM with the count of the
# tray and shutdown lines in debug.log, and whether a pairing code was printed.
start_run() {
  local program=$1 folder=$2 mode
  mkdir -p "$folder"
  netlab_spawn 1 "$folder/out" env APPDATA="$folder" "$program"
  RUN_PID=${NETLAB_PIDS[-1]}
  wait_for_line "$folder/Tovik/debug.log" "Stream started OK - entering message loop"
  { grep -q '/tovik-desktop\.so$' "/proc/$RUN_PID/maps" && echo module; grep -q libQt5 "/proc/$RUN_PID/maps" && echo Qt; } >"$folder/report"
  for mode in "" --headless; do
    echo "${mode:-tray} $(netlab_exec 1 timeout 20 env APPDATA="$folder" "$program" $mode 2>&1) $?" >>"$folder/second"
  done
}
end_run() {
  kill -TERM "$RUN_PID"
  wait "$RUN_PID"
  echo "exit $? $(grep -cxF -e "Tray icon created OK" -e "=== Tovik shutting down ===" "$1/Tovik/debug.log")" >>"$1/report"
  grep -q '^Pairing code: ' "$1/out" && echo code >>"$1/report"
  NETLAB_PIDS=()
}

expect_start 1 "Tovik - Error: No audio output device found. Check your sound settings." \
  "$work/a" "StreamManager::create FAILED" -u PULSE_SERVER XDG_RUNTIME_DIR="$work/empty-run"
pulse_start "$work/pulse" 48000 || { fail "no sound server for the next cases"; finish; }
xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
PULSE_PIDS+=("$XVFB_PID")  # stopped with the sound server
export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY  # the XEmbed tray, no StatusNotifier host
for _ in 1 2 3; do  # a display just up has refused it on a busy machine: try again
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent false --tint 0x000000 >>"$work/trayer.log" 2>&1 &
  sleep 1 && kill -0 $! 2>/dev/null && break
done
PULSE_PIDS+=($!)
# Qt's xcb plug-in leaves an allocation LeakSanitizer cannot name at exit;
# the unit tests check our Qt code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

start_run "$tovik" "$work/desktop"
end_run "$work/desktop"
[ "$(cat "$work/desktop/report")" = $'module\nQt\nexit 0 2' ] || fail "desktop run: $(cat "$work/desktop/report")"
[ "$(cat "$work/desktop/second")" = $'tray Tovik: Tovik is already running. 0\n--headless Tovik: Tovik is already running. 0' ] ||
  fail "second starts: $(cat "$work/desktop/second")"

# Installed: the module in lib/tovik beside the program's bin folder.
mkdir -p "$work/usr/bin" "$work/usr/lib/tovik"
cp "$tovik" "$work/usr/bin/" && cp "$(dirname "$tovik")/tovik-desktop.so" "$work/usr/lib/tovik/"
start_run "$work/usr/bin/tovik" "$work/installed"
end_run "$work/installed"
grep -qx module "$work/installed/report" || fail "installed run: $(cat "$work/installed/report")"

cp "$tovik" "$work/bare/tovik"
start_run "$work/bare/tovik" "$work/alone"
expect_start 1 "Tovik - Error: Internal error. Please report this bug." "$work/b" \
  "Stream start FAILED" XDG_RUNTIME_DIR="$work/run-b"
grep -qxF "Failed to bind audio socket to port 19483" "$work/b/Tovik/connection.log" ||
  fail "another user's connection.log lacks the bind failure"
end_run "$work/alone"
[ "$(cat "$work/alone/report")" = $'exit 0 2\ncode' ] || fail "fallback run: $(cat "$work/alone/report")"
grep -q "^Tovik: cannot load the desktop tray: .*/bare/tovik-desktop\.so: " "$work/alone/out" ||
  fail "no reason given for the missing module"
grep -qxF "Tovik: the desktop tray is not available; running in the terminal" "$work/alone/out" ||
  fail "no word of the terminal fallback"

# No storage base at all: runs, quits on SIGINT, leaves no file anywhere.
netlab_spawn 1 "$work/nobase.out" env -u APPDATA -u XDG_CONFIG_HOME -u HOME \
  sh -c "cd '$work/cwd' && exec '$tovik' --headless"
wait_for_line "$work/nobase.out" "Status: Searching..."
kill -INT "${NETLAB_PIDS[-1]}"
wait "${NETLAB_PIDS[-1]}" || fail "without a storage folder: exit $?, want 0"
NETLAB_PIDS=()
[ -z "$(ls -A "$work/cwd")" ] || fail "files written without a storage folder"
[ ! -e /Tovik ] || fail "a /Tovik folder appeared"
[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/*/out "$work"/*/Tovik/debug.log
finish
