// Fused element-wise chains: finding them among a block's instructions (once, when the block first
// runs) and running one whenever its operands allow (checked on every run). A strip is computed
// step by step with the scalar operators the element kernels use, in the same order and on the
// same operands, so a fused chain gives the bits its instructions give when run one by one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
#include "qx/values/variable.h"
#include "qx/vm/elementwise_internal.h"
#include "qx/vm/fused_chain_internal.h"
#include "qx/vm/interpreter.h"
#include "qx/vm/operand_address_internal.h"
#include "qx/vm/operand_cache_internal.h"

namespace qxfuse {
namespace {

// The longest chain: its strips, one per step, stay in the first-level cache together.
constexpr std::size_t kMaxSteps = 16;
// Elements of one strip: 1 KB of doubles per step. Measured on 1000x1000 operands, strips of 128
// ran faster than longer ones (512: 1.7 times the time), which crowd the inputs' lines out of the
// first-level cache.
constexpr std::size_t kStrip = 128;
// Distance of two strips in the scratch memory: not a multiple of 4 KB, so that a strip's loads
// and the stores into the next strip do not fall on the same cache-set offsets (which stalls
// loads behind unrelated stores).
constexpr std::size_t kStride = kStrip + 24;

// ---- Finding chains ----

// An instruction with an element-wise form (the opcode table's last column) and every operand the
// form reads, writing a compiler temporary.
bool fusible(const sByteCode& code) {
    const int arity = qxelem::arity(code.m_Opt);
    return arity > 0 && code.m_Var1.m_pVar != nullptr &&
           (arity < 2 || code.m_Var2.m_pVar != nullptr) && code.m_pResult != nullptr &&
           code.m_pResult->getName().empty();
}

// How often each temporary of interest is named by an instruction, in any role.
using Counts = std::unordered_map<const CQXVariable*, int>;

void countVar(const CQXVariable* v, Counts& counts) {
    const auto it = counts.find(v);
    if (it != counts.end()) ++it->second;
}

void countOperand(const sByteCodeOperand& op, Counts& counts) {
    forEachVariable(op, [&counts](const CQXVariable* v) { countVar(v, counts); });
}

// Walks the block and every block its instructions run. The compiler reads an expression's
// temporaries in the block that computes them; only the value of a whole right-hand side of &&
// leaves its block, and that value is never read inside its own block, so it ends no chain early.
void countBlock(const std::vector<sByteCode>& code, Counts& counts,
                std::unordered_set<const CQXInterpreter*>& seen) {
    for (const sByteCode& c : code) {
        countOperand(c.m_Var1, counts);
        countOperand(c.m_Var2, counts);
        countVar(c.m_pResult, counts);
        for (const CQXVariable* param : c.m_Params) countVar(param, counts);
        // The else branch shares its place with the called function: only conditions have one.
        const CQXInterpreter* elseBlock = c.m_Opt == otCONDITION ? c.m_pElseBlock : nullptr;
        for (const CQXInterpreter* sub :
             {static_cast<const CQXInterpreter*>(c.m_pBlock), elseBlock}) {
            if (sub != nullptr && seen.insert(sub).second)
                countBlock(sub->getByteCode(), counts, seen);
        }
    }
}

// The step among first .. end - 1 that writes v, or -1.
int producer(const std::vector<sByteCode>& code, std::size_t first, std::size_t end,
             const CQXVariable* v) {
    for (std::size_t i = first; i < end; ++i) {
        if (code[i].m_pResult == v) return static_cast<int>(i - first);
    }
    return -1;
}

// The step whose value the operand of step `at` reads (-1: none). False when the operand names
// a temporary of the chain in any other way: an element or a range of it, one of its index
// variables, or a temporary that is written at or after step `at`.
bool linkOf(const std::vector<sByteCode>& code, std::size_t first, std::size_t end, int at,
            const sByteCodeOperand& op, int& link) {
    bool indexedByChain = false;
    forEachIndexVariable(op.index(), [&](const CQXVariable* v) {
        indexedByChain = indexedByChain || (v != nullptr && producer(code, first, end, v) >= 0);
    });
    if (indexedByChain) return false;
    link = producer(code, first, end, op.m_pVar);
    return link < 0 || (!op.isIndexed() && link < at);
}

// The steps of first .. end - 1, when they form one chain: every result but the last is read
// by exactly one later step, once, and by no other instruction.
bool buildSteps(const std::vector<sByteCode>& code, std::size_t first, std::size_t end,
                const Counts& counts, std::vector<Step>& steps) {
    steps.clear();
    for (std::size_t i = first; i < end; ++i) {
        const sByteCode& c = code[i];
        const int at = static_cast<int>(i - first);
        Step step{i, -1, -1};
        if (producer(code, first, i, c.m_pResult) >= 0 ||
            !linkOf(code, first, end, at, c.m_Var1, step.linkA) ||
            (qxelem::arity(c.m_Opt) > 1 && !linkOf(code, first, end, at, c.m_Var2, step.linkB)))
            return false;
        steps.push_back(step);
    }
    for (std::size_t k = 0; k + 1 < steps.size(); ++k) {
        const int step = static_cast<int>(k);
        int readers = 0;
        for (const Step& s : steps) readers += (s.linkA == step) + (s.linkB == step);
        if (readers != 1 || counts.at(code[steps[k].pc].m_pResult) != 2) return false;
    }
    return true;
}

// Whether the instruction at `end` assigns the chain's last temporary, its only reader, to a
// whole variable.
bool storesResult(const std::vector<sByteCode>& code, std::size_t first, std::size_t end,
                  const Counts& counts) {
    if (end >= code.size()) return false;
    const sByteCode& c = code[end];
    const CQXVariable* last = code[end - 1].m_pResult;
    return c.m_Opt == otASSIGN && c.m_Var1.m_pVar != nullptr && !c.m_Var1.isIndexed() &&
           c.m_Var2.m_pVar == last && !c.m_Var2.isIndexed() &&
           producer(code, first, end, c.m_Var1.m_pVar) < 0 && counts.at(last) == 2;
}

// The longest chain from `first` on, among the fusible instructions first .. end - 1.
Chain longestChain(const std::vector<sByteCode>& code, std::size_t first, std::size_t end,
                   const Counts& counts) {
    Chain chain;
    for (std::size_t e = end; e >= first + 2; --e) {
        if (buildSteps(code, first, e, counts, chain.steps)) {
            chain.first = first;
            chain.assign = storesResult(code, first, e, counts);
            return chain;
        }
    }
    chain.steps.clear();
    return chain;
}

}  // namespace

std::vector<Chain> findChains(const std::vector<sByteCode>& code) {
    std::vector<Chain> chains;
    Counts counts;
    for (std::size_t i = 0; i + 1 < code.size(); ++i) {
        if (fusible(code[i]) && fusible(code[i + 1])) {
            counts.emplace(code[i].m_pResult, 0);
            counts.emplace(code[i + 1].m_pResult, 0);
        }
    }
    if (counts.empty()) return chains;
    std::unordered_set<const CQXInterpreter*> seen;
    countBlock(code, counts, seen);
    for (std::size_t first = 0; first < code.size();) {
        std::size_t end = first;
        while (end < code.size() && end - first < kMaxSteps && fusible(code[end])) ++end;
        Chain chain = longestChain(code, first, end, counts);
        if (chain.steps.empty()) {
            ++first;
            continue;
        }
        first += chain.count();
        chains.push_back(std::move(chain));
    }
    return chains;
}

namespace {

// ---- Running a chain ----

// What one operand of a step is while the chain runs. Made only for the operands a run uses
// (no member initialisers: a chain of 1x1 values must cost next to nothing to refuse).
struct Source {
    enum Kind : unsigned char { kScalar, kMatrix, kLink };
    Kind kind;
    double value;            // kScalar: read before the chain runs
    int link;                // kLink: the step whose strip it reads
    const CQXVariable* var;  // kScalar, kMatrix: the operand's own variable
    eDataType type;          // kMatrix: rows row0 .. row0 + rows - 1 of rowArray,
    const void* rowArray;    // from column col0 on
    int row0;
    int col0;
    int rows;
    int cols;
    double* buffer;  // kMatrix of another element type: its strip read as doubles
};

// One step as it runs: its opcode, the shape its element-wise form computes in, its operands
// (x the matrix, y the second matrix of a pair) and the single s of qxelem::eShape::kScalar.
struct Plan {
    eOptType opcode;
    qxelem::eShape shape;
    const Source* x;
    const Source* y;
    double s;
};

bool isScalar(const Source& s) {
    return s.kind == Source::kScalar;
}

// The plan of a step with operands a and b (b unused by a unary form); false where the opcode's
// handler computes something else on them. A single on either side is the kernel's argument, so
// the step computes f(element, single) whichever side it stands on, as the kernel does.
bool decide(eOptType opcode, const Source& a, const Source& b, bool smart, Plan& p) {
    const qxelem::sOperand oa{isScalar(a), a.value};
    const qxelem::sOperand ob{isScalar(b), b.value};
    p = {opcode, qxelem::eShape::kEach, &a, nullptr, 0.0};
    if (!qxelem::decide(opcode, oa, ob, smart, p.shape)) return false;
    if (p.shape == qxelem::eShape::kScalar) {
        p.x = oa.single ? &b : &a;
        p.s = oa.single ? a.value : b.value;
    } else if (p.shape != qxelem::eShape::kEach) {
        p.y = &b;
    }
    return true;
}

// How the last step stores into the assignment's target: as computed, or with the clipping rule
// of a double (only the infinities move).
struct Keep {
    double operator()(double v) const { return v; }
};
struct Saturate {
    double operator()(double v) const { return qxops::saturated<double>(v, true); }
};

// The loops are inlined into each compiled version of the strip functions below.
#if defined(__GNUC__)
#define QX_STRIP_INLINE __attribute__((always_inline)) inline
#else
#define QX_STRIP_INLINE inline
#endif

template <class Store, class F>
QX_STRIP_INLINE void each(double* out, const double* x, std::size_t n, Store store, F f) {
    for (std::size_t j = 0; j < n; ++j) out[j] = store(f(x[j]));
}

template <class Store, class F>
QX_STRIP_INLINE void each(double* out, const double* x, const double* y, std::size_t n, Store store,
                          F f) {
    for (std::size_t j = 0; j < n; ++j) out[j] = store(f(x[j], y[j]));
}

// Two matrices with the smart quotient: the largest double where the divisor is 0. The quotients
// come first, in a loop the compiler vectorises (a select in the same loop becomes a branch
// around the division); a divisor that the quotients overwrote needs the loop with both.
template <auto F, class Store>
QX_STRIP_INLINE void smartPairs(double* out, const double* x, const double* y, std::size_t n,
                                Store store) {
    if (out == y) {
        return each(out, x, y, n, store,
                    [](double v, double w) { return qxops::smartChoice(F(v, w), w); });
    }
    each(out, x, y, n, Keep(), qxops::Fn<F>());
    for (std::size_t j = 0; j < n; ++j) out[j] = store(qxops::smartChoice(out[j], y[j]));
}

// One strip of a step, by the step's element-wise form.
template <class Store>
QX_STRIP_INLINE void applyForm(qxelem::None, const Plan&, double*, const double*, const double*,
                               std::size_t, Store) {}

template <auto F, class Store>
QX_STRIP_INLINE void applyForm(qxelem::Mapped<F>, const Plan&, double* out, const double* x,
                               const double*, std::size_t n, Store st) {
    each(out, x, n, st, [](double v) { return qxops::valueOf(F(v)); });
}

template <auto F, qxelem::eScalarSide Sides, bool Pairs, bool Divides, class Store>
QX_STRIP_INLINE void applyForm(qxelem::Binary<F, Sides, Pairs, Divides>, const Plan& p, double* out,
                               const double* x, const double* y, std::size_t n, Store st) {
    const double s = p.s;
    switch (p.shape) {
        case qxelem::eShape::kScalar:
            return each(out, x, n, st, [s](double v) { return qxops::valueOf(F(v, s)); });
        case qxelem::eShape::kPair:
            return each(out, x, y, n, st,
                        [](double v, double w) { return qxops::valueOf(F(v, w)); });
        case qxelem::eShape::kSmartPair:
            if constexpr (Divides) return smartPairs<F>(out, x, y, n, st);
            return;
        case qxelem::eShape::kEach:
            return;
    }
}

// One case per row of the opcode table; an opcode without an element-wise form never has a plan.
template <class Store>
QX_STRIP_INLINE void apply(const Plan& p, double* out, const double* x, const double* y,
                           std::size_t n, Store st) {
    switch (p.opcode) {
#define QX_FUSED_CASE(value, name, uses, handler, scalar, elem) \
    case name:                                                  \
        return applyForm(qxelem::elem(), p, out, x, y, n, st);
        QX_OPCODES(QX_FUSED_CASE)
#undef QX_FUSED_CASE
        case otNONE:
            return;
    }
}

// The strip loops are also compiled for the wider vectors of processors that have them, chosen
// when the library is loaded. Additions, products and quotients are rounded alike at any vector
// width, so both give the same bits. Not in sanitized builds: the choice is made by a resolver
// that runs while the library is relocated, before a sanitizer's runtime is ready for it.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QX_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QX_SANITIZED_BUILD 1
#endif
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(QX_SANITIZED_BUILD)
#define QX_STRIP_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QX_STRIP_CLONES
#endif

QX_STRIP_CLONES void applyPlain(const Plan& p, double* out, const double* x, const double* y,
                                std::size_t n) {
    apply(p, out, x, y, n, Keep());
}

QX_STRIP_CLONES void applySaturated(const Plan& p, double* out, const double* x, const double* y,
                                    std::size_t n) {
    apply(p, out, x, y, n, Saturate());
}

bool owned(const CQXVariable* v) {
    return v->getVarState(vsOWNED) || v->getVarState(vsRESIZABLE);
}

// Two variables that each own their storage share none unless they are one.
bool mayShare(const CQXVariable* x, const CQXVariable* y) {
    return x == y || !owned(x) || !owned(y);
}

// An operand read as one value, the value its element view or whole variable gives.
bool placeScalar(const CQXVariable& var, int row, int col, Source& out) {
    out = Source{};
    out.kind = Source::kScalar;
    out.var = &var;
    out.value = var.hasStorage() ? var.getData_intern(row, col) : 0.0;
    return true;
}

// The addressed rows and columns; a 1x1 range is a single. False when a row is absent: the
// kernels skip such a row, leaving stale elements in their result.
bool place(const CQXVariable& var, const qxaddr::sAddress& at, Source& out) {
    if (at.rows == 1 && at.cols == 1) return placeScalar(var, at.row0, at.col0, out);
    if (at.rows < 1 || at.cols < 1 || qxaddr::rowsPresent(var, at) != qxaddr::eFault::kNone)
        return false;
    out = Source{Source::kMatrix, 0.0,     -1,      &var,   var.getDataType(), nullptr, at.row0,
                 at.col0,         at.rows, at.cols, nullptr};
    qxrows::withRowArray(var, [&](auto rowArray) { out.rowArray = rowArray; });
    return true;
}

// The operand as the general path resolves it, without its errors: false where that path would
// report one (it then does).
bool resolveSource(const sByteCodeOperand& op, Source& out) {
    const CQXVariable& var = *op.m_pVar;
    qxaddr::sAddress at;
    if (qxaddr::resolve(op, at) != qxaddr::eFault::kNone) return false;
    if (op.isRange()) return place(var, at, out);
    if (op.isSingle() || var.getVarType() == vtSINGLE)
        return placeScalar(var, at.row0, at.col0, out);
    return place(var, at, out);
}

// The address of element (row0 + i, col0) of a matrix source.
std::uintptr_t rowAddress(const Source& s, int i) {
    return qxrows::withType(s.type, [&](auto tag) {
        using T = typename decltype(tag)::type;
        const T* line = static_cast<T* const*>(s.rowArray)[s.row0 + i] + s.col0;
        return reinterpret_cast<std::uintptr_t>(line);
    });
}

std::size_t elementSize(eDataType type) {
    return qxrows::withType(type, [](auto tag) { return sizeof(typename decltype(tag)::type); });
}

// Whether the source's rows follow one another in memory, so that the chain may walk them as one.
bool contiguous(const Source& s) {
    const std::uintptr_t base = rowAddress(s, 0);
    const std::uintptr_t stride = elementSize(s.type) * static_cast<std::uintptr_t>(s.cols);
    for (int i = 1; i < s.rows; ++i) {
        if (rowAddress(s, i) != base + stride * static_cast<std::uintptr_t>(i)) return false;
    }
    return true;
}

// The strip j0 .. j0 + n - 1 of line `line` of a matrix source, as doubles.
const double* load(const Source& s, int line, std::size_t j0, std::size_t n) {
    return qxrows::withType(s.type, [&](auto tag) -> const double* {
        using T = typename decltype(tag)::type;
        const T* in = static_cast<T* const*>(s.rowArray)[s.row0 + line] + s.col0 + j0;
        if constexpr (std::is_same_v<T, double>) {
            return in;
        } else {
            for (std::size_t j = 0; j < n; ++j) s.buffer[j] = static_cast<double>(in[j]);
            return s.buffer;
        }
    });
}

// One run of a chain: the checks that it may run fused now, then the strips.
class Fusion {
public:
    Fusion(const Chain& chain, const std::vector<sByteCode>& code) : m_Chain(chain), m_Code(code) {}

    bool prepare() {
        return shapedTemporaries() && resolveSteps() && chooseTarget() && storageApart() &&
               reserveStrips();
    }
    void run();

private:
    const CQXVariable& temporary(std::size_t k) const {
        return *m_Code[m_Chain.steps[k].pc].m_pResult;
    }
    bool shapedTemporaries();
    bool resolveSteps();
    bool chooseTarget();
    bool storageApart();
    bool meetsTemporaries(const CQXVariable* v) const;
    bool reserveStrips();
    const double* strip(const Source* s, int line, std::size_t j0, std::size_t n) const;

    const Chain& m_Chain;
    const std::vector<sByteCode>& m_Code;
    Source m_Sources[2 * kMaxSteps];
    Plan m_Plans[kMaxSteps];
    int m_Rows = 0;
    int m_Cols = 0;
    CQXVariable* m_pTarget = nullptr;  // the assignment's target, or the last temporary
    bool m_bSaturate = false;          // stores into the target follow the clipping rule
    bool m_bFlat = false;              // every matrix is one run of memory: one line
    double* m_Strips = nullptr;        // one strip per step but the last
};

// Every temporary already has the shape its instruction gives it, so none is resized: the first
// run of a chain always runs its instructions one by one.
bool Fusion::shapedTemporaries() {
    m_Rows = temporary(0).getRows();
    m_Cols = temporary(0).getCols();
    if (m_Rows < 1 || m_Cols < 1 || (m_Rows == 1 && m_Cols == 1)) return false;
    for (std::size_t k = 0; k < m_Chain.steps.size(); ++k) {
        const CQXVariable& t = temporary(k);
        if (t.getRows() != m_Rows || t.getCols() != m_Cols || !t.getVarState(vsRESIZABLE) ||
            t.getDataType() != edtDOUBLE || t.getDoublePtr_intern() == nullptr)
            return false;
    }
    return true;
}

bool Fusion::resolveSteps() {
    for (std::size_t k = 0; k < m_Chain.steps.size(); ++k) {
        const Step& step = m_Chain.steps[k];
        const sByteCode& code = m_Code[step.pc];
        Source* operands = &m_Sources[2 * k];
        const int links[2] = {step.linkA, step.linkB};
        const sByteCodeOperand* ops[2] = {&code.m_Var1, &code.m_Var2};
        operands[1] = Source{};
        for (int i = 0; i < qxelem::arity(code.m_Opt); ++i) {
            if (links[i] >= 0) {
                operands[i] = Source{};
                operands[i].kind = Source::kLink;
                operands[i].link = links[i];
            } else if (!resolveSource(*ops[i], operands[i])) {
                return false;
            }
            if (operands[i].kind == Source::kMatrix &&
                (operands[i].rows != m_Rows || operands[i].cols != m_Cols))
                return false;
        }
        if (!decide(code.m_Opt, operands[0], operands[1], qxrows::smartErrorOn(temporary(k)),
                    m_Plans[k]))
            return false;
    }
    return true;
}

// The assignment's target takes the value when it is a double matrix of the chain's shape with
// every row present (what the assignment would copy into); else the last temporary does.
bool Fusion::chooseTarget() {
    const std::size_t last = m_Chain.steps.size() - 1;
    if (!m_Chain.assign) {
        m_pTarget = m_Code[m_Chain.steps[last].pc].m_pResult;
        return true;
    }
    m_pTarget = m_Code[m_Chain.steps[last].pc + 1].m_Var1.m_pVar;
    if (m_pTarget->getDataType() != edtDOUBLE || !m_pTarget->compareVar(&temporary(last)))
        return false;
    Source target;
    if (!place(*m_pTarget, qxaddr::sAddress{0, 0, m_Rows, m_Cols}, target)) return false;
    m_bSaturate = qxrows::clippingOn(*m_pTarget);
    return true;
}

// Whether v, not owning its storage, has elements in a temporary of the chain. The chain writes
// at most one temporary, and none of the others; a reference bound to one of them would read
// what running the instructions one by one leaves there.
bool Fusion::meetsTemporaries(const CQXVariable* v) const {
    if (v == nullptr || owned(v)) return false;
    for (std::size_t k = 0; k < m_Chain.steps.size(); ++k) {
        if (v->sharesStorageWith(temporary(k))) return true;
    }
    return false;
}

// No operand reads a temporary of the chain, and the target either shares no storage with a
// matrix operand or shares it element for element: each element is then read, within its strip,
// before the result overwrites it. Scalars are read before anything is written. Also decides
// whether the rows can be walked as one line.
bool Fusion::storageApart() {
    if (m_Chain.assign && meetsTemporaries(m_pTarget)) return false;
    bool flat = true;
    double* const* out = m_pTarget->getDoublePtr_intern();
    for (std::size_t k = 0; k < 2 * m_Chain.steps.size(); ++k) {
        const Source& s = m_Sources[k];
        if (s.kind == Source::kLink || s.var == nullptr) continue;
        const sByteCodeOperand& op = k % 2 == 0 ? m_Code[m_Chain.steps[k / 2].pc].m_Var1
                                                : m_Code[m_Chain.steps[k / 2].pc].m_Var2;
        bool readsTemporary = false;
        forEachVariable(op, [&](const CQXVariable* v) {
            readsTemporary = readsTemporary || meetsTemporaries(v);
        });
        if (readsTemporary) return false;
        if (s.kind != Source::kMatrix) continue;
        if (m_Chain.assign && mayShare(m_pTarget, s.var) && m_pTarget->sharesStorageWith(*s.var)) {
            if (s.type != edtDOUBLE) return false;
            for (int i = 0; i < m_Rows; ++i) {
                if (rowAddress(s, i) != reinterpret_cast<std::uintptr_t>(out[i])) return false;
            }
        }
        flat = flat && contiguous(s);
    }
    Source target;
    place(*m_pTarget, qxaddr::sAddress{0, 0, m_Rows, m_Cols}, target);
    m_bFlat = flat && contiguous(target);
    return true;
}

// Strips of the steps but the last, then one for each operand of another element type than double.
bool Fusion::reserveStrips() {
    thread_local std::vector<double> scratch;
    std::size_t count = m_Chain.steps.size() - 1;
    for (std::size_t k = 0; k < 2 * m_Chain.steps.size(); ++k) {
        count += m_Sources[k].kind == Source::kMatrix && m_Sources[k].type != edtDOUBLE;
    }
    if (scratch.size() < count * kStride) scratch.resize(count * kStride);
    m_Strips = scratch.data();
    double* next = m_Strips + (m_Chain.steps.size() - 1) * kStride;
    for (std::size_t k = 0; k < 2 * m_Chain.steps.size(); ++k) {
        Source& s = m_Sources[k];
        if (s.kind == Source::kMatrix && s.type != edtDOUBLE) {
            s.buffer = next;
            next += kStride;
        }
    }
    return true;
}

const double* Fusion::strip(const Source* s, int line, std::size_t j0, std::size_t n) const {
    if (s == nullptr) return nullptr;
    if (s->kind == Source::kLink) return m_Strips + static_cast<std::size_t>(s->link) * kStride;
    return load(*s, line, j0, n);
}

void Fusion::run() {
    const std::size_t last = m_Chain.steps.size() - 1;
    const int lines = m_bFlat ? 1 : m_Rows;
    const std::size_t length = m_bFlat ? static_cast<std::size_t>(m_Rows) * m_Cols : m_Cols;
    double* const* out = m_pTarget->getDoublePtr_intern();
    for (int line = 0; line < lines; ++line) {
        for (std::size_t j0 = 0; j0 < length; j0 += kStrip) {
            const std::size_t n = std::min(kStrip, length - j0);
            for (std::size_t k = 0; k < last; ++k) {
                const Plan& p = m_Plans[k];
                applyPlain(p, m_Strips + k * kStride, strip(p.x, line, j0, n),
                           strip(p.y, line, j0, n), n);
            }
            const Plan& p = m_Plans[last];
            const double* x = strip(p.x, line, j0, n);
            const double* y = strip(p.y, line, j0, n);
            if (m_bSaturate) {
                applySaturated(p, out[line] + j0, x, y, n);
            } else {
                applyPlain(p, out[line] + j0, x, y, n);
            }
        }
    }
}

}  // namespace

namespace {
thread_local unsigned long long tFusedRuns = 0;
}  // namespace

unsigned long long fusedRunCount() {
    return tFusedRuns;
}

bool runChain(const Chain& chain, const std::vector<sByteCode>& code, CQXSharedParameter* shared) {
    const long long rest = static_cast<long long>(chain.count()) - 1;
    if (shared == nullptr || shared->m_InstructionsLeft < rest || chain.steps.empty()) return false;
    Fusion fusion(chain, code);
    if (!fusion.prepare()) return false;
    fusion.run();
    shared->m_InstructionsLeft -= rest;
    ++tFusedRuns;
    return true;
}

}  // namespace qxfuse
