// Text of the product: a sequence of UTF-16 code units.
#pragma once

#include <string>

#include "qln/Array.h"
#include "qln/Config.h"

namespace qln {

// An owned 8-bit text.
class AMBREL_API CString {
public:
    CString();
    explicit CString(const char* text);
    CString(const char* text, Uint32 count);
    const char* c_str() const { return data_.c_str(); }
    Uint32 size() const { return static_cast<Uint32>(data_.size()); }

private:
    std::string data_;
};

class AMBREL_API String {
public:
    static const String EMPTY;
    static const Uint32 NOT_FOUND = 0xFFFFFFFFu;

    String();
    String(const Char16* text);
    String(const Char16* text, Uint32 count);
    // 8-bit text converts one byte per code unit (bytes 80h-FFh become U+0080-U+00FF).
    String(const char* text);
    String(const char* text, Uint32 count);
    explicit String(const CString& text);
    String(const String&) = default;
    String(String&&) noexcept = default;
    String& operator=(const String&) = default;
    String& operator=(String&&) noexcept = default;
    String& operator=(const Char16* text);
    String& operator=(const char* text);
    ~String() = default;

    Uint32 size() const { return static_cast<Uint32>(data_.size()); }
    bool isEmpty() const { return data_.empty(); }
    // Terminated UTF-16 text, valid while the string is neither changed nor destroyed.
    const Char16* getUCS2Buffer() const { return data_.c_str(); }
    // The low byte of each unit.
    CString getLowerByteString() const;
    Char16 operator[](Uint32 index) const { return data_[index]; }

    // Position of the first occurrence at or after `from`, NOT_FOUND when absent.
    Uint32 find(const String& what, Uint32 from = 0) const;
    Uint32 find(Char16 what, Uint32 from = 0) const;
    // 0 when equal, negative or positive as the texts order by code unit.
    int compare(const String& other) const;
    // As compare, with A-Z and a-z taken as equal.
    int compareNoCase(const String& other) const;

    bool operator==(const String& other) const { return data_ == other.data_; }
    bool operator!=(const String& other) const { return data_ != other.data_; }
    bool operator<(const String& other) const { return data_ < other.data_; }
    String operator+(const String& other) const;
    String& operator+=(const String& other);
    String& operator+=(Char16 unit);

    // A new text with every occurrence of `what` replaced by `with`.
    String replace(const String& what, const String& with) const;
    // Up to `count` units from `start`; a start beyond the end gives an empty text.
    String subString(Uint32 start, Uint32 count = NOT_FOUND) const;
    // Splits at any of the delimiter units; empty pieces are dropped.
    Array<String> tokenize(const String& delimiters) const;

    void toUpper();
    void toLower();
    // Removes blanks, tabs, carriage returns and line feeds at both ends.
    void trim();
    // Trims, then turns every run of blanks and tabs inside into one blank.
    void normalizeSpaces();
    void clear() { data_.clear(); }
    void assign(const Char16* text, Uint32 count);

    const std::wstring& native() const { return data_; }

private:
    std::wstring data_;
};

AMBREL_API String operator+(const char* left, const String& right);
AMBREL_API String operator+(const Char16* left, const String& right);

}  // namespace qln
