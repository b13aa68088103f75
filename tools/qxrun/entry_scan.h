// Light scanning of qx text for the REPL of qxrun, without compiling it: whether an entry
// still has an open bracket, brace, parenthesis, string or comment (so the next line
// continues it), which names it mentions, whether it may be a bare expression, and the texts
// of the functions it defines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// True while text has more (, [ or { than closing ones, or ends inside a string constant or
// a /* comment. Brackets inside strings and comments do not count.
bool entryNeedsMore(const std::string& text);

// The names in text, in order, outside strings and comments (reserved words included).
std::vector<std::string> namesIn(const std::string& text);

// The names that follow the reserved word func: the functions text defines.
std::vector<std::string> definedFunctions(const std::string& text);

// True when the character at column `column` (from 0) of line `line` (from 1) of text lies
// inside the body of a function definition, where a name may stand for a parameter or a local.
bool insideFunctionBody(const std::string& text, int line, int column);

// Index of the last character of text that is neither white space nor part of a comment (a
// string's closing quote counts); npos when there is none.
size_t lastCodeChar(const std::string& text);

// True when text, without one final ';', may be a bare expression: something to evaluate, and
// outside strings and comments no reserved word, no assignment, ++ or -- operator, no other ';'
// and no brace. Compiling such a text can declare nothing and define nothing.
bool mayBeExpression(const std::string& text);

// A function definition: its name and its text from "func" to the closing '}'.
struct sFunctionText {
    std::string m_Name;
    std::string m_Text;
};

// The complete function definitions in text, in order.
std::vector<sFunctionText> functionDefinitions(const std::string& text);

// The bracket, brace or parenthesis opened last in text and not closed by its end, with its
// line (from 1) and column (from 0); false when every one is closed.
bool lastOpenBracket(const std::string& text, char& bracket, int& line, int& column);

// The name of the function whose call's '(' encloses index at of text; false when at lies in
// no call.
bool enclosingCall(const std::string& text, size_t at, std::string& name);
