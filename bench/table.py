#!/usr/bin/env python3
"""Prints the benchmark's tables from hyperfine's JSON exports.

  table.py compare DIR    one row per pair: ours/theirs medians and ratio
  table.py scale DIR      one row per size: median, time per unit
  table.py run DIR        the cost of a run that does not apply
Each JSON file in DIR is named as its table expects (see run.sh).
"""
import glob
import json
import os
import statistics
import sys


def load(path):
    with open(path) as f:
        return {r["command"]: r["times"] for r in json.load(f)["results"]}


def median_ms(times):
    return statistics.median(times) * 1000


def spread_ms(times):
    """Half the range between the first and third quartile, in ms."""
    if len(times) < 2:
        return 0.0
    q = statistics.quantiles(times, n=4)
    return (q[2] - q[0]) * 1000 / 2


def compare(folder):
    print("%-28s %14s %14s %8s" % ("tree", "ours ms", "theirs ms", "ratio"))
    for path in sorted(glob.glob(os.path.join(folder, "compare-*.json"))):
        name = os.path.basename(path)[len("compare-"):-len(".json")]
        runs = load(path)
        ours, theirs = runs["ours"], runs["theirs"]
        print("%-28s %8.1f ±%4.1f %8.1f ±%4.1f %8.3f" % (
            name, median_ms(ours), spread_ms(ours), median_ms(theirs),
            spread_ms(theirs), median_ms(ours) / median_ms(theirs)))


def scale(folder):
    print("%-28s %14s %16s" % ("size", "copy ms", "per unit"))
    for path in sorted(glob.glob(os.path.join(folder, "scale-*.json")),
                       key=lambda p: (p.split("-")[-2], int(p.split("-")[-1][:-5]))):
        unit, amount = os.path.basename(path)[len("scale-"):-len(".json")].split("-")
        times = list(load(path).values())[0]
        per = median_ms(times) / int(amount)
        label = "ms per file" if unit == "files" else "ms per MiB"
        print("%-28s %8.1f ±%4.1f %9.4f %s" % (
            "%s %s" % (amount, unit), median_ms(times), spread_ms(times), per, label))


def run(folder):
    print("%-28s %14s %14s %8s %10s" % ("run that does not apply", "ours ms", "baseline ms", "ratio", "extra ms"))
    for path in sorted(glob.glob(os.path.join(folder, "run-*.json"))):
        name = os.path.basename(path)[len("run-"):-len(".json")]
        runs = load(path)
        ours, base = median_ms(runs["ours"]), median_ms(runs["baseline"])
        print("%-28s %8.2f ±%4.2f %8.2f ±%4.2f %8.2f %10.2f" % (
            name, ours, spread_ms(runs["ours"]), base, spread_ms(runs["baseline"]),
            ours / base, ours - base))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("compare", "scale", "run"):
        sys.exit(__doc__)
    {"compare": compare, "scale": scale, "run": run}[sys.argv[1]](sys.argv[2])
