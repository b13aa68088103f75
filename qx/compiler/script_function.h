// CDummyFunc: the function object a script's func definition fills. Its parameters and locals
// live in its own variable list, its body in its own block; calling it runs that block. Not
// exported: a host reaches script functions as CQXFunction (isScriptFunction tells them apart).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qx/functions/function.h"

class CQXProgramStore;

// Not copyable: its compiled code refers to its own variables and to the temporaries and
// blocks of the program it was compiled in, which a copy could not own.
class CDummyFunc : public CQXFunction {
public:
    CDummyFunc(const CDummyFunc&) = delete;
    CDummyFunc& operator=(const CDummyFunc&) = delete;
    ~CDummyFunc() override;

protected:
    CDummyFunc(const std::string& name, CQXSharedParameter* shared);
    // Runs the body block; the compiled call has already copied or bound the arguments into
    // the parameter variables, so the argument vector is not read.
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override;

    friend class CQXCompiler;

private:
    // The temporaries, literal constants and sub-blocks of the program this function was
    // compiled in. The compiler hands them over when it clears that program, so the function's
    // code stays sound for as long as the function is registered.
    std::shared_ptr<CQXProgramStore> m_pStore;
    // The text the definition was compiled from, for error reports.
    std::shared_ptr<const std::string> m_pSource;
};
