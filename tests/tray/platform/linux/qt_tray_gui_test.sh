#!/bin/bash
# The Qt tray on a real X server: Xvfb with trayer as the XEmbed tray. Clicks
# the icon with xdotool, decodes the menu's QR panel from a screenshot with
# zbarimg, chooses items and checks which callbacks fired.
# Usage: qt_tray_gui_test.sh PROBE [menu|window]. Exit 77 = skipped.
set -u
. "$(dirname "$0")/../../../support/xvfb.sh"
PROBE=$1
CASE=${2:-menu}
CODE=$(printf '%06d' $(( (RANDOM * 32768 + RANDOM) % 1000000 )))

for tool in Xvfb trayer xdotool import zbarimg; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

TMP=$(mktemp -d)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$TMP"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- probe output"; cat "$TMP/out" 2>/dev/null
  echo "--- probe errors"; cat "$TMP/err" 2>/dev/null
  exit 1
}

# Polls a command for up to $1 tenths of a second.
wait_for() {
  local tenths=$1; shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The first line of the probe's output with these leading fields.
line_of() { grep -m1 -P "^$1" "$TMP/out"; }
has_line() { grep -q -P "^$1" "$TMP/out"; }

# Centre of a menu item: "item<TAB>menu<TAB>x<TAB>y<TAB>text".
click_item() {
  local line
  line=$(grep -P "^item\t$1\t[0-9-]+\t[0-9-]+\t$2\$" "$TMP/out" | tail -1)
  [ -n "$line" ] || fail "no item '$2' in menu '$1'"
  xdotool mousemove "$(cut -f3 <<<"$line")" "$(cut -f4 <<<"$line")" sleep 0.3 click 1
}

# KEEP_SHOT=<file> keeps the last screenshot for a person to look at.
screenshot_decodes() {
  import -window root "$TMP/shot.png" 2>/dev/null || return 1
  if [ -n "${KEEP_SHOT:-}" ]; then cp "$TMP/shot.png" "$KEEP_SHOT"; fi
  [ "$(zbarimg --nodbus -q --raw "$TMP/shot.png" 2>/dev/null)" = "$CODE" ]
}

start_display() {
  xvfb_start "$TMP"
  local started=$?
  PIDS+=($XVFB_PID)
  [ $started = 0 ] || fail "Xvfb did not start"
  export QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
  unset DBUS_SESSION_BUS_ADDRESS  # no StatusNotifier host: Qt uses XEmbed
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent false --tint 0x000000 >"$TMP/trayer.log" 2>&1 &
  PIDS+=($!)
}

start_probe() {
  # Under ASan: a library that the xcb platform unloads at exit leaves one
  # allocation that LeakSanitizer cannot attribute (or suppress) by name. The
  # unit tests check our Qt code for leaks; the probe only drives the screen.
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$PROBE" "$CODE" "$@" >"$TMP/out" 2>"$TMP/err" &
  PROBE_PID=$!
  PIDS+=($PROBE_PID)
  wait_for 300 has_line 'icon\t' || fail "the icon never appeared in the tray"
  read -r _ ICON_X ICON_Y ICON_W ICON_H <<<"$(line_of 'icon\t')"
  echo "icon at $ICON_X,$ICON_Y size ${ICON_W}x$ICON_H"
  [ "$ICON_W" -gt 0 ] && [ "$ICON_H" -gt 0 ] || fail "empty icon geometry"
}

click_icon() {
  xdotool mousemove $((ICON_X + ICON_W / 2)) $((ICON_Y + ICON_H / 2)) sleep 0.2 click "$1"
}

quit_through_menu() {
  : >"$TMP/out.menu"
  click_icon 3
  wait_for 100 has_line 'item\tmain\t.*\tQuit Tovik$' || fail "no menu for quit"
  click_item main 'Quit Tovik'
  wait_for 100 has_line 'command\tquit' || fail "Quit Tovik did not reach on_quit"
  wait "$PROBE_PID"
  local rc=$?
  PIDS=("${PIDS[@]/$PROBE_PID}")
  [ "$rc" -eq 0 ] || fail "probe exit code $rc"
}

menu_case() {
  # Left click: our own popup, with the QR panel.
  click_icon 1
  wait_for 100 has_line 'item\tmain\t.*\t<panel>$' || fail "left click opened no menu with the panel"
  wait_for 100 screenshot_decodes || fail "the menu's QR panel did not decode to $CODE"
  echo "left-click menu: QR decodes to $CODE"
  has_line "item\tmain\t.*\tPairing Code: ${CODE:0:3} ${CODE:3:3}$" || fail "no pairing code line"
  has_line 'item\tmain\t.*\tStart at login$' || fail "no 'Start at login' item"
  wait_for 50 has_line 'tooltip\tTovik — Connected \(Kitchen\)$' ||
    fail "the worker thread's status never reached the tooltip"
  # Hovering the submenu opens it; choose 256 kbps.
  click_item main 'Quality: Auto'
  wait_for 100 has_line 'item\tQuality: Auto\t.*\t256 kbps$' || fail "the quality submenu did not open"
  click_item 'Quality: Auto' '256 kbps'
  wait_for 100 has_line 'command\tquality\t1$' || fail "256 kbps did not reach on_quality(High)"
  # Right click: the context menu, filled with the new state.
  click_icon 3
  wait_for 100 has_line 'item\tmain\t.*\tQuality: 256k$' || fail "right click menu lacks the new quality"
  click_item main 'Start at login'
  wait_for 100 has_line 'command\tautostart\ton$' || fail "Start at login did not reach its callback"
  quit_through_menu
}

window_case() {
  click_icon 1
  wait_for 100 has_line 'item\tmain\t.*\tShow pairing QR code…$' || fail "no pairing window item"
  click_item main 'Show pairing QR code…'
  wait_for 100 has_line 'window\t' || fail "the pairing window did not open"
  has_line 'window\t.*\tTovik - Pairing Code$' || fail "wrong window title"
  wait_for 100 screenshot_decodes || fail "the pairing window's QR did not decode to $CODE"
  echo "pairing window: QR decodes to $CODE"
  quit_through_menu
}

start_display
if [ "$CASE" = window ]; then
  start_probe --pairing-window-item
  window_case
else
  start_probe
  menu_case
fi
echo "PASS"
