#!/usr/bin/env bash
# The host build when something around it is wrong: too little free space
# for the staging copy, a read-only log, no command interpreter. (Other
# failures are covered beside the feature they concern; the table
# "Where each failure is tested" in docs/developing.md names the test of
# each.)
# Usage: host-when-things-go-wrong.sh ZODERUDO
. "$(dirname "$0")/host-lib.sh"
host_init "$1"

# new_machine: a fresh drive C: with a driver of Windows 2000, a package
# whose update records that it ran and exits with 3, and a starting folder
# with a version file of its own.
new_machine() {
  case_dir=$(mktemp -d "$tmp/case.XXXXXX")
  c=$case_dir/c
  mkdir -p "$c/pkg/sub" "$c/start"
  host_system32 "$c/WINDOWS/system32"
  : >"$c/WINDOWS/system32/DRIVERS/tavixnt5.sys"
  printf '1.0\r\n2.0\r\n' >"$c/pkg/version.id"
  printf 'start\r\nhere\r\n' >"$c/start/version.id"
  printf 'data' >"$c/pkg/sub/data.bin"
  printf '#!/bin/sh\n: >"%s"\nexit 3\n' "$case_dir/ran" >"$c/pkg/ZELMOR_UPDATE"
  chmod +x "$c/pkg/ZELMOR_UPDATE"
}

# run FOLDER PROGRAM [ARGUMENT] [-- VAR=VALUE...]: runs PROGRAM started in
# C:\FOLDER; console in $out, exit status in $status.
run() {
  local folder=$1 program=$2 args=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  out=$(cd "$c/$folder" && env ZODERUDO_DRIVE_C="$c" ZODERUDO_WINVER=win2k \
          ZODERUDO_SLEEP=skip "$@" "$program" "${args[@]}" 2>&1)
  status=$?
}

expect_status() { [ "$status" -eq "$1" ] || problem "exit code $status, expected $1"; }
expect_out() { [ "$out" = "$1" ] || problem "console: $out"; }
expect_log() {
  [ "$(sed -E 's/^.{19}//' "$c/ZRLOG/ZR.log" 2>/dev/null)" = "$1"$'\r' ] ||
    problem "log: $(cat "$c/ZRLOG/ZR.log" 2>&1)"
}
staging_folders() { find "$c" -maxdepth 1 -iname 'zrt*' | wc -l; }

# 1,999,360 bytes free: checked before anything is made.
full_disk() {
  new_machine
  run start "$exe" 'C:\pkg' -- ZODERUDO_FREE_SPACE=1,512,3905,100000
  expect_status 1
  expect_out "Not enough disk space to copy necessary files.
Copying update files to the hard drive failed."
  expect_log ',Update=start,New=here,Status=Unknown,ReturnCode=1 '
  [ ! -e "$case_dir/ran" ] || problem "the update ran"
  [ "$(staging_folders)" -eq 0 ] || problem "a staging folder was made"
  report "too little free space: refused before copying, exit 1"
}

# The log is read-only: the update has run and its result is lost, but a
# staged run still goes back and removes its copy.
read_only_log() {
  new_machine
  mkdir -p "$c/ZRLOG"
  printf 'earlier\r\n' >"$c/ZRLOG/ZR.log"
  chmod a-w "$c/ZRLOG/ZR.log"
  run pkg "$exe"
  expect_status 1
  expect_out "Log File Creation Failed!"
  [ -e "$case_dir/ran" ] || problem "the update did not run"
  [ "$(cat "$c/ZRLOG/ZR.log")" = $'earlier\r' ] || problem "the log changed"
  rm -f "$case_dir/ran"
  run start "$exe" 'C:\pkg'
  expect_status 1
  expect_out "Log File Creation Failed!"
  [ -e "$case_dir/ran" ] || problem "the staged update did not run"
  [ "$(staging_folders)" -eq 0 ] || problem "the staging copy stayed"
  [ "$(cat "$c/ZRLOG/ZR.log")" = $'earlier\r' ] || problem "the log changed"
  report "read-only log: Log File Creation Failed!, exit 1, staging copy removed"
}

# No cmd.exe in the system folder: the result is the system's error
# number, recorded like any result. A cmd beside the program and in the
# package, where the search order would look first, is never started.
no_interpreter() {
  new_machine
  rm "$c/WINDOWS/system32/cmd.exe"
  printf '#!/bin/sh\n: >"%s"\nexit 0\n' "$case_dir/planted" >"$c/pkg/cmd.exe"
  chmod +x "$c/pkg/cmd.exe"
  mkdir "$case_dir/alone"
  cp "$exe" "$case_dir/alone/zoderudo"
  cp "$c/pkg/cmd.exe" "$case_dir/alone/cmd"
  run pkg "$case_dir/alone/zoderudo"
  expect_status 2
  expect_out ""
  [ ! -e "$case_dir/ran" ] || problem "the update ran"
  [ ! -e "$case_dir/planted" ] || problem "a planted cmd ran"
  expect_log ',Update=1.0,New=2.0,Status=Unknown,ReturnCode=2 '
  report "no command interpreter in the system folder: exit code 2 (file not found), recorded"
}

full_disk
read_only_log
no_interpreter
host_finish
