# Every runnable example of README.md and docs/*.md gives the output the guide shows under it.
#   ```qx [OPTIONS]   a script, run by qxrun with OPTIONS; what qxrun writes (standard output,
#                     then standard error) must equal the ```output block that follows, and
#                     without one the script must run without error
#   ```cpp            with an ```output block: a C++ host, compiled against the built library
#                     (a block without main is the body of main) and run; its output must match
# Outputs are compared line by line, without the blanks at the ends of lines.
# qxrun comes from QXRUN, the compiler and library for C++ examples from QX_DOCS_CXX and
# QX_DOCS_LIB (left unset in sanitized builds, which skip them).
import os
import pathlib
import shlex
import subprocess
import tempfile

import pytest

from docs_text import ROOT, all_blocks

EXAMPLES = [b for b in all_blocks() if b.language == "qx" or (b.language == "cpp" and b.output)]
HEADERS = "".join(f"#include <{h}>\n" for h in ("qx/qx.h", "cmath", "iostream", "string", "vector"))


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)
    return done.returncode, done.stdout + done.stderr


def run_script(block, work):
    if "QXRUN" not in os.environ:
        pytest.skip("qxrun is not built")
    script = work / "example.qx"
    script.write_text(block.text)
    return run([os.environ["QXRUN"], *shlex.split(block.info)[1:], str(script)], cwd=work)


def run_host(block, work):
    if "QX_DOCS_CXX" not in os.environ:
        pytest.skip("C++ examples are built only in the normal build")
    source = work / "example.cpp"
    if "int main(" in block.text:
        source.write_text(block.text)
    else:
        body = "".join("    " + line + "\n" for line in block.text.splitlines())
        source.write_text(HEADERS + "int main() {\n" + body + "}\n")
    library = pathlib.Path(os.environ["QX_DOCS_LIB"])
    status, out = run([os.environ["QX_DOCS_CXX"], "-std=c++17", "-Wall", "-Wextra", "-Werror",
                       f"-I{ROOT}", str(source), str(library), f"-Wl,-rpath,{library.parent}",
                       "-pthread", "-o", str(work / "example")])
    assert status == 0, f"the example does not compile:\n{out}"
    return run([str(work / "example")], cwd=work)


def lines(text):
    """The lines of a text without blanks at their ends (error texts without a detail end in a
    blank, which the guides cannot show) and without empty lines at its end."""
    return [line.rstrip() for line in text.rstrip().split("\n")]


@pytest.mark.parametrize("block", EXAMPLES, ids=[b.where() for b in EXAMPLES])
def test_example_gives_the_output_shown(block):
    with tempfile.TemporaryDirectory() as work:
        status, out = (run_script if block.language == "qx" else run_host)(block,
                                                                          pathlib.Path(work))
    if block.output is None:
        assert status == 0, f"{block.where()} fails:\n{out}"
    else:
        assert lines(out) == lines(block.output), block.where()


def test_every_output_block_follows_an_example():
    orphans = [b.where() for b in all_blocks() if b.language == "output"]
    assert not orphans, "output blocks without an example right before them"
