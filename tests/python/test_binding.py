# Arrays lent in place, variables declared and read back, stores with the library's conversion
# rules, and what keeps lent memory alive.
import gc
import sys
import weakref

import numpy as np
import pytest

import qx
from conftest import DTYPES

F32_MAX = float(np.finfo(np.float32).max)
F64_MAX = sys.float_info.max
# Per element type: values stored, and what clipping leaves of them.
SATURATION = {
    np.uint8: ([300, -1, 2.9, 255.7], [255, 0, 2, 255]),
    np.uint16: ([70000, -3, 65535.9, 1.5], [65535, 0, 65535, 1]),
    np.int32: ([3e9, -3e9, -2.9, 7.9], [2**31 - 1, -(2**31), -2, 7]),
    np.float32: ([1e39, -1e39, 0.5, 1.0], [F32_MAX, -F32_MAX, 0.5, 1.0]),
    np.float64: ([np.inf, -np.inf, 0.25, 3.0], [F64_MAX, -F64_MAX, 0.25, 3.0]),
}


def test_scripts_write_bound_arrays_in_place(c, run):
    a = np.arange(12, dtype=np.float64).reshape(3, 4)
    wide = np.zeros((6, 5), np.int32)
    c.bind("a", a)
    c.bind("s", wide[::2, 1:4])  # every other row, a column window
    c.bind("v", np.ones(3, np.float32))
    run("a[1][2] = -1; s = s + [1, 2, 3; 4, 5, 6; 7, 8, 9]; v[0][1] = a[0][3];")
    assert a[1, 2] == -1
    assert wide[:, 1:4].tolist() == [[1, 2, 3], [0] * 3, [4, 5, 6], [0] * 3, [7, 8, 9], [0] * 3]
    assert wide[:, [0, 4]].sum() == 0
    assert c["v"].tolist() == [1, 3, 1]
    assert c["a"] is a


@pytest.mark.parametrize("dtype", DTYPES)
def test_every_element_type_saturates_on_store(c, run, dtype):
    values, expected = SATURATION[dtype]
    stored = np.zeros(4, dtype)
    c.bind("x", stored)
    c["x"] = values
    assert stored.tolist() == pytest.approx(expected)
    # A script's assignment and a host function's value follow the same rule.
    scripted = np.zeros(4, dtype)
    c.bind("y", scripted)
    c.register("values", lambda: np.array(values, dtype=np.float64))
    run("y = values();")
    assert scripted.tolist() == stored.tolist()
    c.clipping = False
    if dtype is np.uint8:
        c["x"] = [300, -1, 2, 3]
        assert stored.tolist() == [44, 255, 2, 3]


def test_bind_refuses_what_it_cannot_lend_in_place(c):
    ro = np.zeros(3)
    ro.setflags(write=False)
    cases = [
        (np.zeros((2, 2, 2)), ValueError, "3-D"),
        (np.zeros(3, np.int64), TypeError, "int64"),
        (np.zeros(3, ">f8"), TypeError, "pass uint8"),
        (np.zeros((3, 4))[:, ::2], ValueError, "ascontiguousarray"),
        (np.asfortranarray(np.zeros((3, 4))), ValueError, "ascontiguousarray"),
        (np.zeros((0, 3)), ValueError, "no elements"),
        (ro, ValueError, r"arr\.copy\(\)"),
        (np.frombuffer(b"\0" * 17, np.float64, 2, 1), ValueError, "read-only|aligned"),
    ]
    for array, error, message in cases:
        with pytest.raises(error, match=message):
            c.bind("z", array)
    assert "z" not in c
    with pytest.raises(TypeError):
        c.bind("z", [1.0, 2.0])
    # Read-only data may be bound as a constant; it is copied, since scripts can still write
    # constants by name.
    c.bind("k", ro, const=True)
    with pytest.raises(qx.CompileError, match="Constant can not be LValue"):
        c.compile("k = 1;")
    c.compile('setVarByName("k", [5, 5, 5]);')
    c.run()
    assert ro.tolist() == [0, 0, 0]
    assert c["k"].tolist() == [5, 5, 5]


def test_bound_arrays_stay_alive_and_cannot_be_resized(c, run):
    a = np.full((2, 3), 4.0)
    gone = weakref.ref(a)
    c.bind("a", a)
    with pytest.raises(ValueError, match="resize"):
        a.resize((10, 10))
    del a
    gc.collect()
    assert gone() is not None
    c.declare("total")
    run("total = a.sum;")
    assert c["total"][0, 0] == 24
    c.unbind("a")
    gc.collect()
    assert gone() is None
    with pytest.raises(qx.RunError, match="Nothing to Interprete"):
        c.run()  # the program referred to a: unbind dropped it
    c.bind("b", np.zeros(1))
    c.clear()
    assert "b" not in c and "pi" not in c


def test_rebinding_repoints_the_compiled_program(c, run):
    first = np.ones(2, np.uint8)
    second = np.arange(6, dtype=np.float64).reshape(2, 3)
    c.bind("m", first)
    c.declare("n")
    c.compile("n = m.sum; m = m * 2;")
    c.run()
    c.bind("m", second)
    c.run()
    assert c["n"][0, 0] == 15
    assert second.tolist() == [[0, 2, 4], [6, 8, 10]]
    assert first.tolist() == [2, 2]
    with pytest.raises(ValueError, match="already a variable"):
        c.bind("n", np.zeros(1))
    with pytest.raises(KeyError):
        c.unbind("n")


def test_declared_variables_are_read_as_copies_and_stored_by_assignment(c, run):
    c.declare("r")
    c.declare("m", np.int32, (2, 2))
    c.declare("row", "byte", 3)
    with pytest.raises(ValueError, match="already"):
        c.declare("m")
    with pytest.raises(TypeError, match="element type"):
        c.declare("q", "complex")
    with pytest.raises(ValueError):
        c.declare("q", shape=(0, 2))
    c["r"] = np.arange(6).reshape(2, 3)  # a resizable variable takes the shape
    c["m"] = 7.9  # one number fills
    copy = c["m"]
    copy[0, 0] = 100
    run("row = [1, 2, 3] * 100;")
    assert c["r"].shape == (2, 3)
    assert c["m"].tolist() == [[7, 7], [7, 7]]
    assert c["m"].dtype == np.int32
    assert c["row"].tolist() == [[100, 200, 255]]
    with pytest.raises(qx.RunError, match="LValue Size mismatch accessing Variable m") as error:
        c["m"] = [1, 2, 3]
    assert error.value.line == -1
    with pytest.raises(KeyError):
        c["nothing"]
    with pytest.raises(KeyError):
        c["nothing"] = 1
    with pytest.raises(TypeError, match="not a number"):
        c["r"] = "text"
    assert "a: " not in repr(c)
    assert "m: 2x2 int32" in repr(c) and "r: 2x3 float64, resizable" in repr(c)
    assert "pi: 1x1 float64, constant" in repr(c)


def test_reference_counts_return_after_a_thousand_cycles(c):
    a = np.zeros((4, 4))
    values = np.arange(3.0)
    c.register("scale", lambda v, k: v * k)
    before = (sys.getrefcount(a), sys.getrefcount(values), sys.getrefcount(c))
    for i in range(1000):
        c.bind("a", a)
        c.compile("func f(x) { return x + 1; } a = a + scale(1, 2);")
        c.run()
        c.call("f", values[i % 3])
        c.call("scale", values, i)
        c["a"] = values[0]
        c.unbind("a")
    gc.collect()
    assert (sys.getrefcount(a), sys.getrefcount(values), sys.getrefcount(c)) == before
