#include "ParameterText.h"

#include <cerrno>
#include <cstdlib>

namespace kestrine {

qln::String narrowParameter(const wchar_t* text) {
    char narrow[kNarrowBytes];
    narrow[0] = 0;
    std::size_t converted = 0;
    if (text != nullptr) {
        errno_t result = wcstombs_s(&converted, narrow, sizeof narrow, text, _TRUNCATE);
        // A unit the locale cannot express fails the whole text; a cut text
        // (STRUNCATE) is kept.
        if (result != 0 && result != STRUNCATE)
            narrow[0] = 0;
    }
    return qln::String(narrow);
}

bool narrowParameterChecked(const wchar_t* text, qln::String& narrowed) {
    narrowed = narrowParameter(text);
    return !narrowed.isEmpty() || text == nullptr || text[0] == 0;
}

void widenText(const char* text, wchar_t (&wide)[kWideUnits]) {
    wide[0] = 0;
    std::size_t converted = 0;
    if (text == nullptr)
        return;
    errno_t result = mbstowcs_s(&converted, wide, kWideUnits, text, _TRUNCATE);
    if (result != 0 && result != STRUNCATE)
        wide[0] = 0;
}

}  // namespace kestrine
