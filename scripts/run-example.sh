#!/usr/bin/env bash
# Builds zoderudo.exe and runs it under Wine on the example package, on a
# Wine machine of its own (build/example-wineprefix) that looks like
# Windows 2000 with one of the update's drivers installed: once in place,
# once staged (the package folder given as the argument). Shows the
# program's output, its full exit codes and the log's last lines; exits 0
# when both codes are 0 and no staging folder is left.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

cmake --preset windows >/dev/null
cmake --build --preset windows --target zoderudo >/dev/null
exe=$root/build/windows/bin/zoderudo.exe

# Windows 2000 is 32-bit: so is its prefix, whatever Wine makes by default.
. "$root/scripts/wine-prefix.sh" "$root/build/example-wineprefix" win32

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
# run_example FOLDER [ARGUMENT]: runs the exe started in FOLDER, shows its
# output and its exit code, and leaves the code in $code.
run_example() {
  local from=$1 argument=${2:-}
  printf '%s\r\n' \
    '@echo off' \
    'reg add "HKCU\Software\Wine\AppDefaults\zoderudo.exe" /v Version /d win2k /f >nul' \
    "cd /d \"$(winpath "$from")\"" \
    "\"$(winpath "$exe")\"${argument:+ \"$argument\"}" \
    'echo zoderudo exit code: %ERRORLEVEL%' >"$run/run.bat"
  echo "----"
  output=$(wine cmd /d /c "$(winpath "$run/run.bat")" </dev/null | tr -d '\r')
  printf '%s\n' "$output"
  echo "----"
  code=$(printf '%s\n' "$output" | sed -n 's/^zoderudo exit code: //p' | tail -n 1)
}

echo "1. A run in place: zoderudo.exe started in $(winpath "$run/package")"
run_example "$run/package"
in_place=$code

echo
echo "2. A staged run, as from a CD: started in $(winpath "$run") with the"
echo "   package folder as its argument. The package is copied to C:\\ZRTxxxx.TMP\\,"
echo "   the update runs there, and after a pause of 5 seconds the copy is removed."
run_example "$run" "$(winpath "$run/package")"
staged=$code
left=$(find "$WINEPREFIX/drive_c" -maxdepth 1 -iname 'zrt*' | wc -l)
echo "Staging folders left in C:\\: $left"

log=$WINEPREFIX/drive_c/ZRLOG/ZR.log
if [ -f "$log" ]; then
  echo
  echo "The last two lines of the log, C:\\ZRLOG\\ZR.log:"
  tail -n 2 "$log" | tr -d '\r'
fi
[ "$in_place" = 0 ] && [ "$staged" = 0 ] && [ "$left" = 0 ]
