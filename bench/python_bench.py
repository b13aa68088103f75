"""Per-call costs of the Python module, against baselines timed in the same run.

Run after a build: PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py
Prints one line per case: median and best of REPEAT timings of NUMBER operations, per operation,
and the ratio of the median to the case's baseline.
"""
import statistics
import timeit

import numpy as np

import qx

REPEAT = 7


def per_op(statement, number, setup=lambda: None):
    setup()
    times = timeit.repeat(statement, number=number, repeat=REPEAT)
    return [t / number for t in times]


def show(name, times, baseline=None):
    median = statistics.median(times)
    ratio = f"{median / statistics.median(baseline):8.1f}x" if baseline else " " * 9
    print(f"{name:46s} {median * 1e6:10.2f} us {min(times) * 1e6:10.2f} us {ratio}")
    return times


def main():
    print(f"{'case':46s} {'median':>13s} {'best':>13s} {'ratio':>9s}")
    c = qx.Compiler()
    c.compile("double x, y; func f(v) { return v * 2 + 1; } y = x * 2 + 1;")

    def plain(v):
        return v * 2 + 1

    base_call = show("baseline: Python function call", per_op(lambda: plain(2.0), 200000))
    show("c.call('f', 2.0), one-line script function", per_op(lambda: c.call("f", 2.0), 50000),
         base_call)
    show("c.run(), 1x1 script y = x * 2 + 1", per_op(c.run, 50000), base_call)

    big = [np.zeros((1000, 1000)), np.zeros((1000, 1000))]
    column = [np.zeros((1000, 1)), np.zeros((1000, 1))]
    flat = [np.zeros((10, 100000)), np.zeros((10, 100000))]
    tall = [np.zeros((100000, 10)), np.zeros((100000, 10))]
    state = {"i": 0}

    def rebind(arrays):
        state["i"] ^= 1
        c.bind("m", arrays[state["i"]])

    c.bind("m", big[0])
    base_bind = show("bind 1000x1 float64 (1000 rows, 1k elements)",
                     per_op(lambda: rebind(column), 2000))
    show("bind 1000x1000 float64 (1000 rows, 1M elements)", per_op(lambda: rebind(big), 2000),
         base_bind)
    show("bind 10x100000 float64 (10 rows, 1M elements)", per_op(lambda: rebind(flat), 2000),
         base_bind)
    show("bind 100000x10 float64 (100k rows, 1M elements)", per_op(lambda: rebind(tall), 200),
         base_bind)
    show("copy of a 1000x1000 float64 array (numpy)", per_op(big[0].copy, 200), base_bind)


if __name__ == "__main__":
    main()
