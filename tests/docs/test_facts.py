# Facts the guides state about the tools and the build, compared with their sources: qxrun's
# options, what CI runs, how the benchmarks are run.
import os
import re
import subprocess

import pytest

from docs_text import ROOT, prose, section


def test_qxrun_options_table_lists_every_option_of_its_help():
    if "QXRUN" not in os.environ:
        pytest.skip("qxrun is not built")
    help_text = subprocess.run([os.environ["QXRUN"], "--help"], capture_output=True,
                               text=True).stdout
    table = [line for line in section(ROOT / "docs" / "language.md", "## Running scripts")
             if line.startswith("| `")]
    documented = {o for row in table for o in re.findall(r"`(-[-\w]*)", row.split("|")[1])}
    assert set(re.findall(r"^  (-[-\w]*)", help_text, re.M)) == documented


def test_contributing_names_every_step_of_ci():
    steps = [line.strip() for line in (ROOT / ".ci" / "run").read_text().split("\n")
             if line.startswith("scripts/")]
    text = "\n".join(prose(ROOT / "CONTRIBUTING.md"))
    assert steps and [s for s in steps if f"`{s}`" not in text] == []


def test_performance_notes_match_how_the_benchmarks_run():
    """The latest results come first: their number of repetitions and of workloads, where the
    notes state them, are those of scripts/bench.sh and the benchmark source."""
    notes = re.sub(r"\s+", " ", (ROOT / "docs" / "performance.md").read_text())
    words = ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"]
    bench = (ROOT / "scripts" / "bench.sh").read_text()
    repetitions = int(re.search(r"--benchmark_repetitions=(\d+)", bench).group(1))
    stated = re.search(r"[Mm]edians of (\w+) repetitions", notes)
    assert stated is None or stated.group(1) == words[repetitions]
    bench_source = (ROOT / "bench" / "workloads_bench.cpp").read_text()
    workloads = len(set(re.findall(r"BM_(W\d+)_qx", bench_source)))
    stated = re.search(r"(\w+) typical host workloads", notes)
    assert stated is None or stated.group(1) == words[workloads]
