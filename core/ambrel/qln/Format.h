// Number texts, printf-style formatting and hexadecimal dumps.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

// printf conversions into a String. The 8-bit form follows the C standard
// (%s 8-bit text, %ls UTF-16 text); the UTF-16 form takes %ls for UTF-16 text.
class AMBREL_API SprintfFormat {
public:
    SprintfFormat(const char* format, ...);
    SprintfFormat(const Char16* format, ...);
    operator const String&() const { return text_; }
    const String& toString() const { return text_; }

private:
    String text_;
};

// A number with decimal and bare hexadecimal text forms.
class AMBREL_API QLNValue {
public:
    static const QLNValue nilValue;

    QLNValue();
    QLNValue(signed char v);
    QLNValue(unsigned char v);
    QLNValue(short v);
    QLNValue(unsigned short v);
    QLNValue(int v);
    QLNValue(unsigned int v);
    QLNValue(long v);
    QLNValue(unsigned long v);
    QLNValue(long long v);
    QLNValue(unsigned long long v);

    bool isNil() const { return width_ == 0; }
    // Decimal text; the format argument is nilValue (the plain form).
    String toString(const QLNValue& format = nilValue) const;
    // Hexadecimal digits without prefix, padded to the value's width (two
    // digits per byte); upper-case digits when `upperCase` is true.
    String toHexString(bool upperCase) const;

private:
    Uint64 bits_;
    Uint8 width_;  // bytes; 0 for the nil value
    bool signed_;
};

// A dump of a byte range: lines of 16 bytes, "OOOO: hh hh ... |text|", the
// offset in hexadecimal, joined by line feeds. A null range dumps as "(null)".
class AMBREL_API HexDumpFormat {
public:
    HexDumpFormat(const void* data, Uint32 length, int options, int indent);
    const String& toString() const { return text_; }

private:
    String text_;
};

}  // namespace qln
