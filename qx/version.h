// The version of the qx library. Hosts compare QX_VERSION (the headers they compiled with) with
// qxVersion() (the library they run with). The major version is the shared library's SOVERSION:
// it changes whenever the public ABI changes incompatibly (CONTRIBUTING.md, "Versions and the
// ABI"); the build takes the version from this header.
#pragma once

#include "qx/export.h"

#define QX_VERSION_MAJOR 2
#define QX_VERSION_MINOR 0
#define QX_VERSION_PATCH 0
#define QX_VERSION "2.0.0"

// The version of the library the program runs with, as "MAJOR.MINOR.PATCH".
QX_API const char* qxVersion();
