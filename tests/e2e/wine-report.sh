#!/usr/bin/env bash
# zrreport.exe under Wine, on logs that real runs of zoderudo.exe wrote:
# the table's bytes, the messages and the exit code.
# Usage: wine-report.sh ZODERUDO_EXE ZRREPORT_EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
REPORT_EXE=$(realpath "$2")
e2e_init "$1" "$3"

SUMMARY_END='0 restart-started'

# Runs zrreport.exe with ARGS through a batch file that then writes
# %ERRORLEVEL%, as run_program runs zoderudo.exe; the checks read the
# outcome, so the run itself always succeeds.
run_report() {
  printf '%s\r\n' '@echo off' "\"$(winpath "$REPORT_EXE")\" $*" \
    'echo %ERRORLEVEL%' >"$CASE_DIR/report.bat"
  wine cmd /d /c "$(winpath "$CASE_DIR/report.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
  return 0
}

# collect PC CODE...: one run of the update per CODE (99: no driver file,
# the update does not apply), then the log copied as PC.log, as an
# administrator collects it; the next PC starts without a log.
collect() {
  local pc=$1 code
  shift
  for code in "$@"; do
    e2e_clear_drivers
    [ "$code" = 99 ] || add_driver tavixnt5.sys
    make_package "$code"
    run_program
  done
  mkdir -p "$CASE_DIR/collected"
  cp "$E2E_LOG_DIR/ZR.log" "$CASE_DIR/collected/$pc.log" || return 1
  e2e_clear_log
}

# row PC OUTCOME [UPDATE NEW]: the table's row for the last record of PC's
# collected log, its date and time taken from that record.
row() {
  local stamp code
  stamp=$(tail -n 1 "$CASE_DIR/collected/$1.log" | cut -c1-19)
  code=$(tail -n 1 "$CASE_DIR/collected/$1.log" | sed -E 's/.*,ReturnCode=(-?[0-9]+) \r$/\1/')
  printf '%s,%s-%s-%s,%s,%s,%s,%s,%s\\r\\n' "$1" "${stamp:6:4}" \
    "${stamp:0:2}" "${stamp:3:2}" "${stamp:11:8}" "${3:-1.0}" "${4:-2.0}" \
    "$code" "$2"
}

expect_stderr() {
  printf '%b' "$1" >"$CASE_DIR/expected-stderr"
  cmp -s "$CASE_DIR/expected-stderr" "$CASE_DIR/stderr" && return 0
  echo "  stderr differs; expected:"
  sed 's/^/    /' "$CASE_DIR/expected-stderr"
  echo "  got:"
  sed 's/^/    /' "$CASE_DIR/stderr"
  return 1
}

fleet_of_real_logs() {
  collect PC-A 0 && collect pc-b 99 && collect PC-C 3010 &&
    collect PC-D 5 && collect PC-E 5 0 || return 1
  # Version texts with a comma and a quote reach the table quoted.
  e2e_clear_drivers
  add_driver tavixnt5.sys
  make_package 1641
  printf '1.0,New=x\r\n"2"\r\n' >"$CASE_PACKAGE/version.id"
  run_program
  cp "$E2E_LOG_DIR/ZR.log" "$CASE_DIR/collected/PC-F.log" || return 1
  e2e_clear_log
  [ "$(wc -l <"$CASE_DIR/collected/PC-E.log")" -eq 2 ] ||
    { echo "  PC-E's log does not hold two records"; return 1; }

  run_report "\"$(winpath "$CASE_DIR/collected")\""
  expect_stdout "computer,date,time,update,new,return_code,outcome\r\n$(
    row PC-A success)$(row pc-b not-applicable)$(row PC-C restart-needed)$(
    row PC-D failed)$(row PC-E success)$(
    row PC-F restart-started '"1.0,New=x"' '"""2"""')1\r\n" &&
    expect_stderr "zrreport: 6 computers: 2 success, 1 not-applicable, 1 restart-needed, 1 restart-started, 1 failed, 0 no-record, 0 no-log, 0 unreadable\r\n"
}
e2e_case "collected logs of real runs (0, 99, 3010, a failure, a failure then a success) give the table" \
  fleet_of_real_logs

# The log in place, named in a list: ZR.log belongs to this computer; a
# missing log is named with its error and makes the exit code 1 (its name
# begins with "~", which sorts after any computer's name).
list_of_logs_in_place() {
  add_driver tavixnt5.sys
  make_package 0
  run_program
  local computer
  computer=$(wine cmd /d /c echo %COMPUTERNAME% </dev/null | tr -d '\r\n')
  [ -n "$computer" ] || { echo "  no computer name"; return 1; }
  printf '\r\nC:\\ZRLOG\\ZR.log\r\n' >"$CASE_DIR/pcs.txt"
  run_report "@$(winpath "$CASE_DIR/pcs.txt")"
  mkdir -p "$CASE_DIR/collected"
  cp "$E2E_LOG_DIR/ZR.log" "$CASE_DIR/collected/$computer.log"
  expect_stdout "computer,date,time,update,new,return_code,outcome\r\n$(
    row "$computer" success)0\r\n" &&
    expect_stderr "zrreport: 1 computer: 1 success, 0 not-applicable, 0 restart-needed, $SUMMARY_END, 0 failed, 0 no-record, 0 no-log, 0 unreadable\r\n" &&
    run_report 'C:\ZRLOG\ZR.log' 'C:\ZRLOG\~gone.log' &&
    expect_stdout "computer,date,time,update,new,return_code,outcome\r\n$(
      row "$computer" success)~gone,,,,,,unreadable\r\n1\r\n" &&
    expect_stderr "C:\\\\ZRLOG\\\\~gone.log: cannot read the log (error 2)\r\nzrreport: 2 computers: 1 success, 0 not-applicable, 0 restart-needed, $SUMMARY_END, 0 failed, 0 no-record, 0 no-log, 1 unreadable\r\n"
}
e2e_case "a list naming ZR.log in place: this computer's row; a missing log is unreadable" \
  list_of_logs_in_place

usage_errors() {
  run_report
  expect_stdout "2\r\n" || return 1
  grep -q '^usage: zrreport ' "$CASE_DIR/stderr" ||
    { echo "  no usage line"; return 1; }
  run_report --all 'C:\'
  expect_stdout "2\r\n" || return 1
  run_report /?
  head -n 1 "$CASE_DIR/stdout" | grep -q '^usage: zrreport ' &&
    [ "$(tail -n 1 "$CASE_DIR/stdout")" = $'0\r' ]
}
e2e_case "no PATH or an unknown option: exit code 2; /? prints the usage, 0" usage_errors

e2e_finish
