#!/usr/bin/env python3
"""Measures TAVLER against text tools run in the same invocation.

Every workload runs its commands in turn, round after round, so that a
change in the machine's load touches them alike; the table shows ratios of
the medians (and of peak memory to the input size), never bare times, each
against its limit, and the exit status is 1 when one is missed or a command
failed. W1, W2 and W5 are measured warm and cold (see measure()); W7 and W8
read LDIF schemas against libldap's parser (tavler_floor); N1 runs a list of
servers behind a delaying relay against one of them (bench/localservers.py).

    bench/bench.py --tavler build-bench/tavler/tavler --refgen build-bench/tests/tavler_refgen \
        --floor build-bench/tests/tavler_floor [--only W1,W7] [--modes cold] [--seed 7 --name-length 14]
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

import localservers

W1_COUNTS = dict(classes=50000, members=10, attributes=200000, syntaxes=40)
W5_COUNTS = dict(classes=400, members=10, attributes=1595, syntaxes=5)
GROUPS = ("W1", "W2", "W5", "W7", "W8", "N1")
# What a cold run waits before it starts, so that no memory another run freed is fresh.
COLD_PAUSE = 3.0
# Each server's schema files (under /etc/ldap/schema): the first is the base,
# the others differ from it in a few dozen definitions each.
N1_SCHEMAS = [
    ["core", "cosine", "inetorgperson", "nis"],
    ["core", "cosine", "inetorgperson", "nis", "misc"],
    ["core", "cosine", "inetorgperson", "nis", "dyngroup"],
    ["core", "cosine", "inetorgperson"],
]
N1_DELAY = 0.05
# A sequential run of 200 delayed servers takes over a minute: one that
# long is reported from a single run rather than repeated.
N1_SLOW_RUN = 15.0


class CommandFailed(Exception):
    def __init__(self, name, command, status):
        super().__init__(f"{name}: `{' '.join(command)}` ended with status {status}")


def generate(refgen, outputs, cwd, seed=1, order="sorted", differ=0.05, scale=1,
             counts=W1_COUNTS, name_length=None):
    args = [refgen, "--seed", str(seed), "--order", order, "--differ", str(differ)]
    if name_length is not None:
        args += ["--name-length", str(name_length)]
    for name, value in counts.items():
        # The number of list members per class is the shape of a class, not a count
        # of definitions, so it stays when the schema doubles.
        factor = 1 if name == "members" else scale
        args += ["--" + name, str(value * factor)]
    subprocess.run(args + outputs, check=True, cwd=cwd)


TIME = "/usr/bin/time"


def run_once(command, cwd, stderr_to_pipe=False, peak=False, stdout=subprocess.DEVNULL):
    """Wall time, peak resident memory (KiB, with `peak`, else None) and exit
    status of one run.

    A child's peak as wait4 reports it starts from what the process held
    when it called exec, and a child of this script starts as a copy of the
    Python interpreter (tens of MiB): a program that needs less would show
    the interpreter's size. So the peak comes from GNU time, a small process
    whose own child starts small; as that costs a fork and an exec more, the
    runs that are timed never go through it."""
    devnull = subprocess.DEVNULL
    peak_file = None
    if peak:
        handle, peak_file = tempfile.mkstemp(prefix="tavler-bench-peak-")
        os.close(handle)
        command = [TIME, "--quiet", "--format=%M", "--output=" + peak_file, "--", *command]
    try:
        start = time.perf_counter()
        proc = subprocess.Popen(command, cwd=cwd, stdin=devnull, stdout=stdout,
                                stderr=subprocess.PIPE if stderr_to_pipe else devnull)
        output = b""
        if stdout == subprocess.PIPE:
            output = proc.stdout.read()
            proc.stdout.close()
        if stderr_to_pipe:
            # Drained as it comes, as a terminal or a log collector would.
            while proc.stderr.read(65536):
                pass
            proc.stderr.close()
        _, status, _ = os.wait4(proc.pid, 0)
        elapsed = time.perf_counter() - start
        proc.returncode = 0
        rss = None
        if peak_file:
            with open(peak_file) as f:
                lines = f.read().split()
            rss = int(lines[-1]) if lines and lines[-1].isdigit() else None
        result = (elapsed, rss, os.waitstatus_to_exitcode(status))
        return result + (output,) if stdout == subprocess.PIPE else result
    finally:
        if peak_file:
            os.remove(peak_file)


def measure(commands, cwd, rounds, seed=1, mode="warm", ok=(0, 1)):
    """Medians of time, and in the warm mode of peak memory, for each
    command, runs alternating.

    Each round runs the commands in an order of its own. In the warm mode
    each measured run comes right after an unmeasured run of the same
    command, which also gives the peak memory. On the virtual machine we
    measure on, memory that a run has just freed is cheap to touch again,
    while memory left unused for a few seconds costs up to ten times as much
    on its next use: without the warm-up a run pays for whatever part of its
    memory the run before it did not free, and the times of one command fall
    into two groups whose median jumps between them. The cold mode measures
    the other end: every run starts after a pause of COLD_PAUSE, as a first
    run of the day would. The mode "once" neither warms up nor pauses, for
    runs that wait on the network rather than on memory.

    A run that ends with a status outside `ok` (a refused option, a file
    that could not be opened, a crash) raises CommandFailed: its time
    would measure nothing."""
    times = {name: [] for name in commands}
    memory = {name: [] for name in commands}
    order = random.Random(seed)

    def run(name, peak=False):
        # A command may name the statuses it may end with; else `ok` holds.
        command, pipe, *statuses = commands[name]
        elapsed, rss, status = run_once(command, cwd, pipe, peak)
        if status not in (statuses[0] if statuses else ok):
            raise CommandFailed(name, command, status)
        return elapsed, rss

    for _ in range(rounds):
        names = list(commands)
        order.shuffle(names)
        for name in names:
            if mode == "warm":
                _, rss = run(name, peak=True)
                if rss is not None:
                    memory[name].append(rss)
            elif mode == "cold":
                time.sleep(COLD_PAUSE)
            elapsed, _ = run(name)
            times[name].append(elapsed)
    return ({n: statistics.median(t) for n, t in times.items()},
            {n: statistics.median(m) for n, m in memory.items() if m})


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tavler", required=True)
    parser.add_argument("--refgen", required=True)
    parser.add_argument("--floor", help="tavler_floor, for W7 and W8")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--cold-rounds", type=int, default=5,
                        help="rounds of the cold runs of W1, W2 and W5")
    parser.add_argument("--big-rounds", type=int, default=5, help="rounds of W7, W8 and N1")
    parser.add_argument("--list-lines", type=int, default=1000)
    parser.add_argument("--only", default=",".join(GROUPS),
                        help="workloads to run, of " + ",".join(GROUPS) +
                        " (W1 also measures W3, W4 and W6)")
    parser.add_argument("--modes", default="warm,cold",
                        help="warm, cold or both, for W1, W2 and W5")
    parser.add_argument("--seed", type=int, default=1,
                        help="seed of the generated reference files (a held-out workload: 7)")
    parser.add_argument("--name-length", type=int,
                        help="length of the generated names (a held-out workload: 14)")
    parser.add_argument("--servers", type=int, default=200, help="lines of the N1 list file")
    parser.add_argument("--no-jobs-option", action="store_true",
                        default=os.environ.get("TAVLER_BENCH_NO_JOBS") == "1",
                        help="run N1 without --jobs, for a program that lacks the option "
                        "(also TAVLER_BENCH_NO_JOBS=1)")
    args = parser.parse_args()
    if min(args.rounds, args.cold_rounds, args.big_rounds) < 5:
        sys.exit("at least 5 rounds")
    groups = [g.strip().upper() for g in args.only.split(",") if g.strip()]
    modes = [m.strip() for m in args.modes.split(",") if m.strip()]
    if any(g not in GROUPS for g in groups) or any(m not in ("warm", "cold") for m in modes):
        sys.exit(f"--only takes {','.join(GROUPS)}; --modes takes warm,cold")
    if ("W7" in groups or "W8" in groups) and not args.floor:
        sys.exit("W7 and W8 need --floor")
    if not os.access(TIME, os.X_OK):
        sys.exit(f"peak memory is measured with GNU time: {TIME} is missing (the time package)")
    tavler = os.path.abspath(args.tavler)
    refgen = os.path.abspath(args.refgen)
    rows = []
    notes = []

    def row(workload, what, value, limit):
        rows.append((workload, what, value, limit))

    def attempt(workload, body):
        try:
            body()
        except CommandFailed as failure:
            row(workload, "failed, see below", None, None)
            notes.append(f"{workload}: {failure}")

    with tempfile.TemporaryDirectory(prefix="tavler-bench-") as work:
        gen = dict(name_length=args.name_length)
        if "W1" in groups:
            # Words that begin with "/" are switches, so files are named relative to `work`.
            generate(refgen, ["a.ref", "b.ref"], work, seed=args.seed, **gen)
            generate(refgen, ["a2.ref", "b2.ref"], work, seed=args.seed, scale=2, **gen)
            for mode in modes:
                attempt(label("W1", mode), lambda: compare_workload(tavler, work, args, mode, row))
        if "W2" in groups:
            generate(refgen, ["sorted.ref"], work, seed=args.seed + 2, **gen)
            generate(refgen, ["shuffled.ref"], work, seed=args.seed + 2, order="shuffled", **gen)
            for mode in modes:
                attempt(label("W2", mode), lambda: sort_workload(tavler, work, args, mode, row))
        if "W5" in groups:
            lines = list_workload(refgen, work, args.list_lines, args.seed + 10, args.name_length)
            for mode in modes:
                attempt(label("W5", mode),
                        lambda: list_run_workload(tavler, work, args, mode, lines, row))
        for name in ("W7", "W8"):
            if name in groups:
                attempt(name, lambda: ldif_workload(name, tavler, os.path.abspath(args.floor),
                                                    work, args, row))
        if "N1" in groups:
            why = localservers.available()
            if why:
                notes.append(f"N1 skipped: {why}")
            else:
                attempt("N1", lambda: servers_workload(tavler, work, args, row, notes))

    print(f"{'':8} {'measure':48} {'ratio':>8} {'limit':>7}  met")
    missed = False
    for workload, what, value, limit in rows:
        shown = "failed" if value is None else f"{value:8.3f}"
        bound = "-" if limit is None else f"{limit:7.2f}"
        met = "-" if limit is None and value is not None else (
            "yes" if value is not None and value <= limit else "NO")
        missed = missed or met == "NO"
        print(f"{workload:8} {what:48} {shown:>8} {bound:>7}  {met}")
    for note in notes:
        print(note)
    return 1 if missed else 0


def label(workload, mode):
    return workload if mode == "warm" else f"{workload} {mode}"


def compare_workload(tavler, work, args, mode, row):
    rounds = args.rounds if mode == "warm" else args.cold_rounds
    inputs = os.path.getsize(os.path.join(work, "a.ref")) + os.path.getsize(
        os.path.join(work, "b.ref"))
    t, m = measure({
        "tavler": ([tavler, "a.ref", "b.ref"], False),
        "tavler, stderr on a pipe": ([tavler, "a.ref", "b.ref"], True),
        "diff": (["diff", "a.ref", "b.ref"], False),
        "cat": (["cat", "a.ref", "b.ref"], False),
        "tavler doubled": ([tavler, "a2.ref", "b2.ref"], False),
    }, work, rounds, mode=mode)
    row(label("W1", mode), "compare / diff", t["tavler"] / t["diff"], 0.25)
    row(label("W1", mode), "compare / cat", t["tavler"] / t["cat"], 30)
    row(label("W3", mode), "doubled compare / compare", t["tavler doubled"] / t["tavler"], 2.2)
    if mode == "warm":
        # Peak memory does not depend on the warm-up: the cold runs leave it out.
        row("W4", "peak memory / input size", m["tavler"] * 1024 / inputs, 2)
    row(label("W6", mode), "stderr on a pipe / on /dev/null",
        t["tavler, stderr on a pipe"] / t["tavler"], 1.05)


def sort_workload(tavler, work, args, mode, row):
    rounds = args.rounds if mode == "warm" else args.cold_rounds
    t, _ = measure({
        "shuffled": ([tavler, "shuffled.ref"], False),
        "sorted": ([tavler, "sorted.ref"], False),
        "sort": (["sort", "shuffled.ref"], False),
    }, work, rounds, mode=mode)
    row(label("W2", mode), "shuffled listing / sort", t["shuffled"] / t["sort"], 0.25)
    row(label("W2", mode), "shuffled listing / sorted listing", t["shuffled"] / t["sorted"], 1.3)


def list_run_workload(tavler, work, args, mode, lines, row):
    rounds = args.rounds if mode == "warm" else args.cold_rounds
    t, _ = measure({
        "list": ([tavler, "servers.lst", "base.ref"], False),
        "diff loop": (["sh", "-c", 'while read f; do diff "$f" base.ref; done < servers.lst'],
                      False),
    }, work, rounds, mode=mode)
    row(label("W5", mode), "list run / shell loop of diff", t["list"] / t["diff loop"], 0.3)
    row(label("W5", mode), "ms per line (list run / lines)", t["list"] / lines * 1000, 1)


def ldif_workload(name, tavler, floor, work, args, row):
    """W7 lists one large LDIF schema, W8 compares two in full mode; the
    floor is libldap's parser over the same definitions."""
    ldifgen = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ldifgen.py")
    if name == "W7":
        subprocess.run([sys.executable, ldifgen, "big.ldif"], check=True, cwd=work)
        with open(os.path.join(work, "big.ref"), "wb") as out:
            made = subprocess.run([tavler, "file:big.ldif", "/C", "/A"], cwd=work, stdout=out,
                                  stderr=subprocess.DEVNULL)
        if made.returncode != 0:
            raise CommandFailed("listing to big.ref", [tavler, "file:big.ldif", "/C", "/A"],
                                made.returncode)
        t, m = measure({
            "ldif": ([tavler, "file:big.ldif", "/C", "/A"], False),
            "ref": ([tavler, "big.ref", "/C", "/A"], False),
            "floor": ([floor, "big.ldif"], False),
        }, work, args.big_rounds, ok=(0,))
        size = os.path.getsize(os.path.join(work, "big.ldif"))
        row("W7", "LDIF listing / libldap parse floor", t["ldif"] / t["floor"], 3)
        row("W7", "LDIF listing / its saved listing", t["ldif"] / t["ref"], 2)
        row("W7", "peak memory / input size", m["ldif"] * 1024 / size, 2.5)
    else:
        subprocess.run([sys.executable, ldifgen, "a.ldif", "b.ldif"], check=True, cwd=work)
        t, m = measure({
            "full": ([tavler, "--full", "file:a.ldif", "file:b.ldif"], False, (0, 1)),
            # The floor ends with 1 when libldap refused a definition.
            "floor": ([floor, "a.ldif", "b.ldif"], False, (0,)),
        }, work, args.big_rounds)
        size = sum(os.path.getsize(os.path.join(work, f)) for f in ("a.ldif", "b.ldif"))
        row("W8", "--full compare / libldap parse floor", t["full"] / t["floor"], 4)
        row("W8", "peak memory / size of both inputs", m["full"] * 1024 / size, 3)


def servers_workload(tavler, work, args, row, notes):
    """N1: a list of `args.servers` server names, each a port of a relay that
    delays every piece of data by N1_DELAY each way, in front of a few slapd
    servers, against one server through the same relay."""
    # A folder of its own: W5 has its own servers.lst and base.ref.
    work = os.path.join(work, "servers")
    os.mkdir(work)
    with localservers.delayed_servers(N1_SCHEMAS, args.servers, N1_DELAY) as (ports, direct):
        with open(os.path.join(work, "servers.lst"), "w") as out:
            out.writelines(f"ldap://127.0.0.1:{port}\n" for port in ports)
        base = f"ldap://127.0.0.1:{direct[0]}"
        for output, command in (("base.ref", [tavler, base]),
                                ("base.ldif", [tavler, "--full", base])):
            with open(os.path.join(work, output), "wb") as out:
                made = subprocess.run(command, cwd=work, stdout=out, stderr=subprocess.DEVNULL)
            if made.returncode != 0:
                raise CommandFailed(output, command, made.returncode)
        # A server whose schema differs from the base, as most lines' servers do.
        one = f"ldap://127.0.0.1:{ports[1 % len(ports)]}"
        jobs = [] if args.no_jobs_option else ["--jobs", "64"]
        lines = f"{args.servers} servers"
        for full, base_file in (([], "base.ref"), (["--full"], "file:base.ldif")):
            what = "--full " if full else ""
            commands = {
                "one": ([tavler, *full, base_file, one], False),
                "jobs": ([tavler, *full, *jobs, base_file, "servers.lst"], False),
                "default": ([tavler, *full, base_file, "servers.lst"], False),
            }
            ok = (0, 1)
            first, first_memory = check_servers_run(commands, work, ok)
            slow = {n for n, elapsed in first.items() if elapsed > N1_SLOW_RUN}
            t, _ = measure({n: c for n, c in commands.items() if n not in slow}, work,
                           args.big_rounds, mode="once", ok=ok)
            m = first_memory
            for name in slow:
                t[name] = first[name]
                notes.append(f"N1: `{' '.join(commands[name][0][1:])}` took "
                             f"{first[name]:.0f} s: one run, not a median")
            jobs_label = "--jobs left out" if args.no_jobs_option else "--jobs 64"
            for name, text, limit in (("jobs", jobs_label, 5), ("default", "default jobs", None)):
                row("N1", f"{what}{lines}, {text} / one server", t[name] / t["one"], limit)
            row("N1", f"{what}peak memory, {lines} / one server", m["jobs"] / m["one"], 3)


def check_servers_run(commands, work, ok):
    """Runs each command once, and fails unless every server was read: the
    listing's exit status 1 means differences as well as a server that did
    not answer, so the output is looked at too. Returns the times and the
    peak memory (KiB) of these runs."""
    times = {}
    memory = {}
    for name, (command, _) in commands.items():
        times[name], memory[name], status, output = run_once(command, work, peak=True,
                                                             stdout=subprocess.PIPE)
        if status not in ok or b"Could not attach" in output or memory[name] is None:
            raise CommandFailed(name, command, status)
    return times, memory


def list_workload(refgen, work, lines, seed=11, name_length=None):
    """A base file, four 2,000-definition files and a list naming them in turn."""
    generate(refgen, ["base.ref"], work, seed=seed, counts=W5_COUNTS, name_length=name_length)
    for k in range(1, 5):
        # The same first schema as base.ref, so each file differs from it a little.
        generate(refgen, ["scratch.ref", f"s{k}.ref"], work, seed=seed, differ=0.01 * k,
                 counts=W5_COUNTS, name_length=name_length)
    with open(os.path.join(work, "servers.lst"), "w") as out:
        for n in range(lines):
            out.write(f"s{n % 4 + 1}.ref\n")
    return lines


if __name__ == "__main__":
    sys.exit(main())
