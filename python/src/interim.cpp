// Interim pieces of the binding (see interim.h).
#include "interim.h"

#include <pybind11/pybind11.h>

#include <algorithm>

namespace qxpy {

std::string formatWithSource(const std::string& text, const std::string& source, int line,
                             int pos) {
    if (line < 1) return text;
    size_t start = 0;
    for (int n = 1; n < line; ++n) {
        start = source.find('\n', start);
        if (start == std::string::npos) return text;
        ++start;
    }
    const size_t end = source.find('\n', start);
    std::string shown = source.substr(start, end == std::string::npos ? end : end - start);
    if (!shown.empty() && shown.back() == '\r') shown.pop_back();
    // After a line break the lexer counts positions from the line feed itself.
    const long long counted = static_cast<long long>(pos) - (line > 1 ? 2 : 1);
    const long long column = std::max(0LL, std::min(counted, static_cast<long long>(shown.size())));
    const std::string number = std::to_string(line);
    return text + "\n  " + number + " | " + shown + "\n  " + std::string(number.size(), ' ') +
           " | " + std::string(static_cast<size_t>(column), ' ') + "^";
}

std::string formatTrace(const std::string& text, const std::vector<sCallSite>& trace) {
    std::string out = text;
    for (const sCallSite& site : trace) {
        if (site.m_Function.empty()) continue;
        out += "\n  in " + site.m_Function;
        out += site.m_Line == -1 ? ", called by the host"
                                 : ", called at line " + std::to_string(site.m_Line);
    }
    return out;
}

void checkSizedArguments(const CQXFunction& func, const std::vector<CQXVariable*>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const sParameterInfo param = func.getParamInfo(static_cast<int>(i));
        if (param.m_Kind != pkSIZED) continue;
        if (param.m_Rows == args[i]->getRows() && param.m_Cols == args[i]->getCols()) continue;
        throw pybind11::type_error("argument " + std::to_string(i + 1) + " of " + func.getName() +
                                   "() takes a " + std::to_string(param.m_Rows) + "x" +
                                   std::to_string(param.m_Cols) + " value (" + param.m_Name +
                                   "), not " + std::to_string(args[i]->getRows()) + "x" +
                                   std::to_string(args[i]->getCols()));
    }
}

}  // namespace qxpy
