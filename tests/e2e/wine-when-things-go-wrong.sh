#!/usr/bin/env bash
# zoderudo.exe under Wine when something around it is wrong: the log held
# open by another program, the update command missing from the package, the
# program killed while its update runs.
# (Other failures are covered beside the feature they concern; the table
# "Where each failure is tested" in docs/developing.md names the test of
# each.)
# Usage: wine-when-things-go-wrong.sh EXE HOLD_FILE_EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
HOLD_FILE=$(realpath "$2")
e2e_init "$1" "$3"
trap 'e2e_cleanup; clear_staging' EXIT

# The log is open in another program that shares it with no one: the run
# waits 5 s for it, goes as far as the record, then stops with exit code 1.
# Held sharing reading only for 2 s (a backup, a log collector): the run
# waits, then records. The log's folder held open to add files, sharing
# everything (HELD), as a user's program may on XP: the run records.
locked_log() {
  add_driver tavixnt5.sys
  make_package 0
  mkdir -p "$E2E_LOG_DIR"
  printf 'earlier\r\n' >"$E2E_LOG_DIR/ZR.log"
  printf '%s\r\n' \
    '@echo off' \
    "reg add \"HKCU\\Software\\Wine\\AppDefaults\\zoderudo.exe\" /v Version /d $CASE_VERSION /f >nul" \
    "cd /d \"$(winpath "$CASE_PACKAGE")\"" \
    "\"$(winpath "$HOLD_FILE")\" ${HELD:-C:\\ZRLOG\\ZR.log} \"\\\"$(winpath "$E2E_EXE")\\\"\" $*" \
    'echo %ERRORLEVEL%' >"$CASE_DIR/run.bat"
  wine cmd /d /c "$(winpath "$CASE_DIR/run.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
  if [ $# -gt 0 ]; then
    expect_update_result 0 &&
      grep -aq ',Status=Success,ReturnCode=0 '$'\r''$' "$E2E_LOG_DIR/ZR.log"
    return
  fi
  expect_ran_in_package &&
    expect_stdout "update ran\r\nLog File Creation Failed!\r\n1\r\n" &&
    expect_no_stderr &&
    [ "$(cat "$E2E_LOG_DIR/ZR.log")" = $'earlier\r' ]
}

# No ZELMOR_UPDATE in the package: cmd says so (on its error stream) and
# ends with its code for an unknown command, 9009, which is the result.
missing_update_command() {
  add_driver tavixnt5.sys
  make_package 0
  rm "$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  run_program
  expect_stdout "9009\r\n" &&
    grep -q ZELMOR_UPDATE "$CASE_DIR/stderr" &&
    grep -aq ',Status=Unknown,ReturnCode=9009 '$'\r''$' "$E2E_LOG_DIR/ZR.log"
}

# wait_for_file FILE: until it exists, for at most 60 seconds.
wait_for_file() {
  local tries=0
  while [ ! -e "$1" ] && [ $((tries += 1)) -le 600 ]; do sleep 0.1; done
  [ -e "$1" ] || { echo "  $1 never came"; return 1; }
}

# A deployment tool's time-out kills the program while its update runs
# (TerminateProcess, as taskkill /f does): no record is written, the
# staging folder stays, and the update, a process of its own, runs on.
killed_during_update() {
  add_driver tavixnt5.sys
  make_package 0
  printf '@echo off\r\necho started> "%s"\r\n:wait\r\nif not exist "%s" goto wait\r\necho finished> "%s"\r\n' \
    "$(winpath "$CASE_DIR/started")" "$(winpath "$CASE_DIR/go")" \
    "$(winpath "$CASE_DIR/finished")" >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  run_program_from "$CASE_DIR" "\"$(winpath "$CASE_PACKAGE")\"" &
  local run=$! status=0 tries=0
  wait_for_file "$CASE_DIR/started" &&
    wine taskkill /f /im zoderudo.exe >"$CASE_DIR/taskkill" 2>&1 || status=1
  while kill -0 "$run" 2>/dev/null && [ $((tries += 1)) -le 300 ]; do
    sleep 0.1
  done
  kill -0 "$run" 2>/dev/null && { echo "  the program outlived taskkill"; status=1; }
  : >"$CASE_DIR/go"
  wait "$run"
  wait_for_file "$CASE_DIR/finished" || status=1
  if [ -e "$E2E_LOG_DIR/ZR.log" ]; then
    echo "  a record was written:"; sed 's/^/    /' "$E2E_LOG_DIR/ZR.log"; status=1
  fi
  [ "$(staging_leftovers | wc -l)" -eq 1 ] ||
    { echo "  left in the root of C: $(staging_leftovers)"; status=1; }
  clear_staging
  return $status
}

e2e_case "log held open by another program: message, exit code 1" locked_log
folder_held_to_add_files() { HELD='C:\ZRLOG' locked_log 7 600000; }
e2e_case "log folder held open to add files, sharing everything: recorded" \
  folder_held_to_add_files
e2e_case "log held sharing reading only for 2 s: waited for, the record follows" \
  locked_log 1 2000
e2e_case "update command missing: cmd's 9009 is the result" missing_update_command

e2e_case "killed during the update: no record, the staging folder stays, the update runs on" \
  killed_during_update

e2e_finish
