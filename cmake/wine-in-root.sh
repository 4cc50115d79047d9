#!/bin/bash
# Runs wine 10 from the Debian 13 root that scripts/wine-root prepares. It is
# the cross-compiling emulator of the Windows build, and under the names wine,
# wineserver and winepath (links that the Windows tests find first on PATH)
# it stands for those tools:
#   wine-in-root.sh program.exe [args...]   the program under wine
#   wine-in-root.sh command [args...]       a command of the root
# Inside, in a private mount namespace, the root sees this machine's /proc,
# /sys, /dev and /tmp (X, PulseAudio and wineserver sockets), and the source
# tree and the working directory at their own paths; the environment passes
# through, except PATH. The caller's network namespace stays: a lab host runs
# `ip netns exec NS` around it.
#   TOVIK_WINE_ROOT   the root (default /var/cache/tovik/trixie-wine)
set -u
root=${TOVIK_WINE_ROOT:-/var/cache/tovik/trixie-wine}
name=$(basename "$0")
case $name in
  wine | wineserver | winepath) set -- "$name" "$@" ;;
  *) case ${1:-} in *.exe | *.EXE) set -- wine "$@" ;; esac ;;
esac
if [ ! -x "$root/usr/bin/env" ]; then
  echo "$name: no wine root at $root (scripts/wine-root makes it)" >&2
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

source_tree=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
binds=("$source_tree")
case $PWD/ in "$source_tree"/*) ;; *) binds+=("$PWD") ;; esac

# shellcheck disable=SC2016
enter='
root=$1
shift
mount --rbind /proc "$root/proc" && mount --rbind /sys "$root/sys" &&
  mount --rbind /dev "$root/dev" && mount --bind /tmp "$root/tmp" || exit 125
while [ "$1" != -- ]; do
  mkdir -p "$root$1" && mount --bind "$1" "$root$1" || exit 125
  shift
done
shift
exec chroot "$root" /usr/bin/env PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
  /bin/sh -c "cd \"\$0\" 2>/dev/null; exec \"\$@\"" "$PWD" "$@"
'
exec unshare --mount --propagation private bash -c "$enter" "$name" "$root" "${binds[@]}" -- "$@"
