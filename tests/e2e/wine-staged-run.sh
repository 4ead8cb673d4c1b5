#!/usr/bin/env bash
# zoderudo.exe under Wine given the package folder: the package is copied to
# C:\ZRTxxxx.TMP\, the update runs there, the record is written, and after
# the pause the copy is removed. Arguments that name no package are refused.
# The staging folder is made with a security descriptor, and its removal
# keeps to it: past a folder link, and from a starting folder that is gone.
# Usage: wine-staged-run.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

LISTING_FILES=listing-files.txt
LISTING_FOLDERS=listing-folders.txt
trap 'e2e_cleanup; clear_staging' EXIT


# The package of make_package, grown: sub-folders (one empty), a hidden and
# a read-only file; its update also lists what it finds where it runs.
make_full_package() {
  make_package "$1"
  mkdir -p "$CASE_PACKAGE/sub/deeper" "$CASE_PACKAGE/empty"
  printf 'data\r\n' >"$CASE_PACKAGE/sub/deeper/data.bin"
  printf 'h\r\n' >"$CASE_PACKAGE/.hidden"
  printf 'r\r\n' >"$CASE_PACKAGE/readonly.txt"
  chmod a-w "$CASE_PACKAGE/readonly.txt"
  printf '@echo off\r\necho update ran\r\ncd > "%s"\r\ndir /s /b /a-d > "%s"\r\ndir /s /b /ad > "%s"\r\nexit /b %s\r\n' \
    "$(winpath "$CASE_RECORD")" "$(winpath "$CASE_DIR/$LISTING_FILES")" \
    "$(winpath "$CASE_DIR/$LISTING_FOLDERS")" "$1" \
    >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
}

# The update ran in a staging folder in the root of C:, which held the
# whole package; the folder is gone now.
expect_ran_in_staging() {
  if [ ! -f "$CASE_RECORD" ]; then
    echo "  the update did not run"
    return 1
  fi
  local folder
  folder=$(tr -d '\r\n' <"$CASE_RECORD")
  if ! [[ $folder =~ ^C:\\[Zz][Rr][Tt][0-9A-Fa-f]{1,4}\.[Tt][Mm][Pp]$ ]]; then
    echo "  the update ran in $folder, not in a staging folder"
    return 1
  fi
  local seen expected
  seen=$(tr -d '\r' <"$CASE_DIR/$LISTING_FILES" | sed "s/^.\{${#folder}\}\\\\//" | sort)
  expected=$(printf '%s\n' .hidden readonly.txt 'sub\deeper\data.bin' \
    version.id ZELMOR_UPDATE.cmd | sort)
  if [ "$seen" != "$expected" ]; then
    echo "  files in the staging folder:"; printf '    %s\n' "$seen"
    return 1
  fi
  seen=$(tr -d '\r' <"$CASE_DIR/$LISTING_FOLDERS" | sed "s/^.\{${#folder}\}\\\\//" | sort)
  expected=$(printf '%s\n' empty sub 'sub\deeper' | sort)
  if [ "$seen" != "$expected" ]; then
    echo "  folders in the staging folder:"; printf '    %s\n' "$seen"
    return 1
  fi
}

# run_watched ARGS...: run_program while the root of C: is watched for
# staging names, each entry ZRT*.TMP seen (file or folder) listed in
# $CASE_DIR/staging-seen. A run that stops before staging must not even
# reserve a name, whose empty file lives only for a moment: the watch
# catches it only when it looks at that moment, but a folder made by
# mistake would stay for the whole copy at least.
run_watched() {
  local running=$CASE_DIR/running entry
  : >"$CASE_DIR/staging-seen"
  : >"$running"
  while [ -e "$running" ]; do
    for entry in "$WINEPREFIX"/drive_c/[Zz][Rr][Tt]*.[Tt][Mm][Pp]; do
      [ -e "$entry" ] && printf '%s\n' "${entry##*/}" >>"$CASE_DIR/staging-seen"
    done
    sleep 0.01
  done &
  local watcher=$!
  run_program "$@"
  rm -f "$running"
  wait "$watcher"
}

expect_no_staging_seen() {
  [ ! -s "$CASE_DIR/staging-seen" ] && return 0
  echo "  staging name made: $(sort -u "$CASE_DIR/staging-seen" | tr '\n' ' ')"
  return 1
}

# The clean-up waited its 5 seconds.
expect_waited() {
  [ $((CASE_END - CASE_START)) -ge 5 ] && return 0
  echo "  the run took $((CASE_END - CASE_START)) s, less than the pause"
  return 1
}

# The log's one record ends with TEXT (\r\n escapes).
expect_record_ending() {
  local log=$E2E_LOG_DIR/ZR.log
  printf '%b' "$1" >"$CASE_DIR/record-end"
  if [ "$(grep -c '' "$log" 2>/dev/null)" != 1 ] ||
     [ "$(tail -c "$(stat -c %s "$CASE_DIR/record-end")" "$log")" != \
       "$(cat "$CASE_DIR/record-end")" ]; then
    echo "  log:"; od -c "$log" 2>&1 | sed 's/^/    /'
    return 1
  fi
}

relative_argument() {
  add_driver tavixnt5.sys
  make_full_package 0
  run_program_from "$CASE_DIR" '"pkg dir"'
  expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
    expect_ran_in_staging && expect_no_staging_left && expect_waited &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n" &&
    [ -f "$CASE_PACKAGE/sub/deeper/data.bin" ]  # the package is left as it was
}

absolute_argument() {
  add_driver KELVONT5.SYS
  make_full_package 3010
  run_program_from "$CASE_DIR" "\"$(winpath "$CASE_PACKAGE")\""
  expect_stdout "update ran\r\n3010\r\n" && expect_no_stderr &&
    expect_ran_in_staging && expect_no_staging_left &&
    expect_record_ending ",Status=Unknown,ReturnCode=3010 \r\n"
}

# The case's folder as the network share \\zrserver\cases: Wine reaches
# \\SERVER\SHARE through its prefix's dosdevices/unc/SERVER/SHARE.
share_case_folder() {
  local server=$WINEPREFIX/dosdevices/unc/zrserver
  printf '%s\n' "$server" >>"$E2E_TMP/placed"
  mkdir -p "$server" && ln -s "$CASE_DIR" "$server/cases"
}

# network_share_argument [backslash]: the package on the share given
# quoted, with a final backslash as a batch file's "%~dp0" gives it when
# asked. The share is only read.
network_share_argument() {
  add_driver tavixnt5.sys
  make_full_package 0
  share_case_folder || return 1
  local before
  before=$(find "$CASE_PACKAGE" -printf '%P %y %s %T@ %m\n' | sort)
  run_program_from "$CASE_DIR" "\"\\\\zrserver\\cases\\pkg dir${1:+\\}\""
  expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
    expect_ran_in_staging && expect_no_staging_left &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n" &&
    [ "$(find "$CASE_PACKAGE" -printf '%P %y %s %T@ %m\n' | sort)" = "$before" ]
}

# In place with the share's folder current: the program reads the folder
# and records from it. (Wine's cmd then runs the update there; Windows'
# cmd refuses a network folder, which no test here can show.)
network_share_in_place() {
  add_driver tavixnt5.sys
  make_package 0
  share_case_folder &&
    run_program_from '\\zrserver\cases\pkg dir' &&
    expect_stdout "update ran\r\n0\r\n" && expect_no_staging_left &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n"
}

not_applicable_staged() {
  set_version winxp
  add_driver tavixnt5.sys
  make_full_package 0
  # Started where there is no version file: the record comes from the copy.
  run_program_from "$CASE_DIR" '"pkg dir"'
  expect_stdout "99\r\n" && expect_no_stderr && expect_not_run &&
    expect_no_staging_left && expect_waited &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Unknown,ReturnCode=99 \r\n"
}

# refused ARGUMENT MESSAGE: exit code 1, the message, the record of 1 (the
# starting folder, the package, has the version file), and no staging
# folder at any moment.
refused() {
  add_driver tavixnt5.sys
  make_full_package 0
  run_watched "$1"
  expect_stdout "$2\r\n1\r\n" && expect_no_stderr && expect_not_run &&
    expect_no_staging_seen && expect_no_staging_left &&
    expect_record_ending ",Status=Unknown,ReturnCode=1 \r\n"
}

# long_folder BASE LENGTH: a folder below the host folder BASE whose Windows
# path has LENGTH characters (nested names of at most 50), made on disk;
# prints its path relative to BASE, with backslashes.
long_folder() {
  local base=$1 length=$2 need long="" n
  need=$((length - $(winpath "$base" | wc -c) - 1))
  while [ "$need" -gt 0 ]; do
    n=$((need > 50 ? 50 : need))
    [ $((need - n)) -eq 1 ] && n=$((n - 1))  # no separator without a name
    long+=$(printf "%0${n}d" 0)
    need=$((need - n))
    [ "$need" -gt 0 ] && long+='\' need=$((need - 1))
  done
  mkdir -p "$base/${long//\\//}"
  printf '%s' "$long"
}

# package_path_of LENGTH: a package folder whose absolute path has LENGTH
# characters. Under Wine one of up to 259 is entered and named; above 255
# the copy could not list it, so it is refused before anything is made.
# One of 260 can be made current but is not named by GetCurrentDirectoryA,
# and one of 261 cannot be entered: both are a folder that cannot be
# opened. (The host tests take one of 255.)
package_path_of() {
  add_driver tavixnt5.sys
  make_full_package 0
  local long message="Unable to open package directory"
  long=$(winpath "$CASE_PACKAGE")\\$(long_folder "$CASE_PACKAGE" "$1")
  [ ${#long} -eq "$1" ] || { echo "  made a path of ${#long}"; return 1; }
  [ "$1" -le 259 ] && message="Package directory path is too long:"
  run_watched "\"$long\""
  expect_stdout "$message ${long//\\/\\\\}\r\n1\r\n" &&
    expect_no_staging_seen && expect_no_staging_left && expect_not_run &&
    expect_record_ending ",Status=Unknown,ReturnCode=1 \r\n"
}

# package_file_of LENGTH: a package with a file in nested folders whose
# path has LENGTH characters; 259 is copied and the update finds it, longer
# ones fail the copy (a line for each folder level), which removes what it
# copied and the staging folder.
package_file_of() {
  add_driver tavixnt5.sys
  make_package 0
  local folder name levels expected status
  folder=$(long_folder "$CASE_PACKAGE" 249)
  name=$(printf "%0$(($1 - 250))d" 0)
  : >"$CASE_PACKAGE/${folder//\\//}/$name"
  printf '@echo off\r\nif exist "%s\\%s" echo long file copied\r\nexit /b 0\r\n' \
    "$folder" "$name" \
    >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  run_program "\"$(winpath "$CASE_PACKAGE")\""
  if [ "$1" -eq 259 ]; then
    expect_stdout "long file copied\r\n0\r\n" && expect_no_staging_left &&
      expect_record_ending ",Status=Success,ReturnCode=0 \r\n"
    return
  fi
  levels=$(($(tr -cd '\\' <<<"$folder" | wc -c) + 1))
  expected="Unable to copy files from ZR CD to hard drive.\r\n"
  for ((; levels > 0; levels--)); do
    expected+="Unable to copy sub-directory update files to the hard drive.\r\n"
  done
  expected+="Unable to copy update files to the hard drive.\r\nCopying update files to the hard drive failed.\r\n1\r\n"
  expect_stdout "$expected" && expect_no_staging_left &&
    expect_record_ending ",Status=Unknown,ReturnCode=1 \r\n"
}

# japanese_folder BASE BYTES: below the host folder BASE, nested folders of
# Japanese names (あ, two bytes in code page 932) whose Windows path has
# BYTES bytes in that page; made on disk, printed relative to BASE.
japanese_folder() {
  local base=$1 need name path=""
  need=$(($2 - $(winpath "$base" | wc -c) - 1))
  while [ "$need" -gt 0 ]; do
    name=""
    [ $((need % 2)) -eq 1 ] && name=a need=$((need - 1))
    while [ "$need" -gt 0 ] && [ ${#name} -lt 50 ]; do
      name+=あ need=$((need - 2))
    done
    path+=$name
    [ "$need" -gt 0 ] && path+=/ need=$((need - 1))
  done
  mkdir -p "$base/$path"
  printf '%s' "$path"
}

# japanese_package_of MODE BYTES: under Japanese Windows the path limits
# count bytes of code page 932, not characters. Staged, a package folder of
# 241 bytes (259 less \ZELMOR_UPDATE.cmd) is copied and run; of 242 its own
# update no longer fits the copy; above 255 it is refused. In place, a
# folder of more than 260 bytes cannot be read as the current folder.
japanese_package_of() {
  set_locale ja_JP.UTF-8 CP932 || return 1
  add_driver tavixnt5.sys
  CASE_PACKAGE=$CASE_DIR/p/$(japanese_folder "$CASE_DIR/p" "$2")
  make_package 0
  local shown
  shown=$(winpath "$CASE_PACKAGE")
  [ "$(iconv -t CP932 <<<"$shown" | wc -c)" -eq $(($2 + 1)) ] ||
    { echo "  made a path of the wrong length: $shown"; return 1; }
  if [ "$1" = in-place ]; then
    run_program
    expect_stdout "Unable to determine current directory.  Aborting update!\r\n1\r\n" &&
      expect_not_run
    return
  fi
  run_program_from "$CASE_DIR" "\"$shown\""
  iconv -f CP932 -t UTF-8 "$CASE_DIR/stdout" >"$CASE_DIR/stdout-utf8"
  local status
  case $2 in
    241) expect_stdout "update ran\r\n0\r\n" && expect_no_stderr ;;
    242) grep -qx $'Unable to copy files from ZR CD to hard drive.\r' "$CASE_DIR/stdout" &&
           grep -qx $'1\r' "$CASE_DIR/stdout" && expect_not_run ;;
    *) grep -qxF "Package directory path is too long: $shown"$'\r' \
         "$CASE_DIR/stdout-utf8" && grep -qx $'1\r' "$CASE_DIR/stdout" &&
         expect_not_run ;;
  esac || { sed 's/^/  | /' "$CASE_DIR/stdout-utf8"; return 1; }
  # The failed copy is removed, as every failed copy is.
  expect_no_staging_left
}

# double_byte_package LOCALE CHARSET PACKAGE SUB INNER: names that end in a
# character whose second byte is 0x5C in the locale's code page, staged in
# that locale. The update copies the folder it runs in to $CASE_DIR/seen:
# the whole package, run in a staging folder, recorded, removed.
double_byte_package() {
  set_locale "$1" "$2" || return 1
  add_driver tavixnt5.sys
  CASE_PACKAGE=$CASE_DIR/$3
  make_package 0
  mkdir -p "$CASE_PACKAGE/$4/$5"
  printf 'sys\r\n' >"$CASE_PACKAGE/$4/$5/driver.sys"
  printf '@echo off\r\ncd > "%s"\r\nxcopy /e /i /q . "%s" >nul\r\n' \
    "$(winpath "$CASE_RECORD")" "$(winpath "$CASE_DIR/seen")" \
    >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  run_program_from "$CASE_DIR" "\"$(winpath "$CASE_PACKAGE")\""
  expect_stdout "0\r\n" && expect_no_stderr &&
    grep -qE '^C:\\ZRT[0-9A-F]{1,4}\.TMP\s*$' -i "$CASE_RECORD" &&
    diff -r "$CASE_PACKAGE" "$CASE_DIR/seen" && expect_no_staging_left &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n"
}

# name_fails_the_copy ENTRY... -- LINE...: a package holding each ENTRY (a
# folder when it ends in /), names with no exact form in the Western code
# page: the copy fails, its first line one of the LINEs with PKG for the
# package's path (the listing's order decides which), and nothing runs.
name_fails_the_copy() {
  set_locale C.UTF-8 "" || return 1
  add_driver tavixnt5.sys
  make_package 0
  while [ "$1" != -- ]; do
    case $1 in */) mkdir "$CASE_PACKAGE/$1" ;; *) : >"$CASE_PACKAGE/$1" ;; esac
    shift
  done
  shift
  run_program "\"$(winpath "$CASE_PACKAGE")\""
  local first line status=1
  first=$(head -n 1 "$CASE_DIR/stdout" | iconv -f CP1252 -t UTF-8 | tr -d '\r')
  for line in "$@"; do
    [ "$first" = "${line/PKG/$(winpath "$CASE_PACKAGE")}" ] && status=0
  done
  [ $status -eq 0 ] || echo "  first line: $first"
  [ $status -eq 0 ] && expect_not_run && expect_no_stderr &&
    tail -n 3 "$CASE_DIR/stdout" | tr -d '\r' | diff - <(printf '%s\n' \
      "Unable to copy update files to the hard drive." \
      "Copying update files to the hard drive failed." 1) &&
    expect_record_ending ",Status=Unknown,ReturnCode=1 \r\n"
  status=$?
  clear_staging
  return $status
}

# The staging folder is made with a security descriptor: Wine keeps none,
# but its trace shows the one the folder was created with.
staging_folder_secured() {
  add_driver tavixnt5.sys
  make_full_package 0
  WINEDEBUG=+file run_program_from "$CASE_DIR" '"pkg dir"'
  # The trace doubles each backslash of a name. Made and held in one call,
  # sharing all but delete (sharing=00000003).
  local made
  made=$(grep -ai 'NtCreateFile .*name=L"\\\\??\\\\C:\\\\ZRT[0-9A-F]*\.tmp" .* sharing=00000003 disp=2 ' \
    "$CASE_DIR/stderr")
  if [ "$(grep -c . <<<"$made")" != 1 ] || [[ $made == *'sec=(nil)'* ]]; then
    echo "  the staging folder was made: ${made:-never}"
    return 1
  fi
  expect_stdout "update ran\r\n0\r\n" && expect_ran_in_staging &&
    expect_no_staging_left
}

# make_waiting_package: the update records where it runs, says it has
# started, and waits until the case lets it go on.
make_waiting_package() {
  make_package 0
  printf '@echo off\r\ncd > "%s"\r\necho started> "%s"\r\n:wait\r\nif not exist "%s" goto wait\r\nexit /b 0\r\n' \
    "$(winpath "$CASE_RECORD")" "$(winpath "$CASE_DIR/started")" \
    "$(winpath "$CASE_DIR/go")" >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
}

# run_paused ACTION: a staged run started in $CASE_DIR/start; while the
# update waits, ACTION runs on the host with STAGING, the staging folder's
# host path; then the update goes on. The update is let go in any case.
run_paused() {
  local run tries=0 folder
  mkdir -p "$CASE_DIR/start"
  run_program_from "$CASE_DIR/start" "\"$(winpath "$CASE_PACKAGE")\"" &
  run=$!
  while [ ! -e "$CASE_DIR/started" ] && kill -0 "$run" 2>/dev/null &&
        [ $((tries += 1)) -le 1200 ]; do
    sleep 0.1
  done
  folder=$(tr -d '\r\n' <"$CASE_RECORD" 2>/dev/null)
  STAGING=$WINEPREFIX/drive_c/${folder#C:\\}
  local status=0
  if [ -d "$STAGING" ] && [ "$STAGING" != "$WINEPREFIX/drive_c/" ]; then
    "$1" || status=1
  else
    echo "  the update did not start in a staging folder"; status=1
  fi
  : >"$CASE_DIR/go"
  wait "$run"
  return $status
}

# A folder link made in the staging folder while the update runs: the
# clean-up removes the link, never what it leads to. Wine 8 removes no link
# to a folder that holds files: then the link stays, and is reported.
link_outside() {
  mkdir -p "$CASE_DIR/outside/sub"
  printf 'keep\r\n' >"$CASE_DIR/outside/precious.txt"
  printf 'deep\r\n' >"$CASE_DIR/outside/sub/deep.txt"
  ln -s "$CASE_DIR/outside" "$STAGING/data"
}
folder_link_left_whole() {
  add_driver tavixnt5.sys
  make_waiting_package
  run_paused link_outside || return 1
  if [ "$(cat "$CASE_DIR/outside/precious.txt")" != $'keep\r' ] ||
     [ "$(cat "$CASE_DIR/outside/sub/deep.txt")" != $'deep\r' ]; then
    echo "  the link's target was changed:"; ls -R "$CASE_DIR/outside"
    return 1
  fi
  expect_no_stderr || return 1
  if [ -z "$(staging_leftovers)" ]; then
    expect_stdout "0\r\n"
    return
  fi
  echo "  (the link stayed: $(staging_leftovers))"
  expect_stdout "Could not remove temporary sub-directory.\r\nCould not delete files from temporary directory.\r\n0\r\n" &&
    [ -L "$STAGING/data" ] && [ "$(ls -A "$STAGING")" = data ]
  local status=$?
  clear_staging
  return $status
}

# "." in a folder whose name has no exact form: the name read back
# (Lódz-pkg) leads nowhere, so the run is refused before anything is made.
near_name_refused() {
  set_locale C.UTF-8 "" || return 1
  add_driver tavixnt5.sys
  CASE_PACKAGE=$CASE_DIR/Łódź-pkg
  make_full_package 0
  (cd "$CASE_PACKAGE" && run_program_from "" .)
  expect_stdout "Unable to open package directory .\r\n1\r\n" &&
    expect_not_run && expect_no_staging_left
}

# A CD's root given quoted with its backslash ("D:\"): the runtime makes
# the backslash an escaped quote, the program reads it back. (A folder on a
# share given so is a case of its own above.)
quoted_drive_root() {
  add_driver tavixnt5.sys
  make_full_package 0
  ln -sfn "$CASE_PACKAGE" "$WINEPREFIX/dosdevices/p:"
  run_program_from "$CASE_DIR" '"P:\"'
  rm -f "$WINEPREFIX/dosdevices/p:"
  expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
    expect_ran_in_staging && expect_no_staging_left &&
    expect_record_ending ",Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n"
}

# The starting folder removed while the update runs: the run leaves the
# staging folder for the root of C:, which it can then remove.
remove_start() { rm -r "$CASE_DIR/start"; }
starting_folder_removed() {
  add_driver tavixnt5.sys
  make_waiting_package
  run_paused remove_start &&
    expect_stdout "0\r\n" && expect_no_stderr && expect_no_staging_left &&
    expect_record_ending ",Status=Success,ReturnCode=0 \r\n"
}

# The 8.3 alias that `dir /x` shows beside NAME in the listing FILE.
alias_in_listing() {
  local line rest
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line == *" $2" ]] || continue
    rest=${line%" $2"}
    rest=${rest%"${rest##*[! ]}"}
    rest=${rest##* }
    [[ $rest == *'~'* ]] && printf '%s' "$rest"
    return 0
  done <"$1"
}

# A package mastered without 8.3 names: long names and, beside each, a file
# or folder whose real name is Wine's alias of it (a hash, asked of
# `dir /x`, never assumed). The update copies every file of the staging
# folder to a name of its own, so that each one's bytes can be compared.
eight_dot_three_twins() {
  add_driver tavixnt5.sys
  make_package 0
  local long=(longname1.txt "AARDVARK NOTES.TXT" "Setup Instructions.html")
  local name alias i=0 seen=$CASE_DIR/seen
  mkdir "$seen" "$CASE_PACKAGE/DRIVER FILES"
  for name in "${long[@]}"; do printf 'long %s\r\n' "$name" >"$CASE_PACKAGE/$name"; done
  printf 'in the long folder\r\n' >"$CASE_PACKAGE/DRIVER FILES/inside.txt"
  wine cmd /d /c dir /x "$(winpath "$CASE_PACKAGE")" </dev/null \
    >"$CASE_DIR/dir-x" 2>/dev/null
  local files=() folder_alias
  for name in "${long[@]}"; do
    alias=$(alias_in_listing "$CASE_DIR/dir-x" "$name")
    [ -n "$alias" ] || { echo "  dir /x shows no alias of $name"; return 1; }
    printf 'the twin of %s\r\n' "$name" >"$CASE_PACKAGE/$alias"
    files+=("$name" "$alias")
  done
  folder_alias=$(alias_in_listing "$CASE_DIR/dir-x" "DRIVER FILES")
  [ -n "$folder_alias" ] || { echo "  dir /x shows no alias of DRIVER FILES"; return 1; }
  mkdir "$CASE_PACKAGE/$folder_alias"
  printf 'in its twin\r\n' >"$CASE_PACKAGE/$folder_alias/inside.txt"
  files+=("DRIVER FILES\inside.txt" "$folder_alias\inside.txt")
  {
    printf '@echo off\r\necho update ran\r\ncd > "%s"\r\n' "$(winpath "$CASE_RECORD")"
    for name in "${files[@]}"; do
      printf 'copy /b "%s" "%s" >nul\r\n' "$name" "$(winpath "$seen/$i")"
      i=$((i + 1))
    done
    printf 'exit /b 0\r\n'
  } >"$CASE_PACKAGE/ZELMOR_UPDATE.cmd"
  run_program_from "$CASE_DIR" '"pkg dir"'
  expect_stdout "update ran\r\n0\r\n" && expect_no_stderr &&
    expect_no_staging_left || return 1
  i=0
  for name in "${files[@]}"; do
    if ! cmp -s "$CASE_PACKAGE/${name//\\//}" "$seen/$i"; then
      echo "  the staging copy of $name differs from the package's"
      return 1
    fi
    i=$((i + 1))
  done
}

e2e_case "relative argument: run from a full copy, then removed" relative_argument
e2e_case "absolute argument: exit code 3010 passed on" absolute_argument
e2e_case "package on a network share, a UNC argument: run from a copy" \
  network_share_argument
e2e_case "the same with a final backslash, as \"%~dp0\" gives it" \
  network_share_argument backslash
e2e_case "in place in a network share's folder: the program reads it, records" \
  network_share_in_place
e2e_case "update does not apply: copied, recorded, waited, removed, 99" not_applicable_staged
e2e_case "missing package folder refused" refused 'Z:\no\such\package' \
  'Unable to open package directory Z:\\no\\such\\package'
e2e_case "system drive root refused" refused 'C:\' \
  'Package directory holds the staging directory: C:\\'
# Drive Z: reaches the root of C: as the prefix's drive_c: the same folder.
root=$(winpath "$WINEPREFIX/drive_c")
e2e_case "system drive root through drive Z: refused" refused "\"$root\"" \
  "Package directory holds the staging directory: ${root//\\/\\\\}"
for length in 257 259 260 261; do
  e2e_case "package path of $length characters" package_path_of $length
done
for length in 259 260 261; do
  e2e_case "package file of $length characters" package_file_of $length
done
e2e_case "quoted drive root with its backslash, as on a CD" quoted_drive_root
# ソ 表 十 申 in code page 932, 乗 in 936, 功 許 in 950.
e2e_case "Japanese names ending in byte 5C: copied whole" double_byte_package \
  ja_JP.UTF-8 CP932 ドライバ表 ソ 十/申
e2e_case "Simplified Chinese names ending in byte 5C: copied whole" \
  double_byte_package zh_CN.UTF-8 CP936 驱动乗 乗 a乗
e2e_case "Traditional Chinese names ending in byte 5C: copied whole" \
  double_byte_package zh_TW.UTF-8 CP950 驅動功 功 許
for bytes in 241 242 256; do
  e2e_case "Japanese package folder of $bytes bytes, staged: limits count bytes" \
    japanese_package_of staged $bytes
done
e2e_case "Japanese current folder of 261 bytes: cannot be read" \
  japanese_package_of in-place 261
# Wine shows Č as C, Ł as L, ź as z, ā as a; š and ó are in the page.
e2e_case "folders with no exact name in code page 1252 fail the copy" \
  name_fails_the_copy Čeština/ Łódź/ -- \
  'Unable to read package sub-directory PKG\Ceština\' \
  'Unable to read package sub-directory PKG\Lódz\'
e2e_case "two files listed under one name fail the copy" \
  name_fails_the_copy a.txt ā.txt -- 'Package holds two files named PKG\a.txt'
e2e_case "a folder read back under a near name is refused" near_name_refused
e2e_case "long names beside files named as their 8.3 aliases: copied whole" \
  eight_dot_three_twins
e2e_case "staging folder made with a security descriptor" staging_folder_secured
e2e_case "folder link in the staging folder: its target untouched" folder_link_left_whole
e2e_case "starting folder removed during the update: no staging left" starting_folder_removed

e2e_finish
