// qxrun: runs qx scripts from the command line and offers an interactive session. A host
// program like any other: it uses only the public API of the qx library (qx/qx.h).
// main reads the options and hands over to the script runner or the REPL.
#include <unistd.h>

#include <iostream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "csv.h"
#include "options.h"
#include "repl.h"
#include "session.h"

#ifndef QXRUN_VERSION
#define QXRUN_VERSION "unknown"
#endif

namespace {

bool readScript(const sRunOptions& opts, std::string& text) {
    if (opts.mode == rmTEXT) {
        text = opts.script;
        return true;
    }
    if (opts.mode == rmSTDIN) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (!std::cin.bad()) return true;
        std::cerr << "qxrun: cannot read standard input\n";
        return false;
    }
    if (readWholeFile(opts.script, text)) return true;
    std::cerr << "qxrun: " << opts.script << ": cannot read the script\n";
    return false;
}

// After a successful run: the listing, then the --save files. Every name is checked before
// anything is printed or written.
int finishRun(const sRunOptions& opts, CRunSession& session, int firstDeclared) {
    std::vector<std::string> saved;
    for (const sFileSpec& item : opts.saves) saved.push_back(item.name);
    if (!session.checkNames(saved, "--save")) return kExitUsage;
    if (!opts.quiet && !opts.prints.empty()) {
        if (!session.listNamed(opts.prints)) return kExitUsage;
    } else if (!opts.quiet) {
        session.listFrom(firstDeclared);
    }
    std::cout.flush();
    return session.saveAll() ? kExitOk : kExitUsage;
}

// --disasm: the listing of the compiled program, or the compile error.
int listProgram(CQXCompiler& qx, const std::string& source) {
    if (!qx.runCompiler(source)) {
        std::cerr << qx.formatError();
        return kExitCompileError;
    }
    std::cout << qx.getListing();
    return kExitOk;
}

int runScript(const sRunOptions& opts) {
    std::string source;
    if (!readScript(opts, source)) return kExitUsage;
    CRunSession session(opts, std::cout, std::cerr);
    if (!session.setUp()) return kExitUsage;
    if (opts.disasm) return listProgram(session.compiler(), source);
    // Globals are kept in the order of creation, so everything from here on is the script's.
    int firstDeclared = session.compiler().getVarCount();
    int status = session.execute(source);
    if (status != kExitOk) return status;
    return finishRun(opts, session, firstDeclared);
}

int runInteractive(const sRunOptions& opts) {
    CRunSession session(opts, std::cout, std::cerr);
    if (!session.setUp()) return kExitUsage;
    return runRepl(session, std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
}

int dispatch(const sRunOptions& opts) {
    switch (opts.mode) {
        case rmHELP:
            std::cout << usageText();
            return kExitOk;
        case rmVERSION:
            std::cout << "qxrun " << QXRUN_VERSION << "\n";
            return kExitOk;
        case rmREPL:
            return runInteractive(opts);
        default:
            return runScript(opts);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sRunOptions opts;
    std::string error;
    if (!parseOptions(args, isatty(STDIN_FILENO) != 0, opts, error)) {
        std::cerr << "qxrun: " << error << "\nTry 'qxrun --help'.\n";
        return kExitUsage;
    }
    try {
        int status = dispatch(opts);
        std::cout.flush();
        return status;
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << "qxrun: out of memory\n";
        return kExitOutOfMemory;
    }
}
