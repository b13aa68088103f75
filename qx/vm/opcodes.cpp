// The opcodes: what one instruction does once the interpreter loop has resolved its operands.
// CQXInterpreter::execute dispatches through one flat switch to a short function per opcode;
// the element arithmetic and the comparisons are kernels of CQXVariable.
#include <climits>
#include <cmath>
#include <new>

#include "qx/core/run_state_internal.h"
#include "qx/functions/calculation_routines.h"
#include "qx/functions/function.h"
#include "qx/values/rows_internal.h"
#include "qx/values/storage_fault_internal.h"
#include "qx/vm/interpreter.h"

namespace {

using qxrows::isSingle;
using qxrows::sameShape;
using qxrows::scalarOf;

// The operands of one instruction after resolution: A and B may be views, R is the result.
struct Args {
    CQXVariable* A;
    CQXVariable* B;
    CQXVariable* R;
    CQXSharedParameter* shared;
};

// What an opcode reports: no text on success, else the error text and the operand whose
// variable the error names (0 for A, 1 for B, 2 for R).
struct Fault {
    const char* text;
    int operand;
    bool ok() const { return text == nullptr; }
};
constexpr Fault kDone{nullptr, 0};
constexpr Fault onA(const char* text) {
    return {text, 0};
}
constexpr Fault onB(const char* text) {
    return {text, 1};
}
constexpr Fault onR(const char* text) {
    return {text, 2};
}

// The texts of an instruction whose result cannot be written. An instruction never succeeds
// without writing its result, so each of these ends the run.
constexpr const char* kNoElements = "Operand has no elements";
constexpr const char* kSharesResult = "Operand shares storage with the result";
constexpr const char* kSizeMismatch = "LValue Size mismatch";

// The operands each opcode cannot do without. An instruction that lacks one does nothing, so
// no opcode ever dereferences a missing operand. otCALL, otBLOCK, otCONDITION and otRETURN
// decide for themselves.
enum : unsigned char { kA = 1, kB = 2, kR = 4, kAR = kA | kR, kAB = kA | kB, kABR = kA | kB | kR };
constexpr unsigned char kNeeds[] = {
    kAB,  kABR, kABR, kABR, kABR, 0,    0,   kABR, kABR, kABR,  // otASSIGN .. otGREATER
    kABR, kABR, kABR, kA,   kA,   kAR,  0,   kABR, kABR, kABR,  // otNOTEQUAL .. otPOWER
    kABR, kABR, 0,    0,    0,    kABR, kAR, kAB,  kAR,  kAR,   // otELEMMUL .. otCOLS
    kAR,  kABR, kAR,  kAR,  kAR,  kAR,  kAR, kAR,  kAR,  kAR,   // otSIZE .. otDETERMINANT
    kAR,  kABR, kABR, kABR, kABR, kABR};                        // otRANK .. otELEMXOR
constexpr int kOpcodeCount = static_cast<int>(sizeof(kNeeds));
static_assert(kOpcodeCount == otELEMXOR + 1, "one entry per opcode");

bool hasOperands(int opcode, const Args& x) {
    const unsigned char needs = kNeeds[opcode];
    return !((needs & kA) && x.A == nullptr) && !((needs & kB) && x.B == nullptr) &&
           !((needs & kR) && x.R == nullptr);
}

// src has at least dst's rows and columns, so copying dst's shape out of src stays inside it.
bool covers(const CQXVariable* src, const CQXVariable* dst) {
    return src->getRows() >= dst->getRows() && src->getCols() >= dst->getCols();
}

bool sharesWith(const CQXVariable* R, const CQXVariable* v) {
    return v != nullptr && R->sharesStorageWith(*v);
}

bool hasNoElements(const CQXVariable* v) {
    return v != nullptr && (v->getRows() < 1 || v->getCols() < 1);
}

// Gives R the shape (rows, cols) when it has another one. A fault when R cannot take the shape:
// the shape is empty (an operand without elements, named), an operand addresses R's own
// storage (a resize would free what the operand points to; the operand is named), or R is not
// resizable. The caller then runs no kernel, and the instruction fails instead of leaving R
// with whatever it held. A shape beyond int cannot be allocated.
Fault sizeTo(CQXVariable* R, long long rows, long long cols, const CQXVariable* a,
             const CQXVariable* b) {
    if (R->getRows() == rows && R->getCols() == cols && rows >= 1 && cols >= 1) return kDone;
    if (rows < 1 || cols < 1)
        return hasNoElements(a) || b == nullptr ? onA(kNoElements) : onB(kNoElements);
    if (rows > INT_MAX || cols > INT_MAX) throw std::bad_alloc();
    if (sharesWith(R, a)) return onA(kSharesResult);
    if (sharesWith(R, b)) return onB(kSharesResult);
    if (!R->resizeVar_intern(static_cast<int>(rows), static_cast<int>(cols)))
        return onR(kSizeMismatch);
    return kDone;
}

Fault sizeR(const Args& x, long long rows, long long cols) {
    return sizeTo(x.R, rows, cols, x.A, x.B);
}
Fault sizeR(const Args& x, const CQXVariable* like) {
    return sizeR(x, like->getRows(), like->getCols());
}

// A 1x1 result into R's element (0, 0), when R has one.
void putScalar(CQXVariable* R, double value) {
    if (!R->hasStorage()) return;
    double** rows = R->getDoublePtr_intern();
    if (rows != nullptr && rows[0] != nullptr) {
        rows[0][0] = value;
    } else {
        R->setData_intern(0, 0, value);
    }
}

// Resizes the resizable A to B's shape and copies B into it. When B addresses A's own storage
// (a range of A assigned to A), the resize would free what B points to, so B is copied out
// first, exactly, into a double variable of its own.
bool resizeAndCopy(CQXVariable* A, const CQXVariable* B) {
    const int rows = B->getRows();
    const int cols = B->getCols();
    if (!A->getVarState(vsRESIZABLE) || rows < 1 || cols < 1) return false;
    if (!A->sharesStorageWith(*B)) {
        if (!A->resizeVar_intern(rows, cols)) return false;
        A->setmatrix(B);
        return true;
    }
    CQXVariable copy(A->getShared_intern());
    copy.initialize("", rows, cols, edtDOUBLE);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) copy.setData_intern(i, j, B->getData_intern(i, j));
    }
    if (!A->resizeVar_intern(rows, cols)) return false;
    A->setmatrix(&copy);
    return true;
}

Fault opAssign(const Args& x) {
    if (isSingle(x.B)) {
        x.A->setsingle(scalarOf(x.B));
        return kDone;
    }
    if (!x.A->compareVar(x.B)) {
        if (!x.A->getVarState(vsRESIZABLE)) return onA(kSizeMismatch);
        // An empty or never shaped B cannot give A its shape.
        if (!resizeAndCopy(x.A, x.B)) return onA(kSizeMismatch);
        return kDone;
    }
    x.A->setmatrix(x.B);
    return kDone;
}

// A return value takes the shape of what is returned whenever it can; a target that cannot
// be resized is filled from a single or copied from a matrix that covers it.
Fault opReturn(const Args& x) {
    if (x.A == nullptr || x.B == nullptr) return kDone;
    if (!x.A->compareVar(x.B) && resizeAndCopy(x.A, x.B)) return kDone;
    if (isSingle(x.B)) {
        x.A->setsingle(scalarOf(x.B));
        return kDone;
    }
    if (!covers(x.B, x.A)) return onA(kSizeMismatch);
    x.A->setmatrix(x.B);
    return kDone;
}

// The scalar cases shared by otMUL and otELEMMUL; false when neither side is single.
bool mulByScalar(const Args& x, Fault& fault) {
    if (isSingle(x.B)) {
        fault = sizeR(x, x.A);
        if (fault.ok()) x.R->mulsingle(scalarOf(x.B), x.A);
        return true;
    }
    if (isSingle(x.A)) {
        fault = sizeR(x, x.B);
        if (fault.ok()) x.R->mulsingle(scalarOf(x.A), x.B);
        return true;
    }
    return false;
}

Fault opAdd(const Args& x) {
    Fault fault = kDone;
    if (isSingle(x.B)) {
        fault = sizeR(x, x.A);
        if (fault.ok()) x.R->addsingle(scalarOf(x.B), x.A);
    } else if (isSingle(x.A)) {
        fault = sizeR(x, x.B);
        if (fault.ok()) x.R->addsingle(scalarOf(x.A), x.B);
    } else {
        if (!sameShape(x.A, x.B)) return onA("Size mismatch in Addition");
        fault = sizeR(x, x.A);
        if (fault.ok()) x.R->addmatrix(x.B, x.A);
    }
    return fault;
}

// Only a scalar right operand is accepted; R takes A's shape before the operands are checked,
// and a mismatch of the operands is reported before a result that could not take that shape.
Fault opSub(const Args& x) {
    const Fault sized = sizeR(x, x.A);
    if (!isSingle(x.B) && !sameShape(x.A, x.B)) return onA("Size mismatch in Subtraction");
    if (!sized.ok()) return sized;
    if (isSingle(x.B)) {
        x.R->subsingle(scalarOf(x.B), x.A);
    } else {
        x.R->submatrix(x.B, x.A);
    }
    return kDone;
}

Fault opMul(const Args& x) {
    Fault fault = kDone;
    if (mulByScalar(x, fault)) return fault;
    if (x.A->getCols() != x.B->getRows()) return onA("Rows != Columns in Multiplication");
    fault = sizeR(x, x.A->getRows(), x.B->getCols());
    if (fault.ok()) x.R->mulmatrix(x.B, x.A);
    return fault;
}

Fault opDiv(const Args& x) {
    const Fault sized = sizeR(x, x.A);
    if (!isSingle(x.B)) return onA("Can only divide by SINGLE");
    if (!sized.ok()) return sized;
    if (!x.R->divsingle(scalarOf(x.B), x.A)) return onA("Division by zero");
    return kDone;
}

Fault opElemMul(const Args& x) {
    Fault fault = kDone;
    if (mulByScalar(x, fault)) return fault;
    if (!sameShape(x.A, x.B)) return onA("Size mismatch in elementwise Multiplication");
    fault = sizeR(x, x.A);
    if (fault.ok()) x.R->elementmul(x.B, x.A);
    return fault;
}

Fault opElemDiv(const Args& x) {
    if (!isSingle(x.B) && !sameShape(x.A, x.B)) return onA("Size mismatch in elementwise Division");
    const Fault fault = sizeR(x, x.A);
    if (!fault.ok()) return fault;
    const bool divided =
        isSingle(x.B) ? x.R->divsingle(scalarOf(x.B), x.A) : x.R->elementdiv(x.B, x.A);
    return divided ? kDone : onA("Division by zero");
}

// A comparison yields one truth for the whole matrix. The scalar side is always the argument
// of the kernel, so a < B asks whether every element of B is greater than a. Matrices of
// different shapes are never related: the kernels would read one of them outside its storage.
using SingleRelation = bool (CQXVariable::*)(double) const;
using MatrixRelation = bool (CQXVariable::*)(const CQXVariable*) const;

bool relation(const Args& x, SingleRelation rel, SingleRelation mirrored, MatrixRelation matrix) {
    if (isSingle(x.B)) return (x.A->*rel)(scalarOf(x.B));
    if (isSingle(x.A)) return (x.B->*mirrored)(scalarOf(x.A));
    return sameShape(x.A, x.B) && (x.A->*matrix)(x.B);
}

bool isEqual(const Args& x) {
    return relation(x, &CQXVariable::equalsingle, &CQXVariable::equalsingle,
                    &CQXVariable::equalmatrix);
}

Fault opCompare(const Args& x, SingleRelation rel, SingleRelation mirrored, MatrixRelation matrix) {
    putScalar(x.R, relation(x, rel, mirrored, matrix) ? 1.0 : 0.0);
    return kDone;
}

Fault opEqual(const Args& x, bool negate) {
    putScalar(x.R, isEqual(x) != negate ? 1.0 : 0.0);
    return kDone;
}

Fault opNegate(const Args& x) {
    const Fault fault = sizeR(x, x.A);
    if (fault.ok()) x.R->negate(x.A);
    return fault;
}

Fault opAnd(const Args& x) {
    putScalar(x.R, scalarOf(x.A) != 0.0 && scalarOf(x.B) != 0.0 ? 1.0 : 0.0);
    return kDone;
}

Fault opOr(const Args& x) {
    putScalar(x.R, scalarOf(x.A) != 0.0 || scalarOf(x.B) != 0.0 ? 1.0 : 0.0);
    return kDone;
}

// A ^ B: the kernel takes the exponent first and the base second.
Fault opPower(const Args& x) {
    if (!isSingle(x.A)) return onA("Base must be SINGLE");
    if (!isSingle(x.B)) return onB("Exponent must be SINGLE");
    if (!x.R->powersingle(scalarOf(x.B), scalarOf(x.A))) return onA("Undefined power operation");
    return kDone;
}

// R keeps its shape; the kernel bounds its walk by both R and A.
Fault opModulo(const Args& x) {
    if (!x.R->modulosingle(scalarOf(x.B), x.A)) return onA("Modulo by 0 not defined");
    return kDone;
}

Fault opNot(const Args& x) {
    x.R->setsingle(scalarOf(x.A) == 0.0 ? 1.0 : 0.0);
    return kDone;
}

// Binds the reference parameter A to B's elements for the call that follows; B's variable holds
// them. A parameter whose call is still running (a function entered again through a host
// function) cannot be bound anew, and an argument without elements cannot be bound at all. A
// that is a view or not a reference, and A bound to itself, stay as they are.
Fault opReference(const sByteCode& code, const Args& x) {
    CQXVariable* A = x.A;
    if (A == x.B || A != code.m_Var1.m_pVar || !A->getVarState(vsREFERENCE)) return kDone;
    if (A->isArgumentPinned_intern() || A->isPinned_intern())
        return onA("Reference parameter already in use");
    if (!A->bindArgument_intern(*x.B, *code.m_Var2.m_pVar))
        return onB("Reference argument has no elements");
    return kDone;
}

// Sizes are truncated toward zero before they are tested, so 0.5 is not greater than zero;
// NaN is not either. A size beyond int is refused like any allocation that cannot be made.
Fault opResize(const Args& x) {
    if (!isSingle(x.A)) return onA("Parameter 1 must be single");
    if (!isSingle(x.B)) return onB("Parameter 2 must be single");
    const double rows = std::trunc(scalarOf(x.A));
    const double cols = std::trunc(scalarOf(x.B));
    if (!(rows >= 1.0)) return onA("Parameter 1 must be greater than zero");
    if (!(cols >= 1.0)) return onB("Parameter 2 must be greater than zero");
    if (rows > INT_MAX || cols > INT_MAX) throw std::bad_alloc();
    const int r = static_cast<int>(rows);
    const int c = static_cast<int>(cols);
    if (x.R->getRows() == r && x.R->getCols() == c) return kDone;
    if (!x.R->resizeVar_intern(r, c)) return onR("Can't change size of non resizeable Variable");
    return kDone;
}

Fault opSize(const Args& x) {
    x.R->setsingle(static_cast<double>(x.A->getRows()) * static_cast<double>(x.A->getCols()));
    return kDone;
}

// The statistics and linear-algebra methods. determinant and rank refuse a matrix that is not
// square or has no elements.
enum class Method { kMedian, kVariance, kStd, kDeterminant, kRank };

Fault opMethod(const Args& x, Method method) {
    CQXCalculation calc(x.shared);
    switch (method) {
        case Method::kMedian:
            calc.median(x.A, x.R);
            break;
        case Method::kVariance:
            calc.variance(x.A, x.R);
            break;
        case Method::kStd:
            calc.std(x.A, x.R);
            break;
        case Method::kDeterminant:
            if (!calc.determinant(x.A, x.R)) return onA("Matrix must be NxN");
            break;
        case Method::kRank:
            if (!calc.rank(x.A, x.R)) return onA("Matrix must be NxN");
            break;
    }
    return kDone;
}

// Copies src into R from (row0, col0) on, with the plain store (no clipping).
void copyBlock(CQXVariable* R, const CQXVariable* src, int row0, int col0) {
    for (int i = 0; i < src->getRows(); ++i) {
        for (int j = 0; j < src->getCols(); ++j) {
            R->setData_intern(row0 + i, col0 + j, src->getData_intern(i, j));
        }
    }
}

Fault opRowConcat(const Args& x) {
    if (x.A->getCols() != x.B->getCols()) return onA("Row concatenate: Size mismatch");
    const long long rows = static_cast<long long>(x.A->getRows()) + x.B->getRows();
    const Fault fault = sizeR(x, rows, x.A->getCols());
    if (!fault.ok()) return fault;
    copyBlock(x.R, x.A, 0, 0);
    copyBlock(x.R, x.B, x.A->getRows(), 0);
    return kDone;
}

Fault opColConcat(const Args& x) {
    if (x.A->getRows() != x.B->getRows()) return onA("Column concatenate Size mismatch");
    const long long cols = static_cast<long long>(x.A->getCols()) + x.B->getCols();
    const Fault fault = sizeR(x, x.A->getRows(), cols);
    if (!fault.ok()) return fault;
    copyBlock(x.R, x.A, 0, 0);
    copyBlock(x.R, x.B, 0, x.A->getCols());
    return kDone;
}

// Element-wise logic. Two singles give a 1x1 result; R is set to 1x1 for it, so a result
// that an earlier run made larger does not keep stale elements.
using ElementKernel = void (CQXVariable::*)(const CQXVariable*, const CQXVariable*);
using ScalarRule = bool (*)(double, double);

bool andRule(double a, double b) {
    return a != 0.0 && b != 0.0;
}
bool orRule(double a, double b) {
    return a != 0.0 || b != 0.0;
}
bool xorRule(double a, double b) {
    return a != b;
}

Fault opElemLogic(const Args& x, ElementKernel kernel, ScalarRule rule) {
    if (isSingle(x.A) && isSingle(x.B)) {
        const Fault fault = sizeR(x, 1, 1);
        if (fault.ok()) putScalar(x.R, rule(scalarOf(x.A), scalarOf(x.B)) ? 1.0 : 0.0);
        return fault;
    }
    if (!sameShape(x.A, x.B)) return onA("Size mismatch in elementwise Multiplication");
    const Fault fault = sizeR(x, x.A);
    if (fault.ok()) (x.R->*kernel)(x.B, x.A);
    return fault;
}

// The reference arguments of a library or host call, bound by the instructions right before it:
// their storage is pinned while the call runs, and they are unbound when it ends, also when the
// function throws. Left bound, they would keep pointing at the caller's storage after a resize
// has freed it, for anyone who reads them later (a host looking at the temporaries, say).
class CallBindings {
public:
    explicit CallBindings(const std::vector<CQXVariable*>& params) : m_Params(params) {
        for (CQXVariable* param : m_Params)
            if (param != nullptr) param->pinArgument_intern();
    }
    CallBindings(const CallBindings&) = delete;
    CallBindings& operator=(const CallBindings&) = delete;
    ~CallBindings() {
        for (CQXVariable* param : m_Params)
            if (param != nullptr) param->unbindArgument_intern();
    }

private:
    const std::vector<CQXVariable*>& m_Params;
};

}  // namespace

// otCALL: any state but isOK and isRETURN ends this block with the function's error record.
// A state outside the five a call may return counts as an error.
eInterpreterState CQXInterpreter::callFunction(sByteCode& code) {
    CQXFunction* func = code.m_pFunc;
    CQXVariable* R = code.m_pResult;
    if (func == nullptr) return isOK;
    const CallBindings bindings(code.m_Params);
    const CQXRefusedChanges refusals(m_pShared);
    const eInterpreterState state = func->Call(&code.m_Params.list());
    if (state != isOK && state != isRETURN) {
        m_Error = func->getError();
        if (state == isBREAK || state == isCONTINUE) return state;
        // A library or host function reports without a location: its call is where the error
        // arose. A script function's body has already noted its own call sites.
        noteCallSite(func->getName(), code.m_Line, code.m_Pos, !func->m_bIntern);
        return isEXCEPTION;
    }
    if (refusals.refused() != nullptr) return fail(code, kBoundStorageText, refusals.refused());
    if (!func->getReturnType() || R == nullptr) return isOK;
    const CQXVariable* value = func->getReturnValue();
    const Fault fault = sizeTo(R, value->getRows(), value->getCols(), value, nullptr);
    if (!fault.ok()) return fail(code, fault.text, fault.operand == 2 ? R : nullptr);
    R->setmatrix(value);
    return isOK;
}

// A run that ends while the arguments of a call are being passed (a binding refused, a value
// parameter of the wrong shape, the instruction limit) leaves some of the call's reference
// parameters bound to storage that may go away before the next call. The call is the first
// otCALL from the instruction where the run ended on; its parameters that are bound but not for
// a running call are unbound. Any other parameter is unbound already, so this changes nothing
// when the run ended elsewhere.
void CQXInterpreter::unbindPending(std::size_t pc) {
    const auto release = [](CQXVariable* param) {
        if (param != nullptr && !param->isArgumentPinned_intern()) param->unbindArgument_intern();
    };
    for (std::size_t i = pc; i < m_ByteCode.size(); ++i) {
        const sByteCode& code = m_ByteCode[i];
        if (code.m_Opt != otCALL) continue;
        for (CQXVariable* param : code.m_Params) release(param);
        CQXFunction* func = code.m_pFunc;
        if (func != nullptr && func->m_bIntern) {
            for (int k = 0; k < func->m_ParamCount; ++k) release(func->m_Varlist.getVar(k));
        }
        return;
    }
}

eInterpreterState CQXInterpreter::execute(sByteCode& code, Operands& ops, Flow& flow) {
    const int opcode = code.m_Opt;
    if (opcode < 0 || opcode >= kOpcodeCount) return isOK;
    const Args x{ops.a, ops.b, code.m_pResult, m_pShared};
    if (!hasOperands(opcode, x)) return isOK;
    const auto done = [&](Fault f) {
        if (f.ok()) return isOK;
        const CQXVariable* named[] = {code.m_Var1.m_pVar, code.m_Var2.m_pVar, code.m_pResult};
        return fail(code, f.text, named[f.operand]);
    };
    using V = CQXVariable;
    switch (opcode) {
        case otASSIGN:
            return done(opAssign(x));
        case otADD:
            return done(opAdd(x));
        case otSUB:
            return done(opSub(x));
        case otMUL:
            return done(opMul(x));
        case otDIV:
            return done(opDiv(x));
        case otCALL:
            return callFunction(code);
        case otBLOCK:
            return runBlock(code.m_pBlock);
        case otEQUAL:
            return done(opEqual(x, false));
        case otLESS:
            return done(opCompare(x, &V::lesssingle, &V::moresingle, &V::lessmatrix));
        case otGREATER:
            return done(opCompare(x, &V::moresingle, &V::lesssingle, &V::morematrix));
        case otNOTEQUAL:
            return done(opEqual(x, true));
        case otLESSEQUAL:
            return done(
                opCompare(x, &V::lessequalsingle, &V::moreequalsingle, &V::lessequalmatrix));
        case otGREATEREQUAL:
            return done(
                opCompare(x, &V::moreequalsingle, &V::lessequalsingle, &V::moreequalmatrix));
        case otINC:
            x.A->inc();
            return isOK;
        case otDEC:
            x.A->dec();
            return isOK;
        case otNEGATE:
            return done(opNegate(x));
        case otCONDITION:
            return runCondition(code, x.A, flow);
        case otAND:
            return done(opAnd(x));
        case otOR:
            return done(opOr(x));
        case otPOWER:
            return done(opPower(x));
        case otELEMMUL:
            return done(opElemMul(x));
        case otELEMDIV:
            return done(opElemDiv(x));
        case otRETURN: {
            const eInterpreterState state = done(opReturn(x));
            return state == isOK ? isRETURN : state;
        }
        case otBREAK:
            return isBREAK;
        case otCONTINUE:
            return isCONTINUE;
        case otMODULO:
            return done(opModulo(x));
        case otNOT:
            return done(opNot(x));
        case otREFERENCE:
            return done(opReference(code, x));
        case otROWS:
            x.R->setsingle(x.A->getRows());
            return isOK;
        case otCOLS:
            x.R->setsingle(x.A->getCols());
            return isOK;
        case otSIZE:
            return done(opSize(x));
        case otRESIZE:
            return done(opResize(x));
        case otMIN:
            x.R->setsingle(x.A->getMin());
            return isOK;
        case otMAX:
            x.R->setsingle(x.A->getMax());
            return isOK;
        case otSUM:
            x.R->setsingle(x.A->getSum());
            return isOK;
        case otMEAN:
            x.R->setsingle(x.A->getMean());
            return isOK;
        case otMEDIAN:
            return done(opMethod(x, Method::kMedian));
        case otVARIANCE:
            return done(opMethod(x, Method::kVariance));
        case otSTD:
            return done(opMethod(x, Method::kStd));
        case otDETERMINANT:
            return done(opMethod(x, Method::kDeterminant));
        case otRANK:
            return done(opMethod(x, Method::kRank));
        case otROWCONCAT:
            return done(opRowConcat(x));
        case otCOLCONCAT:
            return done(opColConcat(x));
        case otELEMAND:
            return done(opElemLogic(x, &V::elementand, andRule));
        case otELEMOR:
            return done(opElemLogic(x, &V::elementor, orRule));
        case otELEMXOR:
            return done(opElemLogic(x, &V::elementxor, xorRule));
        default:
            return isOK;
    }
}
