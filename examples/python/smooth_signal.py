"""Smooth a noisy signal held in a numpy array with a qx script, in place of a C++ host.

The script sees the array as the variable `noisy` (lent, not copied) and writes its result
into `smooth`, another numpy array. Run: /usr/bin/python3 smooth_signal.py [plot.png]
(with matplotlib installed, the signals are plotted into the file given).
"""
import sys

import numpy as np

import qx

SCRIPT = """
// Moving average over `width` samples; the first and last samples keep their values.
double i, half;
half = (width - 1) / 2;
smooth = noisy;
for (i = half; i < noisy.cols - half; i++;) {
    smooth[0][i] = noisy[0][i - half, width].mean;
}
"""


def main():
    t = np.linspace(0, 2 * np.pi, 500)
    clean = np.sin(t)
    noisy = clean + np.random.default_rng(7).normal(scale=0.3, size=t.size)
    smooth = np.zeros_like(noisy)

    c = qx.Compiler()
    c.bind("noisy", noisy)
    c.bind("smooth", smooth)
    c.declare("width", "int", 1)
    c["width"] = 15
    c.compile(SCRIPT)
    c.run()

    before = np.sqrt(np.mean((noisy - clean) ** 2))
    after = np.sqrt(np.mean((smooth - clean) ** 2))
    print(f"rms error: noisy {before:.3f}, smoothed {after:.3f}")
    if len(sys.argv) > 1:
        plot(t, noisy, smooth, sys.argv[1])


def plot(t, noisy, smooth, path):
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    plt.plot(t, noisy, ".", markersize=2, label="noisy")
    plt.plot(t, smooth, label="smoothed by qx")
    plt.legend()
    plt.savefig(path)
    print(f"plot written to {path}")


if __name__ == "__main__":
    main()
