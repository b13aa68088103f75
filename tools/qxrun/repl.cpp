// The interactive session: a line reader (libedit when it is available and standard input is
// a terminal, std::getline otherwise), entries that continue while a bracket is open, the
// colon commands, and the listing of what each entry declared.
#include "repl.h"

#include <cstdlib>
#include <set>
#include <string>

#include "entry_scan.h"
#include "printer.h"

#ifdef QXRUN_HAVE_EDITLINE
#include <editline/readline.h>
#endif

namespace {

const char* const kPrompt = "qx> ";
const char* const kContinuation = "... ";

const char* const kReplHelp =
    "Each entry is a qx program of its own; global variables and functions persist.\n"
    "An entry with an open ( [ or { continues on the next line. Statements end with ';'.\n"
    "Use print(x); to see the value of an expression.\n"
    "  :vars         list every global variable\n"
    "  :print NAME   show one variable\n"
    "  :clear        forget all variables and functions and start afresh\n"
    "  :help         show this text\n"
    "  :quit         end the session (so does the end of input)\n";

class CLineReader {
public:
    CLineReader(std::istream& in, std::ostream& out, bool terminal)
        : m_In(in), m_Out(out), m_bTerminal(terminal) {}

    bool read(const char* prompt, std::string& line) {
#ifdef QXRUN_HAVE_EDITLINE
        if (m_bTerminal) return readEdited(prompt, line);
#endif
        if (m_bTerminal) m_Out << prompt << std::flush;
        return static_cast<bool>(std::getline(m_In, line));
    }

private:
#ifdef QXRUN_HAVE_EDITLINE
    bool readEdited(const char* prompt, std::string& line) {
        char* text = readline(prompt);
        if (text == nullptr) return false;
        line = text;
        std::free(text);
        if (!line.empty()) add_history(line.c_str());
        return true;
    }
#endif

    std::istream& m_In;
    std::ostream& m_Out;
    bool m_bTerminal;
};

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

class CRepl {
public:
    CRepl(CRunSession& session, std::ostream& out, std::ostream& err)
        : m_Session(session), m_Out(out), m_Err(err) {}

    // Runs one colon command; false for :quit.
    bool command(const std::string& line);
    void runEntry(const std::string& entry);

private:
    bool mentionsEarlierFunction(const std::string& entry) const;

    CRunSession& m_Session;
    std::ostream& m_Out;
    std::ostream& m_Err;
    // Script functions that earlier entries defined. A run-time error inside one of them is
    // located in the text of the entry that defined it, not in the current one.
    std::set<std::string> m_EarlierFuncs;
};

bool CRepl::command(const std::string& line) {
    CQXCompiler& qx = m_Session.compiler();
    size_t blank = line.find_first_of(" \t");
    std::string word = line.substr(0, blank);
    std::string name = blank == std::string::npos ? std::string() : trim(line.substr(blank));
    if (word == ":quit") return false;
    if (word == ":help") {
        m_Out << kReplHelp;
    } else if (word == ":vars") {
        m_Session.listFrom(0);
    } else if (word == ":print" && qx.getVar(name) != nullptr) {
        m_Out << formatAssignment(*qx.getVar(name)) << '\n';
    } else if (word == ":print") {
        m_Err << (name.empty() ? "usage: :print NAME" : "no variable '" + name + "'") << '\n';
    } else if (word == ":clear") {
        m_EarlierFuncs.clear();
        if (!m_Session.reset()) m_Err << "the session could not be set up again completely\n";
    } else {
        m_Err << "unknown command '" << word << "' (try :help)\n";
    }
    return true;
}

bool CRepl::mentionsEarlierFunction(const std::string& entry) const {
    for (const std::string& name : namesIn(entry))
        if (m_EarlierFuncs.count(name) != 0) return true;
    return false;
}

void CRepl::runEntry(const std::string& entry) {
    CQXCompiler& qx = m_Session.compiler();
    std::vector<std::string> newFuncs;
    for (const std::string& name : definedFunctions(entry))
        if (qx.getFunc(name) == nullptr) newFuncs.push_back(name);
    int first = qx.getVarCount();
    if (m_Session.execute(entry, !mentionsEarlierFunction(entry)) == kExitOk)
        m_Session.listFrom(first);
    for (const std::string& name : newFuncs)
        if (qx.getFunc(name) != nullptr) m_EarlierFuncs.insert(name);
    m_Out.flush();
}

}  // namespace

int runRepl(CRunSession& session, std::istream& in, std::ostream& out, std::ostream& err,
            bool terminal) {
    CLineReader reader(in, out, terminal);
    CRepl repl(session, out, err);
    std::string entry;
    std::string line;
    bool open = false;
    while (reader.read(open ? kContinuation : kPrompt, line)) {
        if (!open) {
            std::string trimmed = trim(line);
            if (trimmed.empty()) continue;
            if (trimmed[0] == ':') {
                if (!repl.command(trimmed)) return kExitOk;
                continue;
            }
        }
        entry = open ? entry + "\n" + line : line;
        open = entryNeedsMore(entry);
        if (!open) repl.runEntry(entry);
    }
    // The input ended inside an entry: compile it anyway, so its error is shown.
    if (open) repl.runEntry(entry);
    if (terminal) out << '\n';
    return kExitOk;
}
