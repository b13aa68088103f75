// Keeps the temporaries and sub-blocks of a cleared program alive for the script functions
// that were compiled in it (their code points to them). Shared by those functions; the last
// one to go deletes the store.
#pragma once

#include <list>
#include <vector>

class CQXVariable;
class CQXInterpreter;

class CQXProgramStore {
public:
    CQXProgramStore(std::vector<CQXVariable*> vars, std::list<CQXInterpreter*> blocks);
    CQXProgramStore(const CQXProgramStore&) = delete;
    CQXProgramStore& operator=(const CQXProgramStore&) = delete;
    ~CQXProgramStore();

private:
    std::vector<CQXVariable*> m_Vars;
    std::list<CQXInterpreter*> m_Blocks;
};
