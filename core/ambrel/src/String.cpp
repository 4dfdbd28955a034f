#include "qln/String.h"

#include <cstring>

#include "qln/Array.h"

namespace qln {

namespace {

Char16 upperUnit(Char16 c) { return (c >= L'a' && c <= L'z') ? Char16(c - L'a' + L'A') : c; }
Char16 lowerUnit(Char16 c) { return (c >= L'A' && c <= L'Z') ? Char16(c - L'A' + L'a') : c; }
bool isSpaceUnit(Char16 c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring widen(const char* text, std::size_t count) {
    std::wstring out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<Char16>(static_cast<unsigned char>(text[i])));
    return out;
}

}  // namespace

CString::CString() {}
CString::CString(const char* text) : data_(text ? text : "") {}
CString::CString(const char* text, Uint32 count) : data_(text ? std::string(text, count) : std::string()) {}

const String String::EMPTY;

String::String() {}
String::String(const Char16* text) : data_(text ? text : L"") {}
String::String(const Char16* text, Uint32 count) {
    if (text)
        data_.assign(text, count);
}
String::String(const char* text) {
    if (text)
        data_ = widen(text, std::strlen(text));
}
String::String(const char* text, Uint32 count) {
    if (text)
        data_ = widen(text, count);
}
String::String(const CString& text) : data_(widen(text.c_str(), text.size())) {}

String& String::operator=(const Char16* text) {
    data_ = text ? text : L"";
    return *this;
}

String& String::operator=(const char* text) {
    data_ = text ? widen(text, std::strlen(text)) : std::wstring();
    return *this;
}

CString String::getLowerByteString() const {
    std::string bytes;
    bytes.reserve(data_.size());
    for (Char16 c : data_)
        bytes.push_back(static_cast<char>(c & 0xFF));
    return CString(bytes.data(), static_cast<Uint32>(bytes.size()));
}

Uint32 String::find(const String& what, Uint32 from) const {
    if (from > data_.size())
        return NOT_FOUND;
    std::size_t at = data_.find(what.data_, from);
    return at == std::wstring::npos ? NOT_FOUND : static_cast<Uint32>(at);
}

Uint32 String::find(Char16 what, Uint32 from) const {
    if (from > data_.size())
        return NOT_FOUND;
    std::size_t at = data_.find(what, from);
    return at == std::wstring::npos ? NOT_FOUND : static_cast<Uint32>(at);
}

int String::compare(const String& other) const {
    int r = data_.compare(other.data_);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int String::compareNoCase(const String& other) const {
    std::size_t n = data_.size() < other.data_.size() ? data_.size() : other.data_.size();
    for (std::size_t i = 0; i < n; ++i) {
        Char16 a = upperUnit(data_[i]);
        Char16 b = upperUnit(other.data_[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (data_.size() == other.data_.size())
        return 0;
    return data_.size() < other.data_.size() ? -1 : 1;
}

String String::operator+(const String& other) const {
    String out(*this);
    out.data_ += other.data_;
    return out;
}

String& String::operator+=(const String& other) {
    data_ += other.data_;
    return *this;
}

String& String::operator+=(Char16 unit) {
    data_.push_back(unit);
    return *this;
}

String String::replace(const String& what, const String& with) const {
    if (what.data_.empty())
        return *this;
    String out;
    std::size_t pos = 0;
    for (;;) {
        std::size_t at = data_.find(what.data_, pos);
        if (at == std::wstring::npos)
            break;
        out.data_.append(data_, pos, at - pos);
        out.data_ += with.data_;
        pos = at + what.data_.size();
    }
    out.data_.append(data_, pos, std::wstring::npos);
    return out;
}

String String::subString(Uint32 start, Uint32 count) const {
    String out;
    if (start < data_.size())
        out.data_ = data_.substr(start, count == NOT_FOUND ? std::wstring::npos : count);
    return out;
}

Array<String> String::tokenize(const String& delimiters) const {
    Array<String> pieces;
    std::size_t pos = 0;
    while (pos < data_.size()) {
        std::size_t start = data_.find_first_not_of(delimiters.data_, pos);
        if (start == std::wstring::npos)
            break;
        std::size_t end = data_.find_first_of(delimiters.data_, start);
        if (end == std::wstring::npos)
            end = data_.size();
        String piece;
        piece.data_ = data_.substr(start, end - start);
        pieces.append(piece);
        pos = end;
    }
    return pieces;
}

void String::toUpper() {
    for (Char16& c : data_)
        c = upperUnit(c);
}

void String::toLower() {
    for (Char16& c : data_)
        c = lowerUnit(c);
}

void String::trim() {
    std::size_t start = 0;
    while (start < data_.size() && isSpaceUnit(data_[start]))
        ++start;
    std::size_t end = data_.size();
    while (end > start && isSpaceUnit(data_[end - 1]))
        --end;
    data_ = data_.substr(start, end - start);
}

void String::normalizeSpaces() {
    trim();
    std::wstring out;
    out.reserve(data_.size());
    bool inRun = false;
    for (Char16 c : data_) {
        if (c == L' ' || c == L'\t') {
            if (!inRun)
                out.push_back(L' ');
            inRun = true;
        } else {
            out.push_back(c);
            inRun = false;
        }
    }
    data_.swap(out);
}

void String::assign(const Char16* text, Uint32 count) {
    if (text)
        data_.assign(text, count);
    else
        data_.clear();
}

String operator+(const char* left, const String& right) { return String(left) + right; }
String operator+(const Char16* left, const String& right) { return String(left) + right; }

}  // namespace qln
