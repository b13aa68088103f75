// The help table of the qxrun session against the function list of docs/functions.md: every
// documented standard function has an entry with the documented signature, and nothing else.
#include "function_help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

// The signatures docs/functions.md documents: the first cell of the rows of its tables and the
// headings of its sections, such as "### `min(a, b)`, `max(a, b)`".
std::set<std::string> documentedSignatures() {
    std::ifstream in(QX_DOCS_DIR "/functions.md");
    std::set<std::string> found;
    const std::regex code("`([A-Za-z0-9]+\\([^`]*\\))`");
    for (std::string line; std::getline(in, line);) {
        bool heading = line.rfind("### `", 0) == 0;
        bool row = line.rfind("| `", 0) == 0;
        if (row) line = line.substr(0, line.find('|', 1));
        if (!heading && !row) continue;
        for (std::sregex_iterator it(line.begin(), line.end(), code), end; it != end; ++it)
            found.insert((*it)[1]);
    }
    return found;
}

}  // namespace

TEST(QxrunFunctionHelpTest, CoversExactlyTheDocumentedStandardFunctions) {
    std::set<std::string> table;
    for (const sFunctionHelp& entry : functionHelp()) {
        EXPECT_EQ(findFunctionHelp(entry.m_pName), &entry);
        EXPECT_EQ(std::string(entry.m_pSignature).rfind(std::string(entry.m_pName) + "(", 0), 0u);
        if (entry.m_bStandard) table.insert(entry.m_pSignature);
    }
    EXPECT_EQ(table.size(), 41u);
    EXPECT_EQ(table, documentedSignatures());
    EXPECT_EQ(findFunctionHelp("nosuch"), nullptr);
}
