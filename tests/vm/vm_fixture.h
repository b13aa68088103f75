// Test support for the interpreter tests: builds variables, index operands and blocks by hand,
// the way the compiler would emit them, and reads results and error records back.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "qx/core/shared_parameter.h"
#include "qx/values/variable.h"
#include "qx/vm/interpreter.h"

class VmFixture : public ::testing::Test {
protected:
    // A variable of the given shape and type filled row by row from values.
    CQXVariable* var(const std::string& name, int rows, int cols, const std::vector<double>& values,
                     eDataType type = edtDOUBLE, eVariableState state = vsOWNED) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        CQXVariable* v = m_Vars.back().get();
        v->initialize(name, rows, cols, type);
        v->setVarState(state);
        for (std::size_t k = 0; k < values.size(); ++k) {
            v->setData_intern(static_cast<int>(k) / cols, static_cast<int>(k) % cols, values[k]);
        }
        return v;
    }
    CQXVariable* num(double value) { return var("", 1, 1, {value}); }
    // A compiler temporary: unnamed, resizable, 1x1 double.
    CQXVariable* temp() { return var("", 1, 1, {}, edtDOUBLE, vsRESIZABLE); }
    // A variable that was never given a shape.
    CQXVariable* unshaped(const std::string& name) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        m_Vars.back()->setName_intern(name);
        return m_Vars.back().get();
    }
    // A host reference with rows but no row array.
    CQXVariable* hollow(const std::string& name, int rows, int cols) {
        m_Vars.push_back(std::make_unique<CQXVariable>(&m_Shared));
        m_Vars.back()->setDouble(name, rows, cols, nullptr);
        return m_Vars.back().get();
    }

    // Element addressed by two index variables.
    sByteCodeVar elemBy(CQXVariable* v, CQXVariable* row, CQXVariable* col) {
        sByteCodeVar operand(v);
        operand.m_pRow = row;
        operand.m_pCol = col;
        operand.m_bSingle = true;
        return operand;
    }
    sByteCodeVar elem(CQXVariable* v, double row, double col) {
        return elemBy(v, num(row), num(col));
    }
    sByteCodeVar range(CQXVariable* v, double r0, double nr, double c0, double nc) {
        sByteCodeVar operand(v);
        operand.m_pRowFrom = num(r0);
        operand.m_pRowCount = num(nr);
        operand.m_pColFrom = num(c0);
        operand.m_pColCount = num(nc);
        operand.m_bRange = true;
        return operand;
    }

    CQXInterpreter* block() {
        m_Blocks.push_back(std::make_unique<CQXInterpreter>(&m_Shared));
        return m_Blocks.back().get();
    }
    // Runs one instruction in a block of its own, placed at line 1, position 1.
    eInterpreterState run(const sByteCode& code) {
        m_pLast = block();
        m_pLast->addByteCode(code, 1, 1);
        return m_pLast->Interprete();
    }
    eInterpreterState run(eOptType opt, const sByteCodeVar& a, const sByteCodeVar& b,
                          CQXVariable* r = nullptr) {
        return run(sByteCode(opt, a, b, r));
    }
    // The error text of the block run last.
    std::string lastError() const { return m_pLast->getError().getText(); }

    static std::vector<double> values(const CQXVariable* v) {
        std::vector<double> out;
        for (int r = 0; r < v->getRows(); ++r) {
            for (int c = 0; c < v->getCols(); ++c) out.push_back(v->getData(r, c));
        }
        return out;
    }
    static double at(const CQXVariable* v) { return v->getData(0, 0); }

    CQXSharedParameter m_Shared;
    std::vector<std::unique_ptr<CQXVariable>> m_Vars;
    std::vector<std::unique_ptr<CQXInterpreter>> m_Blocks;
    CQXInterpreter* m_pLast = nullptr;
};

using Values = std::vector<double>;
