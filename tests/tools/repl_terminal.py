#!/usr/bin/env python3
# Drives the qxrun session through a pseudo-terminal, as a person at a keyboard: the banner,
# Ctrl-C at the prompt (the line and a pending entry are dropped, the session goes on), Ctrl-D;
# with libedit also Tab completion and the history kept between sessions.
# Usage: repl_terminal.py PATH_TO_QXRUN HOME_DIR WITH_EDITLINE(0|1)
import os, pty, select, sys, time

QXRUN, HOME, EDITLINE = sys.argv[1], sys.argv[2], sys.argv[3] == "1"


class Session:
    def __init__(self):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.environ.update(HOME=HOME, TERM="dumb")
            os.execv(QXRUN, [QXRUN])
        self.seen = b""

    def expect(self, text):
        """Reads until text appears; returns what was written up to it since the last call."""
        want, end = text.encode(), time.time() + 20
        while want not in self.seen:
            if time.time() > end:
                sys.exit(f"timed out waiting for {text!r}; the session wrote {self.seen!r}")
            if select.select([self.fd], [], [], 0.1)[0]:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    sys.exit(f"the session ended before {text!r}; it wrote {self.seen!r}")
                self.seen += chunk
        shown, _, self.seen = self.seen.partition(want)
        return shown.decode(errors="replace")

    def send(self, keys, *wanted):
        time.sleep(0.2)  # a moment for the line editor to take the terminal after its prompt
        os.write(self.fd, keys.encode())
        return "".join(self.expect(text) for text in wanted)

    def finish(self):
        """Ctrl-D at the prompt ends the session with status 0."""
        self.send("\x04")
        _, status = os.waitpid(self.pid, 0)
        if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
            sys.exit(f"the session ended with status {status}")


first = Session()
first.expect(":help lists the commands")
first.expect("qx> ")
first.send("double alpha;\r", "alpha = 0;", "qx> ")
# Ctrl-C drops the line being typed, then a pending multi-line entry; the session goes on.
first.send("1 + 2", "1 + 2")
first.send("\x03", "qx> ")
first.send("[1,\r", "... ")
first.send("\x03", "qx> ")
shown = first.send("2 * 21\r", "qx> ")
if "42" not in shown or "[1," in shown:
    sys.exit(f"Ctrl-C did not drop the entry: {shown!r}")
# Ctrl-C while an entry runs: the report starts on a line of its own, not after the "^C".
first.send("while (1) { }\r")
shown = first.send("\x03", "Interrupted", "qx> ")
if "\nInterpreter Error" not in shown:
    sys.exit(f"the interrupted run's report shares a line: {shown!r}")
# A newcomer's mistakes: the mended entry compiles after a failed one, an undeclared variable
# gets a hint, an error inside a function of an earlier entry shows that entry's line and the
# calls, and a large value is shown in part.
first.send("double a, b; a = 1 +;\r", "unexpected symbol", "qx> ")
first.send("double a, b; a = 1 + 2;\r", "a = 3;", "qx> ")
first.send("x = 6*7\r", "hint: a variable is declared before it is used: double x;", "qx> ")
first.send("func inner(m[2][2]) {\r", "... ")
first.send("  return m[5][0];\r", "... ")
first.send("}\r", "qx> ")
shown = first.send("inner(1)\r", "in inner, called at line 1", "qx> ")
if "  2 |   return m[5][0];" not in shown:
    sys.exit(f"the error does not show the function's line: {shown!r}")
shown = first.send("double big[200][200];\r", "// 200x200, shown in part", "qx> ")
if shown.count("\n") > 12:
    sys.exit(f"the large value was not shown in part: {shown!r}")
if EDITLINE:
    # Up (Ctrl-P) recalls a multi-line entry whole: run again, it gives its value again.
    first.send("(1 +\r", "... ")
    first.send(" 2)\r", "\r\n3\r\n", "qx> ")
    shown = first.send("\x10", "2)")
    if "(1 +" not in shown:
        sys.exit(f"Up did not recall the whole entry: {shown!r}")
    shown = first.send("\r", "qx> ")
    if "3\r\n" not in shown or "Syntaxerror" in shown:
        sys.exit(f"the recalled entry did not run: {shown!r}")
if EDITLINE:
    # Tab completes a variable, then a method; a command after ':'. The editor may redraw the
    # prompt while it completes, so each step waits for its text.
    first.send("alp\t", "alpha")
    first.send(".ro\t", "alpha.rows")
    first.send("\r", "\r\n1\r\n", "qx> ")
    first.send(":fu\t\r", "standard: sin", "qx> ")
first.finish()

if EDITLINE:
    # The history of the first session is there in the next one (Ctrl-P: the previous entry),
    # multi-line entries whole.
    second = Session()
    second.expect("qx> ")
    for line in (":funcs", "alpha.rows", "2)"):
        second.send("\x10", line)
    if "\r\n3\r\n" not in second.send("\r", "qx> "):
        sys.exit("the history of the last session is missing")
    second.finish()
print("ok")
