#!/usr/bin/env bash
# Makes the Wine prefix of the Windows tests (once) and leaves a persistent
# Wine server running, so that each test's wine start costs milliseconds
# instead of bringing the server and its services up again. Everything Wine
# starts has its standard streams on /dev/null: a server holding CTest's
# output pipe would make CTest wait for it.
set -eu
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
# A server that is already running (the fixture run again, as ctest --repeat
# does) is kept; the last line checks that Wine works either way.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1
