# Shared fixtures of the Python module's tests; run with /usr/bin/python3 -m pytest and the
# built module on PYTHONPATH (CTest's python_tests does both).
import numpy as np
import pytest

import qx


@pytest.fixture
def c():
    return qx.Compiler()


@pytest.fixture
def run(c):
    """Compiles and runs a script on the fixture's compiler."""

    def compile_and_run(text):
        c.compile(text)
        c.run()

    return compile_and_run


DTYPES = [np.uint8, np.uint16, np.int32, np.float32, np.float64]
