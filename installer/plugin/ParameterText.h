// Conversions of parameter texts between the host's UTF-16 and 8-bit text.
#pragma once

#include "qln/String.h"

namespace kestrine {

const int kNarrowBytes = 1024;
const int kWideUnits = 1024;

// The 8-bit copy of a popped parameter that four actions work with. The text
// goes through the C runtime's wcstombs_s into kNarrowBytes bytes, in the
// runtime's default locale: units up to U+00FF become the byte of the same
// value, a text holding any other unit becomes empty, a longer text is cut to
// kNarrowBytes - 1 bytes. The result holds one unit per byte.
qln::String narrowParameter(const wchar_t* text);

// The same copy into `narrowed`, and false when it emptied a non-empty text
// (a unit above U+00FF ahead of the cut): an action that went on would take
// an empty key, name, pattern or data the script never gave. An empty text,
// and any text the rule keeps or cuts, gives true.
bool narrowParameterChecked(const wchar_t* text, qln::String& narrowed);

// The UTF-16 form of an 8-bit text, through mbstowcs_s with truncation.
void widenText(const char* text, wchar_t (&wide)[kWideUnits]);

}  // namespace kestrine
