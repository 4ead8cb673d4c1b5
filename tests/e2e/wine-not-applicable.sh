#!/usr/bin/env bash
# zoderudo.exe under Wine, where the update does not apply: exit code 99,
# nothing runs and nothing is printed.
# Usage: wine-not-applicable.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

# VERSION [DRIVER...]: the given driver entries present, nothing else.
not_applicable_with() {
  set_version "$1"
  shift
  local d
  for d in "$@"; do add_driver "$d"; done
  make_package 0
  run_program
  expect_not_applicable
}

# Other systems: not even all six drivers make the update apply.
for version in winxp nt40 win98; do
  e2e_case "$version with every driver present" \
    not_applicable_with "$version" "${E2E_DRIVER_NAMES[@]}"
done

e2e_case "win2k without any driver" not_applicable_with win2k
e2e_case "win2003 without any driver" not_applicable_with win2003
e2e_case "win2k with only the 5.2 drivers" \
  not_applicable_with win2k tavix325.sys KELVO325.SYS notused.sys
e2e_case "win2003 with only the 5.0 drivers" \
  not_applicable_with win2003 tavixnt5.sys KELVONT5.SYS ovxfent5.sys
# Names that merely start or end like a driver are not the driver.
e2e_case "win2k with near-miss names only" \
  not_applicable_with win2k ovxfent5.sys.old xovxfent5.sys ovxfent5.sy

driver_beside_drivers_folder() {
  set_version win2k
  add_system_file ovxfent5.sys
  make_package 0
  run_program
  expect_not_applicable
}
e2e_case "win2k with the driver in system32, not in its drivers folder" \
  driver_beside_drivers_folder

e2e_finish
