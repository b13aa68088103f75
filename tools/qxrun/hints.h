// Hint lines of qxrun under the library's error texts, for the mistakes newcomers make most: a
// variable used before its declaration, a misspelt name, a missing ';', a bracket left open, a
// call with too many arguments, the prompt words of other languages, and running out of memory.
// The library's texts stay as they are; a hint only adds "hint: ..." lines beneath them.
#pragma once

#include <qx/qx.h>

#include <string>
#include <vector>

// The hint lines for the compile error (text, line, stored position) in source, each ending in
// a line feed; "" when there is none.
std::string compileHint(CQXCompiler& qx, const std::string& text, const std::string& source,
                        int line, int pos);

// The hint lines for a run-time error text; "" when there is none.
std::string runHint(const std::string& text);

// True when a run-time error text says that storage could not be allocated.
bool isOutOfMemory(const std::string& text);

// The name among candidates closest to name by edit distance, when it is close enough to be a
// likely misspelling (at most a third of name's letters differ; names of fewer than three
// letters are not guessed at); "" otherwise.
std::string closestName(const std::string& name, const std::vector<std::string>& candidates);
