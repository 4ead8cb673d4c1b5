#!/usr/bin/env python3
"""Prints the benchmark's tables from hyperfine's JSON exports.

  table.py DIR RUNS WINE_RUNS RUN_RUNS

DIR holds the files bench/run.sh writes: compare-{host,wine}-TREE.json
(commands "ours" and "theirs"), scale-{files,MiB}-N.json (one command),
run-{host,wine}.json ("ours" and "baseline") and peak.tsv (what, KiB).
Times are medians; the spread (±) is half the interquartile range.
"""
import glob
import json
import os
import statistics
import sys

HOST_RATIO = 1.10      # copy and delete against cp -a plus rm -rf
WINE_RATIO = 1.00      # against xcopy plus rmdir /S /Q
GROWTH = 1.2           # time per unit, largest size against smallest
EXTRA_MS = 2.0         # a run that does not apply, against true
PEAK_KIB = 4 * 1024    # peak memory of a run


def load(path):
    with open(path) as f:
        return {r["command"]: r["times"] for r in json.load(f)["results"]}


def median_ms(times):
    return statistics.median(times) * 1000


def spread_ms(times):
    if len(times) < 2:
        return 0.0
    q = statistics.quantiles(times, n=4)
    return (q[2] - q[0]) * 1000 / 2


def timing(times, digits=1):
    return "%.*f ±%.*f" % (digits, median_ms(times), digits, spread_ms(times))


def verdict(ok):
    return "met" if ok else "MISSED"


def row(cells, widths):
    return "  ".join(c.ljust(w) if i == 0 else c.rjust(w)
                     for i, (c, w) in enumerate(zip(cells, widths))).rstrip()


def table(title, header, rows):
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    print(title)
    print(row(header, widths))
    for r in rows:
        print(row(r, widths))
    print()


def name_of(path, prefix):
    return os.path.basename(path)[len(prefix):-len(".json")]


def compare(folder, runs, wine_runs):
    rows = []
    for side, limit, n in (("host", HOST_RATIO, runs), ("wine", WINE_RATIO, wine_runs)):
        for path in sorted(glob.glob(os.path.join(folder, "compare-%s-*.json" % side))):
            r = load(path)
            ratio = median_ms(r["ours"]) / median_ms(r["theirs"])
            rows.append(["%s %s" % ("host" if side == "host" else "Wine",
                                    name_of(path, "compare-%s-" % side)),
                         str(n), timing(r["ours"]), timing(r["theirs"]),
                         "%.2f" % ratio, "<= %.2f %s" % (limit, verdict(ratio <= limit))])
    table("Copy then delete, ours against the usual tools (host: cp -a + rm -rf;"
          " Wine: xcopy /E /I /H + rmdir /S /Q), ms",
          ["tree", "runs", "ours", "theirs", "ratio", "target"], rows)


def scale(folder, runs):
    rows = []
    for unit, label in (("files", "file"), ("MiB", "MiB")):
        paths = glob.glob(os.path.join(folder, "scale-%s-*.json" % unit))
        paths.sort(key=lambda p: int(name_of(p, "scale-%s-" % unit)))
        first = None
        for path in paths:
            amount = int(name_of(path, "scale-%s-" % unit))
            times = load(path)["copy"]
            per = median_ms(times) / amount
            first = first or per
            last = path == paths[-1]
            rows.append(["%d %s" % (amount, unit), timing(times),
                         "%.4f ms/%s" % (per, label), "%.2f" % (per / first),
                         ("<= %.1f %s" % (GROWTH, verdict(per / first <= GROWTH)))
                         if last and len(paths) > 1 else ""])
    table("Growth of the host copy (walker alone, %d runs each), ms" % runs,
          ["size", "copy", "per unit", "vs smallest", "target"], rows)


def run_cost(folder, run_runs):
    rows = []
    for side, base in (("host", "true"), ("wine", "do-nothing exe")):
        path = os.path.join(folder, "run-%s.json" % side)
        if not os.path.exists(path):
            continue
        r = load(path)
        extra = median_ms(r["ours"]) - median_ms(r["baseline"])
        target = ("< %.0f ms %s" % (EXTRA_MS, verdict(extra < EXTRA_MS))
                  if side == "host" else "(bounded by Wine)")
        rows.append(["host" if side == "host" else "Wine", base,
                     str(len(r["ours"])), timing(r["ours"], 2),
                     timing(r["baseline"], 2),
                     "%.2f" % (median_ms(r["ours"]) / median_ms(r["baseline"])),
                     "%.2f" % extra, target])
    table("A run that does not apply, against a process that does nothing, ms",
          ["where", "baseline", "runs", "ours", "baseline", "ratio", "extra", "target"],
          rows)


def peak(folder):
    rows = []
    with open(os.path.join(folder, "peak.tsv")) as f:
        for line in f:
            what, kib = line.rstrip("\n").split("\t")
            target = ""
            if what.startswith("host run"):
                target = "< 4 MiB %s" % verdict(int(kib) < PEAK_KIB)
            rows.append([what, "%.2f" % (int(kib) / 1024), target])
    table("Peak memory (/usr/bin/time: maximum resident set size), MiB",
          ["process", "peak", "target"], rows)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    folder = sys.argv[1]
    compare(folder, int(sys.argv[2]), int(sys.argv[3]))
    scale(folder, int(sys.argv[2]))
    run_cost(folder, int(sys.argv[4]))
    peak(folder)
