// The registry, file and installer-database actions called through
// Kestrine.dll's exports: for real under Wine on test keys (HKCU and HKLM,
// swept before and after), files in a folder of their own, and products
// registered by writing the keys the installer database reads. Single system
// calls are faked only where Wine cannot give the answer.
#include <windows.h>
#include <msi.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportPatch.h"
#include "InstallerHost.h"

using kestrine::test::InstallerHost;
using kestrine::test::PluginAction;
using kestrine::test::PluginModule;
using qln::test::ImportPatch;

namespace {

typedef std::vector<std::wstring> Entries;

const wchar_t kTestKey[] = L"Software\\KestrineTest\\RegistryFileActions";
const wchar_t kTestRoot[] = L"Software\\KestrineTest";
const REGSAM kView = KEY_WOW64_64KEY;

// Pushes the parameters so that the action pops them in the order given,
// calls it and returns what it left on top (the stack then holds nothing else).
std::wstring callAction(PluginAction action, std::initializer_list<std::wstring> pops) {
    InstallerHost host;
    host.push(L"below");
    std::vector<std::wstring> order(pops);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        host.push(*it);
    host.call(action);
    std::vector<std::wstring> stack = host.texts();
    EXPECT_EQ(stack.size(), 2u) << "the action pops its parameters and pushes one text";
    EXPECT_EQ(stack.back(), L"below");
    return stack.empty() ? std::wstring() : stack.front();
}

void sweepTestKeys() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY software = nullptr;
        if (RegOpenKeyExW(root, L"Software", 0, KEY_ALL_ACCESS | kView, &software) == ERROR_SUCCESS) {
            RegDeleteTreeW(software, L"KestrineTest");
            RegCloseKey(software);
        }
    }
}

// Raw value data in UTF-16 units, read without the core library.
bool readRaw(HKEY root, const wchar_t* name, std::wstring& units, DWORD& type) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kTestKey, 0, KEY_QUERY_VALUE | kView, &key) != ERROR_SUCCESS)
        return false;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS) {
        units.assign(bytes / 2, L'\0');
        rc = RegQueryValueExW(key, name, nullptr, &type,
                              reinterpret_cast<BYTE*>(&units[0]), &bytes);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void writeRaw(HKEY root, const wchar_t* name, DWORD type, const std::wstring& units) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, kTestKey, 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(units.data()),
                             DWORD(units.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The stored form of a list: each entry terminated, then one more NUL.
std::wstring multiString(const Entries& entries) {
    std::wstring units;
    for (const std::wstring& e : entries) {
        units += e;
        units.push_back(L'\0');
    }
    units.push_back(L'\0');
    return units;
}

class RegistryActions : public ::testing::Test {
protected:
    void SetUp() override {
        sweepTestKeys();
        findFiles = plugin.action("FindFilesToRemoveOnReboot");
        writeMultiSz = plugin.action("WriteRegMultiSz");
        ASSERT_NE(findFiles, nullptr);
        ASSERT_NE(writeMultiSz, nullptr);
    }
    void TearDown() override { sweepTestKeys(); }

    std::wstring stored(HKEY root, const wchar_t* name) {
        std::wstring units;
        DWORD type = 0;
        if (!readRaw(root, name, units, type))
            return L"<missing>";
        EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
        return units;
    }

    PluginModule plugin;
    PluginAction findFiles = nullptr;
    PluginAction writeMultiSz = nullptr;
};

const wchar_t kHkcuPath[] = L"HKCU\\Software\\KestrineTest\\RegistryFileActions";
const wchar_t kHklmPath[] = L"HKEY_LOCAL_MACHINE\\Software\\KestrineTest\\RegistryFileActions";

struct DropCase {
    const char* what;
    Entries entries;
    std::wstring search;
    Entries kept;
};

// The list is walked in pairs of a source and its destination: a pair goes
// when either of its entries holds the search text, and a last entry without
// a partner is tested, and dropped, alone.
const DropCase kDrops[] = {
    {"match in a source", {L"a", L"b", L"c", L"d"}, L"c", {L"a", L"b"}},
    {"match in a destination", {L"a", L"b", L"c", L"d"}, L"b", {L"c", L"d"}},
    // The next pair's source must not go with it: Windows would then move
    // a.new over d.exe at the next start.
    {"a destination does not take the next source along",
     {L"\\??\\C:\\App\\a.new", L"\\??\\C:\\App\\b.exe", L"\\??\\C:\\App\\c.new",
      L"\\??\\C:\\App\\d.exe"},
     L"b.exe", {L"\\??\\C:\\App\\c.new", L"\\??\\C:\\App\\d.exe"}},
    {"match in both entries of a pair", {L"xa", L"xb", L"c", L"d"}, L"x", {L"c", L"d"}},
    {"each pair is tested on its own", {L"a", L"xb", L"c", L"d", L"xe", L"f"}, L"x",
     {L"c", L"d"}},
    {"a delete and a rename",
     {L"\\??\\C:\\old\\x.dll", L"", L"\\??\\C:\\keep\\a.new", L"\\??\\C:\\keep\\a.exe",
      L"\\??\\C:\\old\\y.new", L"\\??\\C:\\old\\y.dll"},
     L"C:\\old\\", {L"\\??\\C:\\keep\\a.new", L"\\??\\C:\\keep\\a.exe"}},
    {"last entry without a partner", {L"a", L"b", L"c"}, L"c", {L"a", L"b"}},
    {"the entry without a partner stays", {L"a", L"b", L"c"}, L"b", {L"c"}},
    {"part of an entry", {L"pending-setup.tmp", L"dest", L"other"}, L"setup", {L"other"}},
    {"case matters", {L"Setup", L"dest"}, L"setup", {L"Setup", L"dest"}},
    {"no entry holds it", {L"a", L"", L"b"}, L"zzz", {L"a", L"", L"b"}},
    // An empty search text would be found in every entry and drop them all.
    {"empty search text", {L"a", L"b", L"c"}, L"", {L"a", L"b", L"c"}},
    {"empty value", {}, L"a", {}},
};

TEST_F(RegistryActions, FindFilesDropsEachPairThatHoldsTheText) {
    for (const DropCase& c : kDrops) {
        SCOPED_TRACE(c.what);
        // Stored without the list's closing NUL, so that the rewrite shows:
        // the value is written back also when nothing was dropped.
        std::wstring raw = multiString(c.entries);
        if (!c.entries.empty())
            raw.pop_back();
        writeRaw(HKEY_CURRENT_USER, L"Pending", REG_MULTI_SZ, raw);
        EXPECT_EQ(callAction(findFiles, {c.search, L"Pending", kHkcuPath}), L"Success");
        EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Pending"), multiString(c.kept));
    }
}

TEST_F(RegistryActions, FindFilesWorksInTheMachineHive) {
    writeRaw(HKEY_LOCAL_MACHINE, L"Pending", REG_MULTI_SZ, multiString({L"a", L"b", L"c", L"d"}));
    EXPECT_EQ(callAction(findFiles, {L"b", L"Pending", kHklmPath}), L"Success");
    EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, L"Pending"), multiString({L"c", L"d"}));
}

TEST_F(RegistryActions, FindFilesLeavesAMissingOrOtherValueAlone) {
    // No key, no value: nothing is created.
    EXPECT_EQ(callAction(findFiles, {L"a", L"Pending", kHkcuPath}), L"Success");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Pending"), L"<missing>");
    // A text value of that name is no multi-string value.
    writeRaw(HKEY_CURRENT_USER, L"Pending", REG_SZ, std::wstring(L"a", 2));
    EXPECT_EQ(callAction(findFiles, {L"a", L"Pending", kHkcuPath}), L"Success");
    std::wstring units;
    DWORD type = 0;
    ASSERT_TRUE(readRaw(HKEY_CURRENT_USER, L"Pending", units, type));
    EXPECT_EQ(type, DWORD(REG_SZ));
    // A key path that narrowing empties names no key: nothing is searched.
    EXPECT_EQ(callAction(findFiles, {L"a", L"Pending", L"HKCU\\Software\\\u0416"}),
              L"Error: PendingFileRenameOperations::setValue()");
}

// A parameter with a character above U+00FF narrows to an empty text; going
// on with it would write or filter the key's default value (another program's
// data), write an empty entry, or search for nothing. The action refuses it
// with its failure text and leaves the registry as it was.
TEST_F(RegistryActions, AParameterThatNarrowingEmptiesChangesNothing) {
    const wchar_t* const kFindFailed = L"Error: PendingFileRenameOperations::setValue()";
    const wchar_t* const kWriteFailed = L"Error: setMultiStringValue()";
    const std::wstring kCyrillicKey = std::wstring(kHkcuPath) + L"\\\u041A\u043B\u044E\u0447";
    const struct {
        const char* what;
        bool write;  // WriteRegMultiSz, else FindFilesToRemoveOnReboot
        std::wstring text;
        std::wstring valueName;
        std::wstring keyPath;
        const wchar_t* result;
    } cases[] = {
        {"a Cyrillic value name to write", true, L"x", L"\u0418\u043C\u044F", kHkcuPath,
         kWriteFailed},
        {"Cyrillic data", true, L"C:\\\u041F\u0443\u0442\u044C", L"Pending", kHkcuPath,
         kWriteFailed},
        {"a Cyrillic key to write", true, L"x", L"Pending", kCyrillicKey, kWriteFailed},
        {"a Cyrillic search text", false, L"\u0416", L"Pending", kHkcuPath, kFindFailed},
        {"a Cyrillic value name to filter", false, L"a", L"\u0418\u043C\u044F", kHkcuPath,
         kFindFailed},
        {"a Cyrillic key to filter", false, L"a", L"Pending", kCyrillicKey, kFindFailed},
    };
    const std::wstring defaultValue = multiString({L"another", L"program's data"});
    const std::wstring pending = multiString({L"a.new", L"a.exe", L"b.new", L"b.exe"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeRaw(HKEY_CURRENT_USER, L"", REG_MULTI_SZ, defaultValue);
        writeRaw(HKEY_CURRENT_USER, L"Pending", REG_MULTI_SZ, pending);
        EXPECT_EQ(callAction(c.write ? writeMultiSz : findFiles, {c.text, c.valueName, c.keyPath}),
                  c.result);
        EXPECT_EQ(stored(HKEY_CURRENT_USER, L""), defaultValue);
        EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Pending"), pending);
    }
}

// Every registry read of the value named here fails once the action has seen
// that it exists (its existence check takes the first two queries).
struct VanishingValue {
    int queries = 0;
    decltype(&RegQueryValueExW) real = nullptr;
};
VanishingValue g_vanishing;

LSTATUS WINAPI fakeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                   LPBYTE data, LPDWORD bytes) {
    if (name != nullptr && std::wstring(name) == L"Vanishing" && ++g_vanishing.queries > 2)
        return ERROR_FILE_NOT_FOUND;
    return g_vanishing.real(key, name, reserved, type, data, bytes);
}

LSTATUS WINAPI fakeRegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                 const BYTE* data, DWORD bytes) {
    if (name != nullptr && std::wstring(name) == L"Refused")
        return ERROR_ACCESS_DENIED;
    return RegSetValueExW(key, name, reserved, type, data, bytes);
}

TEST_F(RegistryActions, FindFilesReportsACoreLibraryErrorAsItsOnlyResult) {
    writeRaw(HKEY_CURRENT_USER, L"Vanishing", REG_MULTI_SZ, multiString({L"a", L"b"}));
    g_vanishing = VanishingValue();
    ImportPatch patch(plugin.handle(), "advapi32.dll", "RegQueryValueExW",
                      reinterpret_cast<void*>(&fakeRegQueryValueEx));
    ASSERT_TRUE(patch.applied());
    g_vanishing.real = patch.originalAs<decltype(&RegQueryValueExW)>();
    EXPECT_EQ(callAction(findFiles, {L"a", L"Vanishing", kHkcuPath}), L"error: caught exception");
    EXPECT_EQ(g_vanishing.queries, 3);
}

TEST_F(RegistryActions, FailedWritesHaveTheirOwnTexts) {
    writeRaw(HKEY_CURRENT_USER, L"Refused", REG_MULTI_SZ, multiString({L"a", L"b"}));
    ImportPatch patch(plugin.handle(), "advapi32.dll", "RegSetValueExW",
                      reinterpret_cast<void*>(&fakeRegSetValueEx));
    ASSERT_TRUE(patch.applied());
    EXPECT_EQ(callAction(findFiles, {L"a", L"Refused", kHkcuPath}),
              L"Error: PendingFileRenameOperations::setValue()");
    EXPECT_EQ(callAction(writeMultiSz, {L"x", L"Refused", kHkcuPath}),
              L"Error: setMultiStringValue()");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Refused"), multiString({L"a", L"b"}));
}

TEST_F(RegistryActions, WriteRegMultiSzStoresExactlyOneEntry) {
    writeRaw(HKEY_CURRENT_USER, L"List", REG_MULTI_SZ, multiString({L"a", L"b", L"c"}));
    EXPECT_EQ(callAction(writeMultiSz, {L"C:\\Program Files\\App", L"List", kHkcuPath}),
              L"Success");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"List"), multiString({L"C:\\Program Files\\App"}));

    // A value of another type is replaced, and the key is made where needed.
    writeRaw(HKEY_CURRENT_USER, L"Text", REG_SZ, std::wstring(L"old", 4));
    EXPECT_EQ(callAction(writeMultiSz, {L"new", L"Text", kHkcuPath}), L"Success");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Text"), multiString({L"new"}));
    EXPECT_EQ(callAction(writeMultiSz, {L"caf\u00E9", L"Fresh", kHklmPath}), L"Success");
    EXPECT_EQ(stored(HKEY_LOCAL_MACHINE, L"Fresh"), multiString({L"caf\u00E9"}));

    // Empty data is one empty entry.
    EXPECT_EQ(callAction(writeMultiSz, {L"", L"Empty", kHkcuPath}), L"Success");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"Empty"), multiString({L""}));
}

TEST_F(RegistryActions, WriteRegMultiSzRefusesAKeyPathWithoutAKnownRoot) {
    EXPECT_EQ(callAction(writeMultiSz, {L"x", L"List", L"HKXX\\Software\\KestrineTest"}),
              L"Error: setMultiStringValue()");
    // A character above U+00FF empties the key path.
    EXPECT_EQ(callAction(writeMultiSz, {L"x", L"List", L"HKCU\\Software\\KestrineTest\\\u0416"}),
              L"Error: setMultiStringValue()");
    EXPECT_EQ(stored(HKEY_CURRENT_USER, L"List"), L"<missing>");
}

// --- ReplaceRegexInFile ----------------------------------------------------

class FileAction : public ::testing::Test {
protected:
    void SetUp() override {
        replace = plugin.action("ReplaceRegexInFile");
        ASSERT_NE(replace, nullptr);
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        char name[64];
        std::snprintf(name, sizeof name, "kestrine-file-%lu", GetCurrentProcessId());
        folder = std::string(temp) + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\target.txt";
    }
    void TearDown() override {
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void write(const std::string& bytes) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string read() {
        std::string bytes;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr)
            return "<missing>";
        char block[4096];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0)
            bytes.append(block, n);
        std::fclose(f);
        return bytes;
    }
    std::wstring widePath() const { return std::wstring(path.begin(), path.end()); }
    std::wstring run(const std::wstring& pattern, const std::wstring& replacement) {
        return callAction(replace, {widePath(), replacement, pattern});
    }

    PluginModule plugin;
    PluginAction replace = nullptr;
    std::string folder;
    std::string path;
};

struct ReplaceCase {
    const char* what;
    std::string before;
    const wchar_t* pattern;
    const wchar_t* replacement;
    const wchar_t* result;
    std::string after;
};

const ReplaceCase kReplacements[] = {
    {"a version", "name=App\r\nversion=1.0.3\r\n", L"\\d+\\.\\d+\\.\\d+", L"2.0.0", L"Success",
     "name=App\r\nversion=2.0.0\r\n"},
    {"only the first match", "x=1 x=1 x=1", L"x=1", L"x=2", L"Success", "x=2 x=1 x=1"},
    // The span of the match is replaced, not the first equal text.
    {"a match after an earlier equal text", "name=old\nkey=old\n", L"(?<=key=)old", L"new",
     L"Success", "name=old\nkey=new\n"},
    {"an empty match at the start", "abc", L"^", L">", L"Success", ">abc"},
    {"an empty match inside", "abc", L"(?=c)", L"-", L"Success", "ab-c"},
    {"a shorter text cuts the file", "aaaaXXXXXXXXbbbb", L"X+", L"-", L"Success", "aaaa-bbbb"},
    {"a longer text grows it", "a-b", L"-", L"<in the middle>", L"Success", "a<in the middle>b"},
    {"the replacement is literal", "abc", L"(b)", L"[$1 \\1 $&]", L"Success", "a[$1 \\1 $&]c"},
    {"an empty replacement", "keep this, drop that", L", drop that", L"", L"Success", "keep this"},
    {"bytes above 7Fh", "caf\xE9 au lait", L"\u00E9", L"e", L"Success", "cafe au lait"},
    {"an empty file", "", L"^$", L"x", L"Success", "x"},
    {"no match", "abc", L"z", L"y", L"no match", "abc"},
    {"case matters", "ABC", L"abc", L"y", L"no match", "ABC"},
};

TEST_F(FileAction, ReplacesTheFirstMatchAndKeepsTheRestByteForByte) {
    for (const ReplaceCase& c : kReplacements) {
        SCOPED_TRACE(c.what);
        write(c.before);
        EXPECT_EQ(run(c.pattern, c.replacement), c.result);
        EXPECT_EQ(read(), c.after);
    }
}

TEST_F(FileAction, RejectsAnInvalidPatternWithoutOpeningTheFile) {
    write("abc");
    // Held without sharing: an open would fail with "Error opening file".
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(run(L"(unbalanced", L"x"), L"invalid pattern");
    EXPECT_EQ(run(L"a{2,1}", L"x"), L"invalid pattern");
    CloseHandle(held);
    EXPECT_EQ(read(), "abc");
    EXPECT_EQ(callAction(replace, {L"C:\\no\\such\\file.txt", L"x", L"["}), L"invalid pattern");
}

TEST_F(FileAction, ReportsAFileItCannotOpen) {
    EXPECT_EQ(callAction(replace, {widePath() + L".missing", L"x", L"a"}), L"Error opening file");
    // Another program that may write to the file keeps it from being opened.
    write("abc");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(run(L"a", L"x"), L"Error opening file");
    CloseHandle(writer);
    EXPECT_EQ(read(), "abc");
    // A path with a character above U+00FF arrives empty.
    EXPECT_EQ(callAction(replace, {widePath() + L"\u0416", L"x", L"a"}), L"Error opening file");
    // An empty stack gives an empty pattern (valid) and an empty path.
    InstallerHost host;
    host.call(replace);
    EXPECT_EQ(host.texts(), std::vector<std::wstring>{L"Error opening file"});
}

// A parameter that narrowing empties fails the step that uses it (an empty
// pattern would match at the start, an empty replacement delete the match),
// and the file stays as it was.
TEST_F(FileAction, AParameterThatNarrowingEmptiesLeavesTheFileAlone) {
    const struct {
        const char* what;
        std::wstring pattern;
        std::wstring replacement;
        std::wstring pathTail;
        const wchar_t* result;
    } cases[] = {
        {"a Cyrillic pattern", L"\u0416", L"x", L"", L"invalid pattern"},
        {"a replacement with a Cyrillic letter", L"world", L"w\u00F6rld \u0416", L"",
         L"Could not overwrite file"},
        {"a Cyrillic path", L"world", L"there", L"\u0416", L"Error opening file"},
        {"the pattern is tried first", L"\u0416", L"\u0416", L"\u0416", L"invalid pattern"},
        {"then the path", L"world", L"\u0416", L"\u0416", L"Error opening file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write("hello world");
        EXPECT_EQ(callAction(replace, {widePath() + c.pathTail, c.replacement, c.pattern}),
                  c.result);
        EXPECT_EQ(read(), "hello world");
    }
}

// The action reads one 64 KiB block and rewrites the whole file: a file that
// does not fit, or whose text a NUL byte would end early, is left alone.
TEST_F(FileAction, LeavesFilesItCannotRewriteWholeUntouched) {
    std::string tooLong(65535, 'a');
    tooLong += "Z";
    write(tooLong);
    EXPECT_EQ(run(L"a", L"b"), L"Error reading file");
    EXPECT_EQ(read(), tooLong);

    std::string withNul = std::string("head\0tail", 9);
    write(withNul);
    EXPECT_EQ(run(L"head", L"x"), L"Error reading file");
    EXPECT_EQ(read(), withNul);

    // One byte less fits: the match at its very end is replaced.
    std::string fits(65534, 'a');
    fits += "Z";
    write(fits);
    EXPECT_EQ(run(L"Z$", L"!"), L"Success");
    EXPECT_EQ(read(), std::string(65534, 'a') + "!");
}

TEST_F(FileAction, MatchesALongFileWithoutExhaustingTheStack) {
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += "ab";
    write(text + "\r\n");
    EXPECT_EQ(run(L"(a|b)*b", L"X"), L"Success");
    EXPECT_EQ(read(), "X\r\n");
}

// The cut at the end of a shorter text fails for the test's file alone (the
// file is told by its identity, whatever handle the action holds).
struct FailingCut {
    BY_HANDLE_FILE_INFORMATION target = {};
    int refused = 0;
    decltype(&SetEndOfFile) real = nullptr;
};
FailingCut g_cut;

bool sameFile(HANDLE file, const BY_HANDLE_FILE_INFORMATION& target) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(file, &info) &&
           info.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
           info.nFileIndexHigh == target.nFileIndexHigh &&
           info.nFileIndexLow == target.nFileIndexLow;
}

BOOL WINAPI fakeSetEndOfFile(HANDLE file) {
    if (!sameFile(file, g_cut.target))
        return g_cut.real(file);
    ++g_cut.refused;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// Without the cut the old text's tail would stay behind the new text: the
// write as a whole has failed.
TEST_F(FileAction, AFailedCutIsAFailedOverwrite) {
    write("aaaaXXXXXXXXbbbb");
    g_cut = FailingCut();
    HANDLE probe = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(GetFileInformationByHandle(probe, &g_cut.target));
    CloseHandle(probe);
    ImportPatch patch(plugin.handle(), "kernel32.dll", "SetEndOfFile",
                      reinterpret_cast<void*>(&fakeSetEndOfFile));
    ASSERT_TRUE(patch.applied());
    g_cut.real = patch.originalAs<decltype(&SetEndOfFile)>();
    EXPECT_EQ(run(L"X+", L"-"), L"Could not overwrite file");
    EXPECT_EQ(g_cut.refused, 1);
}

// A search the regex layer gives up on finds nothing; the file stays.
TEST_F(FileAction, ARunawaySearchIsNoMatch) {
    std::string as(30, 'a');
    write(as);
    EXPECT_EQ(run(L"(a*)*c", L"x"), L"no match");
    EXPECT_EQ(read(), as);
}

// --- MsiFindVersionByUpgradeCode -------------------------------------------

// The installer database's packed form of a GUID: the first three groups
// reversed, then each byte of the last two with its two digits swapped.
std::wstring squash(const std::wstring& guid) {
    std::wstring g;
    for (wchar_t c : guid)
        if (c != L'{' && c != L'}' && c != L'-')
            g.push_back(c);
    std::wstring out;
    out.append(g.rbegin() + 24, g.rbegin() + 32);
    out.append(g.rbegin() + 20, g.rbegin() + 24);
    out.append(g.rbegin() + 16, g.rbegin() + 20);
    for (std::size_t i = 16; i < 32; i += 2) {
        out.push_back(g[i + 1]);
        out.push_back(g[i]);
    }
    return out;
}

const wchar_t kUpgradeCode[] = L"{6B0E1A5C-2F3D-4C8E-9A71-0D2B3C4E5F60}";
const wchar_t kProductCode[] = L"{1F2E3D4C-5B6A-4789-8A9B-ACBDCEDFE0F1}";
const wchar_t kLonelyUpgradeCode[] = L"{7C1F2B6D-3A4E-4D9F-8B82-1E3C4D5F6071}";
const wchar_t kUnknownProduct[] = L"{20304050-6070-4080-90A0-B0C0D0E0F000}";
const wchar_t kUpgradeCodes[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\";
const wchar_t kProducts[] = L"Software\\Classes\\Installer\\Products\\";
const wchar_t kUserData[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";

void setMachineValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | kView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()),
                             DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void deleteMachineTree(const std::wstring& keyPath) {
    std::size_t slash = keyPath.rfind(L'\\', keyPath.size() - 2);
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.substr(0, slash).c_str(), 0,
                      KEY_ALL_ACCESS | kView, &parent) == ERROR_SUCCESS) {
        RegDeleteTreeW(parent, keyPath.substr(slash + 1).c_str());
        RegCloseKey(parent);
    }
}

class InstallerDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        find = plugin.action("MsiFindVersionByUpgradeCode");
        ASSERT_NE(find, nullptr);
        sweep();
        // A product as the installer registers it for the machine, and an
        // upgrade code whose only product the database does not know.
        setMachineValue(kUpgradeCodes + squash(kUpgradeCode), squash(kProductCode), L"");
        setMachineValue(kProducts + squash(kProductCode), L"ProductName", L"Kestrine test product");
        setMachineValue(kUserData + squash(kProductCode) + L"\\InstallProperties", L"DisplayVersion",
                        L"4.2.17");
        setMachineValue(kUpgradeCodes + squash(kLonelyUpgradeCode), squash(kUnknownProduct), L"");
    }
    void TearDown() override { sweep(); }
    void sweep() {
        deleteMachineTree(kUpgradeCodes + squash(kUpgradeCode));
        deleteMachineTree(kUpgradeCodes + squash(kLonelyUpgradeCode));
        deleteMachineTree(kProducts + squash(kProductCode));
        deleteMachineTree(kUserData + squash(kProductCode));
    }

    PluginModule plugin;
    PluginAction find = nullptr;
};

TEST_F(InstallerDatabase, FindsTheVersionOfTheRegisteredProduct) {
    EXPECT_EQ(callAction(find, {kUpgradeCode}), L"4.2.17");
}

TEST_F(InstallerDatabase, TellsAnUnknownUpgradeCodeFromAnUnknownProduct) {
    EXPECT_EQ(callAction(find, {L"{00000000-1111-4222-8333-444444444444}"}), L"error: Not found");
    EXPECT_EQ(callAction(find, {kLonelyUpgradeCode}), L"error: Could not get version");
}

// Windows refuses a malformed code as an invalid parameter; Wine takes it for
// an unknown one, so the enumeration's answer is Windows' here.
struct EnumerationAnswer {
    UINT status = ERROR_SUCCESS;
    int calls = 0;
};
EnumerationAnswer g_enumeration;

UINT WINAPI fakeMsiEnumRelatedProducts(LPCWSTR, DWORD, DWORD, LPWSTR product) {
    ++g_enumeration.calls;
    product[0] = L'\0';
    return g_enumeration.status;
}

TEST_F(InstallerDatabase, AnyOtherEnumerationErrorIsUnknown) {
    ImportPatch patch(plugin.handle(), "msi.dll", WORD(205),
                      reinterpret_cast<void*>(&fakeMsiEnumRelatedProducts));
    ASSERT_TRUE(patch.applied());
    for (UINT status : {UINT(ERROR_INVALID_PARAMETER), UINT(ERROR_BAD_CONFIGURATION),
                        UINT(ERROR_MORE_DATA)}) {
        g_enumeration = EnumerationAnswer();
        g_enumeration.status = status;
        EXPECT_EQ(callAction(find, {L"not-a-guid"}), L"error: Unknown error during enumeration")
            << status;
        EXPECT_EQ(g_enumeration.calls, 1);
    }
    g_enumeration.status = ERROR_NO_MORE_ITEMS;
    EXPECT_EQ(callAction(find, {L"not-a-guid"}), L"error: Not found");
}

// The version read fails after its length was learnt (the product went away
// in between): its own text.
struct VersionReads {
    int calls = 0;
    decltype(&MsiGetProductInfoW) real = nullptr;
};
VersionReads g_versionReads;

UINT WINAPI fakeMsiGetProductInfo(LPCWSTR product, LPCWSTR attribute, LPWSTR buffer, LPDWORD units) {
    if (++g_versionReads.calls == 2)
        return ERROR_UNKNOWN_PRODUCT;
    return g_versionReads.real(product, attribute, buffer, units);
}

TEST_F(InstallerDatabase, AFailedReadAfterTheLengthHasItsOwnText) {
    g_versionReads = VersionReads();
    ImportPatch patch(plugin.handle(), "msi.dll", WORD(70),
                      reinterpret_cast<void*>(&fakeMsiGetProductInfo));
    ASSERT_TRUE(patch.applied());
    g_versionReads.real = patch.originalAs<decltype(&MsiGetProductInfoW)>();
    EXPECT_EQ(callAction(find, {kUpgradeCode}),
              L"error: Could not get version after finding version size");
    EXPECT_EQ(g_versionReads.calls, 2);
}

}  // namespace
