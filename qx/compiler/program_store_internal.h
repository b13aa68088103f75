// Keeps the temporaries and sub-blocks of a cleared program alive for the script functions
// that were compiled in it (their code points to them). Shared by those functions; the last
// one to go deletes the store.
#pragma once

#include <memory>
#include <vector>

#include "qx/values/var_pool_internal.h"

class CQXInterpreter;

class CQXProgramStore {
public:
    CQXProgramStore(std::unique_ptr<CQXVarPool> vars, std::vector<CQXInterpreter*> blocks);
    CQXProgramStore(const CQXProgramStore&) = delete;
    CQXProgramStore& operator=(const CQXProgramStore&) = delete;
    ~CQXProgramStore();

private:
    std::unique_ptr<CQXVarPool> m_Vars;
    std::vector<CQXInterpreter*> m_Blocks;
};
