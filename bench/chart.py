#!/usr/bin/env python3
"""The chart of the phases: where each build spends its time.

    python3 bench/chart.py          # run the programs, draw docs/phases.png
    python3 bench/chart.py --csv bench/results/phases.csv
                                    # draw the medians the benchmark wrote

Without --csv it runs the programs of build/release (--bin-dir) itself:
every build at every limit it accepts among 1,000,000, 10,000,000 and
100,000,000 (--limits) and the largest limits of the four builds, each case
--runs times (rounds of all cases in turn), in a scratch directory whose
files are removed after each run. It reads the phases from each run's own
report, keeps the medians in docs/phases.csv (the format of
bench/results/phases.csv, see bench/README.md) and draws them with gnuplot
(Debian: apt-get install gnuplot-nox) as stacked bars, one panel per limit,
one bar per build, one segment per phase, named by the checkpoint that ends
it. The whole run takes several minutes.
"""
import argparse
import csv
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
MAX_LIMITS = {1: 100_000_000, 5: 500_000_000, 10: 1_000_000_000, 15: 1_500_000_000}
CHECKPOINTS = ("StartOfProg", "EndOfMalloc", "EndOfInit", "EndOf3", "EndOfSearch", "EndOfSave", "EndOfProg")
PHASES = CHECKPOINTS[1:]
# What the interval that ends at each checkpoint holds, for the legend.
PHASE_NOTES = {
    "EndOfMalloc": "allocation",
    "EndOfInit": "setup, file creation, fill",
    "EndOf3": "multiples of 3",
    "EndOfSearch": "crossing-out up to the root",
    "EndOfSave": "tail scan, writing, close",
    "EndOfProg": "release",
}
PHASE_COLOURS = {
    "EndOfMalloc": "#7f7f7f",
    "EndOfInit": "#1f77b4",
    "EndOf3": "#2ca02c",
    "EndOfSearch": "#ff7f0e",
    "EndOfSave": "#d62728",
    "EndOfProg": "#9467bd",
}
CSV_COLUMNS = ("build", "limit", "runs", *PHASES, "total")
_REPORT_LINE = re.compile(r"^(%s) *= *(-?\d+) ms" % "|".join(CHECKPOINTS), re.M)


def report_checkpoints(console):
    """The seven checkpoint values of one run's report (its console bytes)."""
    found = dict(_REPORT_LINE.findall(console.decode("cp932")))
    missing = [name for name in CHECKPOINTS if name not in found]
    if missing:
        raise RuntimeError(f"no report line for {', '.join(missing)} in:\n{console[-600:]!r}")
    return [int(found[name]) for name in CHECKPOINTS]


def measure(bin_dir, limits, runs, scratch):
    """Median phases per (build, limit), from `runs` rounds over all cases."""
    cases = [(build, limit) for limit in limits for build in MAX_LIMITS if limit <= MAX_LIMITS[build]]
    samples = {case: [] for case in cases}
    scratch.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="chart-", dir=scratch) as work:
        output = Path(work) / "primes.txt"
        for round_ in range(runs):
            for build, limit in cases:
                print(f"round {round_ + 1}/{runs}: pellarn-{build} {limit:,}", file=sys.stderr, flush=True)
                os.sync()  # the previous run's file is written back before this one starts
                completed = subprocess.run([str(bin_dir / f"pellarn-{build}"), str(output), str(limit)],
                                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, cwd=work)
                output.unlink(missing_ok=True)
                if completed.returncode != 0:
                    raise RuntimeError(f"pellarn-{build} {limit} ended with {completed.returncode}:\n"
                                       f"{completed.stdout.decode('cp932', errors='replace')}")
                marks = report_checkpoints(completed.stdout)
                samples[(build, limit)].append(
                    [later - earlier for earlier, later in zip(marks, marks[1:])] + [marks[-1] - marks[0]])
    rows = []
    for (build, limit), runs_of_case in samples.items():
        medians = [statistics.median_low(column) for column in zip(*runs_of_case)]
        rows.append({"build": f"pellarn-{build}", "limit": limit, "runs": len(runs_of_case),
                     **dict(zip((*PHASES, "total"), medians))})
    return rows


def read_csv(path):
    with open(path, newline="") as file:
        rows = list(csv.DictReader(file))
    for row in rows:
        row["limit"], row["runs"] = int(row["limit"]), int(row["runs"])
        for column in (*PHASES, "total"):
            row[column] = float(row[column])
    return rows


def write_csv(path, rows):
    with open(path, "w", newline="") as file:
        writer = csv.DictWriter(file, fieldnames=CSV_COLUMNS, lineterminator="\n")
        writer.writeheader()
        writer.writerows(rows)


def build_number(row):
    return int(row["build"].rsplit("-", 1)[1])


def gnuplot_script(rows, out, title):
    """One panel per limit, each as wide as its bars and with a y scale of
    its own; the legend in a strip of its own below them."""
    limits = sorted({row["limit"] for row in rows})
    panels = [sorted((row for row in rows if row["limit"] == limit), key=build_number) for limit in limits]
    axis_px, bar_px, gap_px, side_px = 64, 78, 26, 16
    width = 2 * side_px + sum(axis_px + bar_px * len(panel) + gap_px for panel in panels)
    height = 660
    top, bottom, key_top = 1 - 120 / height, 170 / height, 90 / height

    lines = [
        f"set terminal pngcairo size {width},{height} font 'DejaVu Sans,11' noenhanced",
        f"set output '{out}'",
        "set style data histograms",
        "set style histogram rowstacked",
        "set style fill solid 0.9 border rgb '#333333'",
        "set boxwidth 0.72",
        "set grid ytics lc rgb '#dddddd'",
        "set border 3",
        "set xtics nomirror scale 0",
        "set ytics nomirror",
        "set format y '%.0f'",
        "set xlabel 'pellarn-N' offset 0,0.3",
        "unset key",
        f"set multiplot title \"{title}\"",
    ]
    x = side_px
    for index, (limit, panel) in enumerate(zip(limits, panels)):
        name = f"$panel{index}"
        lines.append(f"{name} << EOD")
        for row in panel:
            lines.append(" ".join([str(build_number(row)), *(f"{max(0, row[p]):g}" for p in PHASES),
                                   f"{row['total']:g}"]))
        lines.append("EOD")
        stacked = max(sum(max(0, row[p]) for p in PHASES) for row in panel)
        left = x + axis_px
        right = left + bar_px * len(panel)
        lines += [
            f"set lmargin at screen {left / width:.4f}",
            f"set rmargin at screen {right / width:.4f}",
            f"set tmargin at screen {top:.4f}",
            f"set bmargin at screen {bottom:.4f}",
            f"set title 'limit {limit:,}'",
            f"set xrange [-0.6:{len(panel) - 0.4}]",
            f"set yrange [0:{max(1, stacked) * 1.12:.1f}]",
            "set ylabel 'ms' offset 1,0" if index == 0 else "unset ylabel",
        ]
        plots = []
        for column, phase in enumerate(PHASES, start=2):
            source = name if column == 2 else "''"
            tic = ":xtic(1)" if column == 2 else ""
            plots.append(f"{source} using {column}{tic} notitle lc rgb '{PHASE_COLOURS[phase]}'")
        sum_expr = "+".join(f"${c}" for c in range(2, 2 + len(PHASES)))
        plots.append(f"'' using 0:({sum_expr}):(sprintf('%.0f', $8)) with labels font ',10' offset 0,0.7 notitle")
        lines.append("plot " + ", \\\n     ".join(plots))
        x = right + gap_px

    # The legend, in a strip of its own.
    lines += [
        "unset title", "unset xlabel", "unset ylabel", "unset border", "unset tics", "unset grid",
        "set lmargin at screen 0.02", "set rmargin at screen 0.98",
        f"set tmargin at screen {key_top:.4f}", "set bmargin at screen 0.01",
        "set xrange [0:1]", "set yrange [0:1]",
        "set key center center horizontal maxrows 2 width 2 samplen 2 reverse Left",
        "set style fill solid 0.9 border rgb '#333333'",
        "plot " + ", ".join(f"keyentry with boxes title '{phase} ({PHASE_NOTES[phase]})' lc rgb '{PHASE_COLOURS[phase]}'"
                            for phase in PHASES)
        + ", 2 with lines notitle",  # keyentry alone trips an assertion of gnuplot 5.4
        "unset multiplot",
    ]
    return "\n".join(lines) + "\n"


def cpu_name():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return " ".join(line.split(":", 1)[1].split())
    except OSError:
        pass
    return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--csv", type=Path, help="draw these medians (bench/results/phases.csv format) instead of running")
    parser.add_argument("--bin-dir", type=Path, default=ROOT / "build" / "release", help="where pellarn-1 … pellarn-15 are")
    parser.add_argument("--limits", default="1000000,10000000,100000000",
                        help="comma-separated limits; the builds' largest limits are always added")
    parser.add_argument("--runs", type=int, default=3, help="runs of each case; the chart shows their medians")
    parser.add_argument("--scratch", type=Path, default=ROOT / "build" / "chart-scratch",
                        help="directory for the prime lists while they are written")
    parser.add_argument("--out", type=Path, default=ROOT / "docs" / "phases.png")
    parser.add_argument("--data", type=Path, default=ROOT / "docs" / "phases.csv",
                        help="where the measured medians are kept (not written with --csv)")
    args = parser.parse_args()

    gnuplot = shutil.which("gnuplot")
    if gnuplot is None:
        sys.exit("gnuplot is needed (Debian: apt-get install gnuplot-nox)")
    if args.csv:
        rows = read_csv(args.csv)
        runs = {row["runs"] for row in rows}
    else:
        missing = [b for b in MAX_LIMITS if not (args.bin_dir / f"pellarn-{b}").is_file()]
        if missing:
            sys.exit(f"no pellarn-{missing[0]} in {args.bin_dir}: build first (cmake --workflow --preset release)")
        limits = sorted({int(text) for text in args.limits.split(",")} | set(MAX_LIMITS.values()))
        rows = measure(args.bin_dir.resolve(), limits, args.runs, args.scratch.resolve())
        write_csv(args.data, rows)
        runs = {args.runs}
    if not rows:
        sys.exit("no data to draw")

    runs_text = f"median of {min(runs)} runs" if len(runs) == 1 else f"medians of {min(runs)} to {max(runs)} runs"
    cpu = cpu_name()
    title = (f"pellarn: the phases of a run, by limit and build ({runs_text}, ms of the wall clock)"
             + (f"\\n{cpu}" if cpu else ""))
    args.out.parent.mkdir(parents=True, exist_ok=True)
    script = gnuplot_script(rows, args.out, title)
    subprocess.run([gnuplot], input=script.encode(), check=True)
    print(f"wrote {args.out}" + ("" if args.csv else f" and {args.data}"), file=sys.stderr)


if __name__ == "__main__":
    main()
