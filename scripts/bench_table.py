"""Prints the benchmark table: figure, baseline from the same run, ratio, goal, verdict.

bench/goals.tsv has one row per figure: the benchmark's name, the baseline's name (or "-" for
an absolute goal), the goal ("ratio<=3" or "ns<=1000" / "us<=50"), and a description.
Benchmark names are matched exactly, or as a prefix followed by "/" (for arguments).
"""
import json
import sys

# Parts of a run's name that record how it was run, not what it measured.
RUN_OPTIONS = ("min_time:", "min_warmup_time:", "iterations:", "repeats:", "threads:")
RUN_FLAGS = ("real_time", "process_time", "manual_time")


def plain_name(name):
    """The benchmark's name with its run options dropped: "Unpack/min_time:2.000/real_time"
    is "Unpack"."""
    parts = [p for p in name.split("/") if not p.startswith(RUN_OPTIONS) and p not in RUN_FLAGS]
    return "/".join(parts)


def load(paths):
    """Times by name (ns), and the ratios a benchmark measured itself ("ratio_to_<baseline>"
    counters, against a baseline timed alongside it, so a drifting machine moves both)."""
    times, own_ratios = {}, {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            name = plain_name(b.get("run_name", b["name"]))
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            times[name] = b["real_time"] * scale
            for key, value in b.items():
                for counter, unit_scale in (("p50_ns", 1), ("p50_us", 1e3)):
                    if key == counter:
                        times[name + ":p50"] = value * unit_scale
                if key.startswith("ratio_to_"):
                    own_ratios[name] = value
    return times, own_ratios


def lookup(times, figure):
    """The time of `figure`, matched exactly or as a prefix followed by "/" (arguments and
    options such as /real_time); counters keep their ":p50" suffix."""
    if figure in times:
        return times[figure]
    base, _, suffix = figure.partition(":")
    for name, value in times.items():
        head, _, tail = name.partition(":")
        if head.startswith(base + "/") and tail == suffix:
            return value
    return None


def fmt(ns):
    if ns is None:
        return "-"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def main():
    goals_path, *json_paths = sys.argv[1:]
    times, own_ratios = load(json_paths)
    rows = []
    with open(goals_path) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            figure, baseline, goal, description = line.rstrip("\n").split("\t")
            value = lookup(times, figure)
            base = lookup(times, baseline) if baseline != "-" else None
            kind, limit = goal.split("<=")
            limit = float(limit)
            if value is None:
                verdict, ratio = "not run", None
            elif baseline != "-" and base is None:
                verdict, ratio = "baseline not run", None
            elif kind == "ratio":
                ratio = own_ratios.get(figure) or (value / base if base else None)
                verdict = "met" if ratio is not None and ratio <= limit else "MISSED"
            else:
                ratio = value / base if base else None
                scale = {"ns": 1, "us": 1e3, "ms": 1e6}[kind]
                verdict = "met" if value <= limit * scale else "MISSED"
            own = "*" if kind == "ratio" and figure in own_ratios else ""
            rows.append((description, fmt(value), fmt(base), f"{ratio:.2f}x{own}" if ratio else "-",
                         goal.replace("ratio", "x ").replace("<=", " <= "), verdict))
    header = ("figure", "time", "baseline", "ratio", "goal", "")
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for r in [header] + rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    if any(r[3].endswith("*") for r in rows):
        print("* the benchmark's own ratio, against its baseline timed alongside it in the same loop")


if __name__ == "__main__":
    main()
