// The help table of the qxrun session against docs/functions.md: every documented standard
// function has an entry with the documented signature, and nothing else.
#include "function_help.h"

#include <gtest/gtest.h>
#include <qx/qx.h>

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

// :help knows every method of the compiler's table, every reserved word of the lexer and every
// operator docs/language.md lists, so the session cannot drift from the language.
TEST(QxrunFunctionHelpTest, CoversEveryMethodKeywordAndOperator) {
    for (const std::string& name : CQXCompiler::methodNames()) {
        EXPECT_NE(findLanguageHelp(name), nullptr) << name;
        EXPECT_EQ(findLanguageHelp("." + name), findLanguageHelp(name)) << name;
    }
    for (const std::string& word : CQXParser::reservedWords())
        EXPECT_NE(findLanguageHelp(word), nullptr) << word;
    std::ifstream in(QX_DOCS_DIR "/language.md");
    std::string operators;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("- **Operators and punctuation**", 0) == 0 || !operators.empty())
            operators += line + " ";
        if (!operators.empty() && line.find("{ }`") != std::string::npos) break;
    }
    const std::regex token("([^`\\s]+)");
    const std::string list = operators.substr(operators.find('`') + 1);
    int count = 0;
    for (std::sregex_iterator it(list.begin(), list.begin() + list.find('`'), token), end;
         it != end; ++it) {
        const std::string op = (*it)[1];
        if (std::string(". & , ; ( ) [ ] { }").find(op) != std::string::npos && op.size() == 1)
            continue;
        ++count;
        EXPECT_NE(findLanguageHelp(op), nullptr) << op;
    }
    EXPECT_EQ(count, 27);
    EXPECT_EQ(findLanguageHelp("nosuch"), nullptr);
}
