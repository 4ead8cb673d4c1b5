#!/usr/bin/env python3
"""Mutation sampler: how many small faults in the program do the host tests catch?

Makes one small fault at a time in the program's sources (src/, without the
host layer src/os/posix/, which stands in for Windows and is not shipped),
builds the host preset with it and runs the host tests. Prints the share of
faults caught and every fault that survived, with file and line.

The faults, by rule: a comparison turned (< and <=, > and >=, == and !=), a
number moved by one, a call's result ignored (taken as success), a call
removed, a returned code swapped (0 and 1, true and false), a condition
negated. A draw of `--sample` faults from all that the rules give, in an
order fixed by `--seed`, so a run can be repeated; a fault that does not
compile is no fault of the program and is replaced by the next one drawn.
The copy is built without -Werror: a fault that only trips a warning is
built and counted like any other, caught or not, never dropped.

The work happens on a copy of the project in build/mutate/ (its own build
folder inside), so the sources in the working tree are never changed, and an
interrupted run leaves nothing but that folder. Standard library only.

    nice scripts/mutate.py --sample 100 --seed 24 --jobs 2
    scripts/mutate.py --seed 24 --ids 17,52   # run again only these faults
    scripts/mutate.py --seed 24 --list        # print the draw, build nothing
    scripts/mutate.py --folders src/check     # faults in zrcheck alone
    scripts/mutate.py --again OUTPUT          # the survivors an earlier run
                                              # printed, after the code moved
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_FOLDERS = ["src/run", "src/platform", "src/staging", "src/log",
                  "src/console", "src/report", "src/check", "src/os"]
COPIED = ["CMakeLists.txt", "CMakePresets.json", "cmake", "src", "tests",
          "examples", "bench"]

# Calls whose result the rules leave alone: they are not the program's steps
# (buffers, strings, the compiler's own).
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof",
             "static_cast", "reinterpret_cast", "const_cast", "static_assert",
             "memset", "memcpy", "strcpy", "strcat", "strlen", "defined",
             "alignof", "decltype"}


def code_mask(text):
    """For each character, whether it is code (not a comment, a string, a
    character literal or a preprocessor line)."""
    mask = [True] * len(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and text[i:].lstrip(" \t").startswith("#"):
            end = text.find("\n", i)
            end = n if end < 0 else end
            while end < n and text[end - 1] == "\\":
                nxt = text.find("\n", end + 1)
                end = n if nxt < 0 else nxt
            for k in range(i, end):
                mask[k] = False
            i = end
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            for k in range(i, end):
                mask[k] = False
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            for k in range(i, end):
                mask[k] = False
            i = end
        elif c in "\"'":
            k = i + 1
            while k < n and text[k] != c:
                k += 2 if text[k] == "\\" else 1
            for j in range(i, min(k + 1, n)):
                mask[j] = False
            i = k + 1
        else:
            i += 1
    return mask


def matching_paren(text, mask, open_at):
    depth = 0
    for k in range(open_at, len(text)):
        if not mask[k]:
            continue
        if text[k] == "(":
            depth += 1
        elif text[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def in_code(mask, start, end):
    return all(mask[start:end])


def find_mutants(path, text):
    """Every fault the rules give for one file: (start, end, replacement,
    rule, description)."""
    mask = code_mask(text)
    # A static_assert is checked when the program is built: a fault in it
    # either stops the build or changes nothing the program does.
    for m in re.finditer(r"\bstatic_assert\s*\(", text):
        if in_code(mask, m.start(), m.end()):
            close = matching_paren(text, mask, m.end() - 1)
            if close > 0:
                mask[m.start():close + 1] = [False] * (close + 1 - m.start())
    found = []

    def add(start, end, new, rule):
        old = text[start:end]
        found.append((start, end, new, rule,
                      "%s: %s -> %s" % (rule, " ".join(old.split()),
                                        " ".join(new.split()))))

    # Declarations at namespace level (constants that size buffers, tables)
    # are mutated too: a bound moved by one is one of the faults we want.
    turned = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ",
              " == ": " != ", " != ": " == "}
    for m in re.finditer(r" (<=|>=|==|!=|<|>) ", text):
        if in_code(mask, m.start(), m.end()):
            add(m.start(), m.end(), turned[m.group(0)], "comparison turned")

    for m in re.finditer(r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?![\w.])", text):
        if not in_code(mask, m.start(), m.end()):
            continue
        digits = m.group(1)
        # C reads a leading 0 as octal (0777); the moved number keeps it so.
        octal = len(digits) > 1 and digits[0] == "0" and digits[1] not in "xX"
        value = int(digits, 8 if octal else 0)
        spell = (lambda v: "0%o" % v) if octal else str
        add(m.start(), m.end(), spell(value + 1), "number moved by one")
        if value > 0:
            add(m.start(), m.end(), spell(value - 1), "number moved by one")

    for m in re.finditer(r"return (0|1|true|false);", text):
        if in_code(mask, m.start(), m.end()):
            swap = {"0": "1", "1": "0", "true": "false", "false": "true"}
            add(m.start(1), m.end(1), swap[m.group(1)], "returned code swapped")

    for m in re.finditer(r"\b(if|while) \(", text):
        if not in_code(mask, m.start(), m.end()):
            continue
        close = matching_paren(text, mask, m.end() - 1)
        if close > 0:
            condition = text[m.end():close]
            add(m.end(), close, "!(" + condition + ")", "condition negated")

    for m in re.finditer(r"\b([A-Z]\w*)\(", text):
        name = m.group(1)
        if name in NOT_CALLS or not in_code(mask, m.start(), m.end()):
            continue
        close = matching_paren(text, mask, m.end() - 1)
        if close < 0:
            continue
        call = text[m.start():close + 1]
        before = text[:m.start()].rstrip(" \t")
        after = text[close + 1:].lstrip(" \t")
        line_start = text.rfind("\n", 0, m.start()) + 1
        head = text[line_start:m.start()]
        if head.strip() == "" and after.startswith(";"):
            # A call made as a statement of its own: removed.
            add(m.start(), close + 1, "(void)0", "call removed")
        elif before.endswith("!"):
            # Tested for failure: the test sees success.
            add(m.start(), close + 1, "((void)" + call + ", 1)",
                "call's result ignored")
        elif after.startswith(("!= 0", "== 0", "< 0", "> 0")) or \
                re.search(r"\b(bool|int|DWORD|UINT|int32_t|uint32_t|HANDLE)"
                          r" \w+ = $", head) or head.rstrip().endswith("="):
            # A result that is compared or kept: taken as zero.
            if re.search(r"\bconst\b|\bconstexpr\b|\bstatic_assert\b", head):
                continue
            add(m.start(), close + 1, "((void)" + call + ", 0)",
                "call's result ignored")
    return found


def all_mutants(root, folders):
    mutants = []
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith((".cc", ".h")):
                continue
            rel = os.path.join(folder, name)
            with open(os.path.join(root, rel), encoding="latin-1") as f:
                text = f.read()
            for start, end, new, rule, what in find_mutants(rel, text):
                line = text.count("\n", 0, start) + 1
                begin = text.rfind("\n", 0, start) + 1
                finish = text.find("\n", start)
                source = " ".join(text[begin:finish if finish >= 0
                                       else len(text)].split())
                mutants.append({"file": rel, "start": start, "end": end,
                                "new": new, "rule": rule, "what": what,
                                "line": line, "text": source})
    return mutants


def run(command, cwd, log, timeout):
    """Runs a command; its output goes to `log`. True when it succeeded,
    None when it ran out of time."""
    with open(log, "a") as out:
        out.write("$ %s\n" % " ".join(command))
        out.flush()
        try:
            done = subprocess.run(command, cwd=cwd, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout,
                                  start_new_session=True)
        except subprocess.TimeoutExpired:
            return None
    return done.returncode == 0


def sync_file(source, target):
    """Copies a file whose bytes differ, with a fresh time, so the build
    compiles it again; a file that is the same keeps its time, which is
    newer than any object built from a fault made in it."""
    if os.path.isfile(target):
        with open(source, "rb") as a, open(target, "rb") as b:
            if a.read() == b.read():
                return
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)
    shutil.copymode(source, target)


def copy_project(work):
    """Brings the copy in `work` up to the working tree, leaving its build
    folder as it is."""
    tree = os.path.join(work, "tree")
    for entry in COPIED:
        source = os.path.join(ROOT, entry)
        target = os.path.join(tree, entry)
        if os.path.isfile(source):
            sync_file(source, target)
            continue
        wanted = set()
        for folder, _, files in os.walk(source):
            for name in files:
                rel = os.path.relpath(os.path.join(folder, name), source)
                wanted.add(rel)
                sync_file(os.path.join(folder, name), os.path.join(target, rel))
        for folder, _, files in os.walk(target):
            for name in files:
                path = os.path.join(folder, name)
                if os.path.relpath(path, target) not in wanted:
                    os.remove(path)
    return tree


def survivors_again(output, mutants):
    """The faults that an earlier run printed as survivors, found among
    today's by file, description and the exact text of their line (among
    lines of the same text, the nearest): their indices, and the lines of
    those no longer made. A fault whose line has changed is not taken for
    another one that merely lies near it."""
    found, gone = [], []
    pattern = re.compile(r"^survived\s+\d+ (\S+):(\d+) (.*?) in: (.*)$")
    with open(output, encoding="latin-1") as f:
        for line in f:
            m = pattern.match(line.rstrip("\n"))
            if not m:
                continue
            path, number, what = m.group(1), int(m.group(2)), m.group(3)
            same = [i for i, x in enumerate(mutants)
                    if x["file"] == path and x["what"] == what and
                    x["text"] == m.group(4)]
            if not same:
                gone.append(line.strip())
                continue
            found.append(min(same,
                             key=lambda i: abs(mutants[i]["line"] - number)))
    return found, gone


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sample", type=int, default=100,
                        help="how many faults that compile to try")
    parser.add_argument("--seed", type=int, default=24)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=600,
                        help="seconds for the tests of one fault")
    parser.add_argument("--ids", help="only these faults of the draw "
                        "(numbers as printed, comma-separated)")
    parser.add_argument("--again", metavar="OUTPUT",
                        help="only the faults that survived in an earlier "
                        "run, from its printed output; each is found again "
                        "by file, fault and the exact text of its line, so "
                        "the code may have moved since")
    parser.add_argument("--list", action="store_true",
                        help="print the draw and stop")
    parser.add_argument("--folders", default=",".join(SOURCE_FOLDERS),
                        help="the source folders to draw faults from "
                        "(comma-separated), for a run on one part alone")
    parser.add_argument("--work", default=os.path.join(ROOT, "build",
                                                       "mutate"))
    args = parser.parse_args()

    folders = [f.strip().rstrip("/") for f in args.folders.split(",")
               if f.strip()]
    mutants = all_mutants(ROOT, folders)
    order = list(range(len(mutants)))
    random.Random(args.seed).shuffle(order)
    wanted = None
    if args.ids:
        wanted = {int(i) for i in args.ids.split(",")}
    if args.again:
        order, gone = survivors_again(args.again, mutants)
        for line in gone:
            print("no longer made: " + line)
        wanted = set(range(1, len(order) + 1))
    if args.list:
        for number, index in enumerate(order[:args.sample * 2], 1):
            m = mutants[index]
            print("%4d %s:%d %s" % (number, m["file"], m["line"], m["what"]))
        return 0

    os.makedirs(args.work, exist_ok=True)
    tree = copy_project(args.work)
    build = os.path.join(tree, "build", "host")
    log = os.path.join(args.work, "mutate.log")
    open(log, "w").close()
    if args.again:
        print("%d faults by rule in %s; %d survivors of %s again" %
              (len(mutants), ", ".join(folders), len(order),
               args.again), flush=True)
    else:
        print("%d faults by rule in %s; seed %d, sample %d" %
              (len(mutants), ", ".join(folders), args.seed,
               args.sample), flush=True)
    # Warnings are not errors here: a fault that only trips one is a fault
    # the tests must catch.
    if not run(["cmake", "--preset", "host",
                "-DCMAKE_COMPILE_WARNING_AS_ERROR=OFF"], tree, log, 600) or \
            not run(["cmake", "--build", "--preset", "host", "-j",
                     str(args.jobs)], tree, log, 3600) or \
            not run(["ctest", "--test-dir", build, "-j", str(args.jobs)],
                    tree, log, args.timeout):
        print("the unchanged program does not pass its tests; see " + log)
        return 2

    caught, survived, stillborn = [], [], 0
    for number, index in enumerate(order, 1):
        tried = len(caught) + len(survived)
        if wanted is None and tried >= args.sample:
            break
        if wanted is not None and number not in wanted:
            continue
        if wanted is not None and number > max(wanted):
            break
        m = mutants[index]
        path = os.path.join(tree, m["file"])
        with open(path, encoding="latin-1") as f:
            original = f.read()
        mutated = original[:m["start"]] + m["new"] + original[m["end"]:]
        began = time.time()
        try:
            with open(path, "w", encoding="latin-1") as f:
                f.write(mutated)
            built = run(["cmake", "--build", build, "-j", str(args.jobs)],
                        tree, log, 1800)
            if not built:
                stillborn += 1
                continue
            passed = run(["ctest", "--test-dir", build, "-j", str(args.jobs),
                          "--stop-on-failure", "--timeout", "300"],
                         tree, log, args.timeout)
        finally:
            with open(path, "w", encoding="latin-1") as f:
                f.write(original)
            # The file's time moves on, so the next build compiles it again.
            os.utime(path)
        where = "%s:%d" % (m["file"], m["line"])
        verdict = "survived" if passed else ("caught (time-out)"
                                             if passed is None else "caught")
        (survived if passed else caught).append(
            (number, where, m["what"], m["text"]))
        print("%4d %-40s %s [%s, %ds]" % (number, where, m["what"], verdict,
                                           time.time() - began), flush=True)

    tried = len(caught) + len(survived)
    if tried == 0:
        print("no fault tried")
        return 1
    print("\n%d faults tried (%d more did not compile): %d caught, %d "
          "survived; %.1f %% caught (%s)" %
          (tried, stillborn, len(caught), len(survived),
           100.0 * len(caught) / tried,
           "again" if args.again else "seed %d" % args.seed))
    for number, where, what, text in survived:
        print("survived %4d %s %s in: %s" % (number, where, what, text))
    return 0


if __name__ == "__main__":
    sys.exit(main())
