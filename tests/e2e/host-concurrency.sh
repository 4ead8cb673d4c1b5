#!/usr/bin/env bash
# Sixteen runs of the host build on one machine, released together: eight
# staged from packages on drive D: (a CD stand-in) and eight in place on C:.
# Each package has its own marker file; each update waits until all sixteen
# are running, then records the folder it runs in and whether its own marker,
# and only that, is there. The staged runs keep their 5-second pause, so they
# overlap for real.
# Usage: host-concurrency.sh ZODERUDO
. "$(dirname "$0")/host-lib.sh"
host_init "$1"
c=$tmp/c d=$tmp/d
mkdir -p "$c/inplace" "$d"
host_system32 "$c/WINDOWS/system32"
: >"$c/WINDOWS/system32/DRIVERS/tavixnt5.sys"
ids=(p1 p2 p3 p4 p5 p6 p7 p8 s1 s2 s3 s4 s5 s6 s7 s8)

# code_of ID: the exit code of run ID's update, 101-108 in place, 111-118
# staged.
code_of() { [ "${1:0:1}" = p ] && echo $((100 + ${1:1})) || echo $((110 + ${1:1})); }

# make_package FOLDER ID: version.id "ID" and "2.0", the marker marker-ID,
# and an update that says it runs, waits for the others (bounded), checks
# the markers where it runs and exits with its code.
make_package() {
  local folder=$1 id=$2
  mkdir -p "$folder"
  printf '%s\r\n2.0\r\n' "$id" >"$folder/version.id"
  : >"$folder/marker-$id"
  cat >"$folder/ZELMOR_UPDATE" <<EOF
#!/bin/sh
: >'$tmp/running-$id'
n=0
while [ ! -e '$tmp/all-running' ] && [ \$n -lt 6000 ]; do sleep 0.01; n=\$((n + 1)); done
pwd -P >'$tmp/seen-$id'
if [ "\$(ls -d marker-*)" = marker-$id ]; then
  echo "only marker-$id" >>'$tmp/seen-$id'
else
  echo "markers:" marker-* >>'$tmp/seen-$id'
fi
exit $(code_of "$id")
EOF
  chmod +x "$folder/ZELMOR_UPDATE"
}

# count PATTERN: how many entries of $tmp match.
count() { compgen -G "$tmp/$1" | wc -l; }

# wait_for PATTERN N: until N entries match (bounded, about 60 s).
wait_for() {
  local n=0
  while [ "$(count "$1")" -lt "$2" ] && [ $n -lt 6000 ]; do
    sleep 0.01
    n=$((n + 1))
  done
}

for i in 1 2 3 4 5 6 7 8; do
  make_package "$c/inplace/pkg$i" "p$i"
  make_package "$d/pkg$i" "s$i"
done

# The gate: held here, each run waits for it after saying it is ready.
exec 9>"$tmp/gate"
flock -x 9
pids=()
for id in "${ids[@]}"; do
  if [ "${id:0:1}" = p ]; then
    folder=$c/inplace/pkg${id:1} args=()
  else
    folder=$d/pkg${id:1} args=("D:\\pkg${id:1}")
  fi
  (
    : >"$tmp/ready-$id"
    flock -s "$tmp/gate" true
    cd "$folder" &&
      env ZODERUDO_DRIVE_C="$c" ZODERUDO_DRIVE_D="$d" ZODERUDO_WINVER=win2k \
        "$exe" "${args[@]}" >"$tmp/out-$id" 2>&1
    echo $? >"$tmp/status-$id"
  ) 9>&- &
  pids+=($!)
done
wait_for 'ready-*' 16
flock -u 9
wait_for 'running-*' 16
[ "$(count 'running-*')" -eq 16 ] ||
  problem "only $(count 'running-*') updates were running at once"
: >"$tmp/all-running"
wait "${pids[@]}"

staging=()
for id in "${ids[@]}"; do
  status=$(cat "$tmp/status-$id")
  [ "$status" = "$(code_of "$id")" ] ||
    problem "run $id: exit code $status, expected $(code_of "$id")"
  [ ! -s "$tmp/out-$id" ] || problem "run $id printed: $(cat "$tmp/out-$id")"
  folder=$(sed -n 1p "$tmp/seen-$id" 2>/dev/null)
  markers=$(sed -n 2p "$tmp/seen-$id" 2>/dev/null)
  [ "$markers" = "only marker-$id" ] ||
    problem "run $id saw ${markers:-nothing} in ${folder:-no folder}"
  if [ "${id:0:1}" = p ]; then
    [ "$folder" = "$c/inplace/pkg${id:1}" ] || problem "run $id ran in $folder"
  elif [[ $folder =~ ^$c/ZRT[0-9A-F]{1,4}\.TMP$ ]]; then
    staging+=("$folder")
  else
    problem "staged run $id ran in ${folder:-no folder}"
  fi
done
distinct=$(printf '%s\n' "${staging[@]}" | sort -u | wc -l)
[ "$distinct" -eq 8 ] || problem "$distinct distinct staging folders, expected 8"
left=$(compgen -G "$c/ZRT*")
[ -z "$left" ] || problem "left in the root of C: $left"

# The log: sixteen whole records, one per run, with the run's version text
# and exit code, and nothing else.
log=$c/ZRLOG/ZR.log
record_re='^[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2},Update=[ps][1-8],New=2\.0,Status=Unknown,ReturnCode=1[01][1-8] '$'\r''$'
[ "$(grep -c '' "$log")" -eq 16 ] || problem "$(grep -c '' "$log") lines, expected 16"
[ "$(grep -cE "$record_re" "$log")" -eq 16 ] || problem "not 16 whole records"
[ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] ||
  problem "the log does not end with a record's line end"
seen=$(sed -n 's/.*,Update=\([ps][1-8]\),.*ReturnCode=\([0-9]*\) \r$/\1=\2/p' "$log" | sort)
expected=$(for id in "${ids[@]}"; do echo "$id=$(code_of "$id")"; done | sort)
[ "$seen" = "$expected" ] || problem "the records are not one per run"

report_details() {
  [ -f "$log" ] && sed 's/^/  | /' "$log"
  for id in "${ids[@]}"; do
    [ -s "$tmp/out-$id" ] && sed "s/^/  $id> /" "$tmp/out-$id"
  done
}
report "8 staged and 8 in-place runs at once: 16 records, 8 staging folders"
host_finish
