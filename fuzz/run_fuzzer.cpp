// libFuzzer target for the whole pipeline (script text -> lexer -> compiler -> blocks ->
// interpreter -> variables): the input is compiled and run twice against host variables of every
// element type and state, then every function the script names is called from the host. After
// that the host's storage must be where the host put it, and the compiler must still work.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qx/qx.h"

namespace {

// Limits that keep every run short and small, whatever the script does (64 KiB still holds a
// 90 x 90 matrix of doubles). The storage limit holds per variable, and addVarByName in a loop
// declares a new variable every ten or so instructions, so one run may still allocate a hundred
// megabytes; the watchdog below bounds what all runs of one input allocate together.
constexpr long long kInstructionLimit = 20000;
constexpr long long kStorageLimit = 64 << 10;
// Functions called from the host per input, so one input cannot take long.
constexpr std::size_t kMaxHostCalls = 12;
// Budgets of one input. The instruction limit ends every loop, but one instruction over a large
// matrix (a product, a decomposition) can take a good part of a second, so a loop of them runs
// for hours within the limit; and memory grows with every run. The host's way out is
// interrupt(), which the watchdog calls once either budget is spent.
constexpr std::chrono::milliseconds kTimeBudget{2000};
constexpr long long kMemoryBudget = 256LL << 20;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "run_fuzzer: invariant broken: %s\n", what);
    std::abort();
}

// The resident size of this process in bytes, 0 when it cannot be read.
long long residentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0;
    long long pages = 0, resident = 0;
    if (std::fscanf(file, "%lld %lld", &pages, &resident) != 2) resident = 0;
    std::fclose(file);
    return resident * sysconf(_SC_PAGESIZE);
}

// A host's watchdog thread. While a compiler is armed and its deadline has passed or the process
// has grown by more than the memory budget, the input has expired: the watchdog asks the compiler
// to stop, again and again since every new run forgets an earlier request, and the host makes
// no further calls for this input.
class CWatchdog {
public:
    CWatchdog() {
        std::thread([this] { watch(); }).detach();
    }

    // Starts the budgets of a new input.
    void begin() {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_Deadline = std::chrono::steady_clock::now() + kTimeBudget;
        m_MemoryLimit = residentBytes() + kMemoryBudget;
        m_bExpired = false;
    }
    void arm(CQXCompiler* qx) {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_pQx = qx;
    }
    // After this returns the watchdog no longer touches the compiler, which may then go.
    void disarm() {
        std::lock_guard<std::mutex> hold(m_Mutex);
        m_pQx = nullptr;
    }
    bool expired() const { return m_bExpired; }

private:
    void watch() {
        std::unique_lock<std::mutex> hold(m_Mutex);
        for (;;) {
            m_Wake.wait_for(hold, std::chrono::milliseconds(5));
            if (m_pQx == nullptr) continue;
            if (std::chrono::steady_clock::now() > m_Deadline || residentBytes() > m_MemoryLimit)
                m_bExpired = true;
            if (m_bExpired) m_pQx->interrupt();
        }
    }

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    CQXCompiler* m_pQx = nullptr;
    std::chrono::steady_clock::time_point m_Deadline;
    long long m_MemoryLimit = 0;
    std::atomic<bool> m_bExpired{false};
};

// One watchdog for the whole process; it lives as long as the process.
CWatchdog& watchdog() {
    static CWatchdog* dog = new CWatchdog;
    return *dog;
}

// Host storage of one element type: every row is a heap block of its own, so a write past the
// end of a row is caught by the address sanitizer. One rows x cols matrix (row array handed to
// a reference variable), one flat block (handed through changeReference(count, ptr)).
template <class T>
struct sHostMatrix {
    std::vector<std::unique_ptr<T[]>> storage;
    std::vector<T*> rows;
    std::vector<T*> rowsAtStart;  // what the host expects to find in its row array afterwards
    std::unique_ptr<T[]> flat;
    int cols = 0;
    int count = 0;

    sHostMatrix(int r, int c, int flatCount) : cols(c), count(flatCount) {
        for (int i = 0; i < r; ++i) {
            storage.emplace_back(new T[c]);
            for (int j = 0; j < c; ++j) storage.back()[j] = static_cast<T>(i * c + j + 1);
            rows.push_back(storage.back().get());
        }
        rowsAtStart = rows;
        flat.reset(new T[flatCount]);
        for (int j = 0; j < flatCount; ++j) flat[j] = static_cast<T>(j + 2);
    }
};

template <class T>
T** rowsOf(CQXVariable* v);
template <>
unsigned char** rowsOf<unsigned char>(CQXVariable* v) {
    return v->getBytePtr();
}
template <>
unsigned short** rowsOf<unsigned short>(CQXVariable* v) {
    return v->getShortPtr();
}
template <>
int** rowsOf<int>(CQXVariable* v) {
    return v->getIntPtr();
}
template <>
float** rowsOf<float>(CQXVariable* v) {
    return v->getFloatPtr();
}
template <>
double** rowsOf<double>(CQXVariable* v) {
    return v->getDoublePtr();
}

// twice(x): 2 * x element by element, as a host writes a value function.
class CTwice : public CQXFunction {
public:
    explicit CTwice(CQXSharedParameter* shared) : CQXFunction("twice", shared) { setParamCount(1); }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        const CQXVariable* x = (*args)[0];
        if (x->getRows() < 1 || x->getCols() < 1) return raise("twice: empty argument");
        if (m_ReturnValue.getRows() != x->getRows() || m_ReturnValue.getCols() != x->getCols())
            if (!resizeReturnVar(x->getRows(), x->getCols())) return raise("twice: no storage");
        for (int r = 0; r < x->getRows(); ++r)
            for (int c = 0; c < x->getCols(); ++c)
                m_ReturnValue.setData(r, c, 2 * x->getData(r, c));
        return isOK;
    }
};

// fill(&out, v): stores v into every element of out, through the locking row-array getter as
// a host function may (the lock is already held by the run).
class CFill : public CQXFunction {
public:
    explicit CFill(CQXSharedParameter* shared) : CQXFunction("fill", shared) {
        setParamCount(2);
        setParamType(0, ptREFERENCE);
        setReturnType(false);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        CQXVariable* out = (*args)[0];
        const double v = (*args)[1]->getData(0, 0);
        if (double** rows = out->getDoublePtr()) {
            for (int r = 0; r < out->getRows(); ++r)
                if (rows[r] != nullptr)
                    for (int c = 0; c < out->getCols(); ++c) rows[r][c] = v;
            return isOK;
        }
        for (int r = 0; r < out->getRows(); ++r)
            for (int c = 0; c < out->getCols(); ++c) out->setData(r, c, v);
        return isOK;
    }
};

// reenter(k): a host function that drives its own compiler while a script runs, as careless
// hosts do: k selects the call (compile, clear, reload the library, run, call itself, call the
// function named k - 7 in the script's text with 1x1 arguments).
class CReenter : public CQXFunction {
public:
    CReenter(CQXSharedParameter* shared, CQXCompiler* qx, const std::vector<std::string>* names)
        : CQXFunction("reenter", shared), m_pQx(qx), m_pNames(names) {
        setParamCount(1);
    }

protected:
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        const double k = (*args)[0]->getData(0, 0);
        bool ok = true;
        if (k == 0) ok = m_pQx->runCompiler("double q; q = 1;");
        if (k == 1) m_pQx->clear(true);
        if (k == 2) m_pQx->clear(false);
        if (k == 3) m_pQx->loadStdFunctions();
        if (k == 4) ok = m_pQx->runInterpreter();
        if (k == 5) ok = m_pQx->callFuncByName("twice", {(*args)[0]});
        // Calls that come back here have no bound of their own: the compiler's nesting bound
        // must stop them.
        const bool named = k >= 7 && k < 7 + static_cast<double>(m_pNames->size());
        if (k == 6 || named) {
            const std::string name =
                named ? (*m_pNames)[static_cast<std::size_t>(k) - 7] : "reenter";
            const CQXFunction* func = m_pQx->getFunc(name);
            const std::size_t n =
                func != nullptr ? static_cast<std::size_t>(func->getParamCount()) : 0;
            ok = m_pQx->callFuncByName(name, std::vector<CQXVariable*>(n, (*args)[0]));
        }
        m_pQx->getException();
        return ok ? isOK : raise("reenter: the nested call failed");
    }

private:
    CQXCompiler* m_pQx;
    const std::vector<std::string>* m_pNames;  // the names in the script's text
};

// The host's side of one input: its storage, its variables, and what it expects of them.
struct sHost {
    sHostMatrix<unsigned char> b{3, 4, 5};
    sHostMatrix<unsigned short> s{3, 4, 5};
    sHostMatrix<int> i{3, 4, 5};
    sHostMatrix<float> f{3, 4, 5};
    sHostMatrix<double> d{4, 4, 7};
    // Another buffer of another shape, which the host points hd and fd at for one run.
    sHostMatrix<double> other{2, 5, 3};
    // A row array with an absent row, which the library must never dereference.
    std::unique_ptr<double[]> partialRow{new double[3]{1, 2, 3}};
    std::vector<double*> partial{partialRow.get(), nullptr};
    std::vector<CQXVariable*> args;  // every host variable, in a fixed order
    std::vector<std::string> names;  // the names in the script's text
    std::string text;                // the script
};

template <class T>
void addReferencePair(CQXCompiler& qx, sHost& host, sHostMatrix<T>& m, const std::string& tag) {
    host.args.push_back(
        qx.addReferenceVar("h" + tag, static_cast<int>(m.rows.size()), m.cols, m.rows.data()));
    CQXVariable* flat = qx.addReferenceVar("f" + tag, 1, 1, m.rows.data());
    require(flat->changeReference(m.count, m.flat.get()), "a reference variable can go flat");
    host.args.push_back(flat);
}

void addHostVariables(CQXCompiler& qx, sHost& host) {
    std::vector<CQXVariable*>& a = host.args;
    a.push_back(qx.addDoubleVar("d1", 1, 1));
    a.push_back(qx.addDoubleVar("d22", 2, 2));
    a.push_back(qx.addByteVar("ob", 2, 3));
    a.push_back(qx.addShortVar("os", 3, 1));
    a.push_back(qx.addIntVar("oi", 1, 4));
    a.push_back(qx.addFloatVar("of", 3, 3));
    a.push_back(qx.addResizeByteVar("rb"));
    a.push_back(qx.addResizeShortVar("rs"));
    a.push_back(qx.addResizeIntVar("ri"));
    a.push_back(qx.addResizeFloatVar("rf"));
    a.push_back(qx.addResizeDoubleVar("rd"));
    addReferencePair(qx, host, host.b, "b");
    addReferencePair(qx, host, host.s, "s");
    addReferencePair(qx, host, host.i, "i");
    addReferencePair(qx, host, host.f, "f");
    addReferencePair(qx, host, host.d, "d");
    a.push_back(qx.addReferenceVar("hp", 2, 3, host.partial.data()));
    a.push_back(qx.addReferenceVar("hz", 2, 2, static_cast<double**>(nullptr)));
    for (CQXVariable* v : a) require(v != nullptr, "every host variable is added");
    qx.addFunc(new CTwice(qx.getSharedParameter()));
    qx.addFunc(new CFill(qx.getSharedParameter()));
    qx.addFunc(new CReenter(qx.getSharedParameter(), &qx, &host.names));
}

// The names in the text, in order of first appearance: candidates for host calls.
std::vector<std::string> namesIn(const std::string& text) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    auto isStart = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto isPart = [&](char c) { return isStart(c) || (c >= '0' && c <= '9') || c == '_'; };
    for (std::size_t at = 0; at < text.size();) {
        if (!isStart(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && isPart(text[end])) ++end;
        std::string name = text.substr(at, end - at);
        if (seen.insert(name).second) names.push_back(name);
        at = end;
    }
    return names;
}

// A declared size in a parameter list ("[12]" at text[at]): the number, 0 when there is none
// or it is implausibly large for a host to pass.
int declaredSize(const std::string& text, std::size_t& at) {
    int size = 0;
    if (at < text.size() && text[at] == '[') ++at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        size = size > 1000 ? 1001 : size * 10 + (text[at] - '0');
    if (at < text.size() && text[at] == ']') ++at;
    return size <= 1000 ? size : 0;
}

// The arguments a careful host passes to the script function `name`, read from its definition
// in the text: for a value parameter a double matrix of the declared shape (new, filled with
// small numbers), for a reference parameter a fixed-size host variable. Empty when the
// definition is not found or a shape cannot be read.
std::vector<CQXVariable*> declaredArguments(CQXCompiler& qx, const std::string& text,
                                            const std::string& name) {
    const std::size_t def = text.find("func " + name + "(");
    if (def == std::string::npos) return {};
    std::vector<CQXVariable*> args;
    std::size_t at = def + 6 + name.size();
    while (at < text.size() && text[at] != ')' && text[at] != '{') {
        while (at < text.size() && (text[at] == ' ' || text[at] == ',')) ++at;
        if (at < text.size() && text[at] == '&') {
            args.push_back(qx.getVar("d22"));
        } else {
            while (at < text.size() && text[at] != '[' && text[at] != ',' && text[at] != ')') ++at;
            const bool sized = at < text.size() && text[at] == '[';
            const int rows = sized ? declaredSize(text, at) : 1;
            const int cols = sized ? declaredSize(text, at) : 1;
            if (rows < 1 || cols < 1) return {};
            CQXVariable* arg = qx.addDoubleVar("", rows, cols);
            for (int k = 0; k < rows * cols; ++k) arg->setData(k / cols, k % cols, k % 7 - 2);
            args.push_back(arg);
        }
        while (at < text.size() && text[at] != ',' && text[at] != ')') ++at;
    }
    return args;
}

// Calls one function with a few argument lists: all 1x1, all 2x2, all resizable, all the
// function's own return value (a host may pass a result back in), the shapes its definition
// declares, and a mix of host variables that depends on the call's number.
void callFromHost(CQXCompiler& qx, sHost& host, const std::string& name, std::size_t salt) {
    CQXFunction* func = qx.getFunc(name);
    if (func == nullptr) return;
    const std::size_t n = static_cast<std::size_t>(func->getParamCount());
    std::vector<CQXVariable*> declared;
    try {
        declared = declaredArguments(qx, host.text, name);
    } catch (const std::bad_alloc&) {
        // A declared shape beyond the storage limit: the host's own allocation fails.
    }
    const std::vector<CQXVariable*> fixed[] = {std::vector<CQXVariable*>(n, qx.getVar("d1")),
                                               std::vector<CQXVariable*>(n, qx.getVar("d22")),
                                               std::vector<CQXVariable*>(n, qx.getVar("rd")),
                                               std::vector<CQXVariable*>(n, func->getReturnValue()),
                                               declared};
    for (const std::vector<CQXVariable*>& args : fixed)
        if (!watchdog().expired()) qx.callFuncByName(name, args);
    std::vector<CQXVariable*> mix;
    for (std::size_t k = 0; k < n; ++k)
        mix.push_back(host.args[(salt * 7 + k * 3) % host.args.size()]);
    if (qx.callFuncByAddr(qx.getFunc(name), mix) && qx.getFunc(name) != nullptr)
        qx.getFunc(name)->getReturnValue()->toString();
    qx.getException();
}

template <class T>
void checkReference(CQXCompiler& qx, sHostMatrix<T>& m, const std::string& tag) {
    CQXVariable* h = qx.getVar("h" + tag);
    require(h != nullptr && rowsOf<T>(h) == m.rows.data(), "a reference keeps the host's rows");
    require(h->getRows() == static_cast<int>(m.rows.size()) && h->getCols() == m.cols,
            "a reference keeps its shape");
    require(m.rows == m.rowsAtStart, "the host's row array is unchanged");
    CQXVariable* flat = qx.getVar("f" + tag);
    require(flat != nullptr && rowsOf<T>(flat) != nullptr && rowsOf<T>(flat)[0] == m.flat.get(),
            "a flat reference keeps the host's block");
    require(flat->getRows() == 1 && flat->getCols() == m.count, "a flat reference keeps its shape");
}

void checkHost(CQXCompiler& qx, sHost& host) {
    checkReference(qx, host.b, "b");
    checkReference(qx, host.s, "s");
    checkReference(qx, host.i, "i");
    checkReference(qx, host.f, "f");
    checkReference(qx, host.d, "d");
    require(qx.getVar("hp")->getDoublePtr() == host.partial.data() && host.partial[1] == nullptr,
            "a reference with an absent row keeps it absent");
    require(qx.getVar("hz")->getDoublePtr() == nullptr, "a reference without rows stays so");
    require(qx.getVar("d22")->getRows() == 2 && qx.getVar("d22")->getCols() == 2,
            "an owned variable keeps its shape");
    // Copies made by the host read the same elements and free only what they own.
    for (CQXVariable* v : host.args) CQXVariable(*v).toString();
    // A host may look at the temporaries too (a debugger's dump, say): every one must read.
    for (int i = 0; i < qx.getTmpVarCount(); ++i) {
        CQXVariable* v = qx.getTmpVar(i);
        v->getData(0, 0);
        v->getData(v->getRows() - 1, v->getCols() - 1);
        if (static_cast<long long>(v->getRows()) * v->getCols() <= 64) v->toString();
    }
}

// Calls the functions the text names, the first kMaxHostCalls of them.
void callNamedFunctions(CQXCompiler& qx, sHost& host) {
    std::size_t calls = 0;
    for (const std::string& name : host.names) {
        if (qx.getFunc(name) == nullptr) continue;
        if (calls == kMaxHostCalls || watchdog().expired()) break;
        callFromHost(qx, host, name, calls++);
    }
}

// The compiled program must not rely on the shapes its variables had when it was compiled: the
// host points two references at a buffer of another shape and resizes a variable, runs once
// more, and restores its references.
void rerunWithOtherShapes(CQXCompiler& qx, sHost& host) {
    CQXVariable* hd = qx.getVar("hd");
    CQXVariable* fd = qx.getVar("fd");
    require(hd->changeReference(2, 5, host.other.rows.data()), "a reference can be re-pointed");
    require(fd->changeReference(host.other.count, host.other.flat.get()), "and made flat");
    qx.getVar("rd")->resizeVar(3, 2);
    qx.runInterpreter();
    require(hd->changeReference(4, 4, host.d.rows.data()), "a reference can be pointed back");
    require(fd->changeReference(host.d.count, host.d.flat.get()), "and made flat again");
}

// Compiles the text and runs it twice, then calls the functions it names from the host.
void runFirstProgram(CQXCompiler& qx, sHost& host) {
    const bool compiled = qx.runCompiler(host.text);
    qx.getError();
    watchdog().arm(&qx);
    if (compiled) {
        qx.runInterpreter();
        qx.runInterpreter();
        qx.getException();
        callNamedFunctions(qx, host);
        rerunWithOtherShapes(qx, host);
    }
    watchdog().disarm();
    checkHost(qx, host);
}

// The script's functions and globals outlive its program: the second half of the text,
// compiled as a program of its own, may call them, and called again from the host they run
// the code that the later compiles retired.
void runLaterPrograms(CQXCompiler& qx, sHost& host) {
    const std::size_t cut = host.text.find_first_of(";}", host.text.size() / 2);
    watchdog().arm(&qx);
    if (qx.runCompiler(cut == std::string::npos ? "" : host.text.substr(cut + 1)))
        qx.runInterpreter();
    qx.getError();
    qx.getException();
    callNamedFunctions(qx, host);
    watchdog().disarm();
    checkHost(qx, host);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    watchdog().begin();
    sHost host;
    host.text.assign(reinterpret_cast<const char*>(data), size);
    host.names = namesIn(host.text);
    CQXCompiler qx;
    // The two options follow from the text, so one input always runs the same way.
    const std::size_t bits = std::hash<std::string>()(host.text);
    qx.setClipping((bits & 1) != 0);
    qx.setSmartError((bits & 2) != 0);
    qx.setInstructionLimit(kInstructionLimit);
    qx.setStorageLimit(kStorageLimit);
    qx.loadStdFunctions();
    qx.loadStdVars();
    addHostVariables(qx, host);

    runFirstProgram(qx, host);
    // The compiler object must still do its job after whatever the script did.
    require(qx.runCompiler("d1 = 41 + 1;"), "a trivial script compiles");
    require(qx.runInterpreter(), "a trivial script runs");
    require(qx.getVar("d1")->getData(0, 0) == 42.0, "a trivial script computes");
    runLaterPrograms(qx, host);

    // Reloading the library deletes the script's functions and with them the program.
    qx.loadStdFunctions();
    require(!qx.runInterpreter(), "a program that may call deleted functions does not run");
    return 0;
}
