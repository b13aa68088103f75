// The error record shared by every phase: the compiler fills it from the lexer's counters, the
// interpreter and the functions from the failing instruction's line and position. The host reads
// the rendered text: type text, location, one blank, detail.
#include "qx/core/error.h"

#include <utility>

#include "qx/numtext_internal.h"

namespace {

// Type texts indexed by eErrorType. Value 16 has no type of its own and reads like 0.
const char* const kTypeTexts[] = {
    "No Error",
    "Unknown Error",
    "Syntaxerror",
    "Error in Declaration or Variable already declared",
    "Reserved Word Error",
    "Index Error",
    "Constant can not be LValue or Reference",
    "Type mismatch",
    "Name expected",
    "Function already declared",
    "Variable already declared",
    "( or { or [ expected",
    ") or } or ] expected",
    "Unexpected undefined Variable",
    "Function has no Return Type",
    "Unknown Identifier",
    "No Error",
    "Can't refere to Expression or resizable Variable",
    "Interpreter Error: ",
    "Division by Zero",
    "Can't change size of non resizeable Variable",
};
constexpr int kTypeCount = sizeof kTypeTexts / sizeof kTypeTexts[0];

}  // namespace

CQXError::CQXError(eErrorType type, int line, int pos) : m_Type(type), m_Line(line), m_Pos(pos) {}

CQXError::~CQXError() = default;

bool CQXError::setError(eErrorType type, int line, int pos, std::string text) {
    m_Type = type;
    m_Line = line;
    m_Pos = pos;
    m_Text = std::move(text);
    return false;
}

bool CQXError::setException(const std::string& msg, int line, int pos, const std::string& varName) {
    m_Type = etINTERPRETER;
    m_Line = line;
    m_Pos = pos;
    m_Text = msg;
    if (!varName.empty()) m_Text += " accessing Variable " + varName;
    return false;
}

// The position is shown one less than stored; the subtraction is done in 64 bits so that no
// stored value can overflow it.
std::string CQXError::getError() const {
    std::string result = typeText(m_Type);
    if (m_Line != -1) {
        result += " on line " + qxtext::formatInt(m_Line) + ", position " +
                  qxtext::formatInt(static_cast<long long>(m_Pos) - 1) + ".";
    }
    result += ' ';
    result += m_Text;
    return result;
}

eErrorType CQXError::getError(int& line, int& pos, std::string& text) const {
    text = getError();
    line = m_Line;
    pos = m_Pos;
    return m_Type;
}

const char* CQXError::typeText(int type) {
    if (type < 0 || type >= kTypeCount) return kTypeTexts[etNOERROR];
    return kTypeTexts[type];
}
