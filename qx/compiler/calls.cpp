// Function calls in expressions and as statements: the arguments are passed by instructions
// (a copy into a temporary for a library value parameter, a binding for a reference
// parameter, an assignment to a script function's own parameter variables), then one otCALL.
#include "qx/core/compiler.h"

namespace {

// A reference variable without storage of the argument's element type.
CQXVariable* addReference(CQXVarManager& temps, eDataType type) {
    switch (type) {
        case edtBYTE:
            return temps.addByteVar("", 1, 1, nullptr);
        case edtSHORT:
            return temps.addShortVar("", 1, 1, nullptr);
        case edtINT:
            return temps.addIntVar("", 1, 1, nullptr);
        case edtFLOAT:
            return temps.addFloatVar("", 1, 1, nullptr);
        default:
            return temps.addDoubleVar("", 1, 1, nullptr);
    }
}

}  // namespace

// call: name '(' [ expression { ',' expression } ] ')'
bool CQXCompiler::evalFunc(CQXInterpreter* block, CQXFunction*& func, sByteCodeVar& ret,
                           int level) {
    func = getFunc(m_Parser.getName(true));
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    ++m_OpenBrackets;
    const int count = func->m_ParamCount;
    sByteCode call;
    call.m_Opt = otCALL;
    call.m_pFunc = func;
    std::vector<sByteCodeVar> args(count > 0 ? count : 0);
    std::vector<sByteCode> bindings;
    for (int i = 0; i < count; ++i) {
        if (!evalExpression(block, args[i], level + 1)) return false;
        if (!func->m_bIntern && !passLibraryArgument(block, func, i, args[i], call, bindings))
            return false;
        if (i < count - 1 && !expect(ttCOMMA, etSYNTAX, "function needs more arguments"))
            return false;
    }
    // A script function's reference parameters are bound before its value parameters are
    // assigned: a call of a function that is still running is refused at its first binding,
    // before any of the running call's parameters is overwritten.
    if (func->m_bIntern) {
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < count; ++i)
                if (!passScriptArgument(block, func, i, args[i], pass == 0)) return false;
        }
    }
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    --m_OpenBrackets;
    // The reference bindings come after the code of every argument, right before the call: a
    // later argument may run a script function that resizes a variable an earlier argument
    // refers to, and a binding made before that would point at the storage the resize freed.
    for (const sByteCode& binding : bindings) emitAt(block, binding, binding.m_Line, binding.m_Pos);
    if (func->m_bReturnType) {
        call.m_pResult = newTemp();
        ret.m_pVar = call.m_pResult;
    }
    emit(block, call);
    return true;
}

// A library or host function receives value arguments as double copies and reference arguments
// as variables that share the caller's storage. A reference argument must be a variable the
// function may write: a constant is refused, and so is an expression or a literal, whose value
// the function's result would be written into and lost. Unlike a script function's reference
// parameter, it may be indexed or resizable (the function writes the range, and cannot resize).
// The binding goes to bindings, with the position it reports errors at, for the caller to emit
// once all arguments are computed.
bool CQXCompiler::passLibraryArgument(CQXInterpreter* block, CQXFunction* func, int index,
                                      const sByteCodeVar& arg, sByteCode& call,
                                      std::vector<sByteCode>& bindings) {
    if (func->m_ParamTypes[index] == ptVALUE) {
        CQXVariable* copy = newTemp();
        emit(block, sByteCode(otASSIGN, sByteCodeVar(copy), arg, nullptr));
        call.m_Params.push_back(copy);
        return true;
    }
    if (arg.m_pVar->getConst()) return syntaxError(etCONSTLVALUE);
    if (arg.m_pVar->getName().empty()) return syntaxError(etNOREFERENCE);
    CQXVariable* reference = addReference(m_TmpVars, arg.m_pVar->getDataType());
    sByteCode binding(otREFERENCE, sByteCodeVar(reference), arg, nullptr);
    binding.m_Line = m_Parser.m_Line;
    binding.m_Pos = m_Parser.getPosition();
    bindings.push_back(binding);
    call.m_Params.push_back(reference);
    return true;
}

// A script function's parameters are its own variables: a value parameter is assigned, a
// reference parameter is bound to the caller's named, fixed-size, unindexed variable. Passes
// only the reference parameters, or only the value parameters, as references says.
bool CQXCompiler::passScriptArgument(CQXInterpreter* block, CQXFunction* func, int index,
                                     const sByteCodeVar& arg, bool references) {
    CQXVariable* param = func->m_Varlist.getVar(index);
    if (param->getVarState(vsREFERENCE) != references) return true;
    if (!references) {
        emit(block, sByteCode(otASSIGN, sByteCodeVar(param), arg, nullptr));
        return true;
    }
    CQXVariable* var = arg.m_pVar;
    if (var->getConst()) return syntaxError(etCONSTLVALUE);
    if (var->getVarState(vsRESIZABLE) || var->getName().empty() || arg.isIndexed())
        return syntaxError(etNOREFERENCE);
    emit(block, sByteCode(otREFERENCE, sByteCodeVar(param), arg, nullptr));
    return true;
}

// call-operand: [ '-' | '!' ] call   (the function must deliver a value)
bool CQXCompiler::evalFuncOp(CQXInterpreter* block, sByteCodeVar& operand, bool bNot, bool bNegate,
                             int level) {
    CQXFunction* func = nullptr;
    sByteCodeVar ret;
    if (!evalFunc(block, func, ret, level)) return false;
    if (!func->m_bReturnType) return syntaxError(etNORETURNTYPE);
    applyPrefix(block, ret, bNot, bNegate);
    operand = ret;
    return true;
}
