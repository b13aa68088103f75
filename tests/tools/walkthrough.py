#!/usr/bin/env python3
# Checks the first-session transcript of docs/language.md against qxrun: the files the guide
# shows (a code block after "<!-- walkthrough file: NAME -->") are written to a scratch
# directory, the entries of the transcript (after "<!-- walkthrough session -->": lines after
# "qx> " and "... ") are fed to qxrun -i there, and what qxrun writes must be the rest of the
# transcript, line for line (trailing blanks aside).
# Usage: walkthrough.py PATH_TO_QXRUN PATH_TO_LANGUAGE_MD
import os, re, subprocess, sys, tempfile

QXRUN, GUIDE = os.path.abspath(sys.argv[1]), sys.argv[2]
text = open(GUIDE, encoding="utf-8").read()


def block_after(marker):
    """The lines of the code block that follows each marker, by the marker's argument."""
    found = {}
    for match in re.finditer(r"<!-- walkthrough " + marker + r"(?:: (\S+))? -->\n```\n(.*?)```", text, re.S):
        found[match.group(1)] = match.group(2).splitlines()
    return found


files = block_after("file")
sessions = block_after("session")
if not files or len(sessions) != 1:
    sys.exit("the guide has no walkthrough (a file and one session) to check")
transcript = sessions[None]
entries = [line[4:] for line in transcript if line.startswith(("qx> ", "... "))]
expected = [line.rstrip() for line in transcript if not line.startswith(("qx> ", "... "))]
with tempfile.TemporaryDirectory() as work:
    for name, lines in files.items():
        with open(os.path.join(work, name), "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
    run = subprocess.run([QXRUN, "-i"], input="\n".join(entries) + "\n", cwd=work,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=60)
written = [line.rstrip() for line in run.stdout.splitlines()]
if written != expected:
    for number, (want, got) in enumerate(zip(expected + [""] * len(written), written + [""] * len(expected))):
        if want != got:
            sys.exit(f"the transcript differs at output line {number + 1}:\n  guide: {want!r}\n  qxrun: {got!r}")
print("ok: the first session of the guide is what qxrun writes")
