// The host side of qxrun: sets up a compiler object the way a host program would (options,
// standard library, a host function, host variables), runs programs and turns the library's
// error records into reports with the offending source line.
#include "session.h"

#include <atomic>
#include <csignal>

#include "csv.h"
#include "diagnostics.h"
#include "entry_scan.h"
#include "print_function.h"
#include "printer.h"

CRunSession::CRunSession(const sRunOptions& opts, std::ostream& out, std::ostream& err)
    : m_Opts(opts), m_Out(out), m_Err(err), m_pCompiler(new CQXCompiler()) {}

namespace {

// The compiler whose script is running; Ctrl-C asks it to stop at its next instruction. An
// atomic store is all the handler does, which is safe in a signal handler.
std::atomic<CQXCompiler*> g_pRunning{nullptr};

extern "C" void interruptRunningScript(int) {
    if (CQXCompiler* qx = g_pRunning.load()) qx->interrupt();
}

// While a script runs, Ctrl-C interrupts it (a run-time error, "Interrupted") instead of
// ending qxrun; outside runs the usual handling applies.
class CInterruptScope {
public:
    explicit CInterruptScope(CQXCompiler* qx) {
        g_pRunning.store(qx);
        m_Previous = std::signal(SIGINT, interruptRunningScript);
    }
    ~CInterruptScope() {
        std::signal(SIGINT, m_Previous == SIG_ERR ? SIG_DFL : m_Previous);
        g_pRunning.store(nullptr);
    }
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

private:
    void (*m_Previous)(int);
};

}  // namespace

bool CRunSession::setUp() {
    CQXCompiler& qx = *m_pCompiler;
    qx.setClipping(m_Opts.clipping);
    qx.setSmartError(m_Opts.smartError);
    qx.setInstructionLimit(m_Opts.maxInstructions);
    qx.loadStdFunctions();
    // The registry owns print and puts once addFunc accepts them; it refuses only a taken name.
    CPrintFunction* print = new CPrintFunction(qx.getSharedParameter(), m_Out);
    if (!qx.addFunc(print)) delete print;
    CPutsFunction* puts = new CPutsFunction(qx.getSharedParameter(), m_Out);
    if (!qx.addFunc(puts)) delete puts;
    for (const sVarSpec& item : m_Opts.vars)
        if (!declareVar(item)) return false;
    for (const sFileSpec& item : m_Opts.loads)
        if (!loadVar(item)) return false;
    qx.loadStdVars();
    return true;
}

bool CRunSession::reset() {
    m_pCompiler->clear(true);
    return setUp();
}

bool CRunSession::declareVar(const sVarSpec& item) {
    CQXCompiler& qx = *m_pCompiler;
    CQXVariable* var = nullptr;
    switch (item.type) {
        case edtBYTE:
            var = item.resizable ? qx.addResizeByteVar(item.name)
                                 : qx.addByteVar(item.name, item.rows, item.cols);
            break;
        case edtSHORT:
            var = item.resizable ? qx.addResizeShortVar(item.name)
                                 : qx.addShortVar(item.name, item.rows, item.cols);
            break;
        case edtINT:
            var = item.resizable ? qx.addResizeIntVar(item.name)
                                 : qx.addIntVar(item.name, item.rows, item.cols);
            break;
        case edtFLOAT:
            var = item.resizable ? qx.addResizeFloatVar(item.name)
                                 : qx.addFloatVar(item.name, item.rows, item.cols);
            break;
        case edtDOUBLE:
            var = item.resizable ? qx.addResizeDoubleVar(item.name)
                                 : qx.addDoubleVar(item.name, item.rows, item.cols);
            break;
    }
    if (var == nullptr) m_Err << "qxrun: --var: the name '" << item.name << "' is taken\n";
    return var != nullptr;
}

bool CRunSession::loadVar(const sFileSpec& item) {
    sCsvData data;
    std::string error;
    if (!readCsvFile(item.path, data, error)) {
        m_Err << "qxrun: --load: " << error << "\n";
        return false;
    }
    CQXVariable* var = m_pCompiler->addResizeDoubleVar(item.name);
    if (var == nullptr) {
        m_Err << "qxrun: --load: the name '" << item.name << "' is taken\n";
        return false;
    }
    var->resizeVar(data.rows, data.cols);
    for (int r = 0; r < data.rows; ++r)
        for (int c = 0; c < data.cols; ++c)
            var->setData(r, c, data.values[static_cast<size_t>(r) * data.cols + c]);
    return true;
}

// "m is a 3×3 double" for a run-time error on a global variable. Inside a function body the
// name may stand for a parameter or a local, which the host cannot see: no note there.
std::string CRunSession::variableNote(const std::string& text, const std::string& source, int line,
                                      int pos) {
    static const char* const kTypeNames[] = {"", "byte", "short", "int", "float", "double"};
    std::string name = variableNamed(text);
    CQXVariable* var = name.empty() ? nullptr : m_pCompiler->getVar(name);
    if (var == nullptr || insideFunctionBody(source, line, cursorColumn(source, line, pos)))
        return std::string();
    int type = var->getDataType();
    if (type < edtBYTE || type > edtDOUBLE) return std::string();
    return name + " is a " + std::to_string(var->getRows()) + "\u00d7" +
           std::to_string(var->getCols()) + " " + kTypeNames[type];
}

void CRunSession::reportError(const std::string& text, int line, int pos, const std::string& source,
                              bool withCaret, bool runTime, const sShownText* shown) {
    std::string message = text;
    const std::string* display = &source;
    if (shown != nullptr) {
        int shownLine = line;
        int shownPos = pos;
        mapToShown(shown->m_Text, shown->m_Prefix, shownLine, shownPos);
        message = relocateText(text, line, pos, shownLine, shownPos);
        line = shownLine;
        pos = shownPos;
        display = &shown->m_Text;
    }
    std::string note;
    if (runTime && withCaret) note = variableNote(message, *display, line, pos);
    m_Out.flush();
    m_Err << renderDiagnostic(message, *display, withCaret ? line : -1, pos, note);
    m_Err.flush();
}

// The calls that led to a run-time error, with their lines as the user typed them.
void CRunSession::reportTrace(std::vector<sCallSite> trace, const sShownText* shown) {
    if (shown != nullptr)
        for (sCallSite& site : trace)
            if (site.m_Line != -1)
                mapToShown(shown->m_Text, shown->m_Prefix, site.m_Line, site.m_Pos);
    m_Err << renderTrace(trace) << std::flush;
}

int CRunSession::execute(const std::string& source, bool showRunCaret, const sShownText* shown) {
    CQXCompiler& qx = *m_pCompiler;
    if (!qx.runCompiler(source)) {
        int line = 0;
        int pos = 0;
        std::string text;
        qx.getError(line, pos, text);
        reportError(text, line, pos, source, true, false, shown);
        return kExitCompileError;
    }
    return runCompiled(source, showRunCaret, shown);
}

int CRunSession::runCompiled(const std::string& source, bool showRunCaret,
                             const sShownText* shown) {
    CQXCompiler& qx = *m_pCompiler;
    bool ran;
    {
        CInterruptScope interruptible(&qx);
        ran = qx.runInterpreter();
    }
    if (ran) return kExitOk;
    int line = 0;
    int pos = 0;
    std::string text;
    qx.getException(line, pos, text);
    reportError(text, line, pos, source, showRunCaret, true, shown);
    // Without the caret the lines may belong to an earlier entry: no trace either.
    if (showRunCaret) reportTrace(qx.getExceptionTrace(), shown);
    return kExitRunError;
}

void CRunSession::listFrom(int first) {
    for (int i = first; i < m_pCompiler->getVarCount(); ++i)
        m_Out << formatAssignment(*m_pCompiler->getVar(i)) << '\n';
}

bool CRunSession::checkNames(const std::vector<std::string>& names, const char* option) {
    for (const std::string& name : names) {
        if (m_pCompiler->getVar(name) == nullptr) {
            m_Err << "qxrun: " << option << ": no variable '" << name << "'\n";
            return false;
        }
    }
    return true;
}

bool CRunSession::listNamed(const std::vector<std::string>& names) {
    if (!checkNames(names, "--print")) return false;
    for (const std::string& name : names)
        m_Out << formatAssignment(*m_pCompiler->getVar(name)) << '\n';
    return true;
}

bool CRunSession::saveAll() {
    std::vector<std::string> names;
    for (const sFileSpec& item : m_Opts.saves) names.push_back(item.name);
    if (!checkNames(names, "--save")) return false;
    for (const sFileSpec& item : m_Opts.saves) {
        std::string error;
        if (!writeCsvFile(item.path, *m_pCompiler->getVar(item.name), error)) {
            m_Err << "qxrun: --save: " << error << "\n";
            return false;
        }
    }
    return true;
}
