#!/usr/bin/env python3
"""Prints the table of scripts/bench.sh from Google Benchmark JSON output: per workload the
median time of each qx variant, of each baseline, and the ratio of every qx variant to every
baseline measured in the same run."""
import json
import re
import sys

NAMES = {
    "W1": "scalar loop, 1e6 iterations",
    "W2": "y = a.*b + 2*c - a./(b+1), 1000x1000",
    "W3": "matrix product 512x512",
    "W4": "compile 5000-line script",
    "W5": "100000 host calls of f(x)",
    "W6": "1e5 x (3x3 product, transpose, add, det)",
}
BASELINES = ("native", "eigen", "lua")


def medians(path):
    with open(path) as f:
        data = json.load(f)
    result = {}
    for bench in data["benchmarks"]:
        if bench.get("aggregate_name", "median") != "median":
            continue
        m = re.match(r"BM_(W\d)_(\w+?)(?:_median)?$", bench["run_name"])
        if not m:
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[bench["time_unit"]]
        result.setdefault(m.group(1), {})[m.group(2)] = bench["cpu_time"] * scale
    return result


def main():
    table = medians(sys.argv[1])
    header = f"{'workload':<44} {'qx (ms)':>22} {'baselines (ms)':>28}  ratios"
    print(header)
    print("-" * len(header))
    for key in sorted(table):
        times = table[key]
        qx = {k: v for k, v in times.items() if k.startswith("qx")}
        base = {k: v for k, v in times.items() if k in BASELINES}
        qx_text = ", ".join(f"{k[3:] or 'qx'} {v:.3f}".strip() for k, v in sorted(qx.items()))
        base_text = ", ".join(f"{k} {v:.3f}" for k, v in sorted(base.items()))
        ratios = ", ".join(
            f"{(q[3:] + ' ') if q[3:] else ''}{v / b:.2f}x {bk}"
            for q, v in sorted(qx.items())
            for bk, b in sorted(base.items())
            if b > 0
        )
        print(f"{key} {NAMES.get(key, ''):<41} {qx_text:>22} {base_text:>28}  {ratios}")


if __name__ == "__main__":
    main()
