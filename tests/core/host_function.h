// A host function whose body the test supplies, for the tests that run host code in the middle
// of a script or a host call: no return value, parameters of one type, and a body whose false
// fails the call with "NAME failed".
#pragma once

#include <functional>
#include <utility>

#include "qx/qx.h"

namespace qxtest {

class CHostFunc : public CQXFunction {
public:
    using Body = std::function<bool(const std::vector<CQXVariable*>&)>;
    CHostFunc(CQXCompiler& qx, const std::string& name, int params, Body body,
              eParameterType type = ptREFERENCE)
        : CQXFunction(name, qx.getSharedParameter()), m_Body(std::move(body)) {
        setParamCount(params);
        for (int i = 0; i < params; ++i) setParamType(i, type);
        setReturnType(false);
    }
    eInterpreterState Call(const std::vector<CQXVariable*>* args) override {
        return m_Body(*args) ? isOK : raise(getName() + " failed");
    }

private:
    Body m_Body;
};

}  // namespace qxtest
