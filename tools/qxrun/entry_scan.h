// Light scanning of qx text for the REPL of qxrun, without compiling it: whether an entry
// still has an open bracket, brace, parenthesis, string or comment (so the next line
// continues it), and which names it mentions.
#pragma once

#include <string>
#include <vector>

// True while text has more (, [ or { than closing ones, or ends inside a string constant or
// a /* comment. Brackets inside strings and comments do not count.
bool entryNeedsMore(const std::string& text);

// The names in text, in order, outside strings and comments (reserved words included).
std::vector<std::string> namesIn(const std::string& text);

// The names that follow the reserved word func: the functions text defines.
std::vector<std::string> definedFunctions(const std::string& text);
