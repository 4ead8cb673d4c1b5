#!/usr/bin/env bash
# The scripts of deploy/ (which docs/deploying.md shows byte for byte) and
# the page's other example batch files, taken from the page as they stand,
# run under Wine against the real zoderudo.exe, with the page's own shares
# (\\server\share, \\server\zrlogs, \\PC\C$) served by Wine from case
# folders. Each one that runs the program must end with that run's exit
# code: shown for updates that end with 0 and with 3010.
# Usage: wine-deploying.sh EXE ZRREPORT_EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
REPORT_EXE=$(realpath "$2")
e2e_init "$1" "$3"
DOC=$(dirname "$0")/../../docs/deploying.md
DEPLOY=$(realpath "$(dirname "$0")/../../deploy")
# Every labelled example of the page, and only those, is run here.
EXAMPLES=(staged-from-share in-place-mapped)
STATE=$WINEPREFIX/drive_c/windows/ZRDEPLOY
trap 'e2e_cleanup; clear_staging; rm -rf "$STATE"' EXIT
COMPUTER=$(wine cmd /d /c 'echo %COMPUTERNAME%' </dev/null 2>/dev/null | tr -d '\r')

# example NAME [LABEL]: the page's ```bat LABEL:NAME block (LABEL:
# example; file, with NAME deploy/FILE), as a batch file with CR LF line
# ends, in the case folder; prints its host path.
example() {
  local out=$CASE_DIR/$1.bat
  [ "${2:-example}" = example ] || out=$CASE_DIR/shown-${1##*/}
  awk -v name="$1" -v label="${2:-example}" '
    match($0, "^ *```bat " label ":") && substr($0, RLENGTH + 1) == name {
      indent = index($0, "`") - 1; inside = 1; next }
    inside && $0 ~ /^ *```$/ { inside = 0; next }
    inside { print substr($0, indent + 1) "\r" }' "$DOC" >"$out"
  [ -s "$out" ] || { echo "  no example $1 in $DOC" >&2; return 1; }
  printf '%s' "$out"
}

# deployed NAME: the file deploy/NAME.bat, copied to the case folder;
# prints its host path.
deployed() {
  cp "$DEPLOY/$1.bat" "$CASE_DIR/$1.bat" && printf '%s' "$CASE_DIR/$1.bat"
}

# serve SERVER SHARE FOLDER: \\SERVER\SHARE is the host FOLDER for Wine.
serve() {
  local server=$WINEPREFIX/dosdevices/unc/${1,,}
  grep -qxF "$server" "$E2E_TMP/placed" 2>/dev/null ||
    printf '%s\n' "$server" >>"$E2E_TMP/placed"
  mkdir -p "$server" "$3" && ln -sfn "$3" "$server/${2,,}"
}

# The package on \\server\share\package, the exe in it, with an update
# that exits with CODE; the collecting share \\server\zrlogs, empty.
make_shared_package() {
  CASE_PACKAGE=$CASE_DIR/share/package
  make_package "$1"
  cp "$E2E_EXE" "$CASE_PACKAGE/zoderudo.exe"
  serve server share "$CASE_DIR/share"
  serve server zrlogs "$CASE_DIR/zrlogs"
  printf 'package\r\n' >"$CASE_DIR/share/current.txt"
}

# run_batch BAT [FOLDER]: the batch file run by cmd /c as a tool or Group
# Policy runs a script, started in FOLDER (the system folder, as a startup
# script is); the exit code it ends with is the last line of stdout.
run_batch() {
  {
    printf '%s\r\n' '@echo off' \
      "reg add \"HKCU\\Software\\Wine\\AppDefaults\\zoderudo.exe\" /v Version /d $CASE_VERSION /f >nul" \
      "cd /d \"${2:-C:\\windows\\system32}\"" \
    "${PC:+set COMPUTERNAME=$PC}" \
      "cmd /d /c \"$1\"" 'echo %ERRORLEVEL%'
  } >"$CASE_DIR/run.bat"
  wine cmd /d /c "$(winpath "$CASE_DIR/run.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
}

expect_exit_code() {
  local last
  last=$(tail -n 1 "$CASE_DIR/stdout" | tr -d '\r')
  [ "$last" = "$1" ] && return 0
  echo "  the script ended with ${last:-nothing}, expected $1:"
  sed 's/^/  | /' "$CASE_DIR/stdout" "$CASE_DIR/stderr"
  return 1
}

# records N: the log holds N records.
expect_records() {
  local n
  n=$(grep -c ReturnCode= "$E2E_LOG_DIR/ZR.log" 2>/dev/null)
  [ "${n:-0}" -eq "$1" ] && return 0
  echo "  ${n:-0} records in the log, expected $1"
  return 1
}

every_example_is_run() {
  local found
  found=$(sed -n 's/^ *```bat example:\(.*\)$/\1/p' "$DOC" | sort)
  [ "$found" = "$(printf '%s\n' "${EXAMPLES[@]}" | sort)" ] && return 0
  echo "  the page's examples: $(echo $found)"
  echo "  this suite's:        ${EXAMPLES[*]}"
  return 1
}
e2e_case "every example batch of the page is one this suite runs" \
  every_example_is_run
e2e_case "every bat block of the page is a labelled example" \
  bash -c '! grep -n "^ *\`\`\`bat *$" "$0"' "$DOC"

# The page shows each file of deploy/, and only those, byte for byte.
page_shows_deploy() {
  local file shown
  shown=$(sed -n 's/^ *```bat file:deploy\/\(.*\)\.bat$/\1/p' "$DOC" | sort)
  [ "$shown" = "$(cd "$DEPLOY" && ls -- *.bat | sed 's/\.bat$//' | sort)" ] ||
    { echo "  the page shows: $(echo $shown)"; return 1; }
  for file in $shown; do
    cmp "$(example "deploy/$file.bat" file)" "$DEPLOY/$file.bat" || return 1
  done
}
e2e_case "the page shows every file of deploy/ byte for byte" page_shows_deploy

# The one-line staged run from the share ends with the update's code.
from_package_folder() {
  add_driver tavixnt5.sys
  make_shared_package "$2"
  cp "$(example "$1")" "$CASE_PACKAGE/run.bat" || return 1
  run_batch '\\server\share\package\run.bat'
  expect_exit_code "$2" || return 1
  expect_records 1 && grep -q "ReturnCode=$2 " "$E2E_LOG_DIR/ZR.log" &&
    [ -z "$(staging_leftovers)" ]
}
in_place_mapped() {
  add_driver tavixnt5.sys
  make_shared_package "$1"
  local bat
  bat=$(example in-place-mapped) || return 1
  run_batch "$(winpath "$bat")"
  expect_exit_code "$1" && expect_records 1 || return 1
  # In the share's folder: through the letter pushd mapped (Windows), or
  # by its network name (Wine's pushd maps none).
  local ran
  ran=$(tr -d '\r' <"$CASE_RECORD" 2>/dev/null)
  [[ $ran =~ ^([A-Z]:|\\\\server\\share)\\package$ ]] ||
    { echo "  the update ran in: ${ran:-nothing}"; return 1; }
}
for code in 0 3010; do
  e2e_case "staged-from-share, update $code: the script ends with $code" \
    from_package_folder staged-from-share $code
  e2e_case "in-place-mapped, update $code: ends with $code" in_place_mapped $code
done

# startup: runs the startup script, after removing the mark of an earlier
# update run.
startup() {
  rm -f "$CASE_RECORD"
  run_batch "$(winpath "$CASE_DIR/startup-script.bat")"
}
startup_setup() {
  rm -rf "$STATE"
  add_driver tavixnt5.sys
  make_shared_package "$1"
  deployed startup-script >/dev/null
}
# A file too deep in the package to be copied: the staged run stops before
# the update.
too_deep() {
  local deep=$CASE_PACKAGE/$(printf 'a%.0s' {1..120})/$(printf 'b%.0s' {1..120})
  mkdir -p "$deep" && printf 'x\r\n' >"$deep/f.txt"
}
share_lines() { tr -d '\r' <"$CASE_DIR/zrlogs/$COMPUTER.txt"; }

# A success runs once: the second start runs nothing and ends with 0;
# after 3010 the start that follows the restart runs it once more, and
# that run (3010 again) marks it done. The share has the computer's lines,
# its console and its log.
startup_once() {
  startup_setup "$1" || return 1
  startup
  expect_exit_code "$1" || return 1
  [ -f "$CASE_RECORD" ] || { echo "  the update did not run"; return 1; }
  grep -q 'update ran' "$CASE_DIR/zrlogs/$COMPUTER.console.txt" &&
    cmp "$E2E_LOG_DIR/ZR.log" "$CASE_DIR/zrlogs/$COMPUTER.log" || return 1
  # Each line: the PC's date and time, in its own format, then the text.
  share_lines | grep -q " tavix-driver started$" &&
    share_lines | sed -n 2p | grep -q " tavix-driver exit code $1$" &&
    [ "$(share_lines | wc -l)" -eq 2 ] ||
    { echo "  share lines:"; share_lines | sed 's/^/    /'; return 1; }
  local runs=1
  if [ "$1" = 3010 ]; then
    runs=2
    startup
    expect_exit_code 3010 && expect_records 2 || return 1
  fi
  startup
  expect_exit_code 0 && expect_not_run && expect_records $runs
}
# Not applicable (99): nine starts run nothing, the tenth runs it again.
startup_not_applicable() {
  startup_setup 0 || return 1
  set_version winxp
  startup
  expect_exit_code 99 || return 1
  local start
  for start in 1 2 3 4 5 6 7 8 9; do
    startup
    expect_exit_code 0 && expect_records 1 || return 1
  done
  startup
  expect_exit_code 99 && expect_records 2
}
# Two runs of the script at once: the second finds the lock while the
# first one's update runs, and runs nothing. (Wine's cmd takes 9>> for
# standard output, but opens the file as Windows does, without write
# sharing: what the first run's :main echoes goes into NAME.held.)
startup_twice_at_once() {
  startup_setup 0 || return 1
  printf '@echo off\r\necho started> "%s"\r\n:wait\r\nif not exist "%s" goto wait\r\nexit /b 3010\r\n' \
    "$(winpath "$CASE_DIR/started")" "$(winpath "$CASE_DIR/go")" \
    >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  (CASE_DIR=$CASE_DIR/first && mkdir -p "$CASE_DIR" &&
    cp "$CASE_DIR/../startup-script.bat" "$CASE_DIR/" && startup) &
  local first=$! tries=0 status=0
  while [ ! -e "$CASE_DIR/started" ] && [ $((tries += 1)) -le 600 ]; do
    sleep 0.1
  done
  startup
  expect_exit_code 1 && grep -q 'held is in use' "$CASE_DIR/stdout" ||
    status=1
  : >"$CASE_DIR/go"
  wait "$first"
  CASE_DIR=$CASE_DIR/first expect_exit_code 3010 && expect_records 1 &&
    [ $status -eq 0 ]
}
for code in 0 3010; do
  e2e_case "startup-script, update $code: ends with $code, then (3010: once more) nothing" \
    startup_once $code
done
e2e_case "startup-script: not applicable (99) runs again at the 10th start" \
  startup_not_applicable
e2e_case "startup-script twice at once: the second runs nothing" \
  startup_twice_at_once

# report_rows PACKAGE ROW...: zrreport on the pushed logs of PC001 to PC003
# gives these rows (computer, exit code, outcome) and exit code.
report_rows() {
  local pkg=$1
  shift
  printf 'PC001\r\nPC002 D\r\nPC003\r\n' >"$CASE_DIR/computers.txt"
  printf '%s\r\n' '@echo off' "\"$(winpath "$REPORT_EXE")\" --computers \"$(
    winpath "$CASE_DIR/computers.txt")\" --package $pkg \\\\server\\zrlogs" \
    'echo %ERRORLEVEL%' >"$CASE_DIR/report.bat"
  wine cmd /d /c "$(winpath "$CASE_DIR/report.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
  tr -d '\r' <"$CASE_DIR/stdout" |
    awk -F, 'NR > 1 && NF > 1 { print $1, $6, $7 } NF == 1 { print "exit", $1 }' \
    >"$CASE_DIR/rows"
  printf '%s\n' "$@" | diff - "$CASE_DIR/rows" | sed 's/^/  /'
  [ "${PIPESTATUS[1]}" -eq 0 ]
}

# A fleet: three PCs over a rollout of 2.0 and then 2.1, each PC's markers
# and log swapped into the one prefix for its start, with faults before or
# during a start. Each row: the PC (PC003 is XP), its update's exit code,
# the fault, the script's exit code (- when killed), the versions that ran.
FLEET='PC001 5    -         5    2.0
PC001 0    -         0    2.0
PC002 3010 -         3010 2.0
PC003 0    -         99   -
PC001 0    noshare   1    -
PC002 0    noversion 1    -
PC002 0    move      0    2.0
PC001 0    kill      -    2.1
PC001 0    oldlock   0    2.1
PC002 0    inplace   0    2.1
PC002 0    gone      0    2.1
PC003 0    -         99   -
PC001 0    -         0    -
PC002 0    -         0    -'
fleet_package() {
  local d=$CASE_DIR/share/package-$1
  mkdir -p "$d" && cp "$E2E_EXE" "$d/" && printf '1.0\r\n%s\r\n' $1 >"$d/version.id"
  printf '@echo off\r\necho %s>>"%s"\r\necho.>"%s"\r\n:hold\r\nif exist "%s" goto hold\r\nset /p RC=<"%s"\r\nexit /b %%RC%%\r\n' \
    $1 "$(winpath "$CASE_DIR/ran")" "$(winpath "$CASE_DIR/started")" \
    "$(winpath "$CASE_DIR/hold")" "$(winpath "$CASE_DIR/code")" >"$d/ZELMOR_UPDATE.cmd"
}
fleet() {
  startup_setup 0 && fleet_package 2.0 && fleet_package 2.1 || return 1
  local pc code fault want ran id=$CASE_DIR/share/package-2.1/version.id
  printf 'package-2.0\r\n' >"$CASE_DIR/share/current.txt"
  while read -r pc code fault want ran; do
    mkdir -p "$CASE_DIR/$pc/state" "$CASE_DIR/$pc/log" && rm -rf "$STATE" "$E2E_LOG_DIR" &&
      mv "$CASE_DIR/$pc/state" "$STATE" && mv "$CASE_DIR/$pc/log" "$E2E_LOG_DIR" || return 1
    set_version win2k; [ $pc = PC003 ] && set_version winxp
    printf '%s\r\n' $code >"$CASE_DIR/code" && rm -f "$CASE_DIR/ran" "$CASE_DIR/started"
    case $fault in
      noshare) rm "$WINEPREFIX"/dosdevices/unc/server/{share,zrlogs} ;;
      noversion) printf ';2.0\r\n\r\n' >"$CASE_DIR/share/package-2.0/version.id" ;;
      oldlock) mkdir "$STATE/tavix-driver.lock" ;;
      kill | move | inplace | gone) : >"$CASE_DIR/hold" ;;
    esac
    PC=$pc startup &
    while [ -e "$CASE_DIR/hold" ] && [ ! -e "$CASE_DIR/started" ] && kill -0 $! 2>/dev/null; do
      sleep 0.2
    done
    case $fault in
      kill) wineserver -k; wait; wineserver -p </dev/null >/dev/null 2>&1; clear_staging ;;
      move) printf 'package-2.1\r\n' >"$CASE_DIR/share/current.txt" ;;
      inplace) printf '1.0\r\n2.2\r\n' >"$id" ;;
      gone) rm "$id" ;;
    esac
    rm -f "$CASE_DIR/hold"; wait
    printf '1.0\r\n2.1\r\n' >"$id"; printf '1.0\r\n2.0\r\n' >"$CASE_DIR/share/package-2.0/version.id"
    serve server share "$CASE_DIR/share" && serve server zrlogs "$CASE_DIR/zrlogs"
    mv "$STATE" "$CASE_DIR/$pc/state" && mv "$E2E_LOG_DIR" "$CASE_DIR/$pc/log"
    [ "$(tr -d '\r' 2>/dev/null <"$CASE_DIR/ran" | paste -sd,)" = "${ran/-/}" ] ||
      { echo "  $pc, $fault: ran $(paste -sd, 2>/dev/null "$CASE_DIR/ran"), expected $ran"; return 1; }
    [ $want = - ] || expect_exit_code $want || { echo "  at $pc, $fault"; return 1; }
  done <<<"$FLEET"
  grep -q ' tavix-driver not run: version.id cannot be read'$'\r' "$CASE_DIR/zrlogs/PC002.txt" &&
    report_rows 2.1 'PC001 0 success' 'PC002 0 success' 'PC003 99 not-applicable' 'exit 0'
}
e2e_case "a fleet of three PCs converges on 2.1 through faults, each version run once after done" fleet

# Staging folders left behind (a read-only file in one) are removed; the
# log, a folder whose short name only is like one and everything else in
# the root stay. A folder link named like one, or inside one, is never gone
# into: Wine's rd cannot remove its links (Windows' removes a junction), so
# it stays here and is named.
remove_staging() {
  local root=$WINEPREFIX/drive_c
  mkdir -p "$root/ZRT1A2.TMP/sub" "$root/zrtc947.tmp" "$root/ZRT1A2B.TMP_keep" \
    "$E2E_LOG_DIR" "$CASE_DIR/target"
  printf 'r\r\n' | tee "$CASE_DIR/target/t.txt" >"$root/ZRT1A2.TMP/sub/readonly.txt"
  chmod a-w "$root/ZRT1A2.TMP/sub/readonly.txt"
  ln -s "$CASE_DIR/target" "$root/ZRTBEEF.TMP"
  mkdir "$root/ZRT5.TMP" && ln -s "$CASE_DIR/target" "$root/ZRT5.TMP/in"
  # A name that a second expansion of % would make "..": never entered.
  mkdir -p "$root/ZRT6.TMP/.%X%.%X%/x" "$root/keep" && printf 'k' >"$root/keep/k.txt"
  printf 'kept\r\n' >"$E2E_LOG_DIR/ZR.log"
  run_batch "$(winpath "$(deployed remove-staging)")"
  expect_exit_code 1 && grep -q 'ZRTBEEF.TMP is left: a link' "$CASE_DIR/stdout" &&
    [ "$(staging_leftovers | paste -sd' ')" = \
      'ZRT1A2B.TMP_keep ZRT5.TMP ZRT6.TMP ZRTBEEF.TMP' ] &&
    [ -f "$CASE_DIR/target/t.txt" ] && [ -f "$root/keep/k.txt" ] &&
    [ "$(cat "$E2E_LOG_DIR/ZR.log")" = $'kept\r' ] && [ -d "$root/windows" ]
}
e2e_case "remove-staging removes left-over staging folders, never goes into a link" \
  remove_staging
clear_staging
rm -rf "$WINEPREFIX/drive_c/keep"

# Logs pulled from \\PC001\C$ and \\PC002\D$; PC003 has none.
pull_logs() {
  serve server zrlogs "$CASE_DIR/zrlogs"
  serve pc001 'c$' "$CASE_DIR/pc001-c"
  serve pc002 'd$' "$CASE_DIR/pc002-d"
  mkdir -p "$CASE_DIR/pc001-c/ZRLOG" "$CASE_DIR/pc002-d/ZRLOG"
  printf 'one\r\n' >"$CASE_DIR/pc001-c/ZRLOG/ZR.log"
  printf 'two\r\n' >"$CASE_DIR/pc002-d/ZRLOG/ZR.log"
  printf 'PC003\r\nPC001\r\nPC002 D\r\n' >"$CASE_DIR/computers.txt"
  run_batch "$(winpath "$(deployed pull-logs)")" "$(winpath "$CASE_DIR")"
  expect_exit_code 1 &&
    [ "$(cat "$CASE_DIR/zrlogs/PC001.log")" = $'one\r' ] &&
    [ "$(cat "$CASE_DIR/zrlogs/PC002.log")" = $'two\r' ] &&
    grep -qxF $'PC003: \\\\PC003\\C$\\ZRLOG\\ZR.log not copied to \\\\server\\zrlogs\\PC003.log\r' \
      "$CASE_DIR/stdout" || return 1
  # The collecting share unreachable: each copy fails, named by both ends.
  rm "$WINEPREFIX/dosdevices/unc/server/zrlogs"
  run_batch "$(winpath "$CASE_DIR/pull-logs.bat")" "$(winpath "$CASE_DIR")"
  expect_exit_code 1 &&
    grep -qxF $'PC002: \\\\PC002\\D$\\ZRLOG\\ZR.log not copied to \\\\server\\zrlogs\\PC002.log\r' \
      "$CASE_DIR/stdout"
}
e2e_case "pull-logs copies each PC's log from its system drive, names both ends of a failed copy" \
  pull_logs

# Three PCs: one succeeds, one fails before the update (a path too deep to
# copy: its record of 1 has the package's versions), one never runs;
# zrreport on the pushed logs gives a row for each and exit code 1.
three_pcs() {
  startup_setup 0 || return 1
  PC=PC001 startup
  expect_exit_code 0 || return 1
  e2e_clear_log
  rm -rf "$STATE"
  too_deep || return 1
  PC=PC002 startup
  expect_exit_code 1 || return 1
  report_rows 2.0 'PC001 0 success' 'PC002 1 failed' 'PC003  no-log' 'exit 1' &&
    grep -q '^zrreport: 3 computers: 1 success, .* 1 failed, 0 no-record, 1 no-log, 0 unreadable' \
      "$CASE_DIR/stderr"
}
e2e_case "three PCs (a success, a failure before the update, none): zrreport's rows, exit 1" \
  three_pcs

e2e_finish
