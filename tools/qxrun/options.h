// Command line of qxrun: what to run (a script file, a text, standard input or the REPL), the
// host variables to declare, load and save, what to print, and the two language options.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

enum eRunMode { rmFILE, rmTEXT, rmSTDIN, rmREPL, rmHELP, rmVERSION };

// --var NAME=TYPE[R][C], NAME=TYPE[] (resizable) or NAME=TYPE (1x1).
struct sVarSpec {
    std::string name;
    eDataType type = edtDOUBLE;
    int rows = 1;
    int cols = 1;
    bool resizable = false;
};

// --load NAME=FILE and --save NAME=FILE.
struct sFileSpec {
    std::string name;
    std::string path;
};

struct sRunOptions {
    eRunMode mode = rmREPL;
    std::string script;  // the file name (rmFILE) or the script text (rmTEXT)
    std::vector<sVarSpec> vars;
    std::vector<sFileSpec> loads;
    std::vector<sFileSpec> saves;
    std::vector<std::string> prints;
    bool quiet = false;
    bool clipping = true;
    bool smartError = true;
    long long maxInstructions = 0;  // 0: no limit
    bool disasm = false;            // list the compiled program instead of running it
};

// Exit statuses of qxrun.
constexpr int kExitOk = 0;
constexpr int kExitCompileError = 1;
constexpr int kExitRunError = 2;
constexpr int kExitUsage = 64;        // the conventional status of a command-line usage error
constexpr int kExitOutOfMemory = 70;  // BSD's EX_SOFTWARE: qxrun or a script ran out of memory

// Parses the arguments after the program name. Without a script and without -i, the REPL
// starts when standard input is a terminal and standard input is read as the script otherwise.
// False, with a message, for an unknown option, a missing or malformed value, two scripts, or
// options that do not fit the REPL.
bool parseOptions(const std::vector<std::string>& args, bool stdinIsTerminal, sRunOptions& opts,
                  std::string& error);

// Parses NAME=TYPE[R][C], NAME=TYPE[] or NAME=TYPE.
bool parseVarSpec(const std::string& text, sVarSpec& item, std::string& error);

// The text of --help.
std::string usageText();
