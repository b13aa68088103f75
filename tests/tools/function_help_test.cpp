// The help table of the qxrun session against docs/functions.md: every documented standard
// function has an entry with the documented signature, and nothing else.
#include "function_help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

TEST(QxrunFunctionHelpTest, CoversExactlyTheDocumentedStandardFunctions) {
    // The first cells of the tables' rows and headings such as "### `min(a, b)`, `max(a, b)`".
    std::ifstream in(QX_DOCS_DIR "/functions.md");
    std::set<std::string> documented;
    const std::regex code("`([A-Za-z0-9]+\\([^`]*\\))`");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| `", 0) == 0)
            line = line.substr(0, line.find('|', 1));
        else if (line.rfind("### `", 0) != 0)
            continue;
        for (std::sregex_iterator it(line.begin(), line.end(), code), end; it != end; ++it)
            documented.insert((*it)[1]);
    }
    std::set<std::string> table;
    for (const sFunctionHelp& entry : functionHelp()) {
        EXPECT_EQ(findFunctionHelp(entry.m_pName), &entry);
        EXPECT_EQ(std::string(entry.m_pSignature).rfind(std::string(entry.m_pName) + "(", 0), 0u);
        if (entry.m_bStandard) table.insert(entry.m_pSignature);
    }
    EXPECT_EQ(table.size(), 41u);
    EXPECT_EQ(table, documented);
    EXPECT_EQ(findFunctionHelp("nosuch"), nullptr);
}
