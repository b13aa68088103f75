// The opcodes: what one instruction does once the interpreter loop has resolved its operands.
// CQXInterpreter::execute dispatches through one flat switch, generated from the opcode table in
// bytecode.h, to the handler each row names; the element kernels are CQXVariable's.
#include <climits>
#include <cmath>
#include <new>

#include "qx/core/run_state_internal.h"
#include "qx/functions/calculation_routines.h"
#include "qx/functions/function.h"
#include "qx/values/rows_internal.h"
#include "qx/values/scalar_ops_internal.h"
#include "qx/values/storage_fault_internal.h"
#include "qx/vm/interpreter.h"

namespace {

using qxrows::isSingle;
using qxrows::sameShape;
using qxrows::scalarOf;

// What an opcode reports: no text on success, else the error text and the operand whose
// variable the error names (0 for A, 1 for B, 2 for R).
struct Fault {
    const char* text;
    int operand;
    bool ok() const { return text == nullptr; }
};

}  // namespace

// What a handler gets: the operands of one instruction after resolution (A and B may be views,
// R is the result), and the running block for the opcodes that run sub-blocks and calls or
// report an error. A friend of CQXInterpreter.
struct sOpcodeArgs {
    CQXVariable* A;
    CQXVariable* B;
    CQXVariable* R;
    CQXInterpreter& block;
    sByteCode& code;
    CQXInterpreter::Flow& flow;

    CQXSharedParameter* shared() const { return block.m_pShared; }
    eInterpreterState call() const { return block.callFunction(code); }
    eInterpreterState runBlock() const { return block.runBlock(code.m_pBlock); }
    eInterpreterState runCondition() const { return block.runCondition(code, A, flow); }
    // The state a handler's report ends the instruction with: a fault becomes the block's
    // run-time error, naming the operand's own variable (not the view resolution made of it).
    eInterpreterState finish(eInterpreterState state) const { return state; }
    eInterpreterState finish(Fault fault) const {
        if (fault.ok()) return isOK;
        const CQXVariable* named[] = {code.m_Var1.m_pVar, code.m_Var2.m_pVar, code.m_pResult};
        return block.fail(code, fault.text, named[fault.operand]);
    }
};

namespace {
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

// Whether the instruction has every operand its opcode uses (the table's operand column). An
// instruction that lacks one does nothing, so no handler ever dereferences a missing operand;
// the handlers marked ouOwnCheck decide for themselves.
inline bool present(unsigned uses, const sOpcodeArgs& x) {
    if (uses & ouOwnCheck) return true;
    return !((uses & (ouReadA | ouWriteA)) && x.A == nullptr) &&
           !((uses & ouReadB) && x.B == nullptr) && !((uses & ouWriteR) && x.R == nullptr);
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

Fault sizeR(const sOpcodeArgs& x, long long rows, long long cols) {
    return sizeTo(x.R, rows, cols, x.A, x.B);
}
Fault sizeR(const sOpcodeArgs& x, const CQXVariable* like) {
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

Fault opAssign(const sOpcodeArgs& x) {
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
Fault returnValue(const sOpcodeArgs& x) {
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

// The block ends with isRETURN once the value is stored.
eInterpreterState opReturn(const sOpcodeArgs& x) {
    const eInterpreterState state = x.finish(returnValue(x));
    return state == isOK ? isRETURN : state;
}

// The scalar cases shared by otMUL and otELEMMUL; false when neither side is single.
bool mulByScalar(const sOpcodeArgs& x, Fault& fault) {
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

Fault opAdd(const sOpcodeArgs& x) {
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
Fault opSub(const sOpcodeArgs& x) {
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

Fault opMul(const sOpcodeArgs& x) {
    Fault fault = kDone;
    if (mulByScalar(x, fault)) return fault;
    if (x.A->getCols() != x.B->getRows()) return onA("Rows != Columns in Multiplication");
    fault = sizeR(x, x.A->getRows(), x.B->getCols());
    if (fault.ok()) x.R->mulmatrix(x.B, x.A);
    return fault;
}

Fault opDiv(const sOpcodeArgs& x) {
    const Fault sized = sizeR(x, x.A);
    if (!isSingle(x.B)) return onA("Can only divide by SINGLE");
    if (!sized.ok()) return sized;
    if (!x.R->divsingle(scalarOf(x.B), x.A)) return onA("Division by zero");
    return kDone;
}

Fault opElemMul(const sOpcodeArgs& x) {
    Fault fault = kDone;
    if (mulByScalar(x, fault)) return fault;
    if (!sameShape(x.A, x.B)) return onA("Size mismatch in elementwise Multiplication");
    fault = sizeR(x, x.A);
    if (fault.ok()) x.R->elementmul(x.B, x.A);
    return fault;
}

Fault opElemDiv(const sOpcodeArgs& x) {
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

bool relation(const sOpcodeArgs& x, SingleRelation rel, SingleRelation mirrored,
              MatrixRelation matrix) {
    if (isSingle(x.B)) return (x.A->*rel)(scalarOf(x.B));
    if (isSingle(x.A)) return (x.B->*mirrored)(scalarOf(x.A));
    return sameShape(x.A, x.B) && (x.A->*matrix)(x.B);
}

bool isEqual(const sOpcodeArgs& x) {
    return relation(x, &CQXVariable::equalsingle, &CQXVariable::equalsingle,
                    &CQXVariable::equalmatrix);
}

using V = CQXVariable;

Fault compare(const sOpcodeArgs& x, SingleRelation rel, SingleRelation mirrored,
              MatrixRelation matrix) {
    putScalar(x.R, qxops::truth(relation(x, rel, mirrored, matrix)));
    return kDone;
}

Fault opEqual(const sOpcodeArgs& x) {
    putScalar(x.R, qxops::truth(isEqual(x)));
    return kDone;
}
Fault opNotEqual(const sOpcodeArgs& x) {
    putScalar(x.R, qxops::truth(!isEqual(x)));
    return kDone;
}
Fault opLess(const sOpcodeArgs& x) {
    return compare(x, &V::lesssingle, &V::moresingle, &V::lessmatrix);
}
Fault opGreater(const sOpcodeArgs& x) {
    return compare(x, &V::moresingle, &V::lesssingle, &V::morematrix);
}
Fault opLessEqual(const sOpcodeArgs& x) {
    return compare(x, &V::lessequalsingle, &V::moreequalsingle, &V::lessequalmatrix);
}
Fault opGreaterEqual(const sOpcodeArgs& x) {
    return compare(x, &V::moreequalsingle, &V::lessequalsingle, &V::moreequalmatrix);
}

Fault opNegate(const sOpcodeArgs& x) {
    const Fault fault = sizeR(x, x.A);
    if (fault.ok()) x.R->negate(x.A);
    return fault;
}

Fault opInc(const sOpcodeArgs& x) {
    x.A->inc();
    return kDone;
}
Fault opDec(const sOpcodeArgs& x) {
    x.A->dec();
    return kDone;
}

Fault opAnd(const sOpcodeArgs& x) {
    putScalar(x.R, qxops::truth(qxops::logicalAnd(scalarOf(x.A), scalarOf(x.B))));
    return kDone;
}
Fault opOr(const sOpcodeArgs& x) {
    putScalar(x.R, qxops::truth(qxops::logicalOr(scalarOf(x.A), scalarOf(x.B))));
    return kDone;
}
Fault opNot(const sOpcodeArgs& x) {
    x.R->setsingle(qxops::truth(qxops::logicalNot(scalarOf(x.A))));
    return kDone;
}

// A ^ B: the kernel takes the exponent first and the base second.
Fault opPower(const sOpcodeArgs& x) {
    if (!isSingle(x.A)) return onA("Base must be SINGLE");
    if (!isSingle(x.B)) return onB("Exponent must be SINGLE");
    if (!x.R->powersingle(scalarOf(x.B), scalarOf(x.A))) return onA("Undefined power operation");
    return kDone;
}

// R keeps its shape; the kernel bounds its walk by both R and A.
Fault opModulo(const sOpcodeArgs& x) {
    if (!x.R->modulosingle(scalarOf(x.B), x.A)) return onA("Modulo by 0 not defined");
    return kDone;
}

// Binds the reference parameter A to B's elements for the call that follows; B's variable holds
// them. A parameter whose call is still running (a function entered again through a host
// function) cannot be bound anew, and an argument without elements cannot be bound at all. A
// that is a view or not a reference, and A bound to itself, stay as they are.
Fault opReference(const sOpcodeArgs& x) {
    CQXVariable* A = x.A;
    if (A == x.B || A != x.code.m_Var1.m_pVar || !A->getVarState(vsREFERENCE)) return kDone;
    if (A->isArgumentPinned_intern() || A->isPinned_intern())
        return onA("Reference parameter already in use");
    if (!A->bindArgument_intern(*x.B, *x.code.m_Var2.m_pVar))
        return onB("Reference argument has no elements");
    return kDone;
}

// Sizes are truncated toward zero before they are tested, so 0.5 is not greater than zero;
// NaN is not either. A size beyond int is refused like any allocation that cannot be made.
Fault opResize(const sOpcodeArgs& x) {
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

Fault opRows(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getRows());
    return kDone;
}
Fault opCols(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getCols());
    return kDone;
}
Fault opSize(const sOpcodeArgs& x) {
    x.R->setsingle(static_cast<double>(x.A->getRows()) * static_cast<double>(x.A->getCols()));
    return kDone;
}

Fault opMin(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getMin());
    return kDone;
}
Fault opMax(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getMax());
    return kDone;
}
Fault opSum(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getSum());
    return kDone;
}
Fault opMean(const sOpcodeArgs& x) {
    x.R->setsingle(x.A->getMean());
    return kDone;
}

// The statistics and linear-algebra methods run a CQXCalculation made for the one call.
// determinant and rank refuse a matrix that is not square or has no elements.
Fault opMedian(const sOpcodeArgs& x) {
    CQXCalculation(x.shared()).median(x.A, x.R);
    return kDone;
}
Fault opVariance(const sOpcodeArgs& x) {
    CQXCalculation(x.shared()).variance(x.A, x.R);
    return kDone;
}
Fault opStd(const sOpcodeArgs& x) {
    CQXCalculation(x.shared()).std(x.A, x.R);
    return kDone;
}
Fault opDeterminant(const sOpcodeArgs& x) {
    if (!CQXCalculation(x.shared()).determinant(x.A, x.R)) return onA("Matrix must be NxN");
    return kDone;
}
Fault opRank(const sOpcodeArgs& x) {
    if (!CQXCalculation(x.shared()).rank(x.A, x.R)) return onA("Matrix must be NxN");
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

Fault opRowConcat(const sOpcodeArgs& x) {
    if (x.A->getCols() != x.B->getCols()) return onA("Row concatenate: Size mismatch");
    const long long rows = static_cast<long long>(x.A->getRows()) + x.B->getRows();
    const Fault fault = sizeR(x, rows, x.A->getCols());
    if (!fault.ok()) return fault;
    copyBlock(x.R, x.A, 0, 0);
    copyBlock(x.R, x.B, x.A->getRows(), 0);
    return kDone;
}

Fault opColConcat(const sOpcodeArgs& x) {
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

template <auto Rule>
Fault elementLogic(const sOpcodeArgs& x, ElementKernel kernel) {
    if (isSingle(x.A) && isSingle(x.B)) {
        const Fault fault = sizeR(x, 1, 1);
        if (fault.ok()) putScalar(x.R, qxops::truth(Rule(scalarOf(x.A), scalarOf(x.B))));
        return fault;
    }
    if (!sameShape(x.A, x.B)) return onA("Size mismatch in elementwise Multiplication");
    const Fault fault = sizeR(x, x.A);
    if (fault.ok()) (x.R->*kernel)(x.B, x.A);
    return fault;
}

Fault opElemAnd(const sOpcodeArgs& x) {
    return elementLogic<qxops::logicalAnd>(x, &V::elementand);
}
Fault opElemOr(const sOpcodeArgs& x) {
    return elementLogic<qxops::logicalOr>(x, &V::elementor);
}
Fault opElemXor(const sOpcodeArgs& x) {
    return elementLogic<qxops::logicalXor>(x, &V::elementxor);
}

// The opcodes that run sub-blocks and calls, and those that end the block.
eInterpreterState opCall(const sOpcodeArgs& x) {
    return x.call();
}
eInterpreterState opBlock(const sOpcodeArgs& x) {
    return x.runBlock();
}
eInterpreterState opCondition(const sOpcodeArgs& x) {
    return x.runCondition();
}
eInterpreterState opBreak(const sOpcodeArgs&) {
    return isBREAK;
}
eInterpreterState opContinue(const sOpcodeArgs&) {
    return isCONTINUE;
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
    eInterpreterState state;
    try {
        state = func->Call(&code.m_Params.list());
    } catch (...) {
        // A function that throws fails at its call, as one that reports its failure does.
        if (func->m_bIntern) throw;
        return failCaughtCall(code, func);
    }
    if (state != isOK && state != isRETURN) {
        m_Error = func->getError();
        if (state == isBREAK || state == isCONTINUE) return state;
        // A library or host function reports without a location: its call is where the error
        // arose. A script function's body has already noted its own call sites.
        noteCallSite(func->getName(), code.m_Line, code.m_Pos, !func->m_bIntern);
        return isEXCEPTION;
    }
    if (refusals.refused() != nullptr)
        return failCall(code, func, kBoundStorageText, refusals.refused()->getName());
    func->noteResult_intern();
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

// One case per row of the opcode table, calling the handler the row names; a value outside the
// table does nothing. A handler reports a Fault or a state, and finish makes the state of the
// instruction from either.
eInterpreterState CQXInterpreter::execute(sByteCode& code, Operands& ops, Flow& flow) {
    const sOpcodeArgs x{ops.a, ops.b, code.m_pResult, *this, code, flow};
    switch (code.m_Opt) {
#define QX_OPCODE_CASE(value, name, uses, handler, scalar, elem) \
    case name:                                                   \
        return present(uses, x) ? x.finish(handler(x)) : isOK;
        QX_OPCODES(QX_OPCODE_CASE)
#undef QX_OPCODE_CASE
        default:
            return isOK;
    }
}
