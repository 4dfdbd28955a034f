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

// The actions that narrow refuse a parameter that narrowing emptied; every
// text the rule keeps or cuts, and one that was empty already, passes.
TEST(NarrowingRule, TellsATextItEmptiedFromOneThatWasEmpty) {
    const struct {
        const char* what;
        std::wstring parameter;
        bool kept;
        std::wstring narrowed;
    } cases[] = {
        {"empty", L"", true, L""},
        {"plain ASCII", L"HKCU\\Software\\App", true, L"HKCU\\Software\\App"},
        {"Latin-1", L"w\x00F6rld caf\x00E9 \x0001\x00FF", true, L"w\x00F6rld caf\x00E9 \x0001\x00FF"},
        {"a Cyrillic name", L"\x0418\x043C\x044F", false, L""},
        {"one Cyrillic letter in a path", L"C:\\\x041F\x0443\x0442\x044C", false, L""},
        {"Latin-1 and a Cyrillic letter", L"w\x00F6rld \x0416", false, L""},
        {"a character above U+00FF at the 1023rd place", std::wstring(1022, L'a') + L"\x4E2D",
         false, L""},
        {"1023 Latin-1 characters", std::wstring(1023, L'\x00E9'), true,
         std::wstring(1023, L'\x00E9')},
        {"a long text is cut", std::wstring(3000, L'y'), true, std::wstring(1023, L'y')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qln::String narrowed("left over");
        EXPECT_EQ(kestrine::narrowParameterChecked(c.parameter.c_str(), narrowed), c.kept);
        EXPECT_EQ(narrowed.native(), c.narrowed);
    }
    qln::String narrowed("left over");
    EXPECT_TRUE(kestrine::narrowParameterChecked(nullptr, narrowed));
    EXPECT_TRUE(narrowed.isEmpty());
}
