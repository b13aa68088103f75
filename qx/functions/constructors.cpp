// Standard functions that build new matrices from scalar arguments: zeros, ones, identity,
// linspace, rand, and srand, which seeds rand's generator. The interpreter reaches them through
// CQXFunction::Call; each result is the function's resizable double return variable.
#include "qx/functions/constructors.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "qx/functions/calculation_routines.h"
#include "qx/values/rows_internal.h"

namespace {

// ---- The random generator ----
//
// rand draws from a small linear congruential generator of our own rather than the C library's,
// so that a seed gives the same sequence on every platform:
//     state = state * 1103515245 + 12345   (unsigned 32-bit arithmetic, wrapping)
//     value = (state / 65536) % 32768      (0 ... 32767)
// Each thread has its own state; a thread that never seeded starts as if seeded with 1, and
// seeding again with the same number repeats the sequence.
thread_local std::uint32_t t_RandomState = 1;

constexpr int kRandomMax = 32767;

int nextRandom() {
    t_RandomState = t_RandomState * 1103515245u + 12345u;
    return static_cast<int>((t_RandomState / 65536u) % 32768u);
}

void seedRandom(std::uint32_t seed) {
    t_RandomState = seed;
}

// ---- Arguments ----

// Callers have checked size >= 1 (so it is not NaN). A size that does not fit the variable's
// int fields can never be allocated, so it fails as an allocation failure does: std::bad_alloc,
// which the interpreter reports as "Unknown Exception".
int checkedSize(double size) {
    if (size >= 2147483648.0) throw std::bad_alloc();
    return static_cast<int>(size);
}

// Gives the result rows x cols, reusing its storage when it already has that shape. True when
// the result was resized, which leaves it all zeros.
bool shapeResult(CQXVariable& result, int rows, int cols) {
    if (result.getRows() == rows && result.getCols() == cols) return false;
    result.resizeVar_intern(rows, cols);
    return true;
}

// The low 32 bits of the seed truncated toward zero to a 64-bit integer; a seed beyond the
// 64-bit range (infinity included) saturates to the largest 64-bit value first.
std::uint32_t seedBits(double seed) {
    if (seed >= 9223372036854775808.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seed));
}

}  // namespace

// ---- zeros(rows, cols) ----

CZeros::CZeros(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(2);
}

CZeros::~CZeros() = default;

// A size below 1 (0.5, say) would truncate to an empty matrix, which no variable can hold: it is
// refused with the same text as 0.
eInterpreterState CZeros::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double rows = qxrows::scalarOf((*args)[0]);
    const double cols = qxrows::scalarOf((*args)[1]);
    if (!(rows >= 1.0)) return raise("Rows must be > 0 in Function zeros");
    if (!(cols >= 1.0)) return raise("Columns must be > 0 in Function zeros");
    const int r = checkedSize(rows);
    const int c = checkedSize(cols);
    if (shapeResult(m_ReturnValue, r, c)) return isOK;
    // A reused result may have been written by the host since the last call: clear it.
    for (int i = 0; i < r; ++i) {
        for (int j = 0; j < c; ++j) m_ReturnValue.setData_intern(i, j, 0.0);
    }
    return isOK;
}

// ---- ones(rows, cols) ----

COnes::COnes(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(2);
}

COnes::~COnes() = default;

eInterpreterState COnes::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double rows = qxrows::scalarOf((*args)[0]);
    const double cols = qxrows::scalarOf((*args)[1]);
    if (!(rows >= 1.0)) return raise("Rows must be > 0 in Function ones");
    if (!(cols >= 1.0)) return raise("Columns must be > 0 in Function ones");
    shapeResult(m_ReturnValue, checkedSize(rows), checkedSize(cols));
    CQXCalculation(m_pShared).ones(&m_ReturnValue);
    return isOK;
}

// ---- identity(n) ----

CIdentity::CIdentity(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(1);
}

CIdentity::~CIdentity() = default;

eInterpreterState CIdentity::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double n = qxrows::scalarOf((*args)[0]);
    if (!(n >= 1.0)) return raise("Size must be > 0 in Function ident");
    const int size = checkedSize(n);
    shapeResult(m_ReturnValue, size, size);
    CQXCalculation(m_pShared).identity(&m_ReturnValue);
    return isOK;
}

// ---- linspace(a, b, n) ----

CLinSpace::CLinSpace(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(3);
}

CLinSpace::~CLinSpace() = default;

// n values from a to b inclusive, as one row. With n = 1 the step (b - a) / 0 has no value and
// the single element is NaN; it is produced without dividing by zero.
eInterpreterState CLinSpace::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double a = qxrows::scalarOf((*args)[0]);
    const double b = qxrows::scalarOf((*args)[1]);
    const double n = std::trunc(qxrows::scalarOf((*args)[2]));
    if (!(n > 0.0)) return raise("n must be > 0 in Function linspace");
    if (a == b) return raise("a must be != b in Function linspace");
    const int count = checkedSize(n);
    shapeResult(m_ReturnValue, 1, count);
    const double step = count > 1 ? (b - a) / (n - 1.0) : std::nan("");
    for (int k = 0; k < count; ++k) m_ReturnValue.setData_intern(0, k, k * step + a);
    return isOK;
}

// ---- rand(rows, cols, max) ----

CRandom::CRandom(const std::string& name, CQXSharedParameter* shared) : CQXFunction(name, shared) {
    setParamCount(3);
}

CRandom::~CRandom() = default;

// Whole numbers in 0 ... min(max, 32768) - 1, drawn row by row, with max truncated like every
// count. A max below 1 would truncate to a modulus of 0 and is refused like any max that is not
// positive.
eInterpreterState CRandom::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double rows = qxrows::scalarOf((*args)[0]);
    const double cols = qxrows::scalarOf((*args)[1]);
    const double max = std::trunc(qxrows::scalarOf((*args)[2]));
    if (!(rows >= 1.0)) return raise("Rows must be > 0 in Function rand");
    if (!(cols >= 1.0)) return raise("Columns must be > 0 in Function rand");
    if (!(max >= 1.0)) return raise("Max must be > 0 in Function rand");
    const int r = checkedSize(rows);
    const int c = checkedSize(cols);
    shapeResult(m_ReturnValue, r, c);
    // A modulus beyond the generator's range leaves every value as drawn.
    const int modulus = max > kRandomMax ? kRandomMax + 1 : static_cast<int>(max);
    for (int i = 0; i < r; ++i) {
        for (int j = 0; j < c; ++j) m_ReturnValue.setData_intern(i, j, nextRandom() % modulus);
    }
    return isOK;
}

// ---- srand(seed) ----

CRandomize::CRandomize(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    setParamCount(1);
}

CRandomize::~CRandomize() = default;

// Seeds this thread's generator; the return variable is left as it is.
eInterpreterState CRandomize::Call(const std::vector<CQXVariable*>* args) {
    if (!hasArgs(args)) return raiseArgumentCount();
    const double seed = qxrows::scalarOf((*args)[0]);
    if (!(seed > 0.0)) return raise("Seed Parameter must be > 0");
    seedRandom(seedBits(seed));
    return isOK;
}
