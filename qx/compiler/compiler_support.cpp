// Helpers shared by the compiler's parts: the one funnel through which every compile error is
// reported (with the lexer's line and position at that moment), instruction emission with its
// source position, and the making of blocks, temporaries and constants.
#include "qx/compiler/pending_operator_internal.h"
#include "qx/compiler/script_function.h"
#include "qx/core/compiler.h"

bool CQXCompiler::syntaxError(eErrorType type, const std::string& detail) {
    return syntaxErrorAt(type, m_Parser.m_Line, m_Parser.getPosition(), detail);
}

bool CQXCompiler::syntaxErrorAt(eErrorType type, int line, int pos, const std::string& detail) {
    return m_Error.setError(type, line, pos, detail);
}

bool CQXCompiler::expect(eTokenType token, eErrorType type, const std::string& detail) {
    return expect(m_Parser.nextToken(), token, type, detail);
}

bool CQXCompiler::expect(eTokenType read, eTokenType token, eErrorType type,
                         const std::string& detail) {
    return read == token || syntaxError(type, detail);
}

bool CQXCompiler::unknownName(const std::string& name) {
    return syntaxError(etUNKNOWNIDENT, "\nName= " + name);
}

void CQXCompiler::emit(CQXInterpreter* block, const sByteCode& code) {
    block->addByteCode(code, m_Parser.m_Line, m_Parser.getPosition());
}

void CQXCompiler::emitAt(CQXInterpreter* block, const sByteCode& code, int line, int pos) {
    block->addByteCode(code, line, pos);
}

CQXInterpreter* CQXCompiler::newBlock() {
    return m_BlockManager.addBlock(new CQXInterpreter(&m_Shared));
}

CQXInterpreter* CQXCompiler::newRunBlock(CQXInterpreter* block) {
    CQXInterpreter* inner = newBlock();
    sByteCode run;
    run.m_Opt = otBLOCK;
    run.m_pBlock = inner;
    emit(block, run);
    return inner;
}

CQXVariable* CQXCompiler::newTemp() {
    return m_TmpVars.addResizeVar("", edtDOUBLE);
}

CQXVariable* CQXCompiler::newConst(int rows, int cols) {
    return m_TmpVars.addVar("", rows, cols, edtDOUBLE);
}

CQXVariable* CQXCompiler::lookupVar(const std::string& name) {
    if (m_pCurFunc) {
        if (CQXVariable* local = m_pCurFunc->m_Varlist.getVar(name)) return local;
    }
    return m_GlobalVars.getVar(name);
}

bool CQXCompiler::enterNesting() {
    if (m_Depth >= kMaxNesting) return syntaxError(etSYNTAX, "nesting too deep");
    ++m_Depth;
    return true;
}

void CQXCompiler::resetWorkingState() {
    for (sPendingOperator* entry : m_PendingOps) delete entry;
    m_PendingOps.clear();
    m_LoopBlocks.clear();
    m_Depth = 0;
}
