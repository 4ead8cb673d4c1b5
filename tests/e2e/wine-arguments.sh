#!/usr/bin/env bash
# zoderudo.exe under Wine with two or more arguments on its command line:
# they are ignored and the run is a run in place.
# Usage: wine-arguments.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

runs_in_place_with() {
  add_driver ovxfent5.sys
  make_package 8
  run_program "$@"
  expect_update_result 8
}
not_applicable_with() {
  set_version winxp
  add_driver ovxfent5.sys
  make_package 8
  run_program "$@"
  expect_not_applicable
}

e2e_case "two arguments: run in place" runs_in_place_with 'C:\' '"two words"'
e2e_case "three arguments: run in place" runs_in_place_with a b c
e2e_case "two arguments on winxp: still 99" not_applicable_with a b

e2e_finish
