#!/usr/bin/env python3
"""Measures TAVLER against text tools run in the same invocation.

Every workload runs its commands in turn, round after round, so that a
change in the machine's load touches them alike; the table shows ratios of
the medians (and of peak memory to the input size), never bare times.

    bench/bench.py --tavler build-bench/tavler/tavler --refgen build-bench/tests/tavler_refgen
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

W1_COUNTS = dict(classes=50000, members=10, attributes=200000, syntaxes=40)
W5_COUNTS = dict(classes=400, members=10, attributes=1595, syntaxes=5)


def generate(refgen, outputs, cwd, seed=1, order="sorted", differ=0.05, scale=1,
             counts=W1_COUNTS):
    args = [refgen, "--seed", str(seed), "--order", order, "--differ", str(differ)]
    for name, value in counts.items():
        # The number of list members per class is the shape of a class, not a count
        # of definitions, so it stays when the schema doubles.
        factor = 1 if name == "members" else scale
        args += ["--" + name, str(value * factor)]
    subprocess.run(args + outputs, check=True, cwd=cwd)


def run_once(command, cwd, stderr_to_pipe=False):
    """Wall time and peak resident memory (KiB) of one run."""
    devnull = subprocess.DEVNULL
    start = time.perf_counter()
    proc = subprocess.Popen(command, cwd=cwd, stdin=devnull, stdout=devnull,
                            stderr=subprocess.PIPE if stderr_to_pipe else devnull)
    if stderr_to_pipe:
        # Drained as it comes, as a terminal or a log collector would.
        while proc.stderr.read(65536):
            pass
        proc.stderr.close()
    _, _, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = 0
    return elapsed, usage.ru_maxrss


def measure(commands, cwd, rounds, seed=1):
    """Medians of time and peak memory for each command, runs alternating.

    Each round runs the commands in an order of its own, and each measured
    run right after an unmeasured run of the same command. On the virtual
    machine we measure on, memory that a run has just freed is cheap to touch
    again, while memory left unused for a few seconds costs up to ten times
    as much on its next use: without the warm-up a run pays for whatever
    part of its memory the run before it did not free, and the times of one
    command fall into two groups whose median jumps between them."""
    times = {name: [] for name in commands}
    memory = {name: [] for name in commands}
    order = random.Random(seed)
    for _ in range(rounds):
        names = list(commands)
        order.shuffle(names)
        for name in names:
            command, pipe = commands[name]
            run_once(command, cwd, pipe)
            elapsed, rss = run_once(command, cwd, pipe)
            times[name].append(elapsed)
            memory[name].append(rss)
    return ({n: statistics.median(t) for n, t in times.items()},
            {n: statistics.median(m) for n, m in memory.items()})


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tavler", required=True)
    parser.add_argument("--refgen", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--list-lines", type=int, default=1000)
    args = parser.parse_args()
    if args.rounds < 5:
        sys.exit("at least 5 rounds")
    tavler = os.path.abspath(args.tavler)
    refgen = os.path.abspath(args.refgen)
    rows = []

    def row(workload, what, value, limit):
        rows.append((workload, what, value, limit))

    with tempfile.TemporaryDirectory(prefix="tavler-bench-") as work:
        # Words that begin with "/" are switches, so files are named relative to `work`.
        generate(refgen, ["a.ref", "b.ref"], work)
        generate(refgen, ["a2.ref", "b2.ref"], work, scale=2)
        generate(refgen, ["sorted.ref"], work, seed=3)
        generate(refgen, ["shuffled.ref"], work, seed=3, order="shuffled")
        inputs = os.path.getsize(os.path.join(work, "a.ref")) + os.path.getsize(
            os.path.join(work, "b.ref"))

        t, m = measure({
            "tavler": ([tavler, "a.ref", "b.ref"], False),
            "tavler, stderr on a pipe": ([tavler, "a.ref", "b.ref"], True),
            "diff": (["diff", "a.ref", "b.ref"], False),
            "cat": (["cat", "a.ref", "b.ref"], False),
            "tavler doubled": ([tavler, "a2.ref", "b2.ref"], False),
        }, work, args.rounds)
        row("W1", "compare / diff", t["tavler"] / t["diff"], 0.25)
        row("W1", "compare / cat", t["tavler"] / t["cat"], 30)
        row("W3", "doubled compare / compare", t["tavler doubled"] / t["tavler"], 2.2)
        row("W4", "peak memory / input size", m["tavler"] * 1024 / inputs, 2)
        row("W6", "stderr on a pipe / on /dev/null", t["tavler, stderr on a pipe"] / t["tavler"],
            1.05)

        t, _ = measure({
            "shuffled": ([tavler, "shuffled.ref"], False),
            "sorted": ([tavler, "sorted.ref"], False),
            "sort": (["sort", "shuffled.ref"], False),
        }, work, args.rounds)
        row("W2", "shuffled listing / sort", t["shuffled"] / t["sort"], 0.25)
        row("W2", "shuffled listing / sorted listing", t["shuffled"] / t["sorted"], 1.3)

        lines = list_workload(refgen, work, args.list_lines)
        t, _ = measure({
            "list": ([tavler, "servers.lst", "base.ref"], False),
            "diff loop": (["sh", "-c", 'while read f; do diff "$f" base.ref; done < servers.lst'],
                          False),
        }, work, args.rounds)
        row("W5", "list run / shell loop of diff", t["list"] / t["diff loop"], 0.3)
        row("W5", "ms per line (list run / lines)", t["list"] / lines * 1000, 1)

    print(f"{'':4} {'measure':38} {'ratio':>8} {'limit':>7}  met")
    for workload, what, value, limit in rows:
        print(f"{workload:4} {what:38} {value:8.3f} {limit:7.2f}  {'yes' if value <= limit else 'NO'}")
    return 0 if all(value <= limit for _, _, value, limit in rows) else 1


def list_workload(refgen, work, lines):
    """A base file, four 2,000-definition files and a list naming them in turn."""
    generate(refgen, ["base.ref"], work, seed=11, counts=W5_COUNTS)
    for k in range(1, 5):
        # The same first schema as base.ref, so each file differs from it a little.
        generate(refgen, ["scratch.ref", f"s{k}.ref"], work, seed=11, differ=0.01 * k,
                 counts=W5_COUNTS)
    with open(os.path.join(work, "servers.lst"), "w") as out:
        for n in range(lines):
            out.write(f"s{n % 4 + 1}.ref\n")
    return lines


if __name__ == "__main__":
    sys.exit(main())
