#!/usr/bin/env bash
# The result log of the host build, end to end: the log's place when
# systemdrive is missing or too long. (Runs that write their records
# together are in host-concurrency.sh.)
# Usage: host-log.sh ZODERUDO
. "$(dirname "$0")/host-lib.sh"
host_init "$1"

# new_machine: a fresh drive C: with a driver of Windows 2000.
new_machine() {
  case_dir=$(mktemp -d "$tmp/case.XXXXXX")
  host_system32 "$case_dir/c/WINDOWS/system32"
  : >"$case_dir/c/WINDOWS/system32/DRIVERS/tavixnt5.sys"
}

# make_package NAME CODE: its update exits with CODE.
make_package() {
  local package=$case_dir/$1
  mkdir -p "$package"
  printf '1.0\r\n2.0\r\n' >"$package/version.id"
  printf '#!/bin/sh\nexit %s\n' "$2" >"$package/ZELMOR_UPDATE"
  chmod +x "$package/ZELMOR_UPDATE"
}

# run PACKAGE [VAR=VALUE...]: runs the program there; output in
# $case_dir/PACKAGE.out, exit status in $status.
run() {
  local package=$1
  shift
  (cd "$case_dir/$package" &&
     env ZODERUDO_DRIVE_C="$case_dir/c" ZODERUDO_WINVER=win2k "$@" \
       "$exe" >"$case_dir/$package.out" 2>&1)
  status=$?
}

# systemdrive missing: the drive of the system directory (here D:).
fallback_drive() {
  new_machine
  host_system32 "$case_dir/d/WINNT/system32"
  : >"$case_dir/d/WINNT/system32/DRIVERS/tavixnt5.sys"
  make_package pkg 0
  run pkg ZODERUDO_DRIVE_D="$case_dir/d" ZODERUDO_SYSTEM_DIR='D:\WINNT\system32' \
    ZODERUDO_LOCAL_TIME='2006-01-02 00:03:04'
  [ $status -eq 0 ] || problem "exit code $status, expected 0"
  printf '01-02-2006 00:03:04,Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n' \
    >"$case_dir/expected"
  cmp -s "$case_dir/expected" "$case_dir/d/ZRLOG/ZR.log" ||
    problem "D:\\ZRLOG\\ZR.log is not the one record"
  [ ! -e "$case_dir/c/ZRLOG" ] || problem "a log folder on C:"
  report "no systemdrive: the log goes to the system directory's drive"
}

too_long_drive() {
  new_machine
  make_package pkg 5
  run pkg SystemDrive="C:\\$(printf 'x%.0s' $(seq 112))"
  [ $status -eq 1 ] || problem "exit code $status, expected 1"
  [ "$(cat "$case_dir/pkg.out")" = "Log File Creation Failed!" ] ||
    problem "output: $(cat "$case_dir/pkg.out")"
  report "a systemdrive of 115 characters: Log File Creation Failed!, exit 1"
}

fallback_drive
too_long_drive
host_finish
