// Command line of qxrun: turns the arguments into an sRunOptions record, checking every value
// (variable specifications, option combinations) before anything is compiled or run.
#include "options.h"

#include "csv.h"

namespace {

struct sTypeName {
    const char* text;
    eDataType type;
};

const sTypeName kTypeNames[] = {{"byte", edtBYTE},
                                {"short", edtSHORT},
                                {"int", edtINT},
                                {"float", edtFLOAT},
                                {"double", edtDOUBLE}};

bool parseType(const std::string& text, eDataType& type) {
    for (const sTypeName& entry : kTypeNames) {
        if (text == entry.text) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

// A size in brackets: decimal digits only, from 1 to kMaxHostValues; advances at.
bool parseDimension(const std::string& text, size_t& at, int& value) {
    if (at >= text.size() || text[at] != '[') return false;
    long long n = 0;
    size_t digits = 0;
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        n = n * 10 + (text[at] - '0');
        if (n > kMaxHostValues) return false;
    }
    if (digits == 0 || n < 1 || at >= text.size() || text[at] != ']') return false;
    ++at;
    value = static_cast<int>(n);
    return true;
}

// NAME=VALUE with a name a script can use.
bool splitNamed(const std::string& text, std::string& name, std::string& value,
                std::string& error) {
    size_t eq = text.find('=');
    if (eq == std::string::npos) {
        error = "expected NAME=..., got '" + text + "'";
        return false;
    }
    name = text.substr(0, eq);
    value = text.substr(eq + 1);
    if (!CQXParser::isName(name)) {
        error = "'" + name + "' is not a variable name";
        return false;
    }
    return true;
}

bool parseSizes(const std::string& text, size_t at, sVarSpec& item) {
    if (at == text.size()) return true;  // NAME=TYPE: a 1x1 variable
    if (text.compare(at, std::string::npos, "[]") == 0) {
        item.resizable = true;
        return true;
    }
    if (!parseDimension(text, at, item.rows) || !parseDimension(text, at, item.cols)) return false;
    return at == text.size() && static_cast<long long>(item.rows) * item.cols <= kMaxHostValues;
}

bool parseFileSpec(const std::string& text, sFileSpec& item, std::string& error) {
    if (!splitNamed(text, item.name, item.path, error)) return false;
    if (item.path.empty()) {
        error = "no file name for '" + item.name + "'";
        return false;
    }
    return true;
}

// The parsing state: the arguments and the position of the next one.
struct sArgs {
    const std::vector<std::string>& list;
    size_t next;
    bool scriptGiven;
    bool interactive;
};

// The value of an option: "--opt=value" or the next argument.
bool takeValue(sArgs& args, const std::string& arg, const std::string& option, std::string& value,
               std::string& error) {
    if (arg.size() > option.size() && arg[option.size()] == '=') {
        value = arg.substr(option.size() + 1);
        return true;
    }
    if (arg != option || args.next >= args.list.size()) {
        error = option + " needs a value";
        return false;
    }
    value = args.list[args.next++];
    return true;
}

bool setScript(sArgs& args, sRunOptions& opts, eRunMode mode, const std::string& script,
               std::string& error) {
    if (args.scriptGiven) {
        error = "only one script may be given";
        return false;
    }
    args.scriptGiven = true;
    opts.mode = mode;
    opts.script = script;
    return true;
}

// A non-negative decimal count that fits a long long.
bool parseCount(const std::string& text, long long& count) {
    if (text.empty() || text.size() > 18) return false;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    count = value;
    return true;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Options that take a value; false when arg is none of them.
bool parseValueOption(sArgs& args, const std::string& arg, sRunOptions& opts, bool& ok,
                      std::string& error) {
    static const char* const kNames[] = {"--print", "--var", "--load", "--save",
                                         "--max-instructions"};
    for (const char* name : kNames) {
        if (arg != name && !startsWith(arg, std::string(name) + "=")) continue;
        std::string value;
        ok = takeValue(args, arg, name, value, error);
        if (!ok) return true;
        std::string option = name;
        if (option == "--print") {
            ok = CQXParser::isName(value);
            if (ok)
                opts.prints.push_back(value);
            else
                error = "'" + value + "' is not a variable name";
        } else if (option == "--max-instructions") {
            ok = parseCount(value, opts.maxInstructions);
            if (!ok) error = "'" + value + "' is not a number of instructions";
        } else if (option == "--var") {
            opts.vars.emplace_back();
            ok = parseVarSpec(value, opts.vars.back(), error);
        } else {
            std::vector<sFileSpec>& list = option == "--load" ? opts.loads : opts.saves;
            list.emplace_back();
            ok = parseFileSpec(value, list.back(), error);
        }
        if (!ok) error = option + ": " + error;
        return true;
    }
    return false;
}

// Flags and script arguments; false with a message for anything unknown.
bool parseOther(sArgs& args, const std::string& arg, sRunOptions& opts, std::string& error) {
    if (arg == "--quiet")
        opts.quiet = true;
    else if (arg == "--no-clipping")
        opts.clipping = false;
    else if (arg == "--no-smart-error")
        opts.smartError = false;
    else if (arg == "--disasm")
        opts.disasm = true;
    else if (arg == "-i")
        args.interactive = true;
    else if (arg == "-")
        return setScript(args, opts, rmSTDIN, "", error);
    else if (arg == "-e") {
        if (args.next >= args.list.size()) {
            error = "-e needs a value";
            return false;
        }
        return setScript(args, opts, rmTEXT, args.list[args.next++], error);
    } else if (!arg.empty() && arg[0] == '-') {
        error = "unknown option '" + arg + "'";
        return false;
    } else {
        return setScript(args, opts, rmFILE, arg, error);
    }
    return true;
}

// What to run when no script was named, and the options that only a script run can use.
bool settleMode(const sArgs& args, bool stdinIsTerminal, sRunOptions& opts, std::string& error) {
    if (args.interactive && args.scriptGiven) {
        error = "-i cannot be combined with a script";
        return false;
    }
    if (!args.scriptGiven) opts.mode = args.interactive || stdinIsTerminal ? rmREPL : rmSTDIN;
    if (opts.mode == rmREPL && (!opts.prints.empty() || !opts.saves.empty() || opts.quiet)) {
        error = "--print, --save and --quiet apply to a script, not to the interactive session";
        return false;
    }
    if (opts.mode == rmREPL && opts.disasm) {
        error = "--disasm applies to a script, not to the interactive session";
        return false;
    }
    return true;
}

}  // namespace

bool parseVarSpec(const std::string& text, sVarSpec& item, std::string& error) {
    std::string type;
    if (!splitNamed(text, item.name, type, error)) return false;
    size_t bracket = type.find('[');
    std::string typeName = type.substr(0, bracket);
    if (!parseType(typeName, item.type)) {
        error = "unknown type '" + typeName + "' (byte, short, int, float or double)";
        return false;
    }
    if (!parseSizes(type, typeName.size(), item)) {
        error = "bad size in '" + text + "' (expected [ROWS][COLS] from 1 to " +
                std::to_string(kMaxHostValues) + " values, or [])";
        return false;
    }
    return true;
}

bool parseOptions(const std::vector<std::string>& list, bool stdinIsTerminal, sRunOptions& opts,
                  std::string& error) {
    opts = sRunOptions();
    sArgs args{list, 0, false, false};
    bool optionsEnded = false;
    while (args.next < list.size()) {
        const std::string& arg = list[args.next++];
        bool ok = true;
        if (optionsEnded) {
            ok = setScript(args, opts, rmFILE, arg, error);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            opts.mode = rmHELP;
            return true;
        } else if (arg == "--version") {
            opts.mode = rmVERSION;
            return true;
        } else if (!parseValueOption(args, arg, opts, ok, error)) {
            ok = parseOther(args, arg, opts, error);
        }
        if (!ok) return false;
    }
    return settleMode(args, stdinIsTerminal, opts, error);
}

std::string usageText() {
    return "usage: qxrun [OPTIONS] [FILE.qx | -e TEXT | -]\n"
           "       qxrun [OPTIONS] -i\n"
           "\n"
           "Compiles and runs a qx script with the standard functions and constants and the\n"
           "functions print(x) (a value) and puts(s) (a string as text), then lists the global\n"
           "variables the script declared, as qx text. Without a script, qxrun starts an\n"
           "interactive session when standard input is a terminal and reads the script from\n"
           "standard input otherwise.\n"
           "\n"
           "  FILE.qx              run the script in FILE.qx\n"
           "  -e TEXT              run TEXT as the script\n"
           "  -                    read the script from standard input\n"
           "  -i                   interactive session; entries come from standard input\n"
           "  --print NAME         list only variable NAME after the run (repeatable)\n"
           "  --quiet              list nothing after the run\n"
           "  --var NAME=TYPE[R][C]\n"
           "                       declare an R x C host variable before compiling; TYPE is\n"
           "                       byte, short, int, float or double; NAME=TYPE[] is\n"
           "                       resizable, NAME=TYPE is 1x1\n"
           "  --load NAME=FILE     load a CSV file into a resizable double variable NAME\n"
           "  --save NAME=FILE     write variable NAME to a CSV file after the run\n"
           "  --no-clipping        stores into integer variables wrap instead of saturating\n"
           "  --no-smart-error     domain errors (division by zero, sqrt(-1), ...) stop the run\n"
           "  --max-instructions N stop a run after N instructions (0: no limit); Ctrl-C\n"
           "                       interrupts a running script in any case\n"
           "  --disasm             compile the script and print its instructions instead of\n"
           "                       running it\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Exit status: 0 success, 1 compile error, 2 run-time error, 64 usage error (unknown\n"
           "option, bad --var, unreadable script, malformed or unreadable CSV file, unknown\n"
           "--print or --save name, unwritable --save file), 70 out of memory. The interactive\n"
           "session fed without a terminal ends with the status of its last failed entry.\n";
}
