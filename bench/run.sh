#!/usr/bin/env bash
# The benchmark: builds the host and Windows programs, generates package
# trees, times whole processes with hyperfine and prints the tables.
#
#   bench/run.sh [--quick] [--disk]
#
#   --quick  fewer runs and smaller trees, for trying the harness out
#   --disk   keep the trees under build/bench on the disk instead of in
#            memory (see below)
#
# The trees and their copies live in a tmpfs (/dev/shm) by default, so
# that the figures show what each tool itself costs and come out the same
# from one run to the next. On a disk the file system decides: on ext4
# without a journal, for instance, creating a file steps over every inode
# freed in the last few minutes, so a copy gets slower with each copy and
# delete before it, whoever makes them. Either way the source trees are
# read from memory (freshly written, then one warm-up run of each
# command), and each timed run starts with no copy and, on a disk, with
# nothing left to write back (sync in --prepare).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=10 wine_runs=3 run_runs=200 big=1024 many=20000 on_disk=0
for arg in "$@"; do
  case $arg in
    --quick) runs=3 wine_runs=2 run_runs=30 big=256 many=5000 ;;
    --disk) on_disk=1 ;;
    *) echo "usage: bench/run.sh [--quick] [--disk]" >&2; exit 2 ;;
  esac
done

start=$SECONDS
"$root/scripts/install-deps.sh" --bench

echo "== building"
cmake --preset host >/dev/null
cmake --build --preset host --target zoderudo bench_walk cmd >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target zoderudo bench_walk bench_noop >/dev/null
host_bin=$root/build/host/bin
win_bin=$root/build/windows/bin

results=$root/build/bench/json
rm -rf "$results"
mkdir -p "$results"
if [ "$on_disk" = 0 ] && [ -d /dev/shm ] &&
   [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((6 * 1024 * 1024)) ]; then
  work=$(mktemp -d /dev/shm/zoderudo-bench.XXXXXX)
  where="memory (tmpfs)"
else
  work=$root/build/bench/work
  rm -rf "$work"
  mkdir -p "$work"
  where="disk ($(findmnt -n -o FSTYPE -T "$work"))"
fi
wine_started=0
cleanup() {
  [ "$wine_started" = 1 ] && wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/trees" "$work/c/pkg"
dst=$work/copy
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
settle=""
[ "$on_disk" = 1 ] && settle="; sync"

echo "== generating trees in $where"
gen=$root/bench/make-tree.py
"$gen" small "$work/trees/small-5000" 5000
"$gen" large "$work/trees/large-512" 512
"$gen" mixed "$work/trees/mixed"
for n in 1000 "$many"; do
  [ -d "$work/trees/small-$n" ] || "$gen" small "$work/trees/small-$n" "$n"
done
for m in 64 256 "$big"; do
  [ -d "$work/trees/large-$m" ] || "$gen" large "$work/trees/large-$m" "$m"
done

# What is timed must be a whole copy: check the walker's once per tree.
for tree in small-5000 large-512 mixed; do
  rm -rf "$dst"
  "$host_bin/bench_walk" copy "$(winpath "$work/trees/$tree")" "$(winpath "$dst")"
  diff -r "$work/trees/$tree" "$dst" >/dev/null ||
    { echo "bench: the walker's copy of $tree differs" >&2; exit 1; }
done
rm -rf "$dst"

# hyperfine, without its warnings (outliers show in the spread column; a
# run that does not apply ends with 99 on purpose).
hf() {
  hyperfine --style none "$@" >/dev/null 2> >(grep -v -e '^ *Warning:' -e '^ *$' >&2)
}

echo "== host: copy and delete against cp -a and rm -rf"
for tree in small-5000 large-512 mixed; do
  src=$work/trees/$tree
  hf --runs "$runs" --warmup 1 --prepare "sh -c \"rm -rf '$dst'$settle\"" \
    --export-json "$results/compare-host-$tree.json" \
    -n ours "'$host_bin/bench_walk' copy '$(winpath "$src")' '$(winpath "$dst")' && '$host_bin/bench_walk' delete '$(winpath "$dst")'" \
    -n theirs "cp -a '$src' '$dst' && rm -rf '$dst'"
done

echo "== host: how the copy grows"
for n in 1000 5000 "$many"; do
  hf --runs "$runs" --warmup 1 --prepare "sh -c \"rm -rf '$dst'$settle\"" -N \
    --export-json "$results/scale-files-$n.json" -n copy \
    "'$host_bin/bench_walk' copy '$(winpath "$work/trees/small-$n")' '$(winpath "$dst")'"
done
for m in 64 256 "$big"; do
  hf --runs "$runs" --warmup 1 --prepare "sh -c \"rm -rf '$dst'$settle\"" -N \
    --export-json "$results/scale-MiB-$m.json" -n copy \
    "'$host_bin/bench_walk' copy '$(winpath "$work/trees/large-$m")' '$(winpath "$dst")'"
done
rm -rf "$dst"

echo "== host: a run that does not apply, and peak memory"
# Drive C: is a scratch folder without the drivers, so the update does not
# apply (exit code 99); the run still writes its log record there.
printf '1.0\r\n2.0\r\n' >"$work/c/pkg/version.id"
export ZODERUDO_DRIVE_C=$work/c
peak() {  # peak resident memory of one run, KiB
  /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$work/peak"  # after "Command exited with non-zero status"
}
(cd "$work/c/pkg" &&
  hf -N -i --runs "$run_runs" --warmup 20 \
    --export-json "$results/run-host.json" \
    -n ours "'$host_bin/zoderudo'" -n baseline true)
{
  echo "host run (does not apply)	$(cd "$work/c/pkg" && peak "$host_bin/zoderudo")"
  echo "host true	$(peak true)"
  echo "host walker, copy of $many small files	$(peak "$host_bin/bench_walk" copy "$(winpath "$work/trees/small-$many")" "$(winpath "$dst")")"
  rm -rf "$dst"
  echo "host walker, copy of $big MiB	$(peak "$host_bin/bench_walk" copy "$(winpath "$work/trees/large-$big")" "$(winpath "$dst")")"
  rm -rf "$dst"
} >"$results/peak.tsv"

echo "== Wine: copy and delete against xcopy and rmdir"
# A prefix of its own (made once, kept in build/), the default Windows
# version (one the update does not apply to), and a persistent server so
# that each start of wine does not bring Wine's services up again.
. "$root/scripts/wine-prefix.sh" "$root/build/bench-wineprefix" win32
wineserver -p </dev/null >/dev/null 2>&1 || true  # one may be running already
wine_started=1
wine cmd /c exit </dev/null >/dev/null 2>&1
for tree in small-5000 large-512 mixed; do
  src=$work/trees/$tree
  hf --runs "$wine_runs" --warmup 1 --prepare "sh -c \"rm -rf '$dst'$settle\"" \
    --export-json "$results/compare-wine-$tree.json" \
    -n ours "wine '$win_bin/bench_walk.exe' copy '$(winpath "$src")' '$(winpath "$dst")' && wine '$win_bin/bench_walk.exe' delete '$(winpath "$dst")'" \
    -n theirs "wine xcopy /E /I /H /Q '$(winpath "$src")' '$(winpath "$dst")' && wine cmd /c rmdir /S /Q '$(winpath "$dst")'"
done

echo "== Wine: a run that does not apply"
(cd "$work/c/pkg" &&
  hf -N -i --runs 20 --warmup 3 --export-json "$results/run-wine.json" \
    -n ours "wine '$win_bin/zoderudo.exe'" \
    -n baseline "wine '$win_bin/bench_noop.exe'")
{
  echo "Wine run (does not apply)	$(cd "$work/c/pkg" && peak wine "$win_bin/zoderudo.exe")"
  echo "Wine do-nothing program	$(peak wine "$win_bin/bench_noop.exe")"
} >>"$results/peak.tsv"

echo
echo "zoderudo benchmark: $(nproc) cores, trees in $where, $(date -u +%Y-%m-%d)"
"$root/bench/table.py" "$results" "$runs" "$wine_runs" "$run_runs"
echo
echo "(the whole run took $((SECONDS - start)) s)"
