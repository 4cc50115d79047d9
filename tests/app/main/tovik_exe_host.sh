#!/usr/bin/env bash
# Lab host 1 of tovik_exe_lab.sh: the Windows program under wine on a Western
# code page (C.UTF-8 gives wine code page 1252), run from a folder and with an
# APPDATA named in Chinese and longer than 260 characters, driven and watched
# from the desktop. Every finding goes to a file in <work>; the lab judges.
#   1. first start: Low and "Start with Windows" chosen from
#      the menu, the code from "Copy Pairing Code" (code); then waits for
#      <work>/done;
#   2. a second start in the session: its box (second.box), exit (second.status);
#   3. a start in another session (its own wineserver and APPDATA) while the
#      first holds the audio port: box (other.box), exit (other.status), logs
#      (other/);
#   4. the installer quits the first (first.status) and the Run
#      value it left (run.first);
#   5. a restart reads it all back; unticking autostart and "Quit Tovik" end it
#      (restart.status, run.after); the stored files go to store/;
#   6. nothing to capture: a sound server without a sink (nosink.box,
#      nosink.status), then no server at all (nosound.box, nosound.status);
#      then its debug.log (nosound.log).
#   tovik_exe_host.sh <work> <program.exe> <window_probe.exe> <setup.exe>
# Run under `unshare --pid --fork --kill-child` in the lab host.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../e2e/wine_boot.sh"
work=$1 program=$2 probe_exe=$3 setup=$4
export LC_ALL=C.UTF-8

probe() { wine "$probe_exe" "$@" </dev/null 2>>"$work/probe.err" | tr -d '\r'; }
# Waits at most $2 s for process $1 to end; its exit status goes to file $3.
ended() {
  for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill "$1" 2>/dev/null
  wait "$1"
  echo $? >"$work/$3"
}
start_program() { wine "$app" </dev/null >>"$work/program.out" 2>&1 & }

wine_boot "$work/prefix"
level="/音乐播放器的一个非常长的文件夹名称第N层-abcdefghijklmnop"
deep="users/张伟$(for n in 1 2 3 4 5 6 7; do echo -n "${level/N/$n}"; done)"
mkdir -p "$WINEPREFIX/drive_c/$deep/AppData"
cp "$program" "$WINEPREFIX/drive_c/$deep/tovik.exe"
app="$WINEPREFIX/drive_c/$deep/tovik.exe"
echo "C:\\${deep//\//\\}\\tovik.exe" >"$work/exe.win"
wine reg add 'HKCU\Volatile Environment' /v APPDATA /d "C:\\${deep//\//\\}\\AppData" /f \
  </dev/null >/dev/null 2>&1

start_program
first=$!
window=$(probe window 120 | sed -n 's/^WINDOW //p')
[ -n "$window" ] || { wine_shutdown; exit 1; }
probe command "$window" 2013
probe command "$window" 2014
probe copy-code "$window" | sed -n 's/^CODE //p' >"$work/code.part"
mv "$work/code.part" "$work/code"
for _ in $(seq 1200); do [ -e "$work/done" ] && break; sleep 0.1; done

start_program
probe box 60 Tovik >"$work/second.box"
ended $! 30 second.status
probe run-value >"$work/run.first"
(wine_boot "$work/prefix-other"
 wine "$program" </dev/null >/dev/null 2>&1 &
 other=$!
 probe box 120 >"$work/other.box"
 ended "$other" 30 other.status
 cp -r "$(wine_appdata)" "$work/other"
 wine_shutdown)

wine "$setup" /S </dev/null >/dev/null 2>&1
ended "$first" 30 first.status
start_program
restart=$!
window=$(probe window 120 | sed -n 's/^WINDOW //p')
probe command "$window" 2014
probe command "$window" 2006
ended "$restart" 30 restart.status
probe run-value >"$work/run.after"
cp -r "$WINEPREFIX/drive_c/$deep/AppData/Tovik" "$work/store"

pactl unload-module module-null-sink  # wine still offers an output, its loopback fails
wine "$app" </dev/null >/dev/null 2>&1 &
probe box 60 >"$work/nosink.box"
ended $! 30 nosink.status
mkdir -m 700 "$work/empty"  # no server address, an empty runtime folder: no output at all
env -u PULSE_SERVER XDG_RUNTIME_DIR="$work/empty" wine "$app" </dev/null >/dev/null 2>&1 &
probe box 60 >"$work/nosound.box"
ended $! 30 nosound.status
cp "$WINEPREFIX/drive_c/$deep/AppData/Tovik/debug.log" "$work/nosound.log"
wine_shutdown
