// Standard functions that reach global variables through a name computed at run time (a
// string, i.e. a 1xN matrix of character codes): addVarByName, getVarByName, setVarByName.
#pragma once

#include "qx/functions/function.h"

class CQXCompiler;

#define QX_DECLARE_BY_NAME_FUNCTION(Class)                                                 \
    class QX_API Class : public CQXFunction {                                              \
    public:                                                                                \
        Class(const std::string& name, CQXSharedParameter* shared, CQXCompiler* compiler); \
        Class(const Class&) = default;                                                     \
        Class& operator=(const Class&) = default;                                          \
        ~Class() override;                                                                 \
                                                                                           \
    protected:                                                                             \
        eInterpreterState Call(const std::vector<CQXVariable*>* args) override;            \
        CQXCompiler* m_pCompiler; /* not owned */                                          \
    }

QX_DECLARE_BY_NAME_FUNCTION(CDeclareVarByName);
QX_DECLARE_BY_NAME_FUNCTION(CGetVarByName);
QX_DECLARE_BY_NAME_FUNCTION(CSetVarByName);
