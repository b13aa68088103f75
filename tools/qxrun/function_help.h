// The one-line help of qxrun's interactive session (:help NAME): the signature and a sentence
// for each standard function and for qxrun's own host functions print and puts. The list of
// standard functions is checked against docs/functions.md by a unit test.
#pragma once

#include <string>
#include <vector>

struct sFunctionHelp {
    const char* m_pName;
    const char* m_pSignature;  // as docs/functions.md writes it, e.g. "rowins(A, B, pos)"
    const char* m_pSummary;
    bool m_bStandard;  // false for qxrun's host functions
};

// Every entry, standard functions in the order docs/functions.md describes them, then qxrun's.
const std::vector<sFunctionHelp>& functionHelp();

// The entry of name; null when there is none.
const sFunctionHelp* findFunctionHelp(const char* name);

// The help of the language's own words for :help: every method (m_pName "det"), reserved word
// and operator, with how it is written and a sentence from docs/language.md.
const std::vector<sFunctionHelp>& languageHelp();
const sFunctionHelp* findLanguageHelp(const std::string& name);
