// The interactive session of qxrun: reads entries line by line, compiles and runs each entry as
// a program of its own on one CRunSession (declarations and functions persist, as the library
// keeps globals and script functions across compiles), shows the value of a bare expression and
// lists what each entry declared.
#pragma once

#include <istream>
#include <ostream>

#include "session.h"

// Runs the session until :quit or the end of the input. Returns kExitOk on a terminal; without
// one, the status of the last entry that failed (kExitCompileError, kExitRunError) or kExitOk.
// With terminal true a
// one-line banner and the prompts "qx> " and "... " are shown, Ctrl-C drops the entry being
// typed and, when qxrun was built with libedit, lines are read through it (line editing,
// history in ~/.qxrun_history, Tab completion) from standard input instead of from in.
int runRepl(CRunSession& session, std::istream& in, std::ostream& out, std::ostream& err,
            bool terminal);
