// The out-of-line parts of an instruction: the index record of an element or range operand and
// the argument list of a call, each present only where an instruction has one.
#include <utility>

#include "qx/vm/bytecode.h"
#include "qx/vm/operand_address_internal.h"

namespace {

bool hasIndex(const sByteCodeVar& var) {
    bool any = var.m_bSingle || var.m_bRange;
    forEachIndexVariable(var, [&any](const CQXVariable* v) { any = any || v != nullptr; });
    return any;
}

}  // namespace

sByteCodeOperand::sByteCodeOperand(const sByteCodeVar& var) : m_pVar(var.m_pVar) {
    if (hasIndex(var)) {
        m_pIndex.reset(new sByteCodeIndex(static_cast<const sByteCodeIndex&>(var)));
    }
}

sByteCodeOperand::sByteCodeOperand(const sByteCodeOperand& other)
    : m_pVar(other.m_pVar),
      m_pIndex(other.m_pIndex ? new sByteCodeIndex(*other.m_pIndex) : nullptr) {}

sByteCodeOperand& sByteCodeOperand::operator=(const sByteCodeOperand& other) {
    if (this != &other) *this = sByteCodeOperand(other);
    return *this;
}

const sByteCodeIndex& sByteCodeOperand::index() const {
    static const sByteCodeIndex kNone;
    return m_pIndex ? *m_pIndex : kNone;
}

sByteCodeArgs::sByteCodeArgs(const sByteCodeArgs& other)
    : m_pList(other.m_pList ? new std::vector<CQXVariable*>(*other.m_pList) : nullptr) {}

sByteCodeArgs& sByteCodeArgs::operator=(const sByteCodeArgs& other) {
    if (this != &other) *this = sByteCodeArgs(other);
    return *this;
}

sByteCodeArgs& sByteCodeArgs::operator=(std::vector<CQXVariable*> list) {
    if (list.empty()) {
        m_pList.reset();
    } else {
        m_pList = std::make_unique<std::vector<CQXVariable*>>(std::move(list));
    }
    return *this;
}

const std::vector<CQXVariable*>& sByteCodeArgs::list() const {
    static const std::vector<CQXVariable*> kNone;
    return m_pList ? *m_pList : kNone;
}

void sByteCodeArgs::push_back(CQXVariable* var) {
    if (!m_pList) m_pList = std::make_unique<std::vector<CQXVariable*>>();
    m_pList->push_back(var);
}
