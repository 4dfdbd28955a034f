// Errors and broken invariants of the core library.
#pragma once

#include <exception>

#include "qln/Config.h"

namespace qln {

// Raised by core-library operations that fail. `code` is the error code
// given to RaiseExceptionImp (7 for a broken invariant).
class AMBREL_API Exception : public std::exception {
public:
    Exception(int code, int subCode, int extra, const char* message);
    int getCode() const { return code_; }
    int getSubCode() const { return subCode_; }
    int getExtra() const { return extra_; }
    const char* what() const noexcept override;

private:
    int code_;
    int subCode_;
    int extra_;
    char message_[128];
};

// Reports a broken invariant on the channel "qln.Assert" at level 4 with the
// text "Assertion failed: <expression> (<path>:<line>)".
struct AMBREL_API AssertionFailure {
    static void logAssert(const char* path, int line, const char* expression);
};

// Throws qln::Exception with the given arguments; it never returns.
[[noreturn]] AMBREL_API void RaiseExceptionImp(int code, int subCode, int extra, const char* message);

}  // namespace qln
