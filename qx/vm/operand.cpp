// The operand record of an instruction: a variable, and for element and range operands the
// index variables, which are kept out of line because few operands have them.
#include "qx/vm/bytecode.h"

namespace {

bool hasIndex(const sByteCodeVar& var) {
    return var.m_pRow != nullptr || var.m_pCol != nullptr || var.m_pRowFrom != nullptr ||
           var.m_pColFrom != nullptr || var.m_pRowCount != nullptr || var.m_pColCount != nullptr;
}

}  // namespace

sByteCodeOperand::sByteCodeOperand(const sByteCodeVar& var)
    : m_pVar(var.m_pVar), m_bSingle(var.m_bSingle), m_bRange(var.m_bRange) {
    if (hasIndex(var)) {
        m_pIndex.reset(new sByteCodeIndex{var.m_pRow, var.m_pCol, var.m_pRowFrom, var.m_pColFrom,
                                          var.m_pRowCount, var.m_pColCount});
    }
}

sByteCodeOperand::sByteCodeOperand(const sByteCodeOperand& other)
    : m_pVar(other.m_pVar),
      m_bSingle(other.m_bSingle),
      m_bRange(other.m_bRange),
      m_pIndex(other.m_pIndex ? new sByteCodeIndex(*other.m_pIndex) : nullptr) {}

sByteCodeOperand& sByteCodeOperand::operator=(const sByteCodeOperand& other) {
    if (this != &other) *this = sByteCodeOperand(other);
    return *this;
}

const sByteCodeIndex& sByteCodeOperand::index() const {
    static const sByteCodeIndex kNone;
    return m_pIndex ? *m_pIndex : kNone;
}
