// The host side of a qxrun run: one compiler object with the standard functions and
// constants, the print and puts functions and the host variables of the command line; it compiles
// and runs programs, reports their errors and lists variables. The script runner and the REPL both
// drive one CRunSession.
#pragma once

#include <qx/qx.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "options.h"
#include "print_function.h"

class CRunSession {
public:
    CRunSession(const sRunOptions& opts, std::ostream& out, std::ostream& err);

    // Sets the options, loads the standard functions, registers print and puts, declares the --var
    // and
    // --load variables and then the standard constants (so a host variable may take the name
    // of a constant). False, with a message on the error stream, when a host variable cannot
    // be made (a name taken twice, an unreadable or malformed CSV file).
    bool setUp();
    // Forgets everything (clear(true): every global, every script function) and sets up again.
    bool reset();

    // Compiles and runs source as one program. Returns kExitOk, or kExitCompileError /
    // kExitRunError (kExitOutOfMemory when storage could not be allocated) after writing the
    // error report: the text, the source line with a caret
    // where the location is known, the calls that led to a run-time error. With shown, the
    // report is made on the text the user typed instead of source (see sShownText).
    int execute(const std::string& source, const sShownText* shown = nullptr);
    // Runs the program compiled last, reporting a run-time error as execute does.
    int runCompiled(const sShownText* shown = nullptr);
    // Reports a compile error (text, line, stored position as the library gives them) of
    // source, or on shown, with hint lines beneath it.
    void reportCompileError(const std::string& text, int line, int pos, const std::string& source,
                            const sShownText* shown = nullptr);
    // Reports the last run-time error: the library's report, or on shown when the failing
    // instruction lies in the program itself; then a note on the global variable it names.
    void reportRunError(const sShownText* shown = nullptr);

    // Values of more elements are shown in part by the listings and print (0: all whole).
    void setMaxShown(long long count);
    long long maxShown() const { return m_MaxShown; }
    // "name = value;" lines for the global variables from index first on; without constants
    // unless withConstants, which then follow in one comment line of names.
    void listFrom(int first, bool withConstants = true);
    // Lists the named variables; false, with a message, when one does not exist.
    bool listNamed(const std::vector<std::string>& names);
    // Writes the --save files; false, with a message, for an unknown name (checked for all
    // before any file is written) or a write error.
    bool saveAll();
    // False, with a message naming the option, when one of the names is no global variable.
    bool checkNames(const std::vector<std::string>& names, const char* option);

    CQXCompiler& compiler() { return *m_pCompiler; }

private:
    bool declareVar(const sVarSpec& item);
    bool loadVar(const sFileSpec& item);
    std::string variableNote(const std::string& text);

    const sRunOptions& m_Opts;
    std::ostream& m_Out;
    std::ostream& m_Err;
    std::unique_ptr<CQXCompiler> m_pCompiler;
    CPrintFunction* m_pPrint = nullptr;  // owned by the compiler's registry
    long long m_MaxShown = 0;
};
