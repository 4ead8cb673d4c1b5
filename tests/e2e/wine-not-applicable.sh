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

# A 64-bit prefix is a 64-bit Windows: the 32-bit program runs under WoW64,
# where system32 leads it to syswow64, and the package's 32-bit drivers
# cannot be installed. Wherever a driver lies, nothing applies.
if [ "${WINEARCH:-}" = win64 ]; then
  WOW64_DRIVERS=$WINEPREFIX/drive_c/windows/syswow64/drivers

  # The one record is that of a system where the update does not apply.
  expect_record_99() {
    local log=$E2E_LOG_DIR/ZR.log
    [ "$(grep -c '' "$log" 2>/dev/null)" = 1 ] &&
      grep -q ',Update=1\.0,New=2\.0,Status=Unknown,ReturnCode=99 .$' "$log" &&
      return 0
    echo "  log:"; od -c "$log" 2>&1 | sed 's/^/    /'
    return 1
  }

  # A driver in syswow64\drivers, which the program sees as its own.
  add_wow64_driver() {
    [ -d "$WOW64_DRIVERS" ] || place "$WOW64_DRIVERS" folder
    place "$WOW64_DRIVERS/$1" file
  }

  # WHERE VERSION: the 5.0 and 5.2 drivers in the 64-bit system32\drivers
  # (native) or in syswow64\drivers.
  under_wow64_in_place() {
    local d
    set_version "$2"
    for d in "${E2E_DRIVER_NAMES[@]}"; do
      if [ "$1" = syswow64 ]; then add_wow64_driver "$d"; else add_driver "$d"; fi
    done
    make_package 0
    run_program
    expect_not_applicable && expect_record_99
  }

  under_wow64_staged() {
    set_version win2003
    add_driver tavix325.sys
    add_wow64_driver tavix325.sys
    make_package 0
    run_program_from "$CASE_DIR" '"pkg dir"'
    expect_not_applicable && expect_record_99 || return 1
    [ -z "$(staging_leftovers)" ] && return 0
    echo "  left in C:\\: $(staging_leftovers)"
    clear_staging
    return 1
  }

  for version in win2003 win2k; do
    e2e_case "64-bit $version, the drivers in system32\\drivers: 99" \
      under_wow64_in_place system32 "$version"
    e2e_case "64-bit $version, the drivers in syswow64\\drivers: 99" \
      under_wow64_in_place syswow64 "$version"
  done
  e2e_case "64-bit win2003, staged: 99, nothing run, nothing left" \
    under_wow64_staged
fi

e2e_finish
