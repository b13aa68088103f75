// Declarations and function definitions. A declaration creates variables at compile time and
// emits no code: globals go to the compiler's global manager, locals and parameters to the
// function being defined. A definition fills a CDummyFunc and registers it once complete.
#include <climits>
#include <cmath>

#include "qx/compiler/script_function.h"
#include "qx/core/compiler.h"

namespace {

// A declared size: the number literal truncated toward zero; 0 for anything below 1 or beyond
// the int range (both are refused as an index error by the caller).
int declaredSize(double value) {
    if (!(value >= 1.0) || value >= 2147483648.0) return 0;
    return static_cast<int>(value);
}

}  // namespace

// declaration: type item { ',' item } ( ';' | ')' in a parameter list or function body )
// item: name [ '[' ']' | '[' number ']' '[' number ']' ]  |  '&' name (parameters only)
bool CQXCompiler::evalVarDef(eDataType type) {
    for (;;) {
        eTokenType tok = m_Parser.nextToken();
        bool isReference = false;
        if (tok != ttNAME) {
            if (!m_bParamDecl || tok != ttAMPERSAND) return syntaxError(etNAMEEXPECTED);
            isReference = true;
            if (!expect(ttNAME, etNAMEEXPECTED)) return false;
        }
        std::string name = m_Parser.getName(true);
        if (m_bParamDecl) m_pCurFunc->setParamCount(m_pCurFunc->getParamCount() + 1);
        tok = m_Parser.nextToken();
        m_DeclName = name;
        m_DeclRows = 0;
        m_DeclCols = 0;
        m_DeclKind = isReference ? 1 : 0;
        if (tok == ttLBRACKET) {
            if (isReference) return syntaxError(etNOREFERENCE);
            if (!evalDeclSize()) return false;
            tok = m_Parser.nextToken();
        }
        bool endsList = tok == ttSEMICOLON || (tok == ttRPAREN && m_pCurFunc);
        if (!endsList && tok != ttCOMMA)
            return syntaxError(etSYNTAX, "unexpected end of deklaration");
        if (!declareVar(type)) return syntaxError(etDECLARATION);
        if (endsList) return true;
    }
}

// size-suffix (after '['): ']' | number ']' '[' number ']'. Leaves the cursor after the last ']'.
bool CQXCompiler::evalDeclSize() {
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttRBRACKET) {
        if (m_bParamDecl) return syntaxError(etUNDEFINEDVAR);
        m_DeclKind = 2;
        return true;
    }
    if (!expect(tok, ttNUMBER, etSYNTAX, "numeric Value expected")) return false;
    m_DeclRows = declaredSize(m_Parser.getNumber());
    if (m_DeclRows < 1) return syntaxError(etINDEX);
    if (!expect(ttRBRACKET, etCLOSEEXPECTED)) return false;
    if (!expect(ttLBRACKET, etOPENEXPECTED)) return false;
    if (!expect(ttNUMBER, etSYNTAX, "numeric Value expected")) return false;
    m_DeclCols = declaredSize(m_Parser.getNumber());
    if (m_DeclCols < 1) return syntaxError(etINDEX);
    return expect(ttRBRACKET, etCLOSEEXPECTED);
}

bool CQXCompiler::declareVar(eDataType type) {
    CQXVarManager* manager = m_pCurFunc ? &m_pCurFunc->m_Varlist : &m_GlobalVars;
    if (m_DeclCols == 0) m_DeclCols = 1;
    if (m_DeclRows == 0) m_DeclRows = 1;
    CQXVariable* var = nullptr;
    if (m_DeclKind == 2)
        var = manager->addResizeVar(m_DeclName, type);
    else if (m_DeclKind == 1)
        var = manager->addDoubleVar(m_DeclName, 1, 1, nullptr);
    else
        var = manager->addVar(m_DeclName, m_DeclRows, m_DeclCols, type);
    if (var != nullptr && manager == &m_GlobalVars) m_ScriptVars.insert(var);
    return var != nullptr;
}

// function-definition: 'func' name '(' [ parameters ] ')' '{' { statement } '}'
bool CQXCompiler::evalFuncDef() {
    if (!expect(ttNAME, etNAMEEXPECTED)) return false;
    std::string name = m_Parser.getName(true);
    if (getFunc(name)) return syntaxError(etFUNCDECLARED);
    if (m_GlobalVars.getVar(name)) return syntaxError(etVARDECLARED);
    delete m_pCurFunc;
    m_pCurFunc = new CDummyFunc(name, &m_Shared);
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttRPAREN) {
        tok = m_Parser.nextToken();
    } else {
        m_bParamDecl = true;
        m_Parser.getBack();
        if (!evalVarDef(edtDOUBLE)) return false;
        tok = m_Parser.nextToken();
        m_bParamDecl = false;
    }
    if (!expect(tok, ttLBRACE, etOPENEXPECTED)) return false;
    return evalFuncBody();
}

// The body starts with no enclosing loop (a break can never leave the function) and counts as
// complete only when its closing '}' was read; an unfinished definition is never registered.
bool CQXCompiler::evalFuncBody() {
    int outerBlocks = m_OpenBlocks++;
    std::list<CQXInterpreter*> outerLoops;
    outerLoops.swap(m_LoopBlocks);
    bool ok = evalStart(m_pCurFunc->getBlock());
    m_LoopBlocks.swap(outerLoops);
    if (!ok) return false;
    if (m_OpenBlocks != outerBlocks)
        return syntaxError(etSYNTAX, "unexpected end. missing bracket?");
    m_FuncManager.addFunc(m_pCurFunc);
    m_ProgramFuncs.push_back(m_pCurFunc);
    m_pCurFunc->m_pSource = m_Source;
    m_pCurFunc = nullptr;
    return true;
}
