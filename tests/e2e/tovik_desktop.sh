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
for tool in Xvfb trayer; do command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"; done

work=$(mktemp -d)
netlab_on_cleanup() {
  pulse_stop
  kill "$TRAYER_PID" ${XVFB_PID:-} 2>/dev/null
  wait "$TRAYER_PID" ${XVFB_PID:-} 2>/dev/null
  rm -rf "$work"
}
netlab_setup 1
pulse_start "$work/pulse" 48000 || { fail "no sound server"; finish; }
xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY  # the XEmbed tray, no StatusNotifier host
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false --tint 0x000000 >"$work/trayer.log" 2>&1 &
TRAYER_PID=$!
# Qt's xcb plug-in leaves an allocation LeakSanitizer cannot name at exit;
# the unit tests check our Qt code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# Starts the program with its logs in <folder>, waits for its message loop,
# starts it again (tray, terminal), then sends SIGTERM. <folder>/report
# gathers the exit codes and the second starts' output.
run_until_term() {
  local program=$1 folder=$2 pid mode
  mkdir -p "$folder"
  netlab_spawn 1 "$folder/out" env APPDATA="$folder" "$program"
  pid=${NETLAB_PIDS[-1]}
  wait_for_line "$folder/Tovik/debug.log" "Stream started OK - entering message loop"
  cp "/proc/$pid/maps" "$folder/maps" 2>/dev/null
  for mode in "" --headless; do
    echo "${mode:-tray} $(netlab_exec 1 timeout 20 env APPDATA="$folder" "$program" $mode 2>&1) $?" >>"$folder/report"
  done
  kill -TERM "$pid"
  wait "$pid"
  echo "status $?" >>"$folder/report"
  NETLAB_PIDS=()
}

run_until_term "$tovik" "$work/desktop"
grep -q '/tovik-desktop\.so$' "$work/desktop/maps" || fail "the desktop module is not loaded"
grep -q 'libQt5Widgets' "$work/desktop/maps" || fail "Qt is not loaded on a desktop"
grep -q '^Pairing code: ' "$work/desktop/out" && fail "the desktop run printed the terminal's code"
[ "$(cat "$work/desktop/report")" = $'tray Tovik: Tovik is already running. 0\n--headless Tovik: Tovik is already running. 0\nstatus 0' ] ||
  fail "second starts and SIGTERM: $(cat "$work/desktop/report")"
for line in "Tray icon created OK" "=== Tovik shutting down ==="; do
  grep -qxF "$line" "$work/desktop/Tovik/debug.log" || fail "debug.log lacks '$line'"
done

mkdir -p "$work/bare"
cp "$tovik" "$work/bare/tovik"
run_until_term "$work/bare/tovik" "$work/alone"
grep -q "^Tovik: cannot load the desktop tray: .*/bare/tovik-desktop\.so: " "$work/alone/out" ||
  fail "no reason given for the missing module"
grep -qxF "Tovik: the desktop tray is not available; running in the terminal" "$work/alone/out" ||
  fail "no word of the terminal fallback"
grep -q '^Pairing code: ' "$work/alone/out" || fail "the fallback printed no pairing code"
grep -q 'libQt5' "$work/alone/maps" && fail "the fallback maps Qt"
grep -qx "status 0" "$work/alone/report" || fail "fallback: $(cat "$work/alone/report")"
[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/*/out "$work"/*/Tovik/debug.log
finish
