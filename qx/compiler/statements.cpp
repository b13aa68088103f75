// The statement compiler: turns statements straight into instructions of the current block, one
// pass, no syntax tree. Control flow is made of sub-blocks: every branch and loop body is a
// block of its own, run by an otBLOCK or otCONDITION instruction of the enclosing block.
#include "qx/compiler/script_function.h"
#include "qx/core/compiler.h"

// program: { statement } ( end-of-text | '}' )
bool CQXCompiler::evalStart(CQXInterpreter* block) {
    if (!enterNesting()) return false;
    for (;;) {
        eTokenType tok = m_Parser.nextToken();
        if (tok == ttEND) break;
        if (tok == ttRBRACE) {
            if (!evalCloseBrace(block)) return false;
            break;
        }
        bool handled = false;
        if (!evalStatement(block, tok, handled)) return false;
        if (handled) continue;
        if (tok == ttLBRACE) {
            if (!evalBracedBlock(block)) return false;
        } else if (tok == ttRESERVED) {
            eReservedWord word = m_Parser.getReserved();
            if (word == rwFUNC) {
                if (m_pCurFunc)
                    return syntaxError(etSYNTAX, "no local function declaration allowed");
                if (!evalFuncDef()) return false;
            } else if (word >= rwBYTE && word <= rwDOUBLE) {
                if (!evalVarDef(static_cast<eDataType>(word - rwBYTE + edtBYTE))) return false;
            } else {
                return syntaxError(etSYNTAX, "unexpected symbol");
            }
        } else {
            return syntaxError(etSYNTAX, "unexpected symbol");
        }
    }
    leaveNesting();
    return true;
}

// controlled-statement: '{' { statement } '}' | simple-statement
bool CQXCompiler::evalSingleInstruction(CQXInterpreter* block) {
    if (!enterNesting()) return false;
    eTokenType tok = m_Parser.nextToken();
    bool handled = false;
    if (!evalStatement(block, tok, handled)) return false;
    if (!handled) {
        if (tok == ttLBRACE) {
            // The statements of the braces go straight into the controlled block.
            ++m_OpenBlocks;
            if (!evalStart(block)) return false;
        } else if (tok == ttRESERVED) {
            eReservedWord word = m_Parser.getReserved();
            if (word >= rwBYTE && word <= rwDOUBLE)
                return syntaxError(etSYNTAX, "no empty instructions allowed");
            return syntaxError(etSYNTAX, "unexpected symbol");
        } else {
            return syntaxError(etSYNTAX, "unexpected symbol");
        }
    }
    leaveNesting();
    return true;
}

// The statements both statement levels compile alike: assignments and calls (names), return,
// if, while, for, break, continue. Sets handled when tok started one of them.
bool CQXCompiler::evalStatement(CQXInterpreter* block, eTokenType tok, bool& handled) {
    handled = true;
    if (tok == ttNAME) return evalNameStatement(block);
    if (tok == ttRESERVED) {
        int start = m_Parser.m_Cursor;
        switch (m_Parser.getReserved()) {
            case rwRETURN:
                if (!m_pCurFunc) return syntaxError(etSYNTAX, "no global return allowed");
                return evalReturn(block);
            case rwIF:
                return evalIf(block);
            case rwWHILE:
                return evalWhile(block);
            case rwFOR:
                return evalFor(block);
            case rwBREAK:
                return evalBreak(block, otBREAK);
            case rwCONTINUE:
                return evalBreak(block, otCONTINUE);
            default:
                m_Parser.m_Cursor = start;
                break;
        }
    }
    handled = false;
    return true;
}

// '}' closes the braces opened by a block statement, a controlled statement or a function body.
bool CQXCompiler::evalCloseBrace(CQXInterpreter* block) {
    if (m_OpenBlocks == 0) return syntaxError(etSYNTAX, "} unexpected");
    if (!m_LoopBlocks.empty() && m_LoopBlocks.back() == block) m_LoopBlocks.pop_back();
    --m_OpenBlocks;
    return true;
}

// block-statement: '{' { statement } '}'   (a sub-block run by otBLOCK)
bool CQXCompiler::evalBracedBlock(CQXInterpreter* block) {
    ++m_OpenBlocks;
    return evalStart(newRunBlock(block));
}

// assignment-or-call: name ( assignment | '(' arguments ')' ';' )
bool CQXCompiler::evalNameStatement(CQXInterpreter* block) {
    std::string name = m_Parser.getName(true);
    if (CQXVariable* var = lookupVar(name)) {
        m_LValue = sByteCodeVar(var);
        return evalLVar(block);
    }
    CQXFunction* func = getFunc(name);
    if (!func) return unknownName(name);
    m_Parser.getBack();
    sByteCodeVar result;
    if (!evalFunc(block, func, result, 0)) return false;
    return expect(ttSEMICOLON, etSYNTAX, "colon expected");
}

// return-statement: 'return' expression ';'
bool CQXCompiler::evalReturn(CQXInterpreter* block) {
    sByteCodeVar value;
    if (!evalExpression(block, value, 0)) return false;
    if (!expect(ttSEMICOLON, etSYNTAX, "colon expected")) return false;
    emit(block, sByteCode(otRETURN, sByteCodeVar(&m_pCurFunc->m_ReturnValue), value, nullptr));
    m_pCurFunc->m_bReturnType = true;
    return true;
}

// if-statement: 'if' '(' expression ')' statement [ 'else' statement ]
bool CQXCompiler::evalIf(CQXInterpreter* block) {
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    ++m_OpenBrackets;
    sByteCodeVar condition;
    if (!evalExpression(block, condition, 0)) return false;
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    --m_OpenBrackets;
    CQXInterpreter* thenBlock = newBlock();
    if (!evalSingleInstruction(thenBlock)) return false;
    CQXInterpreter* elseBlock = nullptr;
    eTokenType tok = m_Parser.nextToken();
    if (tok == ttRESERVED && m_Parser.getReserved() == rwELSE) {
        elseBlock = newBlock();
        if (!evalSingleInstruction(elseBlock)) return false;
    } else {
        m_Parser.getBack();
    }
    sByteCode code;
    code.m_Opt = otCONDITION;
    code.m_Var1 = condition;
    code.m_pBlock = thenBlock;
    code.m_pElseBlock = elseBlock;
    emit(block, code);
    return true;
}

// while-statement: 'while' '(' expression ')' statement
// The loop frame A holds [condition code, otCONDITION(body, repeat)].
bool CQXCompiler::evalWhile(CQXInterpreter* block) {
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    ++m_OpenBrackets;
    CQXInterpreter* frame = newRunBlock(block);
    sByteCodeVar condition;
    if (!evalExpression(frame, condition, 0)) return false;
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    --m_OpenBrackets;
    CQXInterpreter* body = newBlock();
    m_LoopBlocks.push_back(body);
    frame->setLoopBlock();
    sByteCode test;
    test.m_Opt = otCONDITION;
    test.m_Var1 = condition;
    test.m_pBlock = body;
    test.m_bRepeat = true;
    emit(frame, test);
    if (!evalSingleInstruction(body)) return false;
    if (!m_LoopBlocks.empty() && m_LoopBlocks.back() == body) m_LoopBlocks.pop_back();
    return true;
}

// The initial and the step assignment of a for header: name assignment (ending with ';').
bool CQXCompiler::evalForAssignment(CQXInterpreter* block) {
    if (!expect(ttNAME, etSYNTAX, "name expected")) return false;
    std::string name = m_Parser.getName(true);
    CQXVariable* var = lookupVar(name);
    if (!var) return unknownName(name);
    m_LValue = sByteCodeVar(var);
    return evalLVar(block);
}

// for-statement: 'for' '(' assignment expression ';' assignment ')' statement
// The loop frame A holds [condition code, otCONDITION(body), otCONDITION(step, repeat)], so
// the condition is computed once per iteration, before the body.
bool CQXCompiler::evalFor(CQXInterpreter* block) {
    if (!expect(ttLPAREN, etOPENEXPECTED)) return false;
    ++m_OpenBrackets;
    if (!evalForAssignment(block)) return false;
    CQXInterpreter* frame = newRunBlock(block);
    frame->setLoopBlock();
    CQXInterpreter* step = newBlock();
    sByteCodeVar condition;
    if (!evalExpression(frame, condition, 0)) return false;
    if (!expect(ttSEMICOLON, etSYNTAX, "colon expected")) return false;
    if (!evalForAssignment(step)) return false;
    if (!expect(ttRPAREN, etCLOSEEXPECTED)) return false;
    --m_OpenBrackets;
    CQXInterpreter* body = newBlock();
    m_LoopBlocks.push_back(body);
    sByteCode test;
    test.m_Opt = otCONDITION;
    test.m_Var1 = condition;
    test.m_pBlock = body;
    emit(frame, test);
    if (!evalSingleInstruction(body)) return false;
    if (!m_LoopBlocks.empty() && m_LoopBlocks.back() == body) m_LoopBlocks.pop_back();
    test.m_pBlock = step;
    test.m_bRepeat = true;
    emit(frame, test);
    return true;
}

// break-statement: 'break' ';'   continue-statement: 'continue' ';'
bool CQXCompiler::evalBreak(CQXInterpreter* block, eOptType op) {
    if (m_LoopBlocks.empty()) return syntaxError(etSYNTAX, "break unexpected");
    if (!expect(ttSEMICOLON, etSYNTAX, "colon expected")) return false;
    sByteCode code;
    code.m_Opt = op;
    emit(block, code);
    return true;
}
