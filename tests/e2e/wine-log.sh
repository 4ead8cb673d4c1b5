#!/usr/bin/env bash
# zoderudo.exe under Wine and its result log, C:\ZRLOG\ZR.log: the record's
# bytes and time, the folder and file made or appended to, the end-of-file
# mark, the version file's lines, and the failures.
# Usage: wine-log.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

LOG=$E2E_LOG_DIR/ZR.log
STAMP_RE='^[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2},'

# expect_log EXPECTED: the log, byte for byte, where each @T in EXPECTED
# (with \r\n escapes) stands for the date and time of a record, which must
# fall within the case's run window.
expect_log() {
  if [ ! -f "$LOG" ]; then
    echo "  no log file"
    return 1
  fi
  local stamp mdy hms seconds
  while IFS= read -r stamp; do
    mdy=${stamp% *} hms=${stamp#* }
    seconds=$(date -d "${mdy:6:4}-${mdy:0:2}-${mdy:3:2} $hms" +%s 2>/dev/null)
    if [ -z "$seconds" ] || [ "$seconds" -lt "$CASE_START" ] ||
       [ "$seconds" -gt "$CASE_END" ]; then
      echo "  record time $stamp is not within the run"
      return 1
    fi
  done < <(grep -aoE "$STAMP_RE" "$LOG" | cut -c1-19)
  sed -E "s/$STAMP_RE/@T,/" "$LOG" >"$CASE_DIR/log-seen"
  printf '%b' "$1" >"$CASE_DIR/log-expected"
  cmp -s "$CASE_DIR/log-expected" "$CASE_DIR/log-seen" && return 0
  echo "  log differs; expected:"
  od -c "$CASE_DIR/log-expected" | sed 's/^/    /'
  echo "  got:"
  od -c "$LOG" | sed 's/^/    /'
  return 1
}

expect_no_log_folder() {
  [ ! -e "$E2E_LOG_DIR" ] && return 0
  echo "  a log folder was made"
  return 1
}

record() {  # record UPDATE NEW CODE: one expected record, time as @T
  local status=Unknown
  [ "$3" = 0 ] && status=Success
  printf '@T,Update=%s,New=%s,Status=%s,ReturnCode=%s \\r\\n' "$1" "$2" \
    "$status" "$3"
}

first_record_makes_the_folder() {
  add_driver tavixnt5.sys
  make_package 0
  run_program
  expect_update_result 0 && expect_log "$(record 1.0 2.0 0)"
}
e2e_case "one record, exact bytes and time; the log folder is made" \
  first_record_makes_the_folder

second_run_appends() {
  add_driver tavixnt5.sys
  make_package 3010
  run_program
  make_package 0
  run_program
  expect_update_result 0 &&
    expect_log "$(record 1.0 2.0 3010)$(record 1.0 2.0 0)"
}
e2e_case "a second run appends after the first" second_run_appends

# end_of_file_mark_is_cut BEFORE KEPT: the log's bytes before the run,
# and what stays of them before the record (printf escapes).
end_of_file_mark_is_cut() {
  add_driver tavixnt5.sys
  make_package 0
  mkdir -p "$E2E_LOG_DIR"
  printf "$1" >"$LOG"
  run_program
  expect_update_result 0 && expect_log "$2$(record 1.0 2.0 0)"
}
e2e_case "a log ending in 0x1A loses it; the record follows the last line" \
  end_of_file_mark_is_cut 'old line\r\n\032' 'old line\r\n'
e2e_case "a log ending mid-line: the record starts on a line of its own" \
  end_of_file_mark_is_cut 'a record cut short,Upda\032' \
  'a record cut short,Upda\r\n'

folder_in_place_of_log() {
  add_driver tavixnt5.sys
  make_package 5
  mkdir -p "$E2E_LOG_DIR/ZR.log"
  run_program
  expect_stdout "update ran\r\nLog File Creation Failed!\r\n1\r\n" &&
    expect_no_stderr
}
e2e_case "a folder where the log file should be: message and exit code 1" \
  folder_in_place_of_log

no_version_file() {
  add_driver tavixnt5.sys
  make_package 7
  rm "$CASE_PACKAGE/version.id"
  run_program
  expect_stdout "update ran\r\nzoDerudo: Cannot Read Version.id file\r\n7\r\n" &&
    expect_no_stderr && expect_no_log_folder
}
e2e_case "no version file: its message, the update's code, no log folder" \
  no_version_file

# version_file BYTES UPDATE NEW: the record of a package with that file.
version_file() {
  add_driver tavixnt5.sys
  make_package 0
  printf '%b' "$1" >"$CASE_PACKAGE/version.id"
  run_program
  expect_update_result 0 && expect_log "$(record "$2" "$3" 0)"
}
long=$(printf 'v%.0s' $(seq 127))
e2e_case "version file with LF line ends" version_file '1.0\n2.0\n' 1.0 2.0
e2e_case "version file of three lines" version_file '1.0\r\n2.0\r\n3.0\r\n' 1.0 2.0
e2e_case "version file with blanks and commas" \
  version_file ' 1.0, beta \r\n2,0 x\r\n' ' 1.0, beta ' '2,0 x'
e2e_case "version file whose second line has no line end" \
  version_file '1.0\r\n2.0 final' 1.0 '2.0 final'
e2e_case "version file with a 200-character first line" \
  version_file "${long}$(printf 'w%.0s' $(seq 73))\\r\\n2.0\\r\\n" "$long" 2.0
e2e_case "version file of one line" version_file '1.0\r\n' 1.0 ''

# exit_code CODE VERSION RECORDED: the record's status and number. The
# console shows that the version was set (a failed reg add says so, and
# leaves Wine's own version, which gives 99 too) and the update ran or not.
exit_code() {
  set_version "$2"
  add_driver tavixnt5.sys
  make_package "$1"
  run_program
  if [ "$2" = winxp ]; then
    expect_not_applicable || return 1
  else
    expect_update_result "$3" || return 1
  fi
  expect_log "$(record 1.0 2.0 "$3")"
}
e2e_case "exit code 0: Success" exit_code 0 win2k 0
e2e_case "not applicable: Unknown, 99" exit_code 0 winxp 99
e2e_case "exit code 3010: Unknown" exit_code 3010 win2k 3010
e2e_case "exit code -1: Unknown, -1" exit_code -1 win2k -1
e2e_case "exit code 1000000000: Unknown, all ten digits" \
  exit_code 1000000000 win2k 1000000000

# Eight runs at once, each update held until all eight have started, so
# their records reach the log together; each exits with its own code. The
# updates wait for "go" without a count of their own: a count is no time
# on a busy machine, and the script makes "go" after its own bounded wait;
# a case folder removed (the script stopped) ends them too.
eight_at_once() {
  add_driver tavixnt5.sys
  local i package pids=()
  for i in 1 2 3 4 5 6 7 8; do
    package="$CASE_DIR/pkg $i"
    mkdir -p "$package"
    printf '1.0\r\n2.0\r\n' >"$package/version.id"
    printf '%s\r\n' '@echo off' \
      "echo.>\"$(winpath "$CASE_DIR/ready-$i")\"" \
      ':wait' "if exist \"$(winpath "$CASE_DIR/go")\" exit /b 10$i" \
      "if not exist \"$(winpath "$CASE_DIR/ready-$i")\" exit /b 97" 'goto wait' \
      >"$package/ZELMOR_UPDATE.cmd"
    write_run_bat "$CASE_DIR/run-$i.bat" "$package"
  done
  for i in 1 2 3 4 5 6 7 8; do
    wine cmd /d /c "$(winpath "$CASE_DIR/run-$i.bat")" </dev/null \
      >"$CASE_DIR/stdout-$i" 2>"$CASE_DIR/stderr-$i" &
    pids+=($!)
  done
  local n=0
  while [ "$(ls "$CASE_DIR"/ready-* 2>/dev/null | wc -l)" -lt 8 ] &&
        [ $n -lt 6000 ]; do
    sleep 0.01
    n=$((n + 1))
  done
  : >"$CASE_DIR/go"
  wait "${pids[@]}"
  CASE_END=$(date +%s)
  for i in 1 2 3 4 5 6 7 8; do
    if [ "$(tr -d '\r' <"$CASE_DIR/stdout-$i")" != "10$i" ]; then
      echo "  run $i printed: $(cat "$CASE_DIR/stdout-$i")"
      return 1
    fi
  done
  # Records in any order: sorted by their code they must be exactly these.
  LC_ALL=C sort -t= -k5 "$LOG" >"$CASE_DIR/sorted.log"
  local expected=""
  for i in 1 2 3 4 5 6 7 8; do expected+=$(record 1.0 2.0 "10$i"); done
  LOG=$CASE_DIR/sorted.log expect_log "$expected"
}
e2e_case "8 runs at once leave 8 whole records" eight_at_once

e2e_finish
