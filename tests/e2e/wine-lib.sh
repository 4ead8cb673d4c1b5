# shellcheck shell=bash
# Shared by the end-to-end tests that run the real zoderudo.exe under Wine.
# Source it, call e2e_init EXE WORK_ROOT, then define cases and run them
# with e2e_case; end with e2e_finish.
#
# Each case starts from a clean machine: none of the six driver names in the
# prefix's drivers folder, no result log (C:\ZRLOG), a new package folder. The Windows version is set
# per case in Wine's registry for zoderudo.exe only. Both are shared by all
# users of the prefix, so the tests hold a CTest resource lock.
#
# Needs WINEPREFIX (and the persistent server of the `wine` fixture).

set -u

E2E_DRIVER_NAMES=(tavixnt5.sys KELVONT5.SYS ovxfent5.sys
                  tavix325.sys KELVO325.SYS notused.sys)

# Windows form of a host path: Wine maps drive Z: to the host root.
winpath() {
  local p=${1//\//\\}
  printf 'Z:%s' "$p"
}

e2e_init() {
  E2E_EXE=$(realpath "$1")
  local root=$2
  : "${WINEPREFIX:?WINEPREFIX must be set}"
  E2E_DRIVERS=$WINEPREFIX/drive_c/windows/system32/drivers
  # Wine sets SystemDrive=C: for every process: the log lives here.
  E2E_LOG_DIR=$WINEPREFIX/drive_c/ZRLOG
  [ -f "$E2E_EXE" ] || { echo "no exe at $E2E_EXE"; exit 1; }
  [ -d "$E2E_DRIVERS" ] || { echo "no drivers folder at $E2E_DRIVERS"; exit 1; }
  mkdir -p "$root"
  E2E_TMP=$(mktemp -d "$(realpath "$root")/$(basename "$0" .sh).XXXXXX")
  E2E_PASSED=0 E2E_FAILED=0
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  e2e_clear_drivers
  e2e_clear_log
}

e2e_cleanup() {
  e2e_clear_drivers
  e2e_clear_log
  rm -rf "$E2E_TMP"
}

# Removes the log folder, in whatever letter case it was made.
e2e_clear_log() {
  local entry base
  for entry in "$WINEPREFIX"/drive_c/*; do
    base=${entry##*/}
    [ "${base,,}" = zrlog ] && rm -rf -- "$entry"
  done
  return 0
}

# Removes every entry a case placed, and every entry named like one of the
# drivers in any letter case, also those a killed earlier run left behind.
e2e_clear_drivers() {
  local entry base name
  if [ -f "$E2E_TMP/placed" ]; then
    while IFS= read -r entry; do rm -rf -- "$entry"; done <"$E2E_TMP/placed"
    rm -f "$E2E_TMP/placed"
  fi
  for entry in "$E2E_DRIVERS"/* "$E2E_DRIVERS"/../*.sys; do
    base=${entry##*/}
    for name in "${E2E_DRIVER_NAMES[@]}"; do
      if [ "${base,,}" = "${name,,}" ]; then
        rm -rf -- "$entry"
      fi
    done
  done
}

# Staging folders (and reservation files) left in the root of C:, in any
# letter case, and their removal.
staging_leftovers() {
  local entry
  for entry in "$WINEPREFIX"/drive_c/*; do
    case "${entry##*/}" in [Zz][Rr][Tt]*) printf '%s\n' "${entry##*/}" ;; esac
  done
}
expect_no_staging_left() {
  local left
  left=$(staging_leftovers)
  [ -z "$left" ] && return 0
  echo "  staging folder left behind: $left"
  return 1
}
clear_staging() {
  local name
  while IFS= read -r name; do rm -rf -- "${WINEPREFIX:?}/drive_c/$name"; done \
    < <(staging_leftovers)
}

# --- setting up a case -------------------------------------------------------

# Places an entry, recorded for removal even if the case dies.
place() {
  printf '%s\n' "$1" >>"$E2E_TMP/placed"
  if [ "$2" = folder ]; then
    mkdir "$1"
  else
    printf 'placeholder\r\n' >"$1"
  fi
}
# A driver file (exactly the name given, so its letter case counts).
add_driver() { place "$E2E_DRIVERS/$1" file; }
add_driver_folder() { place "$E2E_DRIVERS/$1" folder; }
# A file directly in system32, beside the drivers folder.
add_system_file() { place "$E2E_DRIVERS/../$1" file; }

# Windows version the program sees: nt40, win2k, winxp, win2003, win98.
set_version() { CASE_VERSION=$1; }

# Makes the package folder (its name has a blank on purpose) with an update
# that writes one line, records its working folder and exits with CODE,
# and a version file of the two lines 1.0 and 2.0.
make_package() {
  local code=$1
  mkdir -p "$CASE_PACKAGE"
  printf '@echo off\r\necho update ran\r\ncd > "%s"\r\nexit /b %s\r\n' \
    "$(winpath "$CASE_RECORD")" "$code" >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  printf '1.0\r\n2.0\r\n' >"$CASE_PACKAGE/version.id"
}

# Runs the exe with ARGS from the package folder through a batch file that
# then writes %ERRORLEVEL% (the exit code with all 32 bits; Wine's own exit
# status keeps only 8). Output goes to $CASE_DIR/stdout and stderr.
run_program() {
  run_program_from "$CASE_PACKAGE" "$@"
}

# run_program_from FOLDER [ARGS...]: the same, started in FOLDER. ARGS go
# into the command line as they are (quote one with blanks as '"a b"').
# An empty FOLDER starts it in the host's current folder, which Wine takes
# by its real name (a batch file can name only what its code page has).
run_program_from() {
  local from=$1
  shift
  write_run_bat "$CASE_DIR/run.bat" "$from" "$@"
  env ${CASE_LOCALE:+LANG=$CASE_LOCALE LC_ALL=$CASE_LOCALE} \
    wine cmd /d /c "$(winpath "$CASE_DIR/run.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
  CASE_END=$(date +%s)
}

# write_run_bat BAT PACKAGE [ARGS...]: the batch file run_program runs, in
# the code page of the case's locale (cmd reads it so).
write_run_bat() {
  local bat=$1 package=$2 args="" a
  shift 2
  for a in "$@"; do args+=" $a"; done
  {
    printf '%s\r\n' \
      '@echo off' \
      "reg add \"HKCU\\Software\\Wine\\AppDefaults\\zoderudo.exe\" /v Version /d $CASE_VERSION /f >nul" \
      'if errorlevel 1 echo reg add failed'
    # A network path (\\SERVER\SHARE\...) is a Windows path already.
    case $package in '' | \\*) ;; *) package=$(winpath "$package") ;; esac
    [ -n "$package" ] && printf 'cd /d "%s"\r\n' "$package"
    printf '%s\r\n' "\"$(winpath "$E2E_EXE")\"$args" 'echo %ERRORLEVEL%'
  } | in_case_charset >"$bat"
}

# Text in the charset of the case's locale (CASE_CHARSET, an iconv name);
# as it is without one.
in_case_charset() {
  if [ -n "$CASE_CHARSET" ]; then iconv -f UTF-8 -t "$CASE_CHARSET"; else cat; fi
}

# set_locale LOCALE CHARSET: the case runs Wine in LOCALE (its ANSI code
# page follows it), with its batch files in CHARSET. Fails when the host
# lacks the locale: Wine would then garble every name that is not ASCII.
set_locale() {
  if ! locale -a | grep -qix "${1/UTF-8/utf8}"; then
    echo "  locale $1 is not installed (scripts/install-deps.sh makes it)"
    return 1
  fi
  CASE_LOCALE=$1 CASE_CHARSET=$2
}

# --- checking a case ---------------------------------------------------------
# Each check prints what differs and returns non-zero; a case fails on the
# first failing check.

# The console output, byte for byte. Pass the expected text with \r\n.
expect_stdout() {
  printf '%b' "$1" >"$CASE_DIR/expected"
  cmp -s "$CASE_DIR/expected" "$CASE_DIR/stdout" && return 0
  echo "  stdout differs; expected:"
  od -c "$CASE_DIR/expected" | sed 's/^/    /'
  echo "  got:"
  od -c "$CASE_DIR/stdout" | sed 's/^/    /'
  return 1
}

expect_no_stderr() {
  [ ! -s "$CASE_DIR/stderr" ] && return 0
  echo "  unexpected stderr:"
  sed 's/^/    /' "$CASE_DIR/stderr"
  return 1
}

# The update ran once, with the package folder as its working folder.
expect_ran_in_package() {
  if [ ! -f "$CASE_RECORD" ]; then
    echo "  the update did not run"
    return 1
  fi
  printf '%s\r\n' "$(winpath "$CASE_PACKAGE")" >"$CASE_DIR/expected-cd"
  cmp -s "$CASE_DIR/expected-cd" "$CASE_RECORD" && return 0
  echo "  the update ran in: $(tr -d '\r' <"$CASE_RECORD")"
  echo "  expected:          $(winpath "$CASE_PACKAGE")"
  return 1
}

expect_not_run() {
  [ ! -e "$CASE_RECORD" ] && return 0
  echo "  the update ran, in: $(tr -d '\r' <"$CASE_RECORD")"
  return 1
}

# Update ran from the package folder; the console shows its line and then
# the program's exit code: the program itself printed nothing.
expect_update_result() {
  expect_ran_in_package &&
    expect_stdout "update ran\r\n$1\r\n" &&
    expect_no_stderr
}

# Not applicable: exit code 99, nothing ran, nothing printed.
expect_not_applicable() {
  expect_not_run &&
    expect_stdout "99\r\n" &&
    expect_no_stderr
}

# --- running cases -----------------------------------------------------------

# e2e_case "DESCRIPTION" FUNCTION [ARGS...]: runs one case on a clean
# machine with version win2k and a package whose update exits 0.
e2e_case() {
  local description=$1
  shift
  if e2e_attempt "$@"; then
    E2E_PASSED=$((E2E_PASSED + 1))
    echo "ok: $description"
    return
  fi
  # Wine itself, loaded, now and then faults in one of its own processes
  # (a 64-bit address, or one no program of ours touches). A case that
  # failed with such a fault in its output runs once more; a fault of the
  # program shows again.
  if grep -rqs "Unhandled page fault" "$CASE_DIR"; then
    echo "  Wine faulted during this case; it runs once more"
    if e2e_attempt "$@"; then
      E2E_PASSED=$((E2E_PASSED + 1))
      echo "ok: $description (second run)"
      return
    fi
  fi
  E2E_FAILED=$((E2E_FAILED + 1))
  echo "FAILED: $description"
}

# One run of a case from a clean machine, in a case folder of its own.
e2e_attempt() {
  local ok=0
  CASE_DIR=$(mktemp -d "$E2E_TMP/case.XXXXXX")
  CASE_PACKAGE="$CASE_DIR/pkg dir"
  CASE_RECORD=$CASE_DIR/update-ran-in.txt
  CASE_VERSION=win2k CASE_LOCALE= CASE_CHARSET=
  CASE_START=$(date +%s) CASE_END=
  e2e_clear_drivers
  e2e_clear_log
  ("$@") || ok=1
  e2e_clear_drivers
  e2e_clear_log
  return $ok
}

e2e_finish() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" -eq 0 ]
}
