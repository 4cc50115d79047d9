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
. "$(dirname "$0")/lab_checks.sh"
. "$(dirname "$0")/../support/xvfb.sh"
for tool in Xvfb trayer; do command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"; done
tovik_lab 1
xvfb_start "$work" || { fail "Xvfb did not start"; finish; }
PULSE_PIDS+=("$XVFB_PID")  # stopped with the sound server
export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY  # the XEmbed tray, no StatusNotifier host
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false --tint 0x000000 >"$work/trayer.log" 2>&1 &
PULSE_PIDS+=($!)
# Qt's xcb plug-in leaves an allocation LeakSanitizer cannot name at exit;
# the unit tests check our Qt code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# Starts the program with its logs in <folder>, waits for its message loop,
# starts it again (tray, terminal; their output and exit codes go to
# <folder>/second), then sends SIGTERM. <folder>/report says whether the
# desktop module and Qt were mapped, the exit code, and whether a pairing
# code was printed.
run_until_term() {
  local program=$1 folder=$2 pid mode
  mkdir -p "$folder"
  netlab_spawn 1 "$folder/out" env APPDATA="$folder" "$program"
  pid=${NETLAB_PIDS[-1]}
  wait_for_line "$folder/Tovik/debug.log" "Stream started OK - entering message loop"
  { grep -q '/tovik-desktop\.so$' "/proc/$pid/maps" && echo module; grep -q libQt5 "/proc/$pid/maps" && echo Qt; } >"$folder/report"
  for mode in "" --headless; do
    echo "${mode:-tray} $(netlab_exec 1 timeout 20 env APPDATA="$folder" "$program" $mode 2>&1) $?" >>"$folder/second"
  done
  kill -TERM "$pid"
  wait "$pid"
  echo "exit $?" >>"$folder/report"
  grep -q '^Pairing code: ' "$folder/out" && echo code >>"$folder/report"
  NETLAB_PIDS=()
}

run_until_term "$tovik" "$work/desktop"
[ "$(cat "$work/desktop/report")" = $'module\nQt\nexit 0' ] || fail "desktop run: $(cat "$work/desktop/report")"
[ "$(cat "$work/desktop/second")" = $'tray Tovik: Tovik is already running. 0\n--headless Tovik: Tovik is already running. 0' ] ||
  fail "second starts: $(cat "$work/desktop/second")"
for line in "Tray icon created OK" "=== Tovik shutting down ==="; do
  grep -qxF "$line" "$work/desktop/Tovik/debug.log" || fail "debug.log lacks '$line'"
done

mkdir -p "$work/bare"
cp "$tovik" "$work/bare/tovik"
run_until_term "$work/bare/tovik" "$work/alone"
[ "$(cat "$work/alone/report")" = $'exit 0\ncode' ] || fail "fallback run: $(cat "$work/alone/report")"
grep -q "^Tovik: cannot load the desktop tray: .*/bare/tovik-desktop\.so: " "$work/alone/out" ||
  fail "no reason given for the missing module"
grep -qxF "Tovik: the desktop tray is not available; running in the terminal" "$work/alone/out" ||
  fail "no word of the terminal fallback"
[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work"/*/out "$work"/*/Tovik/debug.log
finish
