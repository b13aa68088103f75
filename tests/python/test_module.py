# The module as a package: documentation and stubs for every name, garbage collection of
# compilers, the examples, and an install that Python finds.
import ast
import gc
import os
import pathlib
import pydoc
import subprocess
import sys
import weakref

import numpy as np
import pytest

import qx

SOURCE = pathlib.Path(os.environ.get("QX_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
PUBLIC = ["Compiler", "Error", "CompileError", "RunError", "CallSite", "ErrorType"]


def stub_names():
    tree = ast.parse((SOURCE / "python" / "qx.pyi").read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            members = set()
            for item in node.body:
                if isinstance(item, (ast.FunctionDef, ast.AnnAssign, ast.Assign)):
                    target = getattr(item, "name", None) or getattr(item, "target", None)
                    if target is None:
                        target = item.targets[0]
                    members.add(target if isinstance(target, str) else target.id)
            names[node.name] = members
    return names


def public_members(cls):
    return {
        name
        for name in vars(cls)
        if not name.startswith("_") or name in ("__init__", "__getitem__", "__setitem__", "__contains__")
    }


def test_every_name_is_documented_and_in_the_stubs():
    stubs = stub_names()
    assert sorted(stubs) == sorted(PUBLIC)
    assert qx.__doc__ and "bind" in qx.__doc__
    for name in PUBLIC:
        assert getattr(qx, name).__doc__, name
    for name in public_members(qx.Compiler) - {"__init__"}:
        assert getattr(qx.Compiler, name).__doc__, name
    assert public_members(qx.Compiler) == stubs["Compiler"]
    assert {m for m in vars(qx.CallSite) if not m.startswith("_")} == stubs["CallSite"]
    assert set(qx.ErrorType.__members__) == stubs["ErrorType"]
    assert "class Compiler" in pydoc.render_doc(qx, renderer=pydoc.plaintext)


def test_a_compiler_in_a_cycle_with_its_host_function_is_collected():
    c = qx.Compiler()
    array = np.zeros(3)
    c.bind("a", array)
    c.register("peek", lambda: c["a"][0])
    gone = weakref.ref(c)
    del c
    gc.collect()
    assert gone() is None
    assert sys.getrefcount(array) == 2


@pytest.mark.parametrize("example", ["smooth_signal.py", "image_levels.py"])
def test_examples_run(example):
    result = subprocess.run(
        [sys.executable, str(SOURCE / "examples" / "python" / example)],
        capture_output=True, text=True, timeout=60,
    )
    assert result.returncode == 0, result.stderr
    assert "levels 0 .. 255" in result.stdout or "smoothed" in result.stdout


@pytest.mark.skipif("QX_BUILD_DIR" not in os.environ, reason="needs the build tree")
def test_an_install_is_found_from_its_prefix(tmp_path):
    build = os.environ["QX_BUILD_DIR"]
    subprocess.run(["cmake", "--install", build, "--prefix", str(tmp_path)], check=True,
                   capture_output=True)
    modules = [p.parent for p in tmp_path.rglob("qx.pyi")]
    assert len(modules) == 1 and (modules[0] / "qx.pyi").exists()
    env = dict(os.environ, PYTHONPATH=str(modules[0]))
    # The module and the library it loads both come from the prefix.
    probe = (
        "import qx; c = qx.Compiler(); c.compile('double x; x = 2;'); c.run(); print(qx.__file__);"
        "print(*[l.split()[-1] for l in open('/proc/self/maps') if 'libqx.so' in l][:1])"
    )
    out = subprocess.run([sys.executable, "-c", probe], env=env, capture_output=True, text=True,
                         check=True, cwd=tmp_path).stdout.splitlines()
    assert out[0].startswith(str(modules[0]))
    assert out[1].startswith(str(tmp_path))
