#!/usr/bin/env python3
"""Prints the tables of scripts/bench.sh from Google Benchmark JSON output: per workload the
median time of each qx variant and of each baseline with the ratios qx / baseline, then every
performance goal with its ratio from this same run."""
import json
import re
import sys

NAMES = {
    "W1": "scalar loop, 1e6 iterations, host 1x1 vars",
    "W2": "y = a.*b + 2*c - a./(b+1), 1000x1000",
    "W3/256": "matrix product 256x256",
    "W3/512": "matrix product 512x512",
    "W4": "compile 5000-line script, 40 alive",
    "W5": "100000 host calls of f(x)",
    "W6": "1e5 x (3x3 product, transpose, add, det)",
    "W7": "s += v[i][0]*w[i][0], 1e5 host elements",
}
BASELINES = ("native", "eigen", "lua")

# (goal, workload, qx variant, baseline, largest ratio allowed)
GOALS = [
    ("scalar loop <= 1.5x Lua", "W1", "qx", "lua", 1.5),
    ("indexed loop <= 1.5x Lua", "W7", "qx", "lua", 1.5),
    ("element-wise chain <= 2x Eigen", "W2", "qx", "eigen", 2.0),
    ("product 256 <= 1.1x Eigen", "W3/256", "qx", "eigen", 1.1),
    ("product 512 <= 1.1x Eigen", "W3/512", "qx", "eigen", 1.1),
    ("compile <= 2x Lua", "W4", "qx", "lua", 2.0),
    ("host call by address <= 1.0x Lua", "W5", "qx_by_addr", "lua", 1.0),
    ("host call by name <= 1.3x Lua", "W5", "qx_by_name", "lua", 1.3),
    ("3x3 loop <= 10x Eigen", "W6", "qx", "eigen", 10.0),
]


def load(path):
    """Medians per workload and variant, and the counters of the qx runs."""
    with open(path) as f:
        data = json.load(f)
    times, counters = {}, {}
    for bench in data["benchmarks"]:
        if bench.get("aggregate_name", "median") != "median":
            continue
        m = re.match(r"BM_(W\d)_(\w+?)(?:/(\d+))?(?:_median)?$", bench["run_name"])
        if not m:
            continue
        work, variant, arg = m.group(1), m.group(2), m.group(3)
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[bench["time_unit"]]
        if variant == "qx_scaling":
            counters[f"us_per_line/{arg}"] = bench.get("us_per_line", 0.0)
            continue
        key = f"{work}/{arg}" if arg else work
        times.setdefault(key, {})[variant] = bench["cpu_time"] * scale
        if "bytes_per_line" in bench:
            counters["bytes_per_line"] = bench["bytes_per_line"]
        if "run_bytes_per_line" in bench:
            counters["run_bytes_per_line"] = bench["run_bytes_per_line"]
    return times, counters


def print_workloads(times):
    header = f"{'workload':<52} {'qx (ms)':>30} {'baselines (ms)':>28}  ratios"
    print(header)
    print("-" * len(header))
    for key in sorted(times):
        row = times[key]
        qx = {k: v for k, v in row.items() if k.startswith("qx")}
        base = {k: v for k, v in row.items() if k in BASELINES}
        qx_text = ", ".join(f"{k[3:] or 'qx'} {v:.3f}" for k, v in sorted(qx.items()))
        base_text = ", ".join(f"{k} {v:.3f}" for k, v in sorted(base.items()))
        ratios = ", ".join(
            f"{(q[3:] + ' ') if q[3:] else ''}{v / b:.2f}x {bk}"
            for q, v in sorted(qx.items())
            for bk, b in sorted(base.items())
            if b > 0
        )
        print(f"{key:<7} {NAMES.get(key, ''):<44} {qx_text:>30} {base_text:>28}  {ratios}")


def print_goals(times, counters):
    print()
    print(f"{'goal':<40} {'ratio':>10}  met")
    print("-" * 56)
    for goal, work, variant, base, limit in GOALS:
        row = times.get(work, {})
        if variant in row and row.get(base, 0) > 0:
            ratio = row[variant] / row[base]
            print(f"{goal:<40} {ratio:>9.2f}x  {'yes' if ratio <= limit else 'no'}")
        else:
            print(f"{goal:<40} {'-':>10}  not measured")
    lines = sorted(int(k.split("/")[1]) for k in counters if k.startswith("us_per_line/"))
    if lines:
        per_line = [counters[f"us_per_line/{n}"] for n in lines]
        growth = max(per_line) / min(per_line) if min(per_line) > 0 else 0.0
        text = ", ".join(f"{n}: {v:.2f}" for n, v in zip(lines, per_line))
        print(f"{'compile us/line, largest / smallest':<40} {growth:>9.2f}x  "
              f"{'yes' if growth <= 1.25 else 'no'}   ({text})")
    if "bytes_per_line" in counters:
        b = counters["bytes_per_line"]
        print(f"{'program memory <= 1 KB per line':<40} {b:>8.0f} B  {'yes' if b <= 1024 else 'no'}")
        if "run_bytes_per_line" in counters:
            t = b + counters["run_bytes_per_line"]
            print(f"{'  ... once run (plan, caches) <= 1 KB':<40} {t:>8.0f} B  {'yes' if t <= 1024 else 'no'}")


def main():
    times, counters = load(sys.argv[1])
    print_workloads(times)
    print_goals(times, counters)


if __name__ == "__main__":
    main()
