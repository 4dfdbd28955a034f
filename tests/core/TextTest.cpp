#include <gtest/gtest.h>

#include <string>

#include "qln/Format.h"
#include "qln/HashTable.h"
#include "qln/Locale.h"
#include "qln/String.h"

using qln::String;
using qln::Uint32;

namespace {

TEST(StringConversion, EightBitTextIsOneUnitPerByte) {
    const char bytes[] = {'A', '\xE9', '\xFF', '\x01', 0};
    String s(bytes);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], 0x41);
    EXPECT_EQ(s[1], 0xE9);
    EXPECT_EQ(s[2], 0xFF);
    EXPECT_EQ(s[3], 0x01);
    EXPECT_EQ(String(bytes, 2).size(), 2u);
    EXPECT_EQ(String("", 0).size(), 0u);
    EXPECT_EQ(String(static_cast<const char*>(nullptr)).size(), 0u);

    // Back to 8 bits: the low byte of each unit.
    String wide(L"\x0141\x00E9z");
    qln::CString narrow = wide.getLowerByteString();
    ASSERT_EQ(narrow.size(), 3u);
    EXPECT_EQ(std::string(narrow.c_str()), std::string("A\xE9z"));
    EXPECT_EQ(String(narrow), String("A\xE9z"));
}

TEST(StringSearch, FindAndCompare) {
    String s(L"Disk Drive disk");
    EXPECT_EQ(s.find(String(L"Drive")), 5u);
    EXPECT_EQ(s.find(String(L"disk")), 11u);
    EXPECT_EQ(s.find(String(L"disk"), 12), 0xFFFFFFFFu);
    EXPECT_EQ(s.find(String(L"tape")), 0xFFFFFFFFu);
    EXPECT_EQ(s.find(L'D', 1), 5u);
    EXPECT_EQ(s.find(String(L"x"), 100), 0xFFFFFFFFu);

    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int exact;
        int noCase;
    };
    const Case cases[] = {
        {L"abc", L"abc", 0, 0},   {L"ABC", L"abc", -1, 0},  {L"abc", L"abd", -1, -1},
        {L"abcd", L"ABC", 1, 1},  {L"", L"", 0, 0},         {L"Usb", L"USBSTOR", 1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(String(c.a).compare(String(c.b)), c.exact) << c.a << " " << c.b;
        EXPECT_EQ(String(c.a).compareNoCase(String(c.b)), c.noCase) << c.a << " " << c.b;
    }
    EXPECT_TRUE(String(L"a") < String(L"b"));
    EXPECT_TRUE(String(L"a") == String("a"));
}

TEST(StringEdit, TrimNormalizeReplaceTokenize) {
    struct Case {
        const wchar_t* in;
        const wchar_t* trimmed;
        const wchar_t* normalized;
    };
    const Case cases[] = {
        {L"  ATA  ", L"ATA", L"ATA"},
        {L"\tWDC   WD10  \r\n", L"WDC   WD10", L"WDC WD10"},
        {L"a \t b", L"a \t b", L"a b"},
        {L"   ", L"", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        String t(c.in);
        t.trim();
        EXPECT_EQ(t, String(c.trimmed)) << c.in;
        String n(c.in);
        n.normalizeSpaces();
        EXPECT_EQ(n, String(c.normalized)) << c.in;
    }

    String text(L"Driver error: {errnum}, again {errnum}");
    EXPECT_EQ(text.replace(String(L"{errnum}"), String(L"5")), String(L"Driver error: 5, again 5"));
    EXPECT_EQ(text.replace(String(L""), String(L"x")), text);
    EXPECT_EQ(text.replace(String(L"none"), String(L"x")), text);

    qln::Array<String> parts = String(L"  a,b,,c ").tokenize(String(L", "));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], String(L"a"));
    EXPECT_EQ(parts[2], String(L"c"));
    EXPECT_EQ(String(L"").tokenize(String(L",")).size(), 0u);

    String upper(L"usbstor\\disk");
    upper.toUpper();
    EXPECT_EQ(upper, String(L"USBSTOR\\DISK"));
    EXPECT_EQ(String(L"abcdef").subString(2, 3), String(L"cde"));
    EXPECT_EQ(String(L"abc").subString(5), String(L""));
    EXPECT_EQ(String(L"abc").subString(1), String(L"bc"));
    EXPECT_EQ("x" + String(L"y") + String(L"z"), String(L"xyz"));
    EXPECT_TRUE(String::EMPTY.isEmpty());
}

TEST(Formatting, SprintfFormat) {
    EXPECT_EQ(qln::SprintfFormat("%XH", 0x1Fu).toString(), String(L"1FH"));
    EXPECT_EQ(qln::SprintfFormat("0x%x", 0xABCu).toString(), String(L"0xabc"));
    EXPECT_EQ(qln::SprintfFormat("%c:\\", 'D').toString(), String(L"D:\\"));
    EXPECT_EQ(qln::SprintfFormat("%s=%u", "n", 42u).toString(), String(L"n=42"));
    EXPECT_EQ(qln::SprintfFormat("%ls!", L"wide").toString(), String(L"wide!"));
    EXPECT_EQ(qln::SprintfFormat(L"\\\\.\\%c:", L'E').toString(), String(L"\\\\.\\E:"));
    EXPECT_EQ(qln::SprintfFormat(L"%ls %d", L"\x0416", -3).toString(), String(L"\x0416 -3"));
    std::string longText(5000, 'q');
    EXPECT_EQ(qln::SprintfFormat(L"%hs", longText.c_str()).toString().size(), 5000u);
}

TEST(Formatting, QLNValueTexts) {
    EXPECT_EQ(qln::QLNValue(-5).toString(qln::QLNValue::nilValue), String(L"-5"));
    EXPECT_EQ(qln::QLNValue(4294967295u).toString(), String(L"4294967295"));
    EXPECT_EQ(qln::QLNValue(36).toString(), String(L"36"));
    EXPECT_EQ(qln::QLNValue(static_cast<unsigned char>(0x0D)).toHexString(true), String(L"0D"));
    EXPECT_EQ(qln::QLNValue(static_cast<unsigned char>(0xAB)).toHexString(false), String(L"ab"));
    EXPECT_EQ(qln::QLNValue(static_cast<unsigned short>(0x12)).toHexString(true), String(L"0012"));
    EXPECT_EQ(qln::QLNValue(-1).toHexString(true), String(L"FFFFFFFF"));
    EXPECT_TRUE(qln::QLNValue::nilValue.isNil());
}

TEST(Formatting, HexDump) {
    const unsigned char bytes[17] = {'A', 'B', 0, 0xFF, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 'z'};
    String one = qln::HexDumpFormat(bytes, 3, 0, 0).toString();
    EXPECT_EQ(one, String((L"0000: 41 42 00" + std::wstring(13 * 3, L' ') + L"  |AB.|").c_str()));
    String two = qln::HexDumpFormat(bytes, 17, 0, 0).toString();
    Uint32 lineBreak = two.find(L'\n');
    ASSERT_NE(lineBreak, 0xFFFFFFFFu);
    EXPECT_EQ(two.subString(lineBreak + 1, 9), String(L"0010: 7A "));
    EXPECT_EQ(qln::HexDumpFormat(nullptr, 5, 0, 0).toString(), String(L"(null)"));
    EXPECT_EQ(qln::HexDumpFormat(bytes, 0, 0, 0).toString(), String(L""));
}

TEST(HashTables, InsertLookupReplaceAndGrow) {
    qln::HashTable<String, unsigned int> seen(32);
    EXPECT_EQ(seen.lookup(String(L"a")), nullptr);
    for (unsigned int i = 0; i < 200; ++i)
        EXPECT_TRUE(seen.insert(String(std::to_wstring(i).c_str()), i));
    EXPECT_EQ(seen.size(), 200u);
    for (unsigned int i = 0; i < 200; ++i) {
        const unsigned int* v = seen.lookup(String(std::to_wstring(i).c_str()));
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, i);
    }
    EXPECT_FALSE(seen.insert(String(L"7"), 700u));  // replaces
    EXPECT_EQ(*seen.lookup(String(L"7")), 700u);
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_TRUE(seen.remove(String(L"7")));
    EXPECT_FALSE(seen.contains(String(L"7")));
    // Keys are case-sensitive.
    qln::HashTable<String, String> paths(32);
    paths.insert(String(L"USB\\VID_1"), String(L"\\\\?\\usb#1"));
    EXPECT_EQ(paths.lookup(String(L"usb\\vid_1")), nullptr);
    // A copied table holds copies of the buckets.
    qln::_HashTableRep copy(paths.rep());
    String key(L"USB\\VID_1");
    qln::_BucketBase* b = copy.lookup(qln::HashFunc<String>::hash(key), &key);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ((static_cast<qln::_Bucket<String, String>*>(b)->value), String(L"\\\\?\\usb#1"));
    EXPECT_EQ(b->field, 0u);
}

TEST(Catalog, TextsPerLanguage) {
    qln::QLNLocale& locale = qln::QLNLocale::getGlobalLocale();
    EXPECT_EQ(locale.getLanguage().id, 0u);
    qln::Resource::registerString("test.catalog", "Greeting", String(L"Hello"));
    qln::Resource::registerString("test.catalog", "Greeting", String(L"Hallo"), 7);
    String text(L"untouched");
    EXPECT_FALSE(qln::Resource::getString("test.catalog", "Missing", text, locale));
    EXPECT_EQ(text, String(L"untouched"));
    EXPECT_TRUE(qln::Resource::getString("test.catalog", "Greeting", text, locale));
    EXPECT_EQ(text, String(L"Hello"));
    locale.setLanguage(7);
    EXPECT_TRUE(qln::Resource::getString("test.catalog", "Greeting", text, locale));
    EXPECT_EQ(text, String(L"Hallo"));
    locale.setLanguage(0);
    EXPECT_TRUE(qln::Resource::unregisterString("test.catalog", "Greeting"));
    EXPECT_FALSE(qln::Resource::getString("test.catalog", "Greeting", text, locale));
}

}  // namespace
