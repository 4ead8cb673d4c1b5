#!/usr/bin/env bash
# zoderudo.exe under Wine against what another account can prepare in the
# root of C: or beside the program: a staging folder swapped for a link, a
# log folder or log file that leads elsewhere, a log folder that cannot be
# opened after the update, and a cmd.exe where the search order looks
# first. (Wine does not stop renames made from the host: these cases show
# the checks; the host layer's tests show the pin that stops them on
# Windows.)
# Usage: wine-other-accounts.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"
trap 'e2e_cleanup; clear_staging' EXIT

# A folder of another account's, outside the root of C:, with a file that
# ends in the end-of-file mark; its listing and bytes are kept to compare.
make_theirs() {
  mkdir -p "$CASE_DIR/theirs/sub"
  printf 'boot\r\n\032' >"$CASE_DIR/theirs/ZR.log"
  printf 'deep\r\n' >"$CASE_DIR/theirs/sub/deep.txt"
  (cd "$CASE_DIR/theirs" && find . -type f -exec md5sum {} + | sort) \
    >"$CASE_DIR/theirs.before"
}
expect_theirs_untouched() {
  (cd "$CASE_DIR/theirs" && find . -type f -exec md5sum {} + | sort) \
    >"$CASE_DIR/theirs.after"
  cmp -s "$CASE_DIR/theirs.before" "$CASE_DIR/theirs.after" && return 0
  echo "  the other account's folder changed:"
  diff "$CASE_DIR/theirs.before" "$CASE_DIR/theirs.after" | sed 's/^/    /'
  return 1
}

# --- the staging folder ------------------------------------------------------

# During the 5-second pause the staging folder is renamed and a link to
# another account's folder put in its place: the clean-up walks nothing it
# does not hold, says so, and the update's code stands.
swapped_during_pause() {
  add_driver tavixnt5.sys
  make_package 5
  make_theirs
  mkdir -p "$CASE_DIR/start"
  run_program_from "$CASE_DIR/start" "\"$(winpath "$CASE_PACKAGE")\"" &
  local run=$! tries=0
  # The record is written just before the pause.
  while ! grep -qa 'ReturnCode=5 ' "$E2E_LOG_DIR/ZR.log" 2>/dev/null &&
        kill -0 "$run" 2>/dev/null && [ $((tries += 1)) -le 1200 ]; do
    sleep 0.05
  done
  local folder staging
  folder=$(tr -d '\r\n' <"$CASE_RECORD" 2>/dev/null)
  staging=$WINEPREFIX/drive_c/${folder#C:\\}
  if [ -z "$folder" ] || [ ! -d "$staging" ]; then
    wait "$run"
    echo "  the update did not run in a staging folder"
    return 1
  fi
  mv "$staging" "$CASE_DIR/moved" && ln -s "$CASE_DIR/theirs" "$staging"
  wait "$run"
  expect_stdout "update ran\r\nCould not delete files from temporary directory.\r\n5\r\n" &&
    expect_no_stderr && expect_theirs_untouched &&
    [ -f "$CASE_DIR/moved/ZELMOR_UPDATE.cmd" ] &&
    [ -L "$staging" ]
  local status=$?
  rm -f "$staging"
  return $status
}

# Another account's watcher renames every new C:\ZRT*.TMP folder away the
# instant it appears, renames an empty folder of its own in, and drops its
# ZELMOR_UPDATE.bat into it (which cmd would run before the package's
# .cmd). The folder is held from the instant it exists: the renames fail,
# and the package's own update runs from its own copy. (The update stops
# the watcher as it ends: once the run lets go of the emptied copy, a
# folder swapped in is the other account's own, and runs nothing.)
swapped_the_instant_it_appears() {
  add_driver tavixnt5.sys
  make_package 0
  sed -i 's/^exit/echo.> C:\\stop-watch\r\nexit/' "$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  cat >"$CASE_DIR/watch.c" <<'EOF_C'
#include <windows.h>
#include <stdio.h>
#include <string.h>
int main(int argc, char** argv) {
  char planted[8192] = "|", name[MAX_PATH], away[MAX_PATH], bat[MAX_PATH];
  int tried = 0, swapped = 0;
  DWORD end = GetTickCount() + 60000;
  WIN32_FIND_DATAA f;
  FILE* ready = fopen("C:\\watch-ready", "w");
  if (ready) fclose(ready);
  while (argc == 2 && GetTickCount() < end &&
         GetFileAttributesA("C:\\stop-watch") == INVALID_FILE_ATTRIBUTES) {
    HANDLE search = FindFirstFileA("C:\\ZRT*.TMP", &f);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      sprintf(name, "|C:\\%s|", f.cFileName);
      if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
          strstr(planted, name)) continue;
      *strrchr(name, '|') = '\0';
      sprintf(away, "C:\\away%d", tried++);
      if (!MoveFileA(name + 1, away)) continue;
      CreateDirectoryA("C:\\theirs", NULL);
      if (!MoveFileA("C:\\theirs", name + 1)) continue;
      strcat(strcat(planted, name + 1), "|");
      sprintf(bat, "%s\\ZELMOR_UPDATE.bat", name + 1);
      FILE* file = fopen(bat, "w");
      if (file) fprintf(file, "echo theirs> \"%s\"\r\n", argv[1]), fclose(file);
      ++swapped;
    } while (FindNextFileA(search, &f));
    FindClose(search);
  }
  printf("%d %d\n", tried, swapped);
  return 0;
}
EOF_C
  i686-w64-mingw32-gcc -o "$CASE_DIR/watch.exe" "$CASE_DIR/watch.c" ||
    { echo "  cannot build the watcher"; return 1; }
  rm -f "$WINEPREFIX"/drive_c/{stop-watch,watch-ready}
  wine "$(winpath "$CASE_DIR/watch.exe")" "$(winpath "$CASE_DIR/theirs-ran")" \
    >"$CASE_DIR/watched" 2>/dev/null &
  local watcher=$! status=0 tried swapped n=0
  # Wine may take long to start it on a busy machine: the run starts only
  # once the watcher looks.
  while [ ! -e "$WINEPREFIX/drive_c/watch-ready" ] && [ $((n += 1)) -le 600 ]; do
    sleep 0.1
  done
  mkdir -p "$CASE_DIR/start"
  run_program_from "$CASE_DIR/start" "\"$(winpath "$CASE_PACKAGE")\""
  : >"$WINEPREFIX/drive_c/stop-watch"  # should the run have failed
  wait "$watcher"
  read -r tried swapped < <(tr -d '\r' <"$CASE_DIR/watched")
  [ "${tried:-0}" -gt 0 ] || { echo "  the watcher never saw the folder"; status=1; }
  [ "${swapped:-1}" -eq 0 ] || { echo "  the watcher swapped $swapped folders"; status=1; }
  [ ! -e "$CASE_DIR/theirs-ran" ] || { echo "  their update ran"; status=1; }
  if ! grep -qx $'Unable to create temporary directory!\r' "$CASE_DIR/stdout"; then
    expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
      grep -q '^C:\\ZRT' "$CASE_RECORD" || status=1
  fi
  expect_no_staging_left || status=1
  rm -rf "$WINEPREFIX"/drive_c/{stop-watch,watch-ready,away*,theirs}
  clear_staging
  return $status
}

# C:\ZRLOG is a file: the staged update runs, the log cannot be opened,
# and the run still goes back and removes its copy; exit code 1.
log_folder_a_file_after_staged_update() {
  add_driver tavixnt5.sys
  make_package 0
  printf 'theirs\r\n' >"$E2E_LOG_DIR"
  mkdir -p "$CASE_DIR/start"
  run_program_from "$CASE_DIR/start" "\"$(winpath "$CASE_PACKAGE")\""
  expect_stdout "update ran\r\nLog File Creation Failed!\r\n1\r\n" &&
    expect_no_stderr && expect_no_staging_left &&
    grep -q '^C:\\ZRT' "$CASE_RECORD" &&
    [ "$(cat "$E2E_LOG_DIR")" = $'theirs\r' ]
}

# --- the log -----------------------------------------------------------------

# C:\ZRLOG a link to another account's folder: its ZR.log is not written
# to, nor is its mark cut.
log_folder_a_link() {
  add_driver tavixnt5.sys
  make_package 0
  make_theirs
  ln -s "$CASE_DIR/theirs" "$E2E_LOG_DIR"
  run_program
  expect_stdout "update ran\r\nLog File Creation Failed!\r\n1\r\n" &&
    expect_no_stderr && expect_theirs_untouched
}

# C:\ZRLOG\ZR.log a second name of another account's file.
log_file_a_hard_link() {
  add_driver tavixnt5.sys
  make_package 0
  make_theirs
  mkdir "$E2E_LOG_DIR"
  ln "$CASE_DIR/theirs/ZR.log" "$E2E_LOG_DIR/ZR.log"
  run_program
  expect_stdout "update ran\r\nLog File Creation Failed!\r\n1\r\n" &&
    expect_no_stderr && expect_theirs_untouched
}

# --- the interpreter ---------------------------------------------------------

# A cmd.exe that only leaves a mark, built here with the cross compiler.
build_planted_cmd() {
  local mark
  mark=$(winpath "$CASE_DIR/planted-ran")
  printf '#include <stdio.h>\nint main(void) {\n  FILE* f = fopen("%s", "w");\n  if (f) fclose(f);\n  return 0;\n}\n' \
    "${mark//\\/\\\\}" >"$CASE_DIR/planted.c"
  i686-w64-mingw32-gcc -o "$CASE_DIR/planted-cmd.exe" "$CASE_DIR/planted.c" ||
    { echo "  cannot build the planted cmd.exe"; return 1; }
}
expect_planted_not_run() {
  [ ! -e "$CASE_DIR/planted-ran" ] && return 0
  echo "  the planted cmd.exe ran"
  return 1
}

# WHERE: beside (the program, copied with a cmd.exe beside it), in-place
# or staged (a cmd.exe in the package folder, and so in its copy).
planted_cmd() {
  add_driver tavixnt5.sys
  make_package 0
  build_planted_cmd || return 1
  case $1 in
    beside)
      mkdir "$CASE_DIR/app"
      cp "$E2E_EXE" "$CASE_DIR/app/zoderudo.exe"
      cp "$CASE_DIR/planted-cmd.exe" "$CASE_DIR/app/cmd.exe"
      E2E_EXE=$CASE_DIR/app/zoderudo.exe
      run_program
      expect_update_result 0 ;;
    in-place)
      cp "$CASE_DIR/planted-cmd.exe" "$CASE_PACKAGE/cmd.exe"
      run_program
      expect_update_result 0 ;;
    staged)
      cp "$CASE_DIR/planted-cmd.exe" "$CASE_PACKAGE/cmd.exe"
      mkdir -p "$CASE_DIR/start"
      run_program_from "$CASE_DIR/start" "\"$(winpath "$CASE_PACKAGE")\""
      expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
        grep -q '^C:\\ZRT' "$CASE_RECORD" && expect_no_staging_left ;;
  esac &&
    expect_planted_not_run &&
    grep -aq ',Status=Success,ReturnCode=0 '$'\r''$' "$E2E_LOG_DIR/ZR.log"
}

e2e_case "staging folder swapped for a link during the pause: its target untouched, the update's code" \
  swapped_during_pause
e2e_case "staging folder renamed away the instant it appears: held, their file never runs" \
  swapped_the_instant_it_appears
e2e_case "staged run, C:\\ZRLOG a file: the update ran, the message, exit 1, no copy left" \
  log_folder_a_file_after_staged_update
e2e_case "C:\\ZRLOG a link to another folder: its log untouched, the message, exit 1" \
  log_folder_a_link
e2e_case "ZR.log a second name of another file: that file untouched, the message, exit 1" \
  log_file_a_hard_link
e2e_case "cmd.exe beside the program: not run, the real update runs, exit 0" \
  planted_cmd beside
e2e_case "cmd.exe in the package, in place: not run, the real update runs, exit 0" \
  planted_cmd in-place
e2e_case "cmd.exe in the package, staged: not run, the real update runs, exit 0" \
  planted_cmd staged
e2e_finish
