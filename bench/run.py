#!/usr/bin/env python3
"""The benchmark: the programs beside the floors of their own work.

    python3 bench/run.py            # build, measure, write the results and
                                    # the README's performance section

It builds the programs and the helpers of bench/ in their own binary
directory (Release), then, for pellarn-1 at 100,000,000 and pellarn-15 at
1,500,000,000, runs side by side and in turn, several times each:

  - the program, writing its prime list to a file in the scratch directory;
  - the write floor: the same number of bytes to a file in the same
    directory, in 128-byte writes (pellarn_bench_write_floor);
  - where installed, primesieve N -p > file and primes 2 N+1 > file
    (Debian: apt-get install primesieve bsdgames; primes is in /usr/games);
  - the crossing-out pass as the plain loop (pellarn_bench_plain_crossout)
    and the fill of a block of BitmapBytes (pellarn_bench_fill_floor).

Each run's wall time is taken around the process, its peak resident memory
from wait4; the program's phases are the checkpoint differences of its own
report. Medians go into bench/results/summary.md and into the README's
"## Performance" section; every run is kept in bench/results/runs.csv and
the per-build phase medians in bench/results/phases.csv (see bench/README.md).
The output files are removed after each run.
"""
import argparse
import csv
import datetime
import os
import platform as host
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
RESULTS = ROOT / "bench" / "results"

MAX_LIMITS = {1: 100_000_000, 5: 500_000_000, 10: 1_000_000_000, 15: 1_500_000_000}
# Bytes of the prime list at the limits measured here.
LIST_BYTES = {
    10_000_000: 5_891_695,
    100_000_000: 56_860_455,
    500_000_000: 283_398_987,
    1_000_000_000: 552_807_324,
    1_500_000_000: 839_355_252,
}
PHASES = ("EndOfMalloc", "EndOfInit", "EndOf3", "EndOfSearch", "EndOfSave", "EndOfProg")
# Targets, as ratios to the floor beside them.
TOTAL_TARGET = {1: 1.25, 15: 1.45}
CROSSOUT_TARGET = 0.85
RSS_SLACK = 2 * 1024 * 1024

MEASURE_LINE = re.compile(rb"^measure wall_s=([\d.]+) maxrss_kb=(\d+) exit=(-?\d+)$", re.M)
REPORT_LINE = re.compile(r"^(\w+)\s*= (-?\d+) ms(?:\s+\((-?\d+) ms\))?", re.M)


def bitmap_bytes(build):
    return MAX_LIMITS[build] // 16 + 4


def find_tool(name):
    found = shutil.which(name)
    if found is None and Path("/usr/games", name).exists():
        found = str(Path("/usr/games", name))
    return found


class Bench:
    def __init__(self, args):
        self.build_dir = Path(args.build_dir).resolve()
        self.scratch = Path(args.scratch).resolve() if args.scratch else self.build_dir / "scratch"
        self.runs = args.runs
        self.baseline = Path(args.baseline).resolve() if args.baseline else None
        self.records = []  # one dict per run

    # -- running one process ----------------------------------------------

    def timed(self, argv, stdout_file=None):
        """Runs argv to its end under the launcher; returns (wall seconds,
        peak resident bytes, standard output)."""
        os.sync()  # the previous run's dirty pages are not this run's work
        launcher = [str(self.build_dir / "pellarn_bench_measure")]
        if stdout_file:
            launcher += ["--stdout", str(stdout_file)]
        done = subprocess.run(launcher + argv, stdin=subprocess.DEVNULL, capture_output=True,
                              cwd=self.scratch, check=True)
        measured = MEASURE_LINE.findall(done.stderr)
        if not measured:
            raise RuntimeError(f"{argv}: no measurement in {done.stderr[-500:]!r}")
        wall, rss_kb, code = measured[-1]
        if int(code) != 0:
            raise RuntimeError(f"{argv} ended with {int(code)}: {done.stderr[-500:]!r}")
        return float(wall), int(rss_kb) * 1024, done.stdout

    def output_file(self, tag):
        path = self.scratch / f"{tag}.txt"
        path.unlink(missing_ok=True)
        return path

    def record(self, **fields):
        self.records.append(fields)
        shown = {k: v for k, v in fields.items() if k not in ("phases",)}
        print("  " + " ".join(f"{k}={v}" for k, v in shown.items()), flush=True)

    # -- the pieces of a round ---------------------------------------------

    def run_program(self, build, limit, run, tool="program", directory=None):
        path = self.output_file(tool)
        directory = directory or self.build_dir
        wall, rss, console = self.timed([str(directory / f"pellarn-{build}"), path.name, str(limit)])
        size = path.stat().st_size
        path.unlink()
        if limit in LIST_BYTES and size != LIST_BYTES[limit]:
            raise RuntimeError(f"pellarn-{build} {limit} wrote {size} bytes, not {LIST_BYTES[limit]}")
        phases = {}
        for name, _value, diff in REPORT_LINE.findall(console.decode("cp932")):
            if name in PHASES:
                phases[name] = int(diff)
        if set(phases) != set(PHASES):
            raise RuntimeError(f"no complete report in {console[-400:]!r}")
        self.record(tool=tool, build=build, limit=limit, run=run, wall_s=round(wall, 3),
                    maxrss=rss, phases=phases, **{p: phases[p] for p in PHASES})

    def run_write_floor(self, build, limit, run):
        path = self.output_file("floor")
        wall, rss, _ = self.timed([str(self.build_dir / "pellarn_bench_write_floor"), path.name,
                                   str(LIST_BYTES[limit])])
        path.unlink()
        self.record(tool="write_floor", build=build, limit=limit, run=run, wall_s=round(wall, 3), maxrss=rss)

    def run_peer(self, name, argv, build, limit, run):
        path = self.output_file(name)
        wall, rss, _ = self.timed(argv, stdout_file=path)
        path.unlink()
        self.record(tool=name, build=build, limit=limit, run=run, wall_s=round(wall, 3), maxrss=rss)

    def run_plain_crossout(self, build, limit, run):
        wall, rss, out = self.timed([str(self.build_dir / "pellarn_bench_plain_crossout"), str(limit)])
        ms = float(re.search(rb"crossout_ms ([\d.]+)", out).group(1))
        self.record(tool="plain_crossout", build=build, limit=limit, run=run, wall_s=round(wall, 3),
                    maxrss=rss, ms=ms)

    def run_fill_floor(self, build, limit, run):
        wall, rss, out = self.timed([str(self.build_dir / "pellarn_bench_fill_floor"),
                                     str(bitmap_bytes(build))])
        ms = float(re.search(rb"fill_ms ([\d.]+)", out).group(1))
        self.record(tool="fill_floor", build=build, limit=limit, run=run, wall_s=round(wall, 3),
                    maxrss=rss, ms=ms)

    # -- the benchmark -------------------------------------------------------

    def main_cases(self, cases):
        primesieve = find_tool("primesieve")
        primes = find_tool("primes")
        self.peers = {"primesieve": primesieve, "primes": primes}
        for build, limit in cases:
            print(f"pellarn-{build} at {limit:,}: {self.runs} rounds", flush=True)
            for run in range(self.runs):
                # One round runs everything once, so that each figure sees
                # the same conditions as the ones it is compared with.
                self.run_program(build, limit, run)
                if self.baseline:
                    self.run_program(build, limit, run, tool="baseline", directory=self.baseline)
                self.run_write_floor(build, limit, run)
                if primesieve:
                    self.run_peer("primesieve", [primesieve, str(limit), "-p"], build, limit, run)
                if primes:
                    self.run_peer("primes", [primes, "2", str(limit + 1)], build, limit, run)
                self.run_plain_crossout(build, limit, run)
                self.run_fill_floor(build, limit, run)

    def phase_cases(self, limits, runs):
        done = {(r["build"], r["limit"]) for r in self.records if r["tool"] == "program"}
        for build in MAX_LIMITS:
            for limit in sorted({l for l in limits if l <= MAX_LIMITS[build]} | {MAX_LIMITS[build]}):
                if (build, limit) in done:
                    continue
                print(f"phases of pellarn-{build} at {limit:,}: {runs} runs", flush=True)
                for run in range(runs):
                    self.run_program(build, limit, run)

    # -- results -------------------------------------------------------------

    def select(self, tool, build, limit):
        return [r for r in self.records if r["tool"] == tool and r["build"] == build and r["limit"] == limit]

    def median(self, tool, build, limit, key):
        values = [r[key] for r in self.select(tool, build, limit)]
        return statistics.median(values) if values else None


BOUNDS = """What bounds each phase: the fill (`EndOfInit`) is the kernel's page faults and the memory
bandwidth of writing the block; the block lies in 2 MiB pages where the system has them, so a
whole run of `pellarn-15` takes some 470 page faults rather than some 23,000. The multiples of 3 and the
strikes of the primes below 32 hit the same word again and again and wait for each store to reach
the next load of that word. The strikes of the larger primes each land on a cache line of their
own and are bounded by the memory: the prefetch 64 strikes ahead keeps the fetches overlapping and
the huge pages keep the page walks away, which the plain loop does not have. The tail scan
(`EndOfSave`) is bounded by the system calls, one 128-byte write each (the write floor), plus a
branch miss for nearly every prime and the decimal form of each line. On the machine measured
here, a bare system call costs about 1 µs and a 128-byte write about 1.5 µs; with its writes
taken out, the tail scan of `pellarn-1` at 100,000,000 takes some 110 ms: about 30 ms testing
50 million bits, 48 ms of branch misses (5.76 million primes, one miss each) and 30 ms forming
and placing the lines. What is left over the floor, some 25 ms, is the program finding its code
and data again after each of the 444,223 writes."""


def mib(n):
    return f"{n / 1048576:.1f} MiB"


def fmt_ratio(x):
    return "–" if x is None else f"{x:.2f}"


def write_runs_csv(bench, path):
    fields = ["tool", "build", "limit", "run", "wall_s", "maxrss", "ms", *PHASES]
    with open(path, "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=fields, extrasaction="ignore")
        w.writeheader()
        for r in bench.records:
            w.writerow(r)


def write_phases_csv(bench, path):
    keys = sorted({(r["build"], r["limit"]) for r in bench.records if r["tool"] == "program"})
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["build", "limit", "runs", *PHASES, "total"])
        for build, limit in keys:
            rows = bench.select("program", build, limit)
            medians = [round(statistics.median(r[p] for r in rows)) for p in PHASES]
            total = round(statistics.median(sum(r[p] for p in PHASES) for r in rows))
            w.writerow([f"pellarn-{build}", limit, len(rows), *medians, total])


def summary(bench, cases, conditions):
    lines = []
    lines.append("| run | wall time | peak memory | ÷ floor |")
    lines.append("|---|---:|---:|---:|")
    for build, limit in cases:
        floor = bench.median("write_floor", build, limit, "wall_s")
        entries = [
            (f"`pellarn-{build} FILE {limit}`", "program"),
            *([(f"`pellarn-{build}` of {bench.baseline}", "baseline")] if bench.baseline else []),
            (f"floor: {LIST_BYTES[limit]:,} bytes in 128-byte writes", "write_floor"),
            (f"`primesieve {limit} -p > FILE`", "primesieve"),
            (f"`primes 2 {limit + 1} > FILE`", "primes"),
        ]
        for label, tool in entries:
            wall = bench.median(tool, build, limit, "wall_s")
            if wall is None:
                lines.append(f"| {label} | not installed | | |")
                continue
            rss = bench.median(tool, build, limit, "maxrss")
            lines.append(f"| {label} | {wall:.2f} s | {mib(rss)} | {wall / floor:.2f} |")

    lines.append("")
    lines.append("Phases, median milliseconds (the program's own report: each checkpoint "
                 "minus the one before):")
    lines.append("")
    lines.append("| build, limit | " + " | ".join(PHASES) + " |")
    lines.append("|---|" + "---:|" * len(PHASES))
    for build, limit in cases:
        for tool, label in (("program", ""), ("baseline", " (baseline)")):
            row = [bench.median(tool, build, limit, p) for p in PHASES]
            if None not in row:
                lines.append(f"| `pellarn-{build}`{label}, {limit:,} | " + " | ".join(f"{v:g}" for v in row) + " |")

    lines.append("")
    lines.append("| measure | program | floor | ratio | target |")
    lines.append("|---|---:|---:|---:|---:|")
    for build, limit in cases:
        wall = bench.median("program", build, limit, "wall_s")
        floor = bench.median("write_floor", build, limit, "wall_s")
        lines.append(f"| `pellarn-{build}` at {limit:,}: total wall time, write floor | {wall:.2f} s "
                     f"| {floor:.2f} s | {wall / floor:.2f} | ≤ {TOTAL_TARGET[build]:.2f} |")
    for build, limit in cases:
        search = bench.median("program", build, limit, "EndOfSearch")
        plain = bench.median("plain_crossout", build, limit, "ms")
        target = f"≤ {CROSSOUT_TARGET:.2f}" if build == 15 else ""
        lines.append(f"| `pellarn-{build}` at {limit:,}: crossing-out pass, plain loop | {search:g} ms "
                     f"| {plain:.0f} ms | {search / plain:.2f} | {target} |")
    for build, limit in cases:
        init = bench.median("program", build, limit, "EndOfInit")
        fill = bench.median("fill_floor", build, limit, "ms")
        lines.append(f"| `pellarn-{build}`: EndOfInit − EndOfMalloc, fill of {bitmap_bytes(build):,} bytes "
                     f"| {init:g} ms | {fill:.0f} ms | {init / fill:.2f} | |")
    for build, limit in cases:
        rss = bench.median("program", build, limit, "maxrss")
        worst = max(r["maxrss"] for r in bench.select("program", build, limit))
        bound = bitmap_bytes(build) + RSS_SLACK
        lines.append(f"| `pellarn-{build}`: peak memory (largest of the runs), BitmapBytes + 2 MiB "
                     f"| {mib(worst)} | {mib(bound)} | {worst / bound:.3f} | ≤ 1 |")
    lines.append("")
    lines.append(BOUNDS)
    lines.append("")
    lines.append(conditions)
    return "\n".join(lines) + "\n"


def describe_host(runs, load_before, load_after):
    cpu = "unknown CPU"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    thp = "?"
    try:
        thp = re.search(r"\[(\w+)\]", Path("/sys/kernel/mm/transparent_hugepage/enabled").read_text()).group(1)
    except (OSError, AttributeError):
        pass
    date = datetime.date.today().isoformat()
    return (f"Measured {date} on {cpu}, {os.cpu_count()} cores, Linux {host.release()}, "
            f"transparent huge pages `{thp}`; medians of {runs} rounds, each round running every "
            f"line once in turn, output files in one directory of the same disk; load average "
            f"{load_before:.2f} before, {load_after:.2f} after. Regenerate with "
            f"`python3 bench/run.py`.")


def update_readme(text):
    """Replaces the body of the README's "## Performance" section (or adds
    the section at the end); nothing else of the README is touched."""
    readme = ROOT / "README.md"
    content = readme.read_text()
    body = "## Performance\n\n" + text
    match = re.search(r"^## Performance[ \t]*\n", content, re.M)
    if match is None:
        content = content.rstrip("\n") + "\n\n" + body
    else:
        following = re.search(r"^## ", content[match.end():], re.M)
        end = match.end() + following.start() if following else len(content)
        rest = content[end:]
        content = content[: match.start()] + body + ("\n" + rest if rest else "")
    readme.write_text(content)


def build(build_dir):
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DPELLARN_TESTS=OFF", "-DPELLARN_BENCH=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build_dir)], check=True, stdout=subprocess.DEVNULL)


def summarize_saved(args):
    bench = Bench(args)
    with open(RESULTS / "runs.csv", newline="") as f:
        for row in csv.DictReader(f):
            record = {k: v for k, v in row.items() if v != ""}
            for key in ("build", "limit", "run", "maxrss", *PHASES):
                if key in record:
                    record[key] = int(record[key])
            for key in ("wall_s", "ms"):
                if key in record:
                    record[key] = float(record[key])
            bench.records.append(record)
    if any(r["tool"] == "baseline" for r in bench.records):
        bench.baseline = Path("baseline")
    cases = sorted({(r["build"], r["limit"]) for r in bench.records if r["tool"] == "write_floor"})
    # The conditions are those of the measurement: the last paragraph of its summary.
    conditions = (RESULTS / "summary.md").read_text().rstrip("\n").rsplit("\n\n", 1)[-1]
    text = summary(bench, cases, conditions)
    (RESULTS / "summary.md").write_text(text)
    print(text)
    if not args.no_readme:
        update_readme(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="rounds per case (default 5)")
    parser.add_argument("--phase-runs", type=int, default=3,
                        help="runs per build and limit for phases.csv (default 3; 0 skips them)")
    parser.add_argument("--phase-limits", default="10000000,100000000",
                        help="limits for phases.csv besides each build's largest")
    parser.add_argument("--build-dir", default=str(ROOT / "build" / "bench"))
    parser.add_argument("--scratch", help="directory for the output files (default: BUILD_DIR/scratch)")
    parser.add_argument("--no-build", action="store_true", help="use the programs already built")
    parser.add_argument("--no-readme", action="store_true", help="leave README.md alone")
    parser.add_argument("--baseline", metavar="DIR",
                        help="also run the programs of another build directory in every round, for comparison")
    parser.add_argument("--case", action="append", metavar="BUILD:LIMIT",
                        help="instead of 1:100000000 and 15:1500000000")
    parser.add_argument("--summary-only", action="store_true",
                        help="measure nothing: rebuild the summary (and the README section) from "
                             "bench/results/runs.csv")
    args = parser.parse_args()

    if args.summary_only:
        return summarize_saved(args)

    cases = [(1, 100_000_000), (15, 1_500_000_000)]
    if args.case:
        cases = [tuple(int(x) for x in c.split(":")) for c in args.case]
    bench = Bench(args)
    if not args.no_build:
        build(bench.build_dir)
    bench.scratch.mkdir(parents=True, exist_ok=True)

    load_before = os.getloadavg()[0]
    try:
        bench.main_cases(cases)
        if args.phase_runs > 0:
            bench.phase_cases([int(x) for x in args.phase_limits.split(",") if x], args.phase_runs)
    finally:
        for leftover in bench.scratch.glob("*.txt"):
            leftover.unlink()
    load_after = os.getloadavg()[0]

    RESULTS.mkdir(parents=True, exist_ok=True)
    write_runs_csv(bench, RESULTS / "runs.csv")
    write_phases_csv(bench, RESULTS / "phases.csv")
    text = summary(bench, cases, describe_host(args.runs, load_before, load_after))
    (RESULTS / "summary.md").write_text(text)
    print()
    print(text)
    if not args.no_readme:
        update_readme(text)


if __name__ == "__main__":
    sys.exit(main())
