// The interactive session: a line reader (libedit when it is available and standard input is
// a terminal, std::getline otherwise) with history, completion and Ctrl-C, entries that
// continue while a bracket is open, the colon commands, bare expressions that show their value,
// functions that can be defined again, and the listing of what each entry declared.
#include "repl.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "csv.h"
#include "entry_scan.h"
#include "function_help.h"
#include "printer.h"

#ifdef QXRUN_HAVE_EDITLINE
#include <editline/readline.h>
#endif

#ifndef QXRUN_VERSION
#define QXRUN_VERSION "unknown"
#endif

namespace {

const char* const kPrompt = "qx> ";
const char* const kContinuation = "... ";
// qxrun compiles a bare expression as the argument of its print function.
const char* const kShowPrefix = "print(";

const char* const kReplHelp =
    "Each entry is a qx program of its own; global variables and functions persist.\n"
    "An expression or a variable name alone shows its value; a missing final ';' is added.\n"
    "An entry with an open ( [ or { continues on the next line; Ctrl-C drops the entry.\n"
    "Defining a function again replaces it (the functions that call it are compiled again).\n"
    "  :vars         list the global variables (the constants by name)\n"
    "  :funcs        list the functions\n"
    "  :print NAME   show one variable whole (large values are otherwise shown in part)\n"
    "  :help NAME    what a function, method, keyword or operator does\n"
    "  :load FILE    forget the variables and functions of the session, then run FILE\n"
    "  :clear        forget all variables and functions and start afresh\n"
    "  :help         show this text\n"
    "  :quit         end the session (so does the end of input, Ctrl-D)\n";

// Values of more elements are shown in part: a terminal does not take more at a glance.
constexpr long long kShownWhole = 1000;

const char* const kCommands[] = {":vars", ":funcs", ":print", ":help", ":load", ":clear", ":quit"};

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// ---- Ctrl-C at the prompt ----

volatile sig_atomic_t g_PromptInterrupted = 0;

extern "C" void cancelEntry(int) {
    g_PromptInterrupted = 1;
}

// Without SA_RESTART, so a read in progress returns at once. Installed before every read: a
// running script puts a handler of its own in place (see CRunSession).
void catchPromptInterrupt() {
    struct sigaction action = {};
    action.sa_handler = cancelEntry;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

enum eReadResult { rrLINE, rrEND, rrCANCEL };

class CRepl;
// The session whose names Tab completes (libedit's callbacks carry no context).
const CRepl* g_pCompleting = nullptr;

class CLineReader {
public:
    CLineReader(std::istream& in, std::ostream& out, bool terminal);
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    eReadResult read(const char* prompt, std::string& line);
    // Adds a whole entry (all its lines) or a command to the history, so Up recalls it whole.
    void remember(const std::string& entry);

private:
#ifdef QXRUN_HAVE_EDITLINE
    eReadResult readEdited(const char* prompt, std::string& line);
    std::string m_HistoryFile;
#endif

    std::istream& m_In;
    std::ostream& m_Out;
    bool m_bTerminal;
    struct sigaction m_PreviousAction;
};

class CRepl {
public:
    CRepl(CRunSession& session, std::ostream& out, std::ostream& err)
        : m_Session(session), m_Out(out), m_Err(err) {}

    // Runs one colon command; false for :quit.
    bool command(const std::string& line);
    // Runs an entry; complete false when the input ended inside it.
    void runEntry(const std::string& entry, bool complete);
    // The exit status of the session without a terminal: that of the last entry that failed.
    int status() const { return m_Status; }
#ifdef QXRUN_HAVE_EDITLINE
    // The names that complete word, which starts at index start of line.
    std::vector<std::string> completions(const std::string& line, size_t start,
                                         const std::string& word) const;
#endif

private:
    bool showVariable(const std::string& entry);
    bool evaluate(const std::string& entry);
    void runStatements(const std::string& entry, const std::string& source);
    void redefine(const std::string& entry, const std::string& source,
                  const std::set<std::string>& replaced);
    void recordDefinitions(const std::string& source, const std::set<std::string>& before);
    void load(const std::string& path);
    void listFunctions();
    void help(const std::string& name);
    std::vector<std::string> functionNames() const;
    std::set<std::string> registeredNames() const;

    int note(int status) {
        if (status != kExitOk) m_Status = status;
        return status;
    }

    CRunSession& m_Session;
    std::ostream& m_Out;
    std::ostream& m_Err;
    int m_Status = kExitOk;
    // The script functions of the session in the order they were defined, with their texts, so
    // that they can be compiled again when a function they call is defined anew.
    std::vector<sFunctionText> m_Defs;
};

// ---- line reading ----

#ifdef QXRUN_HAVE_EDITLINE
// Names end at blanks, operators and brackets; a '.' starts a method name.
char g_WordBreaks[] = " \t\n\"+-*/^%=<>!&|,;()[]{}.";

// Where the word being completed starts in the line (set before the matches are asked for).
size_t g_CompletionStart = 0;

char* nextCompletion(const char* text, int state) {
    static std::vector<std::string> matches;
    static size_t next = 0;
    if (state == 0) {
        std::string line = rl_line_buffer != nullptr ? rl_line_buffer : "";
        matches = g_pCompleting != nullptr
                      ? g_pCompleting->completions(line, g_CompletionStart, text)
                      : std::vector<std::string>();
        next = 0;
    }
    return next < matches.size() ? strdup(matches[next++].c_str()) : nullptr;
}

// File names only after ":load"; everything else completes from the session's names.
char** attemptCompletion(const char* text, int start, int) {
    std::string line = rl_line_buffer != nullptr ? rl_line_buffer : "";
    g_CompletionStart = std::min(static_cast<size_t>(start > 0 ? start : 0), line.size());
    if (trim(line.substr(0, g_CompletionStart)) == ":load") return nullptr;
    rl_attempted_completion_over = 1;
    return rl_completion_matches(text, nextCompletion);
}

std::string historyFile() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) + "/.qxrun_history" : "";
}
#endif

CLineReader::CLineReader(std::istream& in, std::ostream& out, bool terminal)
    : m_In(in), m_Out(out), m_bTerminal(terminal) {
    sigaction(SIGINT, nullptr, &m_PreviousAction);
#ifdef QXRUN_HAVE_EDITLINE
    if (!m_bTerminal) return;
    using_history();
    stifle_history(1000);
    m_HistoryFile = historyFile();
    if (!m_HistoryFile.empty()) read_history(m_HistoryFile.c_str());
    rl_basic_word_break_characters = g_WordBreaks;
    rl_completer_word_break_characters = g_WordBreaks;
    rl_completion_append_character = '\0';
    rl_attempted_completion_function = attemptCompletion;
#endif
}

CLineReader::~CLineReader() {
    if (m_bTerminal) sigaction(SIGINT, &m_PreviousAction, nullptr);
#ifdef QXRUN_HAVE_EDITLINE
    if (m_bTerminal && !m_HistoryFile.empty()) write_history(m_HistoryFile.c_str());
#endif
}

eReadResult CLineReader::read(const char* prompt, std::string& line) {
    if (m_bTerminal) {
        g_PromptInterrupted = 0;
        catchPromptInterrupt();
    }
#ifdef QXRUN_HAVE_EDITLINE
    if (m_bTerminal) return readEdited(prompt, line);
#endif
    if (m_bTerminal) m_Out << prompt << std::flush;
    if (std::getline(m_In, line)) return rrLINE;
    if (!g_PromptInterrupted) return rrEND;
    m_In.clear();
    return rrCANCEL;
}

void CLineReader::remember(const std::string& entry) {
#ifdef QXRUN_HAVE_EDITLINE
    if (m_bTerminal && !trim(entry).empty()) add_history(entry.c_str());
#else
    (void)entry;
#endif
}

#ifdef QXRUN_HAVE_EDITLINE
eReadResult CLineReader::readEdited(const char* prompt, std::string& line) {
    char* text = readline(prompt);
    if (g_PromptInterrupted) {
        std::free(text);
        return rrCANCEL;
    }
    if (text == nullptr) return rrEND;
    line = text;
    std::free(text);
    return rrLINE;
}
#endif

// ---- the session ----

// A missing final ';' is added just after the last character of code (before a comment that
// may follow), so every position of the text stays where it was.
std::string withFinalSemicolon(const std::string& entry) {
    size_t last = lastCodeChar(entry);
    if (last == std::string::npos || entry[last] == ';' || entry[last] == '}') return entry;
    return entry.substr(0, last + 1) + ";" + entry.substr(last + 1);
}

bool mentions(const std::string& text, const std::set<std::string>& names) {
    for (const std::string& name : namesIn(text))
        if (names.count(name) != 0) return true;
    return false;
}

// "f(x, m[2][2])" from the definition text "func f(x, m[2][2]) { ... }".
std::string signatureOf(const sFunctionText& def) {
    size_t open = def.m_Text.find('(');
    size_t close = def.m_Text.find(')', open == std::string::npos ? 0 : open);
    if (open == std::string::npos || close == std::string::npos) return def.m_Name;
    return def.m_Name + def.m_Text.substr(open, close + 1 - open);
}

bool CRepl::command(const std::string& line) {
    CQXCompiler& qx = m_Session.compiler();
    size_t blank = line.find_first_of(" \t");
    std::string word = line.substr(0, blank);
    std::string name = blank == std::string::npos ? std::string() : trim(line.substr(blank));
    if (word == ":quit") return false;
    if (word == ":help" && !name.empty()) {
        help(name);
    } else if (word == ":help") {
        m_Out << kReplHelp;
    } else if (word == ":vars") {
        m_Session.listFrom(0, false);
    } else if (word == ":funcs") {
        listFunctions();
    } else if (word == ":print" && qx.getVar(name) != nullptr) {
        m_Out << formatAssignment(*qx.getVar(name)) << '\n';
    } else if (word == ":print") {
        m_Err << (name.empty() ? "usage: :print NAME" : "no variable '" + name + "'") << '\n';
    } else if (word == ":load") {
        load(name);
    } else if (word == ":clear") {
        m_Defs.clear();
        if (!m_Session.reset()) m_Err << "the session could not be set up again completely\n";
    } else {
        m_Err << "unknown command '" << word << "' (try :help)\n";
    }
    m_Out.flush();
    return true;
}

void CRepl::help(const std::string& name) {
    if (const sFunctionHelp* entry = findFunctionHelp(name.c_str())) {
        m_Out << entry->m_pSignature << "\n  " << entry->m_pSummary << '\n';
        if (const sFunctionHelp* word = findLanguageHelp(name))  // min and max are both
            m_Out << word->m_pSignature << "\n  " << word->m_pSummary << '\n';
        return;
    }
    if (const sFunctionHelp* entry = findLanguageHelp(name)) {
        m_Out << entry->m_pSignature << "\n  " << entry->m_pSummary << '\n';
        return;
    }
    for (const sFunctionText& def : m_Defs) {
        if (def.m_Name != name) continue;
        m_Out << signatureOf(def) << "\n  defined in this session\n";
        return;
    }
    m_Err << "no function, method, keyword or operator '" << name << "' (try :funcs)\n";
}

void CRepl::listFunctions() {
    for (const sFunctionText& def : m_Defs) m_Out << signatureOf(def) << '\n';
    CQXCompiler& qx = m_Session.compiler();
    std::string host;
    std::string standard;
    for (const sFunctionHelp& entry : functionHelp()) {
        if (qx.getFunc(entry.m_pName) == nullptr) continue;
        std::string& list = entry.m_bStandard ? standard : host;
        list += (list.empty() ? "" : " ") + std::string(entry.m_pName);
    }
    if (!host.empty()) m_Out << "qxrun: " << host << '\n';
    if (!standard.empty()) m_Out << "standard: " << standard << '\n';
}

std::vector<std::string> CRepl::functionNames() const {
    std::vector<std::string> names;
    for (const sFunctionHelp& entry : functionHelp()) names.push_back(entry.m_pName);
    for (const sFunctionText& def : m_Defs) names.push_back(def.m_Name);
    return names;
}

std::set<std::string> CRepl::registeredNames() const {
    std::set<std::string> names;
    for (const std::string& name : functionNames())
        if (m_Session.compiler().getFunc(name) != nullptr) names.insert(name);
    return names;
}

#ifdef QXRUN_HAVE_EDITLINE
std::vector<std::string> CRepl::completions(const std::string& line, size_t start,
                                            const std::string& word) const {
    std::vector<std::string> candidates;
    if (start == 0 && !word.empty() && word[0] == ':') {
        candidates.assign(std::begin(kCommands), std::end(kCommands));
    } else if (start > 0 && start <= line.size() && line[start - 1] == '.') {
        candidates = CQXCompiler::methodNames();
        candidates.push_back("resize");
    } else {
        candidates = functionNames();
        CQXCompiler& qx = m_Session.compiler();
        for (int i = 0; i < qx.getVarCount(); ++i) candidates.push_back(qx.getVar(i)->getName());
    }
    std::set<std::string> matches;
    for (const std::string& name : candidates) {
        bool usable = CQXParser::isName(name) || (!name.empty() && name[0] == ':');
        if (usable && name.compare(0, word.size(), word) == 0) matches.insert(name);
    }
    return std::vector<std::string>(matches.begin(), matches.end());
}
#endif

void CRepl::load(const std::string& path) {
    std::string text;
    if (path.empty()) {
        m_Err << "usage: :load FILE\n";
        return;
    }
    if (!readWholeFile(path, text)) {
        m_Err << "qxrun: " << path << ": cannot read the script\n";
        return;
    }
    CQXCompiler& qx = m_Session.compiler();
    qx.clearScript();
    m_Defs.clear();
    std::set<std::string> before = registeredNames();
    int first = qx.getVarCount();
    if (note(m_Session.execute(text)) == kExitOk) m_Session.listFrom(first);
    recordDefinitions(text, before);
}

// A global variable's name alone (with or without ';'): its value, in its own element type.
bool CRepl::showVariable(const std::string& entry) {
    std::string name = trim(entry);
    if (!name.empty() && name.back() == ';') name = trim(name.substr(0, name.size() - 1));
    CQXVariable* var = CQXParser::isName(name) ? m_Session.compiler().getVar(name) : nullptr;
    if (var == nullptr) return false;
    m_Out << var->toText(0, m_Session.maxShown()) << '\n';
    return true;
}

// A bare expression is compiled as the argument of print. Such a text can declare and define
// nothing, so when it does not compile it is tried as a statement too (a call of a function
// without value); when neither compiles, the error of the expression is reported.
bool CRepl::evaluate(const std::string& entry) {
    if (!mayBeExpression(entry)) return false;
    CQXCompiler& qx = m_Session.compiler();
    size_t last = lastCodeChar(entry);
    std::string body = entry[last] == ';' ? entry.substr(0, last) : entry;
    std::string source = kShowPrefix + body + "\n);";
    sShownText shown{entry, static_cast<int>(std::strlen(kShowPrefix))};
    if (qx.tryCompile(source)) {
        note(m_Session.runCompiled(&shown));
        return true;
    }
    int line = 0;
    int pos = 0;
    std::string text;
    qx.getError(line, pos, text);
    std::string statement = withFinalSemicolon(entry);
    sShownText typed{entry, 0};
    if (qx.tryCompile(statement)) {
        note(m_Session.runCompiled(&typed));
    } else {
        m_Session.reportCompileError(text, line, pos, source, &shown);
        note(kExitCompileError);
    }
    return true;
}

// The functions source defined that were not registered before it ran.
void CRepl::recordDefinitions(const std::string& source, const std::set<std::string>& before) {
    CQXCompiler& qx = m_Session.compiler();
    for (const sFunctionText& def : functionDefinitions(source)) {
        if (before.count(def.m_Name) != 0 || qx.getFunc(def.m_Name) == nullptr) continue;
        bool known = false;
        for (const sFunctionText& old : m_Defs) known = known || old.m_Name == def.m_Name;
        if (!known) m_Defs.push_back(def);
    }
}

void CRepl::runStatements(const std::string& entry, const std::string& source) {
    std::set<std::string> replaced;
    for (const sFunctionText& def : functionDefinitions(source))
        for (const sFunctionText& old : m_Defs)
            if (old.m_Name == def.m_Name) replaced.insert(def.m_Name);
    if (!replaced.empty()) {
        redefine(entry, source, replaced);
        return;
    }
    CQXCompiler& qx = m_Session.compiler();
    std::set<std::string> before = registeredNames();
    int first = qx.getVarCount();
    sShownText shown{entry, 0};
    if (note(m_Session.execute(source, &shown)) == kExitOk) m_Session.listFrom(first);
    recordDefinitions(source, before);
}

// A function defined anew: every script function goes, those that do not call the replaced
// ones (directly or through others) are compiled again first, then the entry runs, then the
// callers are compiled against the new definitions. A caller that no longer compiles is
// dropped with a message; a replaced function whose new definition failed keeps its old one.
void CRepl::redefine(const std::string& entry, const std::string& source,
                     const std::set<std::string>& replaced) {
    std::set<std::string> affected = replaced;
    for (bool grew = true; grew;) {
        grew = false;
        for (const sFunctionText& def : m_Defs) {
            if (affected.count(def.m_Name) != 0 || !mentions(def.m_Text, affected)) continue;
            affected.insert(def.m_Name);
            grew = true;
        }
    }
    std::vector<sFunctionText> old;
    std::vector<sFunctionText> callers;
    std::vector<sFunctionText> kept;
    for (const sFunctionText& def : m_Defs) {
        if (replaced.count(def.m_Name) != 0)
            old.push_back(def);
        else
            (affected.count(def.m_Name) != 0 ? callers : kept).push_back(def);
    }
    CQXCompiler& qx = m_Session.compiler();
    qx.clearScriptFunctions();
    m_Defs.clear();
    for (const sFunctionText& def : kept)
        if (qx.tryCompile(def.m_Text)) m_Defs.push_back(def);
    runStatements(entry, source);
    for (const sFunctionText& def : old)
        if (qx.getFunc(def.m_Name) == nullptr && qx.tryCompile(def.m_Text)) m_Defs.push_back(def);
    for (const sFunctionText& def : callers) {
        if (qx.tryCompile(def.m_Text)) {
            m_Defs.push_back(def);
        } else {
            std::string error = qx.getError();
            m_Err << "qxrun: " << def.m_Name
                  << " was dropped, it no longer compiles: " << error.substr(0, error.find('\n'))
                  << '\n';
        }
    }
}

void CRepl::runEntry(const std::string& entry, bool complete) {
    if (complete && (showVariable(entry) || evaluate(entry))) {
        m_Out.flush();
        return;
    }
    runStatements(entry, complete ? withFinalSemicolon(entry) : entry);
    m_Out.flush();
}

}  // namespace

int runRepl(CRunSession& session, std::istream& in, std::ostream& out, std::ostream& err,
            bool terminal) {
    CLineReader reader(in, out, terminal);
    // Large values are shown in part at the prompt; :print shows one whole.
    session.setMaxShown(kShownWhole);
    CRepl repl(session, out, err);
    g_pCompleting = &repl;
    if (terminal) out << "qxrun " << QXRUN_VERSION << ": :help lists the commands, Ctrl-D leaves\n";
    std::string entry;
    std::string line;
    bool open = false;
    for (;;) {
        eReadResult result = reader.read(open ? kContinuation : kPrompt, line);
        if (result == rrEND) break;
        if (result == rrCANCEL) {
            out << '\n';
            open = false;
            continue;
        }
        if (!open) {
            std::string trimmed = trim(line);
            if (trimmed.empty()) continue;
            if (trimmed[0] == ':') {
                reader.remember(trimmed);
                if (!repl.command(trimmed)) {
                    g_pCompleting = nullptr;
                    return terminal ? kExitOk : repl.status();
                }
                continue;
            }
        }
        entry = open ? entry + "\n" + line : line;
        open = entryNeedsMore(entry);
        if (open) continue;
        reader.remember(entry);
        repl.runEntry(entry, true);
    }
    g_pCompleting = nullptr;
    // The input ended inside an entry: compile it anyway, so its error is shown.
    if (open) repl.runEntry(entry, false);
    if (terminal) out << '\n';
    // Fed from a file or a pipe, the session tells whether every entry went through.
    return terminal ? kExitOk : repl.status();
}
