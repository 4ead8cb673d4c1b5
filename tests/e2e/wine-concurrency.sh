#!/usr/bin/env bash
# Sixteen runs of zoderudo.exe under Wine on one machine, released together:
# eight staged (each given its package folder) and eight in place. Each
# package has its own marker file; each update waits until all sixteen are
# running, then records the folder it runs in and whether its own marker,
# and only that, is there. The staged runs keep their 5-second pause, so
# they overlap for real.
# Usage: wine-concurrency.sh EXE WORK_ROOT
. "$(dirname "$0")/wine-lib.sh"
e2e_init "$1" "$2"

IDS=(p1 p2 p3 p4 p5 p6 p7 p8 s1 s2 s3 s4 s5 s6 s7 s8)
STAGING_RE='^C:\\[Zz][Rr][Tt][0-9A-Fa-f]{1,4}\.[Tt][Mm][Pp]$'
RECORD_RE='^[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2},Update=[ps][1-8],New=2\.0,Status=Unknown,ReturnCode=1[01][1-8] '$'\r''$'

trap 'e2e_cleanup; clear_staging' EXIT

# code_of ID: 101-108 in place, 111-118 staged.
code_of() { [ "${1:0:1}" = p ] && echo $((100 + ${1:1})) || echo $((110 + ${1:1})); }

# wait_lines LABEL FILE: batch lines that wait (bounded) until FILE exists,
# then go on at LABEL_done.
wait_lines() {
  printf '%s\r\n' 'set n=0' ":$1" "if exist \"$(winpath "$2")\" goto $1_done" \
    'set /a n+=1' "if %n% lss 200000 goto $1" ":$1_done"
}

# make_package FOLDER ID: version.id "ID" and "2.0", the marker marker-ID,
# and an update that says it runs, waits for the others, checks the
# markers where it runs and exits with its code.
make_package() {
  local folder=$1 id=$2 seen
  seen=$(winpath "$CASE_DIR/seen-$id")
  mkdir -p "$folder"
  printf '%s\r\n2.0\r\n' "$id" >"$folder/version.id"
  : >"$folder/marker-$id"
  {
    printf '%s\r\n' '@echo off' "echo.>\"$(winpath "$CASE_DIR/running-$id")\""
    wait_lines all "$CASE_DIR/all-running"
    # Wine's cmd mishandles if-else within a for body: a sub-routine
    # sorts the markers.
    printf '%s\r\n' "cd > \"$seen\"" 'set own=no' 'set others=no' \
      'for %%f in (marker-*) do call :sort %%f' \
      "if \"%own%%others%\"==\"yesno\" (echo only marker-$id>>\"$seen\") else (echo wrong markers>>\"$seen\")" \
      "exit /b $(code_of "$id")" ':sort' \
      "if /i \"%1\"==\"marker-$id\" (set own=yes) else (set others=yes)" \
      'goto :eof'

  } >"$folder/ZELMOR_UPDATE.cmd"
}

# write_gated_bat BAT FOLDER [ARG]: like run_program's batch file, but it
# says it is ready and waits for the gate before it starts the exe.
write_gated_bat() {
  local bat=$1 folder=$2 id=$3 arg=${4:-}
  {
    printf '%s\r\n' '@echo off' \
      "reg add \"HKCU\\Software\\Wine\\AppDefaults\\zoderudo.exe\" /v Version /d $CASE_VERSION /f >nul" \
      "echo.>\"$(winpath "$CASE_DIR/ready-$id")\""
    wait_lines gate "$CASE_DIR/go"
    printf '%s\r\n' "cd /d \"$(winpath "$folder")\"" \
      "\"$(winpath "$E2E_EXE")\"$arg" 'echo %ERRORLEVEL%'
  } >"$bat"
}

count() { compgen -G "$CASE_DIR/$1" | wc -l; }

# wait_for PATTERN N: until N entries of the case match (bounded).
wait_for() {
  local n=0
  while [ "$(count "$1")" -lt "$2" ] && [ $n -lt 12000 ]; do
    sleep 0.01
    n=$((n + 1))
  done
}

sixteen_at_once() {
  add_driver tavixnt5.sys
  local id folder pids=() problems=()
  for id in "${IDS[@]}"; do
    folder="$CASE_DIR/pkg $id"
    make_package "$folder" "$id"
    if [ "${id:0:1}" = p ]; then
      write_gated_bat "$CASE_DIR/run-$id.bat" "$folder" "$id"
    else
      write_gated_bat "$CASE_DIR/run-$id.bat" "$CASE_DIR" "$id" \
        " \"$(winpath "$folder")\""
    fi
  done
  for id in "${IDS[@]}"; do
    wine cmd /d /c "$(winpath "$CASE_DIR/run-$id.bat")" </dev/null \
      >"$CASE_DIR/stdout-$id" 2>"$CASE_DIR/stderr-$id" &
    pids+=($!)
  done
  wait_for 'ready-*' 16
  : >"$CASE_DIR/go"
  wait_for 'running-*' 16
  [ "$(count 'running-*')" -eq 16 ] ||
    problems+=("only $(count 'running-*') updates were running at once")
  : >"$CASE_DIR/all-running"
  wait "${pids[@]}"

  local seen markers staging=() distinct left
  for id in "${IDS[@]}"; do
    [ "$(tr -d '\r' <"$CASE_DIR/stdout-$id")" = "$(code_of "$id")" ] ||
      problems+=("run $id printed: $(tr -d '\r' <"$CASE_DIR/stdout-$id")")
    seen=$(tr -d '\r' <"$CASE_DIR/seen-$id" 2>/dev/null | sed -n 1p)
    markers=$(tr -d '\r' <"$CASE_DIR/seen-$id" 2>/dev/null | sed -n 2p)
    [ "$markers" = "only marker-$id" ] ||
      problems+=("run $id saw ${markers:-nothing} in ${seen:-no folder}")
    if [ "${id:0:1}" = p ]; then
      [ "$seen" = "$(winpath "$CASE_DIR/pkg $id")" ] ||
        problems+=("run $id ran in ${seen:-no folder}")
    elif [[ $seen =~ $STAGING_RE ]]; then
      staging+=("${seen^^}")
    else
      problems+=("staged run $id ran in ${seen:-no folder}")
    fi
  done
  distinct=$(printf '%s\n' "${staging[@]}" | sort -u | wc -l)
  [ "$distinct" -eq 8 ] ||
    problems+=("$distinct distinct staging folders, expected 8")
  left=$(staging_leftovers)
  [ -z "$left" ] || problems+=("left in the root of C: $left")

  local log=$E2E_LOG_DIR/ZR.log records expected
  [ "$(grep -c '' "$log")" -eq 16 ] ||
    problems+=("$(grep -c '' "$log") lines in the log, expected 16")
  [ "$(grep -cE "$RECORD_RE" "$log")" -eq 16 ] ||
    problems+=("not 16 whole records")
  [ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    problems+=("the log does not end with a record's line end")
  records=$(sed -n 's/.*,Update=\([ps][1-8]\),.*ReturnCode=\([0-9]*\) \r$/\1=\2/p' "$log" | sort)
  expected=$(for id in "${IDS[@]}"; do echo "$id=$(code_of "$id")"; done | sort)
  [ "$records" = "$expected" ] || problems+=("the records are not one per run")

  [ ${#problems[@]} -eq 0 ] && return 0
  printf '  %s\n' "${problems[@]}"
  [ -f "$log" ] && sed 's/^/  | /' "$log"
  return 1
}
e2e_case "8 staged and 8 in-place runs at once: 16 records, 8 staging folders" \
  sixteen_at_once

e2e_finish
