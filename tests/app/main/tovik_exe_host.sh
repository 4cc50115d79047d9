#!/usr/bin/env bash
# Lab host 1 of tovik_exe_lab.sh: the Windows program under wine, driven and
# watched from the desktop. Every finding goes to a file in <work>; the lab
# script judges them.
#   1. audio port 19483 held by another socket: the program's error box
#      (BOX line in busy.box), its exit code (busy.status), its logs (busy/);
#   2. the port free again: the icon (icon.up), the tooltip while searching
#      (tip.searching), the code from "Copy Pairing Code" (code), the tooltip
#      once our receiver is connected (tip.connected); when <work>/done
#      appears, "Quit Tovik" (exit code in stream.status), then the icon must
#      be gone (icon.after).
#   tovik_exe_host.sh <prefix> <work> <program.exe> <window_probe.exe>
# Run under `unshare --pid --fork --kill-child` in the lab host.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../e2e/wine_boot.sh"
prefix=$1 work=$2 program=$3 probe_exe=$4

probe() { wine "$probe_exe" "$@" </dev/null 2>>"$work/probe.err" | tr -d '\r'; }

# Hovers over wine's tray window until the shown tooltip reads `want`
# (or 30 tries have passed); prints the last tooltip seen.
hover_tooltip() {
  local want=$1 tray tip="" try
  for try in $(seq 30); do
    # wine's tray window has no name: explorer's first visible window (a
    # tooltip shown later is explorer's too).
    tray=$(xdotool search --onlyvisible --class explorer.exe 2>/dev/null | sort -n | head -n 1)
    if [ -n "$tray" ]; then
      # The tip shows again only after the pointer has left the icon for
      # another spot of the tray window (the icon sits at its left end).
      xdotool mousemove --window "$tray" 150 10 2>/dev/null
      sleep 0.3
      xdotool mousemove --window "$tray" 10 10 2>/dev/null
      tip=$(probe tooltip 3 | sed -n 's/^TIP //p')
      [ "$tip" = "$want" ] && break
    fi
    sleep 0.5
  done
  echo "$tip"
}

wine_boot "$prefix"
logs=$(wine_appdata)

# A socket without address reuse holds the audio port.
python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 19483))
print("held", flush=True)
time.sleep(600)' </dev/null >"$work/holder.out" 2>&1 &
holder=$!
for _ in $(seq 100); do grep -q held "$work/holder.out" && break; sleep 0.1; done
wine "$program" </dev/null >"$work/busy.out" 2>&1 &
app=$!
probe box 120 >"$work/busy.box"
wait "$app"
echo $? >"$work/busy.status"
cp -r "$logs" "$work/busy"
rm -f "$logs"/*
kill "$holder"
wait "$holder" 2>/dev/null

wine "$program" </dev/null >"$work/stream.out" 2>&1 &
app=$!
window=$(probe window 120 | sed -n 's/^WINDOW //p')
if [ -n "$window" ]; then
  probe icon "$window" >"$work/icon.up"
  hover_tooltip "Tovik — Searching..." >"$work/tip.searching"
  probe copy-code "$window" | sed -n 's/^CODE //p' >"$work/code.part"
  mv "$work/code.part" "$work/code"
  hover_tooltip "Tovik — Connected (Lab Listener)" >"$work/tip.connected"
  for _ in $(seq 1200); do [ -e "$work/done" ] && break; sleep 0.1; done
  probe command "$window" 2006
fi
for _ in $(seq 300); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill "$app" 2>/dev/null
wait "$app"
echo $? >"$work/stream.status"
[ -n "$window" ] && probe icon "$window" >"$work/icon.after"
wine_shutdown
