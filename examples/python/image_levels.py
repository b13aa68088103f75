"""Stretch the levels of an 8-bit image with a qx script and a Python host function.

The image is a uint8 array lent to the compiler; the script's stores saturate at 0 and 255 as
they would in a C++ host. The host function `percentile` is written in Python and called by
the script like any other function. Run: /usr/bin/python3 image_levels.py
"""
import numpy as np

import qx

SCRIPT = """
func stretch(&img, lo, hi) {
    img = (img - lo) * (255 / (hi - lo));
}
stretch(image, percentile(image, 2), percentile(image, 98));
"""


def main():
    rng = np.random.default_rng(3)
    image = rng.normal(loc=120, scale=15, size=(64, 64)).clip(0, 255).astype(np.uint8)

    c = qx.Compiler()
    c.bind("image", image)
    c.register("percentile", lambda pixels, q: np.percentile(pixels, q[0, 0]))
    c.compile(SCRIPT)
    print(f"before: levels {image.min()} .. {image.max()}")
    c.run()
    print(f"after:  levels {image.min()} .. {image.max()}")
    # Script functions can be called directly, with arrays and numbers as arguments.
    c.call("stretch", image, 0, 510)
    print(f"halved: levels {image.min()} .. {image.max()}")


if __name__ == "__main__":
    main()
