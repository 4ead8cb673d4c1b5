#!/usr/bin/env bash
# The host build of zoderudo, end to end: the POSIX layer presents a
# Windows machine whose drive C: is a temp folder, and the host stand-in
# for cmd runs the package's ZELMOR_UPDATE script.
# Usage: host-run-in-place.sh ZODERUDO
. "$(dirname "$0")/host-lib.sh"
host_init "$1"

# run_case VERSION DRIVER: a fresh drive C: holding DRIVER, a package whose
# update prints a line, records its working folder and exits 7; runs the
# program from the package folder.
run_case() {
  case_dir=$(mktemp -d "$tmp/case.XXXXXX")
  package="$case_dir/pkg dir"
  record=$case_dir/update-ran-in.txt
  mkdir -p "$package"
  host_system32 "$case_dir/c/WINDOWS/system32"
  : >"$case_dir/c/WINDOWS/system32/DRIVERS/$2"
  printf '#!/bin/sh\necho update ran\npwd -P > "%s"\nexit 7\n' "$record" \
    >"$package/ZELMOR_UPDATE"
  chmod +x "$package/ZELMOR_UPDATE"
  printf '1.0\r\n2.0\r\n' >"$package/version.id"
  (cd "$package" &&
     ZODERUDO_DRIVE_C=$case_dir/c ZODERUDO_WINVER=$1 \
       ZODERUDO_WOW64=${CASE_WOW64:-x86} \
       "$exe" >"$case_dir/stdout" 2>"$case_dir/stderr")
  status=$?
}

report_details() {
  echo "  stdout: $(cat "$case_dir/stdout")"
  echo "  stderr: $(cat "$case_dir/stderr")"
}

run_case win2k ovxfent5.sys
[ $status -eq 7 ] || problem "exit code $status, expected 7"
if [ ! -f "$record" ]; then
  problem "the update did not run"
elif [ "$(cat "$record")" != "$(cd "$package" && pwd -P)" ]; then
  problem "the update ran in $(cat "$record"), not in the package folder"
fi
[ "$(cat "$case_dir/stdout")" = "update ran" ] ||
  problem "stdout is not just the update's line"
[ ! -s "$case_dir/stderr" ] || problem "unexpected stderr"
report "win2k with ovxfent5.sys: the update runs in place, its code is the program's"

run_case winxp ovxfent5.sys
[ $status -eq 99 ] || problem "exit code $status, expected 99"
[ ! -e "$record" ] || problem "the update ran"
[ ! -s "$case_dir/stdout" ] || problem "the program printed something"
[ ! -s "$case_dir/stderr" ] || problem "unexpected stderr"
report "winxp with ovxfent5.sys: 99 and the update does not run"

# A 64-bit Windows (the program under WoW64), and one whose IsWow64Process
# fails: the update does not apply, whatever driver is there.
for CASE_WOW64 in amd64 ia64,native-only x86,iswow64-fails; do
  run_case win2003 tavix325.sys
  [ $status -eq 99 ] || problem "exit code $status, expected 99"
  [ ! -e "$record" ] || problem "the update ran"
  [ ! -s "$case_dir/stdout" ] || problem "the program printed something"
  report "win2003 with tavix325.sys on machine $CASE_WOW64: 99, nothing runs"
done

host_finish
