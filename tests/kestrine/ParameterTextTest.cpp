// The narrowing rule of the four actions that work with 8-bit parameters.
#include <string>

#include <gtest/gtest.h>

#include "ParameterText.h"

namespace {

struct NarrowCase {
    const char* what;
    std::wstring parameter;
    std::wstring expected;
};

}  // namespace

TEST(NarrowingRule, Table) {
    const std::wstring latin1 = L"caf\x00E9 \x0080\x00A0\x00FF";
    const NarrowCase cases[] = {
        {"plain ASCII", L"C:\\Program Files\\App", L"C:\\Program Files\\App"},
        {"empty", L"", L""},
        {"Latin-1 units keep their value", latin1, latin1},
        {"U+0100 empties the text", L"ab\x0100" L"cd", L""},
        {"a euro sign empties the text", L"price \x20AC", L""},
        {"a character above U+00FF at the end", std::wstring(1022, L'a') + L"\x4E2D", L""},
        {"1023 Latin-1 characters pass whole", std::wstring(1023, L'\x00E9'),
         std::wstring(1023, L'\x00E9')},
        {"1024 characters are cut to 1023", std::wstring(1024, L'x'), std::wstring(1023, L'x')},
        {"a long text is cut to 1023", std::wstring(3000, L'y'), std::wstring(1023, L'y')},
    };
    for (const NarrowCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(kestrine::narrowParameter(c.parameter.c_str()).native(), c.expected);
    }
}

TEST(NarrowingRule, NullParameterIsEmpty) {
    EXPECT_TRUE(kestrine::narrowParameter(nullptr).isEmpty());
}
