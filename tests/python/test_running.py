# Compiling, running and calling; the errors and their attributes; Python host functions;
# threads, interruption and limits.
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest

import qx


def test_errors_carry_the_library_record(c, run):
    with pytest.raises(qx.CompileError) as error:
        c.compile("double x;\nx = 1 +;")
    e = error.value
    assert isinstance(e, qx.Error)
    assert (e.type, e.line, e.pos) == (qx.ErrorType.SYNTAX, 2, 9)
    assert e.text == "Syntaxerror on line 2, position 8. unexpected symbol"
    assert str(e).splitlines()[1:] == ["  2 | x = 1 +;", "    |        ^"]
    assert "x" not in c  # the failed compile declared nothing, so the mended text compiles
    c.compile("double x;\nx = 1 + 2;")
    c.run()
    assert c["x"][0, 0] == 3
    with pytest.raises(qx.CompileError) as error:
        c.compile("y = 1;")
    assert error.value.type == qx.ErrorType.UNKNOWNIDENT
    with pytest.raises(qx.RunError, match="Nothing to Interprete") as error:
        c.run()
    assert (error.value.line, error.value.trace) == (-1, [])

    c.compile("double m[2][2];\nfunc get(i) { return m[i][0]; }\nfunc outer() { return get(5); }")
    with pytest.raises(qx.RunError) as error:
        c.call("outer")
    e = error.value
    assert e.type == qx.ErrorType.INTERPRETER and e.line == 2
    assert e.text.endswith("Row-Index out of Range accessing Variable m")
    assert [(s.function, s.line) for s in e.trace] == [("", 2), ("get", 3), ("outer", -1)]
    assert "in get, called at line 3" in str(e)


def test_calls_take_numbers_and_arrays_without_creating_variables(c):
    c.compile(
        "func add(a, b) { return a + b; } func det2(m[2][2]) { return m.det; }"
        " func bump(&v) { v = v + 1; } func row(v[1][3], k) { return v + k; }"
    )
    count = repr(c).count("\n")
    assert c.call("add", 2, 3).tolist() == [[5]]
    assert c.call("det2", [[1, 2], [3, 4]])[0, 0] == pytest.approx(-2)
    assert c.call("row", np.arange(3, dtype=np.uint8), 0.5).tolist() == [[0.5, 1.5, 2.5]]
    counts = np.array([1, 2], np.int32)
    assert c.call("bump", counts) is None
    assert counts.tolist() == [2, 3]
    assert c.call("sqrt", [4, 9]).tolist() == [[2, 3]]
    assert repr(c).count("\n") == count
    # The library judges counts and shapes and says why; the trace names the function called.
    for args, message in [
        (("add", 1), "Wrong number of Parameters"),
        (("det2", [1, 2]), r"Argument 1 must be 2x2 \(parameter m\)"),
        (("nope",), "nope: function does not exist"),
    ]:
        with pytest.raises(qx.RunError, match=message) as error:
            c.call(*args)
        assert [(s.function, s.line) for s in error.value.trace] == [(args[0], -1)]
    with pytest.raises(TypeError, match="reference parameter"):
        c.call("bump", [1.0])


def test_listing_access_and_the_standard_library():
    c = qx.Compiler(std=False)
    with pytest.raises(qx.CompileError, match="Name= sin"):
        c.compile("double y; y = sin(1);")
    c.register("twice", lambda v: v * 2)
    c.std()
    c.bind("a", np.zeros(2))
    c.compile("double s; s = sin(twice(a[0][0]));")
    assert c.access() == (["a"], ["s"])
    assert "otCALL" in c.listing() or "F=sin" in c.listing()
    c.compile("func f(x) { a = x; }")
    assert c.access("f") == ([], ["a"])
    with pytest.raises(KeyError):
        c.access("missing")


def test_python_host_functions(c, run):
    def smooth(signal, width, out):
        kernel = np.ones(int(width[0, 0])) / width[0, 0]
        out[:] = np.convolve(signal[0], kernel, mode="same")

    c.register("smooth", smooth, ("value", "value", "ref"), returns=False)
    c.register("fail", lambda x: 1 / 0)
    c.register("text", lambda: "no number")
    c.bind("noisy", np.array([0.0, 3.0, 0.0, 3.0, 0.0]))
    c.bind("out", np.zeros(5, np.float32))
    run("smooth(noisy, 3, out);")
    assert c["out"].tolist() == pytest.approx([1, 1, 2, 1, 1])

    c.compile("double y; y = fail(2);")
    with pytest.raises(qx.RunError, match="ZeroDivisionError: division by zero") as error:
        c.run()
    assert isinstance(error.value.__cause__, ZeroDivisionError)
    assert error.value.trace[0].function == "fail"
    c.compile("double z; z = text();")
    with pytest.raises(qx.RunError, match="returned str, not a number"):
        c.run()
    with pytest.raises(ValueError, match="already registered"):
        c.register("fail", print)
    with pytest.raises(ValueError, match="'value' or 'ref'"):
        c.register("odd", print, ("val",))


def test_host_functions_reenter_their_compiler(c, run):
    def nested(x):
        c["seen"] = c.call("inc", x)  # a call and a store while the script runs
        with pytest.raises(qx.CompileError, match="cannot compile while a script runs"):
            c.compile("seen = 0;")
        with pytest.raises(RuntimeError, match="while a script"):
            c.clear()
        return c["seen"] * 10

    c.declare("seen")
    c.register("nested", nested)
    run("func inc(v) { return v + 1; } double r; r = nested(4);")
    assert c["r"][0, 0] == 50


def test_host_functions_run_in_two_threads_at_once():
    # Each function waits for the other's thread: the GIL must be free while scripts run.
    barrier = threading.Barrier(2, timeout=10)
    compilers = [qx.Compiler() for _ in range(2)]
    for i, compiler in enumerate(compilers):
        compiler.register("meet", lambda x, i=i: barrier.wait() * 0 + x + i)
        compiler.compile("double r, k; r = 0; for (k = 0; k < 20; k++;) { r = r + meet(k); }")
    errors = []

    def work(compiler):
        try:
            compiler.run()
        except Exception as error:  # reported by the main thread
            errors.append(error)

    threads = [threading.Thread(target=work, args=(c,)) for c in compilers]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(30)
    assert errors == []
    assert [c["r"][0, 0] for c in compilers] == [190, 210]


def test_interrupt_and_instruction_limit(c, run):
    c.compile("while (1) {}")
    threading.Timer(0.2, c.interrupt).start()
    with pytest.raises(qx.RunError, match="Interrupted"):
        c.run()
    c.set_instruction_limit(1000)
    with pytest.raises(qx.RunError, match="Instruction limit exceeded") as error:
        c.run()
    assert error.value.line == 1
    c.set_instruction_limit(0)
    run("double x; x = 3;")
    assert c["x"][0, 0] == 3


CTRL_C = textwrap.dedent(
    """
    import signal
    import time

    import qx

    c = qx.Compiler()
    c.compile("double n; n = 1; while (1) {}")
    print("ready", flush=True)
    try:
        c.run()
    except KeyboardInterrupt:
        c.compile("double x; x = n; while (1) { }")
        c.set_instruction_limit(100)
        try:
            c.run()
        except qx.RunError:
            print("stopped", c["x"][0, 0], flush=True)
    # Ctrl-C inside a Python host function stops the run too.
    c.register("nap", lambda: time.sleep(60), returns=False)
    c.compile("nap();")
    print("ready", flush=True)
    try:
        c.run()
    except KeyboardInterrupt:
        print("napping", flush=True)
    # A handler of the program's own replaces Python's: it is called, and the run still stops.
    seen = []
    signal.signal(signal.SIGINT, lambda *args: seen.append(args[0]))
    c.compile("while (1) {}")
    c.set_instruction_limit(0)
    print("ready", flush=True)
    try:
        c.run()
    except qx.RunError as error:
        print(error.text.endswith(". Interrupted"), seen == [signal.SIGINT], flush=True)
    """
)


def test_ctrl_c_stops_a_running_script_with_keyboard_interrupt():
    child = subprocess.Popen(
        [sys.executable, "-c", CTRL_C], stdout=subprocess.PIPE, text=True, env=os.environ
    )
    try:
        lines = []
        for _ in range(3):
            assert child.stdout.readline() == "ready\n"
            time.sleep(0.3)
            child.send_signal(signal.SIGINT)
            lines.append(child.stdout.readline())
        child.communicate(timeout=30)
    finally:
        child.kill()
    assert lines == ["stopped 1.0\n", "napping\n", "True True\n"]
    assert child.returncode == 0
