// What a host can learn about a compiled program without running it: a text listing of its
// blocks and instructions, and the global variables it may read and write. Both walk the tree
// of blocks from the main block and from the bodies of the registered script functions.
#include <charconv>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "qx/core/compiler.h"

// A registered script function with the parts of it the walks need.
struct sScriptBody {
    const CQXFunction* func;
    const CQXInterpreter* body;
    const CQXVariable* result;  // its return variable, the target of its otRETURN
    const CQXVarManager* vars;  // parameters first, then locals
};

struct sProgramView {
    const CQXInterpreter* main = nullptr;  // null when no program is compiled
    const CQXVarManager* globals = nullptr;
    std::vector<sScriptBody> functions;  // in order of registration
};

void CQXCompiler::viewProgram(sProgramView& view) const {
    view.main = m_bCompiled ? &m_MainBlock : nullptr;
    view.globals = &m_GlobalVars;
    for (int i = 0; i < m_FuncManager.getFuncCount(); ++i) {
        CQXFunction* func = m_FuncManager.getFunc(i);
        if (func->m_bIntern)
            view.functions.push_back(
                {func, &func->m_Block, &func->m_ReturnValue, &func->m_Varlist});
    }
}

namespace {

using VarSet = std::unordered_set<const CQXVariable*>;

// Calls f for every instruction of block and of the sub-blocks its instructions run.
void forEachInstruction(const CQXInterpreter* block,
                        const std::function<void(const sByteCode&)>& f) {
    if (block == nullptr) return;
    for (const sByteCode& code : block->getByteCode()) {
        f(code);
        forEachInstruction(code.m_pBlock, f);
        if (code.m_Opt == otCONDITION) forEachInstruction(code.m_pElseBlock, f);
    }
}

// The index variables an operand reads to address its element or range.
void addIndexVars(const sByteCodeOperand& op, VarSet& out) {
    const sByteCodeIndex& index = op.index();
    if (op.isSingle()) out.insert({index.m_pRow, index.m_pCol});
    if (op.isRange())
        out.insert({index.m_pRowFrom, index.m_pRowCount, index.m_pColFrom, index.m_pColCount});
}

// ---- the listing ----

std::string number(double value) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, end.ptr);
}

// A constant as the script wrote it: a number, a string, or (for anything else) its rows.
std::string constantText(const CQXVariable& v) {
    const int rows = v.getRows();
    const int cols = v.getCols();
    if (rows == 1 && cols == 1) return number(v.getData_intern(0, 0));
    std::string text;
    bool printable = rows == 1;
    for (int c = 0; printable && c < cols; ++c) {
        const double code = v.getData_intern(0, c);
        printable = code >= 32 && code <= 126 && code != '"' && code == static_cast<int>(code);
        if (printable) text += static_cast<char>(code);
    }
    if (printable) return "\"" + text + "\"";
    text = "[";
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) text += (c > 0 ? ", " : "") + number(v.getData_intern(r, c));
        if (r + 1 < rows) text += "; ";
    }
    return text + "]";
}

std::string counted(size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

class CListing {
public:
    explicit CListing(const sProgramView& view) : m_View(view) {}
    std::string text();

private:
    void collectNames();
    void block(const CQXInterpreter* b, int indent);
    void subBlock(const char* role, const CQXInterpreter* b, int indent);
    void instruction(const sByteCode& code, int index, int indent);
    std::string operands(const sByteCode& code);
    std::string operand(const sByteCodeOperand& op);
    std::string label(const CQXVariable* v);
    std::string signature(const sScriptBody& f) const;

    const sProgramView& m_View;
    std::unordered_map<const CQXVariable*, std::string> m_Names;  // variables with a name
    VarSet m_Written;                                             // what instructions write
    std::unordered_map<const CQXVariable*, int> m_Temps;          // numbered temporaries
    std::string m_Out;
};

std::string CListing::text() {
    collectNames();
    if (m_View.main != nullptr) {
        m_Out += "main: " + counted(m_View.main->getByteCode().size(), "instruction") + "\n";
        block(m_View.main, 0);
    } else {
        m_Out += "main: no compiled program\n";
    }
    for (const sScriptBody& f : m_View.functions) {
        m_Out += "\nfunc " + signature(f) + ": " +
                 counted(f.body->getByteCode().size(), "instruction") + "\n";
        block(f.body, 0);
    }
    return m_Out;
}

// Globals and the variables of script functions go by their names, return variables by
// "return". Every other variable is the compiler's: a temporary when some instruction writes
// it, otherwise a constant, shown by its value.
void CListing::collectNames() {
    const auto addAll = [this](const CQXVarManager* vars) {
        for (int i = 0; i < vars->getVarCount(); ++i) {
            const CQXVariable* v = vars->getVar(i);
            m_Names[v] = v->getName().empty() ? "(no name)" : v->getName();
        }
    };
    addAll(m_View.globals);
    const auto noteWrites = [this](const sByteCode& code) {
        const unsigned char uses = opcodeUses(code.m_Opt);
        if (uses & ouWriteA) m_Written.insert(code.m_Var1.m_pVar);
        if (uses & ouWriteR) m_Written.insert(code.m_pResult);
    };
    forEachInstruction(m_View.main, noteWrites);
    for (const sScriptBody& f : m_View.functions) {
        addAll(f.vars);
        m_Names[f.result] = "return";
        forEachInstruction(f.body, noteWrites);
    }
}

std::string CListing::label(const CQXVariable* v) {
    if (v == nullptr) return "-";
    const auto named = m_Names.find(v);
    if (named != m_Names.end()) return named->second;
    if (m_Written.count(v) == 0 && v->hasStorage()) return constantText(*v);
    const auto found = m_Temps.emplace(v, static_cast<int>(m_Temps.size()));
    return "t" + std::to_string(found.first->second);
}

// An operand as it is addressed: v, v[row][col], or v[first, count][first, count].
std::string CListing::operand(const sByteCodeOperand& op) {
    std::string text = label(op.m_pVar);
    const sByteCodeIndex& index = op.index();
    if (op.isRange()) {
        text += "[" + label(index.m_pRowFrom) + ", " + label(index.m_pRowCount) + "][" +
                label(index.m_pColFrom) + ", " + label(index.m_pColCount) + "]";
    } else if (op.isSingle()) {
        text += "[" + label(index.m_pRow) + "][" + label(index.m_pCol) + "]";
    }
    return text;
}

// Exactly the operands the opcode reads and writes (opcodeUses, from the opcode table). The
// arguments of otCALL are shown here, the sub-blocks of otBLOCK and otCONDITION after the line.
std::string CListing::operands(const sByteCode& code) {
    std::string text;
    if (code.m_Opt == otCALL) {
        text = "F=" + (code.m_pFunc != nullptr ? code.m_pFunc->getName() : std::string("-")) + "(";
        for (size_t i = 0; i < code.m_Params.size(); ++i)
            text += (i > 0 ? ", " : "") + label(code.m_Params[i]);
        text += ")";
    }
    const unsigned char uses = opcodeUses(code.m_Opt);
    const auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : "  ") + part;
    };
    if (uses & (ouReadA | ouWriteA)) add("A=" + operand(code.m_Var1));
    if (uses & ouReadB) add("B=" + operand(code.m_Var2));
    if ((uses & ouWriteR) && code.m_pResult != nullptr) add("R=" + label(code.m_pResult));
    if (code.m_Opt == otCONDITION && code.m_bRepeat) add("repeat");
    return text;
}

void CListing::instruction(const sByteCode& code, int index, int indent) {
    // Positions are shown as error texts show them: one less than the stored number.
    const std::string where = "[" + std::to_string(code.m_Line) + ":" +
                              std::to_string(static_cast<long long>(code.m_Pos) - 1) + "]";
    char head[64];
    std::snprintf(head, sizeof(head), "%4d  %-9s %-15s", index, where.c_str(),
                  opcodeName(code.m_Opt));
    std::string line = std::string(static_cast<size_t>(indent), ' ') + head + operands(code);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    m_Out += line + "\n";
    if (code.m_Opt == otBLOCK) subBlock("block", code.m_pBlock, indent);
    if (code.m_Opt == otCONDITION) {
        subBlock("then", code.m_pBlock, indent);
        subBlock("else", code.m_pElseBlock, indent);
    }
}

void CListing::subBlock(const char* role, const CQXInterpreter* b, int indent) {
    if (b == nullptr) return;
    m_Out += std::string(static_cast<size_t>(indent) + 6, ' ') + role + ": " +
             counted(b->getByteCode().size(), "instruction") + "\n";
    block(b, indent + 6);
}

void CListing::block(const CQXInterpreter* b, int indent) {
    int index = 0;
    for (const sByteCode& code : b->getByteCode()) instruction(code, index++, indent);
}

// name(a, m[2][3], &r), as the definition declared it, and whether it returns a value.
std::string CListing::signature(const sScriptBody& f) const {
    std::string text = f.func->getName() + "(";
    for (int i = 0; i < f.func->getParamCount(); ++i) {
        const sParameterInfo p = f.func->getParamInfo(i);
        text += i > 0 ? ", " : "";
        if (p.m_Kind == pkREFERENCE) text += "&";
        text += p.m_Name;
        if (p.m_Kind == pkSIZED && (p.m_Rows != 1 || p.m_Cols != 1))
            text += "[" + std::to_string(p.m_Rows) + "][" + std::to_string(p.m_Cols) + "]";
    }
    return text + (f.func->getReturnType() ? ") returns a value" : ")");
}

// ---- variable access ----

// Reads and writes of every instruction the program may run, with the bindings of reference
// variables; a global is touched through a reference bound to it (directly or through a chain
// of reference parameters) as if it were named.
class CAccess {
public:
    explicit CAccess(const sProgramView& view) : m_View(view) {}
    void visit(const CQXInterpreter* root);
    void result(std::vector<CQXVariable*>& reads, std::vector<CQXVariable*>& writes) const;

private:
    void note(const sByteCode& code);
    void noteCall(const sByteCode& code);
    void reach(const CQXVariable* v, VarSet& out, VarSet& seen) const;
    VarSet globalsOf(const VarSet& vars) const;

    const sProgramView& m_View;
    VarSet m_Read;
    VarSet m_Written;
    std::unordered_multimap<const CQXVariable*, const CQXVariable*> m_Bound;
    std::unordered_set<const CQXFunction*> m_Called;
    std::vector<const CQXInterpreter*> m_Pending;
};

void CAccess::visit(const CQXInterpreter* root) {
    m_Pending.push_back(root);
    while (!m_Pending.empty()) {
        const CQXInterpreter* b = m_Pending.back();
        m_Pending.pop_back();
        forEachInstruction(b, [this](const sByteCode& code) { note(code); });
    }
}

void CAccess::note(const sByteCode& code) {
    const unsigned char uses = opcodeUses(code.m_Opt);
    if (code.m_Opt == otREFERENCE) {
        m_Bound.emplace(code.m_Var1.m_pVar, code.m_Var2.m_pVar);
        addIndexVars(code.m_Var2, m_Read);
        return;
    }
    if (uses & (ouReadA | ouWriteA)) addIndexVars(code.m_Var1, m_Read);
    if (uses & ouReadA) m_Read.insert(code.m_Var1.m_pVar);
    if (uses & ouWriteA) m_Written.insert(code.m_Var1.m_pVar);
    if (uses & ouReadB) {
        m_Read.insert(code.m_Var2.m_pVar);
        addIndexVars(code.m_Var2, m_Read);
    }
    if (uses & ouWriteR) m_Written.insert(code.m_pResult);
    if (code.m_Opt == otCALL) noteCall(code);
}

// A standard or host function reads its value arguments and writes its reference arguments;
// a script function's body is walked once, whichever call reaches it first.
void CAccess::noteCall(const sByteCode& code) {
    const CQXFunction* func = code.m_pFunc;
    if (func == nullptr) return;
    for (size_t i = 0; i < code.m_Params.size(); ++i) {
        if (func->getParamType(static_cast<int>(i)) == ptREFERENCE)
            m_Written.insert(code.m_Params[i]);
        else
            m_Read.insert(code.m_Params[i]);
    }
    if (!func->isScriptFunction() || !m_Called.insert(func).second) return;
    for (const sScriptBody& f : m_View.functions)
        if (f.func == func) m_Pending.push_back(f.body);
}

void CAccess::reach(const CQXVariable* v, VarSet& out, VarSet& seen) const {
    if (v == nullptr || !seen.insert(v).second) return;
    out.insert(v);
    const auto range = m_Bound.equal_range(v);
    for (auto it = range.first; it != range.second; ++it) reach(it->second, out, seen);
}

VarSet CAccess::globalsOf(const VarSet& vars) const {
    VarSet reached;
    VarSet seen;
    for (const CQXVariable* v : vars) reach(v, reached, seen);
    return reached;
}

void CAccess::result(std::vector<CQXVariable*>& reads, std::vector<CQXVariable*>& writes) const {
    const VarSet read = globalsOf(m_Read);
    const VarSet written = globalsOf(m_Written);
    for (int i = 0; i < m_View.globals->getVarCount(); ++i) {
        CQXVariable* v = m_View.globals->getVar(i);
        if (read.count(v) != 0) reads.push_back(v);
        if (written.count(v) != 0) writes.push_back(v);
    }
}

}  // namespace

std::string CQXCompiler::getListing() {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    sProgramView view;
    viewProgram(view);
    return CListing(view).text();
}

bool CQXCompiler::getVarAccess(std::vector<CQXVariable*>& reads, std::vector<CQXVariable*>& writes,
                               const CQXFunction* func) {
    CQXCriticalSectionLock lock(&m_Shared.m_Lock);
    reads.clear();
    writes.clear();
    sProgramView view;
    viewProgram(view);
    const CQXInterpreter* root = view.main;
    if (func != nullptr) {
        root = nullptr;
        for (const sScriptBody& f : view.functions)
            if (f.func == func) root = f.body;
    }
    if (root == nullptr) return false;
    CAccess access(view);
    access.visit(root);
    access.result(reads, writes);
    return true;
}
