#include "qln/Format.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace qln {

SprintfFormat::SprintfFormat(const char* format, ...) {
    if (format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed > 0) {
        std::vector<char> out(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        text_ = String(out.data(), static_cast<Uint32>(needed));
    }
    va_end(again);
}

SprintfFormat::SprintfFormat(const Char16* format, ...) {
    if (format == nullptr)
        return;
    std::vector<wchar_t> out(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        // Microsoft's meaning of the conversions on every compiler: %ls is UTF-16 text.
        int written = _vsnwprintf(out.data(), out.size() - 1, format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < out.size() - 1) {
            text_ = String(out.data(), static_cast<Uint32>(written));
            return;
        }
        if (out.size() >= (1u << 24))
            return;  // a format that never fits gives an empty text
        out.resize(out.size() * 2);
    }
}

const QLNValue QLNValue::nilValue;

QLNValue::QLNValue() : bits_(0), width_(0), signed_(false) {}
QLNValue::QLNValue(signed char v) : bits_(Uint64(Int64(v))), width_(1), signed_(true) {}
QLNValue::QLNValue(unsigned char v) : bits_(v), width_(1), signed_(false) {}
QLNValue::QLNValue(short v) : bits_(Uint64(Int64(v))), width_(2), signed_(true) {}
QLNValue::QLNValue(unsigned short v) : bits_(v), width_(2), signed_(false) {}
QLNValue::QLNValue(int v) : bits_(Uint64(Int64(v))), width_(sizeof(int)), signed_(true) {}
QLNValue::QLNValue(unsigned int v) : bits_(v), width_(sizeof(unsigned int)), signed_(false) {}
QLNValue::QLNValue(long v) : bits_(Uint64(Int64(v))), width_(sizeof(long)), signed_(true) {}
QLNValue::QLNValue(unsigned long v) : bits_(v), width_(sizeof(unsigned long)), signed_(false) {}
QLNValue::QLNValue(long long v) : bits_(Uint64(v)), width_(8), signed_(true) {}
QLNValue::QLNValue(unsigned long long v) : bits_(v), width_(8), signed_(false) {}

String QLNValue::toString(const QLNValue&) const {
    if (width_ == 0)
        return String();
    std::wstring text = signed_ ? std::to_wstring(static_cast<Int64>(bits_)) : std::to_wstring(bits_);
    return String(text.c_str());
}

String QLNValue::toHexString(bool upperCase) const {
    if (width_ == 0)
        return String();
    const wchar_t* digits = upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    for (int i = width_ * 2 - 1; i >= 0; --i)
        text.push_back(digits[(bits_ >> (i * 4)) & 0xF]);
    return String(text.c_str());
}

HexDumpFormat::HexDumpFormat(const void* data, Uint32 length, int, int) {
    if (data == nullptr) {
        text_ = "(null)";
        return;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const wchar_t* digits = L"0123456789ABCDEF";
    int offsetDigits = length > 0x10000 ? 8 : 4;
    std::wstring out;
    for (Uint32 line = 0; line < length; line += 16) {
        if (line)
            out.push_back(L'\n');
        for (int i = offsetDigits - 1; i >= 0; --i)
            out.push_back(digits[(line >> (i * 4)) & 0xF]);
        out += L":";
        std::wstring text;
        for (Uint32 i = 0; i < 16; ++i) {
            if (line + i < length) {
                unsigned char b = bytes[line + i];
                out.push_back(L' ');
                out.push_back(digits[b >> 4]);
                out.push_back(digits[b & 0xF]);
                text.push_back(b >= 0x20 && b < 0x7F ? wchar_t(b) : L'.');
            } else {
                out += L"   ";
            }
        }
        out += L"  |";
        out += text;
        out += L"|";
    }
    text_ = String(out.c_str());
}

}  // namespace qln
