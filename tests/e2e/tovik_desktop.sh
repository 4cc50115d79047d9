#!/usr/bin/env bash
# The Linux program on a desktop (Xvfb with trayer as the tray), in a lab
# host since it announces itself:
#   - beside its desktop module it shows the Qt tray: the module and Qt are
#     mapped, no pairing code is printed, and SIGTERM (a logout) goes
#     through "Quit Tovik": exit 0 and the shutdown line in debug.log;
#   - a second start beside it, tray or terminal, is told "Tovik is already
#     running." and ends at once;
#   - copied away from its module it says why, and runs in the terminal.
#   tovik_desktop.sh <tovik>
set -u
tovik=$1
here=$(dirname "$0")
. "$here/netlab.sh"
. "$here/lab_checks.sh"
. "$here/pulse_lab.sh"
. "$here/../support/xvfb.sh"
netlab_require
pulse_require
for tool in Xvfb trayer; do
  command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"
done

work=$(mktemp -d)
display_pids=()
netlab_on_cleanup() {
  pulse_stop
  kill "${display_pids[@]}" ${XVFB_PID:-} 2>/dev/null
  wait "${display_pids[@]}" ${XVFB_PID:-} 2>/dev/null
  rm -rf "$work"
}
netlab_setup 1
pulse_start "$work/pulse" 48000 || { fail "no sound server"; finish; }

xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY  # the XEmbed tray, no StatusNotifier host
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false --tint 0x000000 >"$work/trayer.log" 2>&1 &
display_pids+=($!)
# Qt's xcb plug-in leaves an allocation LeakSanitizer cannot name at exit;
# the unit tests check our Qt code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# Starts the program with its logs in <folder>, waits for its message loop,
# then sends SIGTERM; the exit code goes to <folder>/status.
run_until_term() {
  local program=$1 folder=$2 pid
  mkdir -p "$folder"
  netlab_spawn 1 "$folder/out" env APPDATA="$folder" "$program"
  pid=${NETLAB_PIDS[-1]}
  wait_for_line "$folder/Tovik/debug.log" "Stream started OK - entering message loop"
  cp "/proc/$pid/maps" "$folder/maps" 2>/dev/null
  netlab_exec 1 timeout 20 env APPDATA="$folder" "$program" >"$folder/second-tray" 2>&1
  echo "tray $?" >"$folder/second"
  netlab_exec 1 timeout 20 env APPDATA="$folder" "$program" --headless \
    >"$folder/second-terminal" 2>&1
  echo "terminal $?" >>"$folder/second"
  kill -TERM "$pid"
  wait "$pid"
  echo $? >"$folder/status"
  NETLAB_PIDS=()
}

run_until_term "$tovik" "$work/desktop"
grep -q '/tovik-desktop\.so$' "$work/desktop/maps" || fail "the desktop module is not loaded"
grep -q 'libQt5Widgets' "$work/desktop/maps" || fail "Qt is not loaded on a desktop"
grep -q '^Pairing code: ' "$work/desktop/out" && fail "the desktop run printed the terminal's code"
[ "$(cat "$work/desktop/status")" = 0 ] || fail "exit $(cat "$work/desktop/status") after SIGTERM"
[ "$(cat "$work/desktop/second")" = $'tray 0\nterminal 0' ] ||
  fail "second starts: $(cat "$work/desktop/second")"
for mode in tray terminal; do
  [ "$(cat "$work/desktop/second-$mode")" = "Tovik: Tovik is already running." ] ||
    fail "second start ($mode): '$(cat "$work/desktop/second-$mode")'"
done
grep -qxF "Tray icon created OK" "$work/desktop/Tovik/debug.log" || fail "no tray icon on the desktop"
grep -qxF "=== Tovik shutting down ===" "$work/desktop/Tovik/debug.log" ||
  fail "SIGTERM did not go through Quit"

mkdir -p "$work/bare"
cp "$tovik" "$work/bare/tovik"
run_until_term "$work/bare/tovik" "$work/alone"
grep -q "^Tovik: cannot load the desktop tray: .*/bare/tovik-desktop\.so: " "$work/alone/out" ||
  fail "no reason given for the missing module"
grep -qxF "Tovik: the desktop tray is not available; running in the terminal" "$work/alone/out" ||
  fail "no word of the terminal fallback"
grep -q '^Pairing code: ' "$work/alone/out" || fail "the fallback printed no pairing code"
grep -q 'libQt5' "$work/alone/maps" && fail "the fallback maps Qt"
[ "$(cat "$work/alone/status")" = 0 ] || fail "fallback: exit $(cat "$work/alone/status") after SIGTERM"

[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/*/out "$work"/*/Tovik/debug.log
finish
