// Script-defined functions and the store that keeps their program's temporaries and blocks.
#include "qx/compiler/dummy_func.h"

#include "qx/compiler/program_store_internal.h"

CDummyFunc::CDummyFunc(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    m_bIntern = true;
    m_bReturnType = false;
    setParamCount(0);
}

CDummyFunc::~CDummyFunc() = default;

eInterpreterState CDummyFunc::Call(const std::vector<CQXVariable*>* /*args*/) {
    eInterpreterState state = m_Block.Interprete();
    if (state == isOK) return isOK;
    m_Error = m_Block.getError();
    return state;
}

CQXProgramStore::CQXProgramStore(std::vector<CQXVariable*> vars, std::list<CQXInterpreter*> blocks)
    : m_Vars(std::move(vars)), m_Blocks(std::move(blocks)) {}

CQXProgramStore::~CQXProgramStore() {
    for (auto it = m_Blocks.rbegin(); it != m_Blocks.rend(); ++it) delete *it;
    for (auto it = m_Vars.rbegin(); it != m_Vars.rend(); ++it) delete *it;
}
