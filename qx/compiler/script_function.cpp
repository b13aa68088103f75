// Script-defined functions and the store that keeps their program's temporaries and blocks.
#include "qx/compiler/script_function.h"

#include <algorithm>

#include "qx/compiler/program_store_internal.h"

CDummyFunc::CDummyFunc(const std::string& name, CQXSharedParameter* shared)
    : CQXFunction(name, shared) {
    m_bIntern = true;
    m_bReturnType = false;
    setParamCount(0);
}

CDummyFunc::~CDummyFunc() = default;

namespace {

// The reference parameters a call has just bound: their arguments' storage is pinned while the
// body runs, and they are unbound when it ends, on every path, so that between calls no
// parameter refers to anything.
class ParameterBindings {
public:
    ParameterBindings(CQXVarManager& params, int count)
        : m_Params(params), m_Count(std::min(count, params.getVarCount())) {
        for (int i = 0; i < m_Count; ++i) {
            CQXVariable* param = m_Params.at_intern(i);
            if (param->isBound_intern()) param->pinArgument_intern();
        }
    }
    ParameterBindings(const ParameterBindings&) = delete;
    ParameterBindings& operator=(const ParameterBindings&) = delete;
    ~ParameterBindings() {
        for (int i = 0; i < m_Count; ++i) {
            CQXVariable* param = m_Params.at_intern(i);
            if (param->isBound_intern()) param->unbindArgument_intern();
        }
    }

private:
    CQXVarManager& m_Params;
    int m_Count;
};

}  // namespace

// The function's record takes the block's; a call that returned normally usually finds the two
// alike already and copies nothing.
eInterpreterState CDummyFunc::Call(const std::vector<CQXVariable*>* /*args*/) {
    const ParameterBindings bindings(m_Varlist, m_ParamCount);
    eInterpreterState state = m_Block.Interprete();
    if (state == isOK) return isOK;
    const CQXError& block = m_Block.error_intern();
    if (block.getType() != m_Error.getType() || block.getLine() != m_Error.getLine() ||
        block.getPos() != m_Error.getPos() || block.getText() != m_Error.getText())
        m_Error = block;
    return state;
}

CQXProgramStore::CQXProgramStore(std::unique_ptr<CQXVarPool> vars,
                                 std::vector<CQXInterpreter*> blocks)
    : m_Vars(std::move(vars)), m_Blocks(std::move(blocks)) {}

CQXProgramStore::~CQXProgramStore() {
    for (auto it = m_Blocks.rbegin(); it != m_Blocks.rend(); ++it) delete *it;
    m_Vars.reset();
}
