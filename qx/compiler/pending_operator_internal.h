// One entry of the expression compiler's operator stack: a left operand waiting for the right
// side of its operator (in m_Operand.m_Token), where it was pushed, and at which nesting level.
// The compiler object keeps the stack; hosts never see an entry.
#pragma once

#include "qx/vm/bytecode.h"

struct sPendingOperator {
    sByteCodeVar m_Operand;
    int m_Line;
    int m_Pos;
    int m_Level;
};
