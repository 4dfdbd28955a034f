#include "qln/Exception.h"

#include <cstdio>
#include <cstring>

#include "qln/Log.h"

namespace qln {

Exception::Exception(int code, int subCode, int extra, const char* message)
    : code_(code), subCode_(subCode), extra_(extra) {
    if (message)
        std::snprintf(message_, sizeof message_, "%s", message);
    else
        std::snprintf(message_, sizeof message_, "qln::Exception %d", code);
}

const char* Exception::what() const noexcept { return message_; }

void AssertionFailure::logAssert(const char* path, int line, const char* expression) {
    static Logger* s_logger = nullptr;
    QLN_LOG(s_logger, "qln.Assert", LOG_ERROR,
            "Assertion failed: " + (expression ? expression : "") + " (" + (path ? path : "") + ":" +
                line + ")");
}

void RaiseExceptionImp(int code, int subCode, int extra, const char* message) {
    throw Exception(code, subCode, extra, message);
}

}  // namespace qln
