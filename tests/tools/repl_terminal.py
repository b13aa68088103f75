#!/usr/bin/env python3
# Drives the qxrun interactive session through a pseudo-terminal, as a person at a keyboard:
# the banner, Ctrl-C at the prompt (the line and a pending entry are dropped, the session goes
# on), Ctrl-D; with libedit also Tab completion and the history kept between sessions.
# Usage: repl_terminal.py PATH_TO_QXRUN HOME_DIR WITH_EDITLINE(0|1)
import os
import pty
import select
import sys
import time

QXRUN, HOME, EDITLINE = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
TIMEOUT = 20.0


class Session:
    def __init__(self):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.environ["HOME"] = HOME
            os.environ["TERM"] = "dumb"
            os.execv(QXRUN, [QXRUN])
        self.seen = b""

    def expect(self, text):
        """Reads until text appears in what the session wrote since the last expect."""
        want = text.encode()
        end = time.time() + TIMEOUT
        while want not in self.seen:
            if time.time() > end:
                sys.exit(f"timed out waiting for {text!r}; the session wrote {self.seen!r}")
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if ready:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    sys.exit(f"the session ended before {text!r}; it wrote {self.seen!r}")
                self.seen += chunk
        written = self.seen
        self.seen = self.seen[self.seen.index(want) + len(want):]
        return written.decode(errors="replace")

    def send(self, keys):
        # A moment for the line editor to take the terminal after its prompt.
        time.sleep(0.2)
        os.write(self.fd, keys.encode())

    def finish(self):
        """Ctrl-D at the prompt ends the session with status 0."""
        self.send("\x04")
        _, status = os.waitpid(self.pid, 0)
        if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
            sys.exit(f"the session ended with status {status}")


first = Session()
first.expect(":help")
first.expect("qx> ")
first.send("double alpha;\r")
first.expect("alpha = 0;")
first.expect("qx> ")
# Ctrl-C drops the line being typed, then a pending multi-line entry; the session goes on.
first.send("1 + 2")
first.expect("1 + 2")
first.send("\x03")
first.expect("qx> ")
first.send("[1,\r")
first.expect("... ")
first.send("\x03")
first.expect("qx> ")
first.send("2 * 21\r")
shown = first.expect("qx> ")
if "42" not in shown or "[1," in shown.split("2 * 21")[-1]:
    sys.exit(f"Ctrl-C did not drop the entry: {shown!r}")
if EDITLINE:
    # Tab completes a variable, then a method; a command after ':'.
    # The editor may redraw the prompt while it completes, so each step waits for its text.
    first.send("alp\t")
    first.expect("alpha")
    first.send(".ro\t")
    first.expect("alpha.rows")
    first.send("\r")
    first.expect("\r\n1\r\n")
    first.expect("qx> ")
    first.send(":fu\t\r")
    first.expect("standard: sin")
    first.expect("qx> ")
first.finish()

if EDITLINE:
    # The history of the first session is there in the next one (Ctrl-P: the previous line).
    second = Session()
    second.expect("qx> ")
    for line in (":funcs", "alpha.rows", "2 * 21"):
        second.send("\x10")
        second.expect(line)
    second.send("\r")
    shown = second.expect("qx> ")
    if "\r\n42\r\n" not in shown:
        sys.exit(f"the history of the last session is missing: {shown!r}")
    second.finish()
print("ok")
