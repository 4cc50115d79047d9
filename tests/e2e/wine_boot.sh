# A fresh wine prefix with its own wineserver, sourced by the lab's Windows
# hosts (wine makes its sockets inside wineserver, so the server must live in
# the lab host's namespace):
#   wine_boot PREFIX   exports WINEPREFIX, starts the server, boots the prefix
#                      and makes %APPDATA%\Tovik (the program logs there)
#   wine_appdata       that folder, as a Unix path
#   wine_shutdown      stops the server and waits for it
#   wine_host PREFIX READY WAIT-FOR|- PROGRAM.exe [ARGS...]
#                      one Windows host: boots, touches READY, waits for the
#                      file WAIT-FOR, runs the program once and shuts down;
#                      run it under `unshare --pid --fork --kill-child` so
#                      that every wine process is reaped when it ends
wine_boot() {
  export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -f -p </dev/null >/dev/null 2>&1 &
  WINE_SERVER_PID=$!
  wine wineboot -i </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  mkdir -p "$(wine_appdata)"
}

wine_appdata() { echo "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tovik"; }

wine_shutdown() {
  wineserver -k </dev/null >/dev/null 2>&1
  # A client that came before our server was ready may have started another,
  # which the prefix then names: end ours by its PID too, or this waits forever.
  kill "$WINE_SERVER_PID" 2>/dev/null
  wait "$WINE_SERVER_PID"
}

wine_host() {
  wine_boot "$1" && touch "$2"
  for _ in $(seq 600); do [ "$3" = - ] || [ -e "$3" ] && break; sleep 0.1; done
  wine "${@:4}" </dev/null
  local status=$?
  wine_shutdown
  return $status
}
