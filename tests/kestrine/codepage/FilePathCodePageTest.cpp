// ReplaceRegexInFile in a process whose ANSI code page is 1251 (Cyrillic), as
// on a Russian Windows: a path's characters up to U+00FF must name the file
// they spell, not the one their bytes spell in the code page (E9h is "é" as
// the action reads it, "й" in 1251). CTest runs this program under a Russian
// locale that the build makes for it.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::PluginModule;

namespace {

const wchar_t kLatin[] = L"caf\x00E9.txt";     // the file the script names
const wchar_t kCyrillic[] = L"caf\x0439.txt";  // what E9h names in 1251

class CodePage1251 : public ::testing::Test {
protected:
    void SetUp() override {
        // Without the switch the test would prove nothing.
        ASSERT_EQ(GetACP(), 1251u) << "the program must run under the Russian locale";
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"kestrine-codepage-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    void TearDown() override {
        DeleteFileW(path(kLatin).c_str());
        DeleteFileW(path(kCyrillic).c_str());
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring path(const wchar_t* name) const { return folder + L"\\" + name; }

    void write(const wchar_t* name, const std::string& bytes) {
        HANDLE file = CreateFileW(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }
    std::string read(const wchar_t* name) const {
        HANDLE file = CreateFileW(path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "<missing>";
        char block[256];
        DWORD count = 0;
        std::string bytes;
        while (ReadFile(file, block, sizeof block, &count, nullptr) && count > 0)
            bytes.append(block, count);
        CloseHandle(file);
        return bytes;
    }

    PluginModule plugin;
    std::wstring folder;
};

TEST_F(CodePage1251, TheActionEditsTheFileThePathNames) {
    const struct {
        const char* what;
        bool latinPresent;
        const wchar_t* pattern;
        const wchar_t* replacement;
        const wchar_t* result;
        std::string latinAfter;
    } cases[] = {
        {"both files", true, L"old", L"new", L"Success", "version=new"},
        {"only the one E9h names in 1251", false, L"old", L"new", L"Error opening file",
         "<missing>"},
        // The text's bytes are Latin-1 whatever the code page.
        {"pattern and replacement above 7Fh", true, L"=old", L"=\x00E9t\x00E9", L"Success",
         "version=\xE9t\xE9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(path(kLatin).c_str());
        if (c.latinPresent)
            write(kLatin, "version=old");
        write(kCyrillic, "version=old");
        const std::vector<std::wstring> left = kestrine::test::callWithPushed(
            plugin, "ReplaceRegexInFile", {c.pattern, c.replacement, path(kLatin)});
        EXPECT_EQ(left, (std::vector<std::wstring>{c.result, L"below"}));
        EXPECT_EQ(read(kLatin), c.latinAfter);
        EXPECT_EQ(read(kCyrillic), "version=old");
    }
}

}  // namespace
