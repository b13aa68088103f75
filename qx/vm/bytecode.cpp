// Names of the opcodes for disassembly and diagnostics. They come from the one opcode table in
// bytecode.h, so the names cannot drift from the values the compiler emits and the
// interpreter dispatches on.
#include "qx/vm/bytecode.h"

const char* opcodeName(int opcode) {
    switch (opcode) {
#define QX_OPCODE_NAME(value, name, uses, handler, scalar, elem) \
    case value:                                                  \
        return #name;
        QX_OPCODES(QX_OPCODE_NAME)
#undef QX_OPCODE_NAME
        default:
            return "?";
    }
}
