#!/usr/bin/env bash
# zrcheck.exe under Wine: the example package with the program beside it
# passes clean; a package with a path of 245 bytes, nul.txt, a UTF-16
# version.id, two updates and a name this machine's code page lacks (Wine
# lists Ω as O) names each and ends with 1. The whole output
# and the full exit code.
# Usage: wine-check.sh ZODERUDO_EXE ZRCHECK_EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
. "$(dirname "$0")/../check/make-packages.sh"
CHECK_EXE=$(realpath "$2")
e2e_init "$1" "$3"
# On C: a path of 245 bytes below the package still fits the narrow calls.
PACKAGE=$WINEPREFIX/drive_c/zrcheck
trap 'rm -rf "$PACKAGE"; e2e_cleanup' EXIT

# check_package EXPECTED_LINE...: zrcheck.exe on C:\zrcheck through a
# batch file that then writes %ERRORLEVEL%; its output must be the lines.
check_package() {
  cp "$E2E_EXE" "$PACKAGE/" || return 1
  printf '%s\r\n' '@echo off' "\"$(winpath "$CHECK_EXE")\" C:\\zrcheck" \
    'echo %ERRORLEVEL%' >"$CASE_DIR/check.bat"
  env ${CASE_LOCALE:+LANG=$CASE_LOCALE LC_ALL=$CASE_LOCALE} \
    wine cmd /d /c "$(winpath "$CASE_DIR/check.bat")" \
    </dev/null >"$CASE_DIR/stdout" 2>"$CASE_DIR/stderr"
  printf '%s\r\n' "$@" >"$CASE_DIR/expected"
  diff "$CASE_DIR/expected" "$CASE_DIR/stdout" && expect_no_stderr
}

example_passes() {
  rm -rf "$PACKAGE" && cp -R "$(dirname "$0")/../../examples/package" "$PACKAGE" &&
    check_package "0 errors, 0 warnings" 0
}
e2e_case "the example package: no finding, exit code 0" example_passes

faults_named() {
  local long
  long=$(name 64)\\$(name 64)\\$(name 64)\\$(name 50)
  rm -rf "$PACKAGE" && mkdir "$PACKAGE" && make_must_show "$PACKAGE" &&
    : >"$PACKAGE/Ω.txt" && check_package \
      "O.txt: error: Windows lists it under this name, which leads nowhere: a character of it has no form in code page 1252 of this machine, or is one Windows refuses; the staged copy fails; rename it in ASCII" \
      "ZELMOR_UPDATE.cmd: error: cmd runs ZELMOR_UPDATE.com instead, the first by the order of PATHEXT, perhaps not the update meant; keep only one" \
      "ZELMOR_UPDATE.cmd: warning: line 2: start without /wait: the program waits for the update alone, and 5 s after it ends the staged run's clean-up removes files that what it started may still need; use start /wait" \
      "$long: error: 245 bytes, 260 below C:\\ZRTxxxx.TMP\\, more than the 259 that are the most a file path may have in Windows' narrow calls: the staged copy fails; keep it to 244 bytes" \
      "nul.txt: error: a DOS device name: Windows opens the device, not the file, and the staged copy fails; rename it" \
      "version.id: error: saved as UTF-16: the record shows it as garbage; save it as ANSI text" \
      "5 errors, 1 warning" 1
}
e2e_case "a path of 245 bytes, nul.txt, a UTF-16 version.id, two updates: each named, exit code 1" \
  faults_named

field_faults() {
  rm -rf "$PACKAGE" && make_field_faults "$PACKAGE" && check_package \
    "ZELMOR_UPDATE.cmd: error: saved as UTF-16 (\"Unicode\"): cmd runs none of it; save it as ANSI text" \
    "version.id: error: a run records \"Update=1.0,New=\": New is empty; put the new version on line 2, before any blank line or end-of-file mark" \
    "$(iconv -t CP1252 <<<"été.txt: error: differs from Été.txt only in letter case: Windows takes both for one name, and the staged copy fails (\"Package holds two files named\"); rename one")" \
    "3 errors, 0 warnings" 1
}
e2e_case "a blank line 2, a UTF-16 update, É and é: each an error, exit code 1" \
  field_faults

# Names whose second byte in code page 932 is that of \ or |.
japanese_names_pass() {
  set_locale ja_JP.UTF-8 CP932 || return 1
  rm -rf "$PACKAGE" && cp -R "$(dirname "$0")/../../examples/package" "$PACKAGE" &&
    mkdir -p "$PACKAGE/ソフト/能力" && : >"$PACKAGE/ソフト/setup.ini" &&
    : >"$PACKAGE/表示.txt" && : >"$PACKAGE/ソフト/能力/ポート.txt" &&
    check_package "0 errors, 0 warnings" 0
}
e2e_case "Japanese names with trail bytes 5C and 7C, code page 932: no finding" \
  japanese_names_pass

e2e_finish
