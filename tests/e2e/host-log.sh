#!/usr/bin/env bash
# The result log of the host build, end to end: records of runs started
# together, the log's place when systemdrive is missing or too long.
# Usage: host-log.sh ZODERUDO
. "$(dirname "$0")/host-lib.sh"
host_init "$1"
record_re='^[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2},Update=1\.0,New=2\.0,Status=Unknown,ReturnCode=[0-9]+ '$'\r''$'

# new_machine: a fresh drive C: with a driver of Windows 2000.
new_machine() {
  case_dir=$(mktemp -d "$tmp/case.XXXXXX")
  host_system32 "$case_dir/c/WINDOWS/system32"
  : >"$case_dir/c/WINDOWS/system32/DRIVERS/tavixnt5.sys"
}

# make_package NAME CODE: its update waits until the file go exists in the
# case folder (when given WAIT), then exits with CODE.
make_package() {
  local package=$case_dir/$1
  mkdir -p "$package"
  printf '1.0\r\n2.0\r\n' >"$package/version.id"
  {
    echo '#!/bin/sh'
    if [ "${3:-}" = wait ]; then
      echo ": >'$package.ready'"
      echo "n=0; while [ ! -e '$case_dir/go' ] && [ \$n -lt 3000 ]; do"
      echo "  sleep 0.01; n=\$((n + 1)); done"
    fi
    echo "exit $2"
  } >"$package/ZELMOR_UPDATE"
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

# Eight runs in flight at once, their updates held until all have started,
# so that their records reach the log together.
eight_at_once() {
  new_machine
  local i pids=()
  for i in 1 2 3 4 5 6 7 8; do make_package "pkg$i" $((100 + i)) wait; done
  for i in 1 2 3 4 5 6 7 8; do
    (run "pkg$i"; echo $status >"$case_dir/pkg$i.status") &
    pids+=($!)
  done
  local n=0
  while [ "$(ls "$case_dir"/*.ready 2>/dev/null | wc -l)" -lt 8 ] && [ $n -lt 3000 ]; do
    sleep 0.01
    n=$((n + 1))
  done
  : >"$case_dir/go"
  wait "${pids[@]}"
  for i in 1 2 3 4 5 6 7 8; do
    [ "$(cat "$case_dir/pkg$i.status")" = $((100 + i)) ] ||
      problem "run $i: exit $(cat "$case_dir/pkg$i.status"), expected $((100 + i))"
  done
  local log=$case_dir/c/ZRLOG/ZR.log
  [ "$(wc -l <"$log")" -eq 8 ] || problem "$(wc -l <"$log") lines, expected 8"
  [ "$(grep -cE "$record_re" "$log")" -eq 8 ] || problem "not 8 whole records"
  [ "$(tail -c 3 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    problem "the log does not end with a record's line end"
  [ "$(sed -n 's/.*ReturnCode=\([0-9]*\) \r$/\1/p' "$log" | sort | tr '\n' ' ')" = \
    "101 102 103 104 105 106 107 108 " ] || problem "not one record per run"
  [ ${#problems[@]} -eq 0 ] || sed 's/^/  | /' "$log"
  report "8 runs at once leave 8 whole records"
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

eight_at_once
fallback_drive
too_long_drive
host_finish
