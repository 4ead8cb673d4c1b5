#!/usr/bin/env bash
# The benchmark: builds the host and Windows programs, generates package
# trees, times whole processes with hyperfine and prints the tables.
#
#   bench/run.sh [--quick]     --quick: fewer runs and smaller trees
#
# Work files go to build/bench (several GiB while it runs; removed after).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" --bench

runs=5 big=1024 many=20000
if [ "${1:-}" = --quick ]; then runs=3 big=256 many=5000; fi

cmake --preset host >/dev/null
cmake --build --preset host --target zoderudo bench_walk >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target zoderudo bench_walk bench_noop >/dev/null
host_bin=$root/build/host/bin
win_bin=$root/build/windows/bin

work=$root/build/bench
rm -rf "$work"
mkdir -p "$work/trees" "$work/json" "$work/c"
trap 'rm -rf "$work/trees" "$work/copy" "$work/c"' EXIT
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

echo "== generating trees"
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

hf() { hyperfine --style basic --runs "$runs" --warmup 1 "$@" >/dev/null; }
dst=$work/copy

echo "== host: copy and delete against cp -a and rm -rf"
for tree in small-5000 large-512 mixed; do
  src=$work/trees/$tree
  hf --prepare "rm -rf '$dst'" --export-json "$work/json/compare-host-$tree.json" \
    -n ours "'$host_bin/bench_walk' copy '$(winpath "$src")' '$(winpath "$dst")' && '$host_bin/bench_walk' delete '$(winpath "$dst")'" \
    -n theirs "cp -a '$src' '$dst' && rm -rf '$dst'"
done

echo "== host: how the copy grows"
for n in 1000 5000 "$many"; do
  hf --prepare "rm -rf '$dst'" --export-json "$work/json/scale-files-$n.json" \
    "'$host_bin/bench_walk' copy '$(winpath "$work/trees/small-$n")' '$(winpath "$dst")'"
done
for m in 64 256 "$big"; do
  hf --prepare "rm -rf '$dst'" --export-json "$work/json/scale-MiB-$m.json" \
    "'$host_bin/bench_walk' copy '$(winpath "$work/trees/large-$m")' '$(winpath "$dst")'"
done
rm -rf "$dst"

echo "== host: a run that does not apply"
# Drive C: is a scratch folder with no drivers, so the update does not apply;
# the run still reserves a staging name and writes its record there.
mkdir -p "$work/c/pkg"
printf '1.0\r\n2.0\r\n' >"$work/c/pkg/version.id"
export ZODERUDO_DRIVE_C=$work/c
(cd "$work/c/pkg" && hf -N --export-json "$work/json/run-host.json" \
  -n ours "'$host_bin/zoderudo'" -n baseline true)
peak_host=$(cd "$work/c/pkg" && /usr/bin/time -v "$host_bin/zoderudo" 2>&1 >/dev/null |
  sed -n 's/.*Maximum resident set size (kbytes): //p')

echo "== Wine: copy and delete against xcopy and rmdir"
export WINEPREFIX=$root/build/bench-wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
trap 'wineserver -k 2>/dev/null; rm -rf "$work/trees" "$work/copy" "$work/c"' EXIT
for tree in small-5000 large-512 mixed; do
  src=$work/trees/$tree
  hf --prepare "rm -rf '$dst'" --export-json "$work/json/compare-wine-$tree.json" \
    -n ours "wine '$win_bin/bench_walk.exe' copy '$(winpath "$src")' '$(winpath "$dst")' && wine '$win_bin/bench_walk.exe' delete '$(winpath "$dst")'" \
    -n theirs "wine xcopy /E /I /H /Q '$(winpath "$src")' '$(winpath "$dst")' >/dev/null && wine cmd /c rmdir /S /Q '$(winpath "$dst")'"
done

echo "== Wine: a run that does not apply"
# Wine's default Windows version is not one the update applies to.
(cd "$work/c/pkg" && hf --export-json "$work/json/run-wine.json" \
  -n ours "wine '$win_bin/zoderudo.exe' >/dev/null" \
  -n baseline "wine '$win_bin/bench_noop.exe'")

echo
echo "Copy and delete (medians of $runs runs, ± half the interquartile range):"
"$root/bench/table.py" compare "$work/json"
echo
echo "Growth of the host copy:"
"$root/bench/table.py" scale "$work/json"
echo
echo "Cost of a run:"
"$root/bench/table.py" run "$work/json"
echo "peak memory of a host run: ${peak_host} KiB"
