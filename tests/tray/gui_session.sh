#!/bin/bash
# The tray's desktop tests, each on a private X server (Xvfb):
#   gui_session.sh qt PROGRAM
#     the Qt host's test program, with trayer as the XEmbed tray and no
#     StatusNotifier host;
#   gui_session.sh win TESTS_EXE PROBE_EXE WINEPREFIX
#     the Win32 GoogleTest program under wine, in a prefix of its own, then
#     the real menu at 96 and 144 dpi: the probe shows the icon, xdotool
#     right-clicks it in wine's tray window, and a screenshot of the open
#     menu must decode with zbarimg to the pairing code.
# Exit 77 (skipped) when a tool is missing.
set -u
. "$(dirname "$0")/../support/xvfb.sh"
mode=$1
tools="Xvfb xdotool import zbarimg $([ "$mode" = qt ] && echo trayer || echo wine wineserver)"
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() {
  [ "$mode" = win ] && wineserver -k </dev/null >/dev/null 2>&1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }
xvfb_start "$work" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
pids+=("$XVFB_PID")

if [ "$mode" = qt ]; then
  export NO_AT_BRIDGE=1
  unset DBUS_SESSION_BUS_ADDRESS  # no StatusNotifier host: Qt uses XEmbed
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent false --tint 0x000000 >"$work/trayer.log" 2>&1 &
  pids+=($!)
  cd "$work" || exit 1  # the screenshots
  # Under ASan: a library that the xcb platform unloads at exit leaves one
  # allocation that LeakSanitizer cannot attribute (or suppress) by name.
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$2"
  exit
fi

tests_exe=$2
probe_exe=$3
export WINEPREFIX=$4 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's services start with stdio detached so they never hold ctest's pipe.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot -i </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
wine "$tests_exe" </dev/null >"$work/gtest.log" 2>&1
status=$?
cat "$work/gtest.log"
[ $status -eq 0 ] || fail "GoogleTest cases (exit $status)"

# Shows the probe's icon at a resolution (wine reads LogPixels when a program
# starts), right-clicks it in wine's tray window and decodes a screenshot of
# the open menu; then lets the probe quit through its own command.
real_menu() {
  local dpi=$1 code=$2 tray="" decoded="" next=0
  echo "== the real menu at $dpi dpi, opened by a click on the tray icon"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1
  rm -f "$work/done" "$work/probe.log"
  wine "$probe_exe" "$code" "$(winepath -w "$work")\\done" </dev/null >"$work/probe.log" 2>&1 &
  pids+=($!)
  for i in $(seq 100); do
    # wine's tray window has no name: explorer's first visible window. A right
    # click on the icon at its left edge, again after 10 s.
    grep -q ready "$work/probe.log" && [ -z "$tray" ] &&
      tray=$(xdotool search --onlyvisible --class explorer.exe | sort -n | head -1)
    [ -n "$tray" ] && ((i >= next)) && next=$((i + 20)) &&
      xdotool mousemove --window "$tray" 10 10 click 3
    sleep 0.5
    [ -n "$tray" ] && import -window root "$work/screen.png" 2>/dev/null &&
      decoded=$(zbarimg --nodbus -q --raw "$work/screen.png" 2>/dev/null)
    [ "$decoded" = "$code" ] && break
  done
  touch "$work/done"
  wait "${pids[-1]}"
  local status=$?
  unset 'pids[-1]'
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f </dev/null >/dev/null 2>&1
  [ -n "$tray" ] || fail "no icon in wine's tray: $(cat "$work/probe.log")"
  [ "$decoded" = "$code" ] || fail "no QR code for $code in the screenshot of the open menu"
  [ $status -eq 0 ] || fail "the probe did not end through Quit Tovik (exit $status)"
  echo "screenshot of the open menu decodes as $decoded"
}

real_menu 96 314159
real_menu 144 271828
