// Texts taken from fixed buffers that the system filled: never read past the
// buffer, whether or not the system terminated the text.
#pragma once

#include <cstddef>

#include "qln/String.h"

namespace libFennick {

// The units of `buffer` up to its first NUL, or all `capacity` units when
// there is none.
inline qln::String textWithin(const wchar_t* buffer, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && buffer[length] != 0)
        ++length;
    return qln::String(buffer, static_cast<qln::Uint32>(length));
}

}  // namespace libFennick
