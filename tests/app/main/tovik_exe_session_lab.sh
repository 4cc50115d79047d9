#!/usr/bin/env bash
# Tovik for Windows on every user's PC, in the lab, on a Western code page
# (C.UTF-8: wine's ANSI code page is then 1252). The tone rig lives in, and
# its APPDATA is, a folder named in Chinese and longer than 260 characters.
#   host 1: a first start shows its icon, gets Low and "Start with Windows"
#           from the menu and a receiver from host 2; a second start in the
#           session says "Tovik is already running." and exits 0; a start in
#           another session (its own wineserver and APPDATA) fails on the
#           audio port; the installer quits the first; a restart reads Low
#           and the Run value back (unticking autostart rewrites "low").
#   host 2: our receiver role (under wine) pairs and hears the tone.
#   tovik_exe_session_lab.sh <tone_rig.exe> <window_probe.exe> <listen_probe.exe> <setup.exe>
set -u
here=$(cd "$(dirname "$0")" && pwd)
e2e=$here/../../e2e

# Host 1, run as: tovik_exe_session_lab.sh --host <work> <rig> <probe> <setup>
host() {
  local work=$1 rig=$2 probe_exe=$3 setup=$4 deep level app second window other
  export LC_ALL=C.UTF-8
  . "$e2e/wine_boot.sh"
  probe() { wine "$probe_exe" "$@" </dev/null 2>>"$work/probe.err" | tr -d '\r'; }
  # Waits at most $2 s for program $1 to end; its exit status goes to file $3.
  ended() {
    for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill "$1" 2>/dev/null
    wait "$1"
    echo $? >"$work/$3"
  }
  wine_boot "$work/prefix"
  level="/音乐播放器的一个非常长的文件夹名称第N层-abcdefghijklmnop"
  deep="users/张伟$(for n in 1 2 3 4 5 6 7; do echo -n "${level/N/$n}"; done)"
  mkdir -p "$WINEPREFIX/drive_c/$deep/AppData"
  cp "$rig" "$WINEPREFIX/drive_c/$deep/tovik.exe"
  app="$WINEPREFIX/drive_c/$deep/tovik.exe"
  echo "C:\\${deep//\//\\}\\tovik.exe" >"$work/exe.win"
  wine reg add 'HKCU\Volatile Environment' /v APPDATA /d "C:\\${deep//\//\\}\\AppData" /f \
    </dev/null >/dev/null 2>&1
  wine "$app" </dev/null >/dev/null 2>&1 &
  first=$!
  window=$(probe window 120 | sed -n 's/^WINDOW //p')
  [ -n "$window" ] || return 1
  probe command "$window" 2013
  probe command "$window" 2014
  probe copy-code "$window" | sed -n 's/^CODE //p' >"$work/code.part"
  mv "$work/code.part" "$work/code"
  for _ in $(seq 1200); do [ -e "$work/heard" ] && break; sleep 0.1; done
  wine "$app" </dev/null >/dev/null 2>&1 &
  second=$!
  probe box 60 Tovik >"$work/second.box"
  ended "$second" 30 second.status
  probe icon "$window" >"$work/icon"
  probe run-value >"$work/run.first"
  (wine_boot "$work/other"
   wine "$rig" </dev/null >/dev/null 2>&1 &
   other=$!
   probe box 120 >"$work/other.box"
   ended "$other" 30 other.status
   cp "$(wine_appdata)/connection.log" "$work/other.log"
   wine_shutdown)
  wine "$setup" /S </dev/null >/dev/null 2>&1
  ended "$first" 30 first.status
  wine "$app" </dev/null >/dev/null 2>&1 &
  first=$!
  window=$(probe window 120 | sed -n 's/^WINDOW //p')
  probe command "$window" 2014
  probe command "$window" 2006
  ended "$first" 30 restart.status
  probe run-value >"$work/run.after"
  cp -r "$WINEPREFIX/drive_c/$deep/AppData/Tovik" "$work/store"
  wine_shutdown
}
if [ "${1:-}" = --host ]; then
  shift
  host "$@"
  exit
fi

rig=$1 probe_exe=$2 listener=$3 setup=$4
. "$e2e/netlab.sh"
. "$e2e/lab_checks.sh"
. "$here/../../support/xvfb.sh"
netlab_require
for tool in wine wineserver Xvfb unshare; do
  command -v "$tool" >/dev/null || netlab_skip "$tool is not installed"
done
[ -f "$setup" ] || netlab_skip "no installer was built (makensis)"

work=$(mktemp -d)
netlab_on_cleanup() {
  [ -n "${XVFB_PID:-}" ] && { kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; }
  rm -rf "$work"
}
netlab_setup 2
xvfb_start "$work" || { fail "Xvfb did not start"; finish; }

netlab_spawn 1 "$work/host1.out" unshare --pid --fork --kill-child \
  bash "$0" --host "$work" "$rig" "$probe_exe" "$setup"
for _ in $(seq 3000); do
  [ -e "$work/code" ] || ! kill -0 "${NETLAB_PIDS[-1]}" 2>/dev/null && break
  sleep 0.1
done
code=$(cat "$work/code" 2>/dev/null)
[[ "$code" =~ ^[0-9]{6}$ ]] || fail "no pairing code: '$code'"
netlab_exec 2 unshare --pid --fork --kill-child bash "$e2e/wine_host.sh" "$work/prefix2" \
  "$work/ready2" - "$listener" 8 "$code" >"$work/listen.out" 2>&1
touch "$work/heard"
netlab_wait_all || true

result() { tr -d '\r' <"$work/$1" 2>/dev/null; }
expect() { [ "$(result "$1")" = "$2" ] || fail "$1: '$(result "$1")', want '$2'"; }
expect second.box "BOX Tovik is already running."
expect second.status 0
expect icon "ICON present"
expect run.first "RUN \"$(result exe.win)\""
expect other.box "BOX Internal error. Please report this bug."
expect other.status 1
grep -qxF "Failed to bind audio socket to port 19483" <(result other.log) ||
  fail "the other session's connection.log lacks the bind failure"
expect first.status 0
expect restart.status 0
expect run.after ""
expect store/settings.json '{"quality":"low","start_with_windows":false,"smart_volume":false}'
[ "$(grep -cxF "Stream started OK - entering message loop" <(result store/debug.log))" = 2 ] ||
  fail "debug.log does not hold the two starts"
ids=$(grep -o 'tovik-[0-9a-f]\{16\}' <(result store/discovery.log) | sort | uniq -c)
[ "$ids" = "      2 $(result store/device_id)" ] || fail "device ids announced: $ids"
grep -q '"name":"Lab Listener"' "$work/store/paired_devices.json" ||
  fail "paired_devices.json lacks the receiver"
awk -v f="$(sed -n 's/^FREQ //p' "$work/listen.out")" 'BEGIN { exit !(f >= 435 && f <= 445) }' ||
  fail "the receiver did not hear the tone: $(tr '\n' ' ' <"$work/listen.out")"
[ "$LAB_STATUS" = 0 ] || tail -n 20 "$work/host1.out" "$work/probe.err" "$work"/store/*.log
finish
