// Host operations on single global variables: storing a value with the rules of a script
// assignment, and deleting one variable together with the code that may refer to it.
#include <unordered_set>

#include "qx/core/compiler.h"
#include "qx/core/run_state_internal.h"

// The store runs as one assignment instruction in a block of its own, so the host gets exactly
// what a script's `target = value;` does: conversion, clipping, filling and resizing, and the
// same run-time error texts.
bool CQXCompiler::assignVar(CQXVariable* target, CQXVariable* value) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (target == nullptr || value == nullptr) return false;
    CQXInterpreter block(&m_Shared);
    block.addByteCode(sByteCode(otASSIGN, sByteCodeVar(target), sByteCodeVar(value), nullptr), -1,
                      -1);
    const CQXRunScope run(m_RunDepth, m_Shared);
    try {
        if (block.Interprete() == isOK) return true;
        m_Exception = block.getError();
        takeTrace(false, nullptr);
        return false;
    } catch (...) {
        return failCaught(nullptr);
    }
}

bool CQXCompiler::removeVar(const std::string& name) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    if (m_RunDepth > 0 || name.empty()) return false;
    CQXVariable* var = m_GlobalVars.getVar(name);
    if (var == nullptr) return false;
    removeScriptFunctions();
    clear(false);
    m_ScriptVars.erase(var);
    std::unordered_set<const CQXVariable*> doomed;
    doomed.insert(var);
    m_GlobalVars.remove_intern(doomed);
    return true;
}
