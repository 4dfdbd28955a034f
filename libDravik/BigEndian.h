// Big-endian fields of command blocks and device answers. Private to the
// library's sources; not part of the exported interface.
#pragma once

#include <cstdint>

namespace scsi {
namespace detail {

inline void putBE16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

inline void putBE24(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 16);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value);
}

inline void putBE32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

inline std::uint32_t getBE16(const std::uint8_t* at) {
    return (std::uint32_t(at[0]) << 8) | at[1];
}

inline std::uint32_t getBE32(const std::uint8_t* at) {
    return (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) |
           at[3];
}

// Big-endian field of `bytes` bytes holding the low bits of `value`.
inline void putBE(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

inline std::uint64_t getBE(const std::uint8_t* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | at[i];
    return value;
}

}  // namespace detail
}  // namespace scsi
