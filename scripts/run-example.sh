#!/usr/bin/env bash
# Builds zoderudo.exe and runs it under Wine on the example package, on a
# Wine machine of its own (build/example-wineprefix) that looks like
# Windows 2000 with one of the update's drivers installed. Shows the
# program's output and its full exit code; exits 0 when that code is 0.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

cmake --preset windows >/dev/null
cmake --build --preset windows --target zoderudo >/dev/null
exe=$root/build/windows/bin/zoderudo.exe

export WINEPREFIX=$root/build/example-wineprefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (once)..."
  mkdir -p "$WINEPREFIX"
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi

drivers=$WINEPREFIX/drive_c/windows/system32/drivers
if [ ! -e "$drivers/tavixnt5.sys" ]; then
  printf 'placeholder for run-example.sh\r\n' >"$drivers/tavixnt5.sys"
fi
echo "Wine machine: Windows 2000 (for zoderudo.exe), with a placeholder driver"
echo "  file C:\\windows\\system32\\drivers\\tavixnt5.sys, so the update applies."

# A fresh copy of the package, so a run never changes the sources.
run=$root/build/example-run
rm -rf "$run"
mkdir -p "$run"
cp -R "$root/examples/package" "$run/package"

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
printf '%s\r\n' \
  '@echo off' \
  'reg add "HKCU\Software\Wine\AppDefaults\zoderudo.exe" /v Version /d win2k /f >nul' \
  "cd /d \"$(winpath "$run/package")\"" \
  "\"$(winpath "$exe")\"" \
  'echo zoderudo exit code: %ERRORLEVEL%' >"$run/run.bat"

echo "Running zoderudo.exe in $(winpath "$run/package"):"
echo "----"
output=$(wine cmd /d /c "$(winpath "$run/run.bat")" </dev/null | tr -d '\r')
printf '%s\n' "$output"
echo "----"
log=$WINEPREFIX/drive_c/ZRLOG/ZR.log
if [ -f "$log" ]; then
  echo "Last line of its log, C:\\ZRLOG\\ZR.log:"
  tail -n 1 "$log" | tr -d '\r'
fi
code=$(printf '%s\n' "$output" | sed -n 's/^zoderudo exit code: //p' | tail -n 1)
[ "$code" = 0 ]
