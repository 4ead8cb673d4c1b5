#!/usr/bin/env bash
# Makes the Wine prefix of the Windows tests (once) and leaves a persistent
# Wine server running, so that each test's wine start costs milliseconds
# instead of bringing the server and its services up again. Everything Wine
# starts has its standard streams on /dev/null: a server holding CTest's
# output pipe would make CTest wait for it.
set -eu
prefix=$1
# The tests stand for 32-bit Windows: the prefix is 32-bit, made again if
# it is not whole or of the other bitness.
. "$(dirname "$0")/../../scripts/wine-prefix.sh" "$prefix" win32
# A server that is already running (the fixture run again, as ctest --repeat
# does) is kept; the last line checks that Wine works either way.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1
