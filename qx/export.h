// Symbol export for the qx shared library. It stands outside the subsystem folders because
// every one of them uses it.
// The library is built with hidden visibility; only classes marked QX_API are visible to hosts.
// Library-internal operations of exported classes are declared only when QX_INTERNAL_API is
// defined (the library's own sources and its unit tests), so a host sees the public operations.
#pragma once

#if defined(_WIN32)
#if defined(QX_BUILDING_LIBRARY)
#define QX_API __declspec(dllexport)
#else
#define QX_API __declspec(dllimport)
#endif
#else
#define QX_API __attribute__((visibility("default")))
#endif
