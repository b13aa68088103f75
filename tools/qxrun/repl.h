// The interactive session of qxrun: reads entries line by line, compiles and runs each entry as
// a program of its own on one CRunSession (declarations and functions persist, as the library
// keeps globals and script functions across compiles) and lists what each entry declared.
#pragma once

#include <istream>
#include <ostream>

#include "session.h"

// Runs the session until :quit or the end of the input; returns kExitOk. With terminal true
// the prompts "qx> " and "... " are shown and, when qxrun was built with libedit, lines are
// read through it (line editing and history) from standard input instead of from in.
int runRepl(CRunSession& session, std::istream& in, std::ostream& out, std::ostream& err,
            bool terminal);
