#!/bin/bash
# Silent install and uninstall of Tovik under wine (the test prefix of the
# Windows build): files, Start-menu shortcut, uninstall entry; the uninstaller
# removes them and the autostart value and keeps %APPDATA%\Tovik unless
# /REMOVEUSERDATA is given. The firewall rule command is asked for (elevated)
# with /FIREWALL only; wine has no firewall, so a stand-in netsh records it.
# The receiver is installed on request only (/RECEIVER, or alone with
# /NOTRANSMITTER), with its own shortcut and firewall rule.
# Usage: installer_test.sh <setup .exe> <program packed as tovik.exe> <tovik-receive.exe>
set -u
setup=$1
program=$2
receiver=$3
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovik'
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
check() {  # check <description> <command...>
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
not() { ! "$@"; }
unix_path() { winepath -u "$(wine cmd /c echo "$1" </dev/null 2>/dev/null | tr -d '\r')" 2>/dev/null; }
reg_has() { wine reg query "$1" /v "$2" </dev/null >/dev/null 2>&1; }
reg_has_key() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

# Waits (at most 60 s) until the uninstaller, which reruns itself from the
# temporary folder, has removed the installation folder.
wait_gone() {
  for _ in $(seq 600); do [ -e "$1" ] || return 0; sleep 0.1; done
  return 1
}

local_app=$(unix_path '%LOCALAPPDATA%')
app_data=$(unix_path '%APPDATA%')
[ -n "$local_app" ] && [ -n "$app_data" ] || { echo "FAILED: no wine user folders"; exit 1; }
inst="$local_app/Programs/Tovik"
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/Tovik.lnk"
receiver_shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/Tovik Receiver.lnk"
user_data="$app_data/Tovik"

# A clean start even after an interrupted earlier run.
rm -rf "$inst" "$shortcut" "$user_data"
wine reg delete "$uninstall_key" /f </dev/null >/dev/null 2>&1
wine reg delete "$run_key" /v Tovik /f </dev/null >/dev/null 2>&1

install() {
  wine "$setup" /S "$@" </dev/null >/dev/null 2>&1
  check "installer exits 0" test $? -eq 0
  check "tovik.exe installed as built" cmp -s "$program" "$inst/tovik.exe"
  check "uninstaller installed" test -f "$inst/uninstall.exe"
  check "Start-menu shortcut" test -f "$shortcut"
  check "uninstall entry" reg_has "$uninstall_key" UninstallString
  check "uninstall entry names the version" reg_has "$uninstall_key" DisplayVersion
  # As if the user had ticked "Start with Windows" and used the program.
  wine reg add "$run_key" /v Tovik /t REG_SZ /d "\"$(winepath -w "$inst/tovik.exe")\"" /f \
    </dev/null >/dev/null 2>&1
  mkdir -p "$user_data"
  echo '{"quality":"high","start_with_windows":true,"smart_volume":false}' >"$user_data/settings.json"
}

echo "== install, then uninstall keeping the user's data"
install
check "no receiver unless asked for" not test -e "$inst/tovik-receive.exe"
wine "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1
check "uninstaller starts" test $? -eq 0
check "installation folder removed" wait_gone "$inst"
check "shortcut removed" not test -e "$shortcut"
check "autostart value removed" not reg_has "$run_key" Tovik
check "uninstall entry removed" not reg_has_key "$uninstall_key"
check "settings kept" test -f "$user_data/settings.json"

echo "== install again, then uninstall with /REMOVEUSERDATA"
install
wine "$inst/uninstall.exe" /S /REMOVEUSERDATA </dev/null >/dev/null 2>&1
check "installation folder removed" wait_gone "$inst"
check "user data removed on request" wait_gone "$user_data"
check "autostart value removed" not reg_has "$run_key" Tovik

echo "== the firewall rule, with /FIREWALL only"
system32=$(unix_path '%SystemRoot%')/system32
[ -e "$system32/netsh.exe.real" ] || mv "$system32/netsh.exe" "$system32/netsh.exe.real"
printf '@echo %%*>>"%%TEMP%%\\netsh.log"\r\n' >"$system32/netsh.bat"
netsh_log="$(unix_path '%TEMP%')/netsh.log"
rm -f "$netsh_log"
install
check "no rule without /FIREWALL" not test -e "$netsh_log"
install /FIREWALL /RECEIVER
rule="advfirewall firewall add rule name=\"Tovik\" dir=in action=allow program=\"$(winepath -w "$inst/tovik.exe")\" protocol=UDP localport=19483 profile=private"
check "the rule for tovik.exe on private networks" grep -qxF "$rule" <(tr -d '\r' <"$netsh_log")
rule="advfirewall firewall add rule name=\"Tovik Receiver\" dir=in action=allow program=\"$(winepath -w "$inst/tovik-receive.exe")\" protocol=UDP localport=19482 profile=private"
check "the rule for tovik-receive.exe" grep -qxF "$rule" <(tr -d '\r' <"$netsh_log")
check "the rule is remembered" reg_has "$uninstall_key" FirewallRule
rm -f "$system32/netsh.bat" "$netsh_log"
mv "$system32/netsh.exe.real" "$system32/netsh.exe"
wine "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1
wait_gone "$inst"

echo "== the receiver: with Tovik, then alone"
install /RECEIVER
check "tovik-receive.exe installed as built" cmp -s "$receiver" "$inst/tovik-receive.exe"
check "the receiver's Start-menu shortcut" test -f "$receiver_shortcut"
wine "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1
check "installation folder removed" wait_gone "$inst"
check "the receiver's shortcut removed" not test -e "$receiver_shortcut"
wine "$setup" /S /NOTRANSMITTER </dev/null >/dev/null 2>&1
check "the receiver alone" cmp -s "$receiver" "$inst/tovik-receive.exe"
check "without tovik.exe and its shortcut" not test -e "$inst/tovik.exe" -o -e "$shortcut"
check "with its uninstall entry" reg_has "$uninstall_key" UninstallString
wine "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1
check "installation folder removed" wait_gone "$inst"

[ $failures -eq 0 ] && echo PASSED || echo "$failures check(s) failed"
exit $((failures > 0))
