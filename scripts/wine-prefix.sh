#!/usr/bin/env bash
# Makes a Wine prefix of the given bitness, or checks that the one already
# there is whole and of that bitness. A prefix's bitness is fixed when it is
# made, and where wine64 is installed a plain `wine` makes 64-bit ones, so
# the bitness is always stated. A prefix of the other bitness, or one that
# a failed or interrupted wineboot left half made, is made again.
#
#   scripts/wine-prefix.sh PREFIX win32|win64
#
# Source it instead (with the same two arguments) to keep the environment
# it sets: WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES, no DISPLAY.
# Everything Wine starts here has its standard streams on /dev/null: a
# server holding a caller's output pipe would make the caller wait for it.

wine_prefix_fail() {
  echo "wine-prefix: cannot make the Wine prefix $WINEPREFIX ($WINEARCH): $*" >&2
  return 1
}

# Whole: the registry names the bitness asked for, the marker written after
# a successful wineboot is there, and so is the system's own kernel32.
wine_prefix_whole() {
  [ -f "$WINEPREFIX/.zoderudo-prefix-made" ] &&
    [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] &&
    grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg" 2>/dev/null
}

wine_prefix_make() {
  case ${2:-} in
    win32 | win64) ;;
    *) echo "usage: scripts/wine-prefix.sh PREFIX win32|win64" >&2; return 2 ;;
  esac
  mkdir -p "$1" || return 1
  export WINEPREFIX
  WINEPREFIX=$(cd "$1" && pwd)
  export WINEARCH=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY
  if [ "$WINEARCH" = win64 ] && [ ! -x /usr/lib/wine/wine64 ] &&
     ! command -v wine64 >/dev/null 2>&1; then
    wine_prefix_fail "64-bit Wine (package wine64) is not installed"
    return 1
  fi
  if ! wine_prefix_whole; then
    if [ -n "$(ls -A "$WINEPREFIX")" ]; then
      echo "wine-prefix: $WINEPREFIX is not a whole $WINEARCH prefix; making it again" >&2
      wineserver -k </dev/null >/dev/null 2>&1 || true
      wineserver -w </dev/null >/dev/null 2>&1 || true
      rm -rf "${WINEPREFIX:?}"/* "$WINEPREFIX"/.[!.]* 2>/dev/null
    fi
    echo "wine-prefix: making the $WINEARCH Wine prefix $WINEPREFIX (once)" >&2
    wineboot --init </dev/null >/dev/null 2>&1 ||
      { wine_prefix_fail "wineboot failed"; return 1; }
    wineserver -w </dev/null >/dev/null 2>&1 || true
    grep -qx "#arch=$WINEARCH" "$WINEPREFIX/system.reg" 2>/dev/null ||
      { wine_prefix_fail "wineboot made no $WINEARCH registry"; return 1; }
    [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] ||
      { wine_prefix_fail "wineboot left no kernel32.dll"; return 1; }
    touch "$WINEPREFIX/.zoderudo-prefix-made"
  fi
  wine cmd /d /c exit </dev/null >/dev/null 2>&1 ||
    { wine_prefix_fail "wine does not start a program in it"; return 1; }
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  wine_prefix_make "$@"
  exit
fi
wine_prefix_make "$@"
