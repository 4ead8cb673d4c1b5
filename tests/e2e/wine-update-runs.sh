#!/usr/bin/env bash
# zoderudo.exe under Wine, where the update applies: it runs from the
# package folder and its exit code, all 32 bits, is the program's.
# Usage: wine-update-runs.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

# VERSION DRIVER CODE: only DRIVER present; the update exits with CODE.
runs_with() {
  set_version "$1"
  add_driver "$2"
  make_package "$3"
  run_program
  expect_update_result "$3"
}

for code in 0 7 3010 1641 -1 1000000000; do
  e2e_case "win2k, ovxfent5.sys: update's exit code $code is the program's" \
    runs_with win2k ovxfent5.sys "$code"
done

# Each name alone, each with its own code, so a mistyped name shows.
e2e_case "win2k, tavixnt5.sys alone" runs_with win2k tavixnt5.sys 11
e2e_case "win2k, KELVONT5.SYS alone" runs_with win2k KELVONT5.SYS 12
e2e_case "win2003, tavix325.sys alone" runs_with win2003 tavix325.sys 21
e2e_case "win2003, KELVO325.SYS alone" runs_with win2003 KELVO325.SYS 22
e2e_case "win2003, notused.sys alone" runs_with win2003 notused.sys 23

e2e_case "driver name in other letter case (OVXFENT5.SYS)" \
  runs_with win2k OVXFENT5.SYS 5
e2e_case "driver name in other letter case (Kelvo325.Sys)" \
  runs_with win2003 Kelvo325.Sys 6

folder_counts() {
  set_version "$1"
  add_driver_folder "$2"
  make_package 4
  run_program
  expect_update_result 4
}
e2e_case "a folder named tavixnt5.sys counts as present" \
  folder_counts win2k tavixnt5.sys
e2e_case "a folder named notused.sys counts as present" \
  folder_counts win2003 notused.sys

e2e_finish
