// The two refusals of the storage layer that end a run with a text of their own: an allocation
// beyond a storage limit the host set, and a change of storage that a running call has bound to
// a reference parameter. Thrown where the storage would change; the interpreter and the host
// calls turn them into run-time errors naming the variable.
#pragma once

#include <new>
#include <string>
#include <utility>

// A std::bad_alloc, so that code which handles any failed allocation (a compile that runs out of
// memory, say) handles these as well.
class CQXStorageFault : public std::bad_alloc {
public:
    CQXStorageFault(const char* text, std::string name) : m_pText(text), m_Name(std::move(name)) {}
    const char* what() const noexcept override { return m_pText; }
    const std::string& name() const { return m_Name; }

private:
    const char* m_pText;  // a string literal
    std::string m_Name;   // the variable whose storage was refused, empty for temporaries
};

// The texts, as the host reads them in the run-time error record.
constexpr const char* kStorageLimitText = "Storage limit exceeded";
constexpr const char* kBoundStorageText = "Variable in use by a reference parameter";
