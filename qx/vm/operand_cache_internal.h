// What the operands of one instruction resolved to on the interpreter's direct path (whole 1x1
// doubles, elements of double matrices indexed by 1x1 doubles), kept while no variable's storage
// changes, so that a scalar loop does not re-examine types, shapes and row arrays every time.
#pragma once

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"
#include "qx/vm/bytecode.h"
#include "qx/vm/operand_address_internal.h"
#include "qx/vm/scalar_path_internal.h"

namespace qxcache {

// One operand: absent, a whole 1x1 double, or an element of a double matrix with storage whose
// indices are whole 1x1 doubles. Only row arrays are kept, never element addresses: the host may
// re-point the rows of its own arrays at any time.
struct Operand {
    enum Kind : unsigned char { kAbsent, kWhole, kElement };
    Kind kind = kAbsent;
    int rows = 0;
    int cols = 0;
    double** data = nullptr;
    double** rowIndex = nullptr;
    double** colIndex = nullptr;
};

// One instruction's operands and the storage count they were resolved at (0: never). `direct`
// holds when every operand it has is one of the kinds above.
struct Entry {
    unsigned long long epoch = 0;
    bool direct = false;
    // The fused chain that starts at this instruction (fused_chain_internal.h), or -1.
    int chain = -1;
    Operand a;
    Operand b;
    Operand r;
};

// The row array of a whole 1x1 double variable whose storage changes are counted in shared;
// null for anything else.
inline double** wholeRows(const CQXVariable* v, const CQXSharedParameter* shared) {
    if (v == nullptr || v->getShared_intern() != shared || v->getDataType() != edtDOUBLE ||
        v->getVarType() != vtSINGLE || v->getRows() != 1 || v->getCols() != 1)
        return nullptr;
    return v->getDoublePtr_intern();
}

inline bool resolveWhole(const CQXVariable* v, const CQXSharedParameter* shared, Operand& out) {
    out = Operand();
    if (v == nullptr) return true;
    out.data = wholeRows(v, shared);
    out.kind = Operand::kWhole;
    return out.data != nullptr;
}

inline bool resolve(const sByteCodeOperand& operand, const CQXSharedParameter* shared,
                    Operand& out) {
    if (operand.isRange()) return false;
    if (!operand.isSingle()) return resolveWhole(operand.m_pVar, shared, out);
    out = Operand();
    const CQXVariable* v = operand.m_pVar;
    if (v == nullptr || v->getShared_intern() != shared || v->getDataType() != edtDOUBLE ||
        !v->hasStorage())
        return false;
    out.kind = Operand::kElement;
    out.rows = v->getRows();
    out.cols = v->getCols();
    out.data = v->getDoublePtr_intern();
    out.rowIndex = wholeRows(operand.index().m_pRow, shared);
    out.colIndex = wholeRows(operand.index().m_pCol, shared);
    return out.rowIndex != nullptr && out.colIndex != nullptr;
}

// Resolves the instruction's operands at the present storage count.
inline void resolve(const sByteCode& code, const CQXSharedParameter* shared, Entry& entry) {
    entry.epoch = shared->m_StorageEpoch;
    entry.direct = qxscalar::hasDirectPath(code.m_Opt) && code.m_Var1.m_pVar != nullptr &&
                   resolve(code.m_Var1, shared, entry.a) && resolve(code.m_Var2, shared, entry.b) &&
                   resolveWhole(code.m_pResult, shared, entry.r);
}

// The cell an operand addresses now; null when only the general path may run the instruction:
// an index out of range (the general path reports it) or a row the host left absent.
inline double* locate(const Operand& o) {
    if (o.kind == Operand::kWhole) return o.data[0];
    const double* r = o.rowIndex[0];
    const double* c = o.colIndex[0];
    qxaddr::sAddress at;
    if (r == nullptr || c == nullptr ||
        qxaddr::elementAt(*r, *c, o.rows, o.cols, at) != qxaddr::eFault::kNone)
        return nullptr;
    double* line = o.data[at.row0];
    return line != nullptr ? line + at.col0 : nullptr;
}

// Every present operand's cell; false when any of them has none now.
inline bool locateAll(const Entry& e, double*& a, double*& b, double*& r) {
    a = locate(e.a);
    if (a == nullptr) return false;
    if (e.b.kind != Operand::kAbsent && (b = locate(e.b)) == nullptr) return false;
    if (e.r.kind != Operand::kAbsent && (r = locate(e.r)) == nullptr) return false;
    return true;
}

}  // namespace qxcache
