#!/usr/bin/env bash
# The zrcheck benchmark: a generated package of 20,000 files in 1,000
# folders (in build/bench-check/package, made once), checked by the host
# build of zrcheck and, for comparison, listed by find, and by find
# printing each entry's size as a Windows listing gives it. Prints the
# times, zrcheck's ratio to each (goal: within 2x of find) and its peak
# memory.
#
#   bench/check.sh [--quick]     (--quick: fewer runs)
#
# Both read the folders from the cache: each command has warm-up runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=10 folders=1000 files=20000
for arg in "$@"; do
  case $arg in
    --quick) runs=3 ;;
    *) echo "usage: bench/check.sh [--quick]" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" --bench
cmake --preset host >/dev/null
cmake --build --preset host --target zrcheck >/dev/null
check=$root/build/host/bin/zrcheck
work=$root/build/bench-check
package=$work/package
if [ "$(find "$package" -type f 2>/dev/null | wc -l)" -ne $((files + 2)) ]; then
  rm -rf "$package"
  # Folders 50 to a level, 20 files each; the example's update and
  # version file on top.
  python3 - "$package" "$folders" "$files" <<'PY'
import os, sys
package, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
paths = []
for i in range(folders):
    parent = paths[i // 50 - 1] if i >= 50 else package
    paths.append(os.path.join(parent, "folder%04d" % i))
    os.makedirs(paths[-1])
for i in range(files):
    with open(os.path.join(paths[i % folders], "file%05d.dat" % i), "w") as f:
        f.write("x" * (i % 97))
PY
  cp examples/package/* "$package/"
fi

hyperfine --style basic --warmup 2 --runs "$runs" \
  --export-json "$work/times.json" \
  -n zrcheck "$check $package >/dev/null" \
  -n find "find $package >/dev/null" \
  -n find-sizes "find $package -printf '%s %p\n' >/dev/null" \
  >"$work/hyperfine.txt"
peak=$( (/usr/bin/time -f %M "$check" "$package" || true) 2>&1 >/dev/null | tail -n 1)

python3 - "$work/times.json" "$folders" "$files" "$peak" <<'PY'
import json, statistics, sys
times = {r["command"]: r["times"] for r in json.load(open(sys.argv[1]))["results"]}
folders, files, peak = map(int, sys.argv[2:])
def median(c): return statistics.median(times[c])
def spread(c):
    q = statistics.quantiles(times[c], n=4)
    return (q[2] - q[0]) / 2
ours, theirs = median("zrcheck"), median("find")
print("zrcheck on %d files in %d folders, %d runs each, ms"
      % (files, folders, len(times["find"])))
print("  zrcheck  %8.1f ±%.1f" % (ours * 1000, spread("zrcheck") * 1000))
print("  find     %8.1f ±%.1f" % (theirs * 1000, spread("find") * 1000))
print("  find -printf '%%s %%p'  %8.1f ±%.1f"
      % (median("find-sizes") * 1000, spread("find-sizes") * 1000))
ratio = ours / theirs
print("  ratio    %8.2f   %s (goal: within 2x of find)"
      % (ratio, "met" if ratio <= 2 else "MISSED"))
print("  ratio to find with sizes  %.2f" % (ours / median("find-sizes")))
print("  peak memory: %.1f MiB" % (peak / 1024))
PY
