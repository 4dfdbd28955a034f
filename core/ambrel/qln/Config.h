// Basic types and the export macro of the Ambrel core library.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(AMBREL_STATIC)
#define AMBREL_API
#elif defined(AMBREL_BUILD)
#define AMBREL_API __declspec(dllexport)
#else
#define AMBREL_API __declspec(dllimport)
#endif

namespace qln {

typedef std::uint8_t Uint8;
typedef std::uint16_t Uint16;
typedef std::uint32_t Uint32;
typedef std::uint64_t Uint64;
typedef std::int32_t Int32;
typedef std::int64_t Int64;

// One UTF-16 code unit. On Windows wchar_t is 16 bits wide, so texts go to
// the wide Win32 calls without conversion.
typedef wchar_t Char16;
static_assert(sizeof(Char16) == 2, "UTF-16 code units expected");

// An operating-system handle (HANDLE) without pulling in the Windows headers.
typedef void* Handle;

// Priorities of the logging facility.
enum LoggerPriority {
    LOG_TRACE = 1,
    LOG_INFO = 2,
    LOG_WARN = 3,
    LOG_ERROR = 4,
    LOG_OFF = 5
};

}  // namespace qln
