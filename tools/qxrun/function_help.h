// The one-line help of qxrun's interactive session (:help NAME): the signature and a sentence
// for each standard function and for qxrun's own host functions print and puts. The list of
// standard functions is checked against docs/functions.md by a unit test.
#pragma once

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
