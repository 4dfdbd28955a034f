// Glisp's searches: the first match anywhere, its groups and positions,
// patterns that do not compile, and the texts and patterns that break a
// recursive matcher (a long text, runaway backtracking).
#include <string>

#include <gtest/gtest.h>

#include "qln/Exception.h"
#include "qln/Regex.h"

using qln::Matcher;
using qln::Regex;
using qln::String;

namespace {

// A copy: the class constant has no definition to bind a reference to.
const qln::Uint32 kNotFound = String::NOT_FOUND;

struct SearchCase {
    const char* pattern;
    const wchar_t* text;
    bool found;
    const wchar_t* whole;  // group 0
    qln::Uint32 start;
};

const SearchCase kSearches[] = {
    {"b+", L"aabbbc", true, L"bbb", 2},
    {"x", L"abc", false, L"", String::NOT_FOUND},
    // Leftmost first, then Perl's ordered alternation (not the longest).
    {"a|ab", L"cab", true, L"a", 1},
    {"b|ab", L"cab", true, L"ab", 1},
    // Case-sensitive by default.
    {"ABC", L"abc", false, L"", String::NOT_FOUND},
    {"\\d+\\.\\d+", L"v12.50 beta", true, L"12.50", 1},
    {"version=\"[^\"]*\"", L"<a version=\"1.0\" x=\"2\"/>", true, L"version=\"1.0\"", 3},
    // An empty match is still a match, at its position.
    {"x*", L"abc", true, L"", 0},
    {"$", L"abc", true, L"", 3},
    {"", L"", true, L"", 0},
    // Bytes above 7Fh stand for the units U+0080-U+00FF.
    {"caf\xE9", L"un caf\u00E9", true, L"caf\u00E9", 3},
    // As in Perl, a dot does not cross a line end unless (?s) says so.
    {"a.b", L"a\nb", false, L"", String::NOT_FOUND},
    {"a\\sb", L"a\nb", true, L"a\nb", 0},
    {"(?s)a.b", L"a\nb", true, L"a\nb", 0},
    // ^ and $ anchor at the ends of the text unless (?m) asks for lines.
    {"^b", L"a\nb", false, L"", String::NOT_FOUND},
    {"(?m)^b", L"a\nb", true, L"b", 2},
    {"a$", L"a\nb", false, L"", String::NOT_FOUND},
};

class GlispSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(GlispSearch, FindsTheFirstMatchAnywhere) {
    const SearchCase& c = GetParam();
    Regex regex(c.pattern, 0);
    ASSERT_TRUE(regex.isPatternValid()) << c.pattern;
    Matcher m = regex.match(String(c.text));
    EXPECT_EQ(m.matches(), c.found);
    EXPECT_EQ(m.getGroup(0), String(c.whole));
    EXPECT_EQ(m.getGroupStart(0), c.start);
    EXPECT_EQ(m.getGroupLength(0), String(c.whole).size());
}

INSTANTIATE_TEST_SUITE_P(Patterns, GlispSearch, ::testing::ValuesIn(kSearches));

TEST(Glisp, ReportsEachGroupAndTheGroupsThatTookNoPart) {
    Regex regex("(\\w+)@(x)?(\\w+)", 0);
    Matcher m = regex.match(String(L"mail: ann@host now"));
    ASSERT_TRUE(m.matches());
    ASSERT_EQ(m.groupCount(), 4u);
    EXPECT_EQ(m.getGroup(1), String(L"ann"));
    EXPECT_EQ(m.getGroupStart(1), 6u);
    EXPECT_EQ(m.getGroup(2), String());
    EXPECT_EQ(m.getGroupStart(2), kNotFound);
    EXPECT_EQ(m.getGroupLength(2), 0u);
    EXPECT_EQ(m.getGroup(3), String(L"host"));
    EXPECT_EQ(m.getGroupStart(3), 10u);
    // Beyond the last group, as without a match.
    EXPECT_EQ(m.getGroup(4), String());
    EXPECT_EQ(m.getGroupStart(4), kNotFound);

    Matcher none = regex.match(String(L"no at sign"));
    EXPECT_FALSE(none.matches());
    EXPECT_EQ(none.groupCount(), 0u);
    EXPECT_EQ(none.getGroup(0), String());
}

TEST(Glisp, SearchesTextsWithNulUnits) {
    const wchar_t units[] = {L'a', L'\0', L'b', L'c'};
    Matcher m = Regex("b", 0).match(String(units, 4));
    ASSERT_TRUE(m.matches());
    EXPECT_EQ(m.getGroupStart(0), 2u);
}

TEST(Glisp, PatternsThatDoNotCompileAreInvalidAndFindNothing) {
    for (const char* pattern : {"(", "a)", "[a", "a{2,1}", "*a", "\\", "(?<n>a", "a**"}) {
        Regex regex(pattern, 0);
        EXPECT_FALSE(regex.isPatternValid()) << pattern;
        EXPECT_FALSE(regex.match(String(pattern)).matches()) << pattern;
    }
    EXPECT_FALSE(Regex(nullptr, 0).isPatternValid());
}

TEST(Glisp, FlagsOtherThanTheDefaultsAreRefused) {
    EXPECT_TRUE(Regex("a", Regex::DEFAULT_FLAGS).isPatternValid());
    EXPECT_FALSE(Regex("a", 1).isPatternValid());
    EXPECT_FALSE(Regex("a", 0x80000000u).isPatternValid());
}

TEST(Glisp, AMovedRegexKeepsItsPattern) {
    Regex first("b", 0);
    Regex second(std::move(first));
    EXPECT_TRUE(second.match(String(L"abc")).matches());
    Regex third("(", 0);
    third = std::move(second);
    EXPECT_TRUE(third.isPatternValid());
}

// A matcher that recurses per character overflows the stack here (a crash
// the caller cannot catch).
TEST(Glisp, MatchesAcrossSixtyThousandCharacters) {
    // 60,001 units, and the longest text a 64 KiB block holds.
    for (int pairs : {30000, 32767}) {
        std::wstring text;
        for (int i = 0; i < pairs; ++i)
            text += L"ab";
        text += L'b';
        Matcher m = Regex("(a|b)*b", 0).match(String(text.c_str()));
        ASSERT_TRUE(m.matches()) << pairs;
        EXPECT_EQ(m.getGroupStart(0), 0u);
        EXPECT_EQ(m.getGroupLength(0), text.size());
    }

    Matcher lazy = Regex("^.*?z", 0).match(String((std::wstring(60000, L'y') + L"z").c_str()));
    ASSERT_TRUE(lazy.matches());
    EXPECT_EQ(lazy.getGroupLength(0), 60001u);
}

TEST(Glisp, RunawayBacktrackingIsACatchableError) {
    std::wstring as(30, L'a');
    EXPECT_THROW(Regex("(a*)*c", 0).match(String(as.c_str())), qln::Exception);
    std::wstring xs(40, L'x');
    EXPECT_THROW(Regex("(x+x+)+y", 0).match(String(xs.c_str())), qln::Exception);
    // The same patterns finish normally where they can match at once.
    EXPECT_TRUE(Regex("(a*)*c", 0).match(String((as + L"c").c_str())).matches());
}

}  // namespace
