#!/bin/bash
# Desktop tests of the Win32 tray under wine: a private X server (Xvfb) and a
# wine prefix of their own, so that wine's tray and menus have a display.
#   1. the GoogleTest program (window, icon, routing, menus, QR painting at
#      96/120/144 dpi, error box); the painted QR items are saved as BMP files
#      and must decode with zbarimg to the pairing code;
#   2. the real menu at 96 and 144 dpi: the probe shows the icon, xdotool
#      right-clicks it in wine's tray window, and a screenshot of the open
#      menu must decode.
# Usage: gui_session.sh <gui tests .exe> <tray_menu_probe .exe> <wine prefix>
# Exit 77 (skipped) when Xvfb, xdotool, ImageMagick or zbarimg is missing.
set -u
. "$(dirname "$0")/../../../support/xvfb.sh"
tests_exe=$1
probe_exe=$2
export WINEPREFIX=$3
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

for tool in Xvfb xdotool import zbarimg wine wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (the desktop tests need Xvfb, xdotool, ImageMagick, zbar)"
    exit 77
  fi
done

work=$(mktemp -d)
probe_pid=""
cleanup() {
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$probe_pid" ] && wait "$probe_pid" 2>/dev/null
  if [ -n "${XVFB_PID:-}" ]; then
    kill "${XVFB_PID:-}" 2>/dev/null
    wait "${XVFB_PID:-}" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  exit 1
}

xvfb_start "$work" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

# Wine's services start with stdio detached so they never hold ctest's pipe.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
win_work=$(winepath -w "$work" 2>/dev/null)

echo "== GoogleTest cases on $DISPLAY"
TOVIK_PANEL_BMP_DIR=$win_work wine "$tests_exe" </dev/null >"$work/gtest.log" 2>&1
status=$?
cat "$work/gtest.log"
[ $status -eq 0 ] || fail "GoogleTest cases (exit $status)"

echo "== painted QR items decoded by zbarimg"
for dpi in 96 120 144; do
  bmp="$work/panel_$dpi.bmp"
  [ -f "$bmp" ] || fail "panel_$dpi.bmp was not written"
  got=$(zbarimg --nodbus -q --raw "$bmp")
  echo "$dpi dpi: '$got'"
  [ "$got" = "123456" ] || fail "the $dpi dpi panel decodes as '$got'"
done

# Shows the probe's icon at a resolution (wine reads LogPixels when a program
# starts), right-clicks it in wine's tray window and decodes a screenshot of
# the open menu; then lets the probe quit through its own command.
real_menu() {
  local dpi=$1 code=$2 tray="" decoded="" status
  echo "== the real menu at $dpi dpi, opened by a click on the tray icon"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1
  rm -f "$work/done" "$work/probe.log"
  wine "$probe_exe" "$code" "$win_work\\done" </dev/null >"$work/probe.log" 2>&1 &
  probe_pid=$!
  for _ in $(seq 200); do grep -q ready "$work/probe.log" && break; sleep 0.1; done
  grep -q ready "$work/probe.log" || fail "the probe did not show its icon: $(cat "$work/probe.log")"
  for _ in $(seq 100); do
    # wine's tray window has no name: explorer's first visible window.
    tray=$(xdotool search --onlyvisible --class explorer.exe | sort -n | head -1)
    [ -n "$tray" ] && break
    sleep 0.1
  done
  [ -n "$tray" ] || fail "wine's tray window did not appear"
  for attempt in 1 2; do
    xdotool mousemove --window "$tray" 10 10 click 3
    for _ in $(seq 20); do
      sleep 0.5
      import -window root "$work/screen.png" 2>/dev/null
      decoded=$(zbarimg --nodbus -q --raw "$work/screen.png" 2>/dev/null)
      [ "$decoded" = "$code" ] && break 2
    done
    echo "attempt $attempt: screenshot decodes as '$decoded'"
  done
  touch "$work/done"
  for _ in $(seq 200); do kill -0 "$probe_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$probe_pid"
  status=$?
  probe_pid=""
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1
  [ "$decoded" = "$code" ] || fail "no QR code for $code in the screenshot of the open menu"
  echo "screenshot of the open menu decodes as $decoded"
  [ $status -eq 0 ] || fail "the probe did not end through Quit Tovik (exit $status)"
}

real_menu 96 314159
real_menu 144 271828
echo "PASSED"
