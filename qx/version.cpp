// The version the library was built with, for hosts that check it at run time.
#include "qx/version.h"

const char* qxVersion() {
    return QX_VERSION;
}
