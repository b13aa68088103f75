// eInterpreterState: how running a block or calling a function ended. Kept apart from the
// instruction record so that function objects and calculation routines can return it without
// depending on the opcode set and the lexer's token set.
#pragma once

enum eInterpreterState { isOK = 0, isRETURN = 1, isEXCEPTION = 2, isBREAK = 3, isCONTINUE = 4 };
