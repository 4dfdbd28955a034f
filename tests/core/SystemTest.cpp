#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ImportPatch.h"
#include "qln/DynamicLibrary.h"
#include "qln/FileHandle.h"
#include "qln/System.h"
#include "qln/WindowsRegistry.h"

using qln::String;
using qln::test::ImportPatch;

namespace {

std::wstring tempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

TEST(DynamicLibraryTest, LoadsFindsAndUnloads) {
    {
        qln::DynamicLibrary lib(String(L"ambrel_probe.dll"));
        EXPECT_FALSE(lib.isLoaded());
        EXPECT_EQ(lib.getSymbol("probeAnswer"), nullptr);
        ASSERT_TRUE(lib.load());
        EXPECT_TRUE(lib.isLoaded());
        typedef int(__cdecl * Answer)();
        Answer answer = reinterpret_cast<Answer>(lib.getSymbol("probeAnswer"));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_EQ(lib.getSymbol("noSuchSymbol"), nullptr);
        EXPECT_NE(GetModuleHandleW(L"ambrel_probe.dll"), nullptr);
    }
    EXPECT_EQ(GetModuleHandleW(L"ambrel_probe.dll"), nullptr);

    qln::DynamicLibrary missing(String(L"no_such_library_here.dll"));
    EXPECT_FALSE(missing.load());
    EXPECT_EQ(qln::System::getSystemError(), 126u);
}

TEST(FileHandles, OpenAndClose) {
    std::wstring path = tempPath(L"ambrel_handle_test.bin");
    qln::CreateFileOpenArgs create{String(path.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                                   CREATE_ALWAYS, 0};
    qln::Handle h = qln::FileHandleResManager::open(create);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(h, &flags));
    qln::Handle copy = h;
    qln::FileHandleResManager::destroy(h);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(GetHandleInformation(copy, &flags));

    qln::CreateFileOpenArgs missing{String(L"C:\\no\\such\\file.bin"), GENERIC_READ, 0,
                                    OPEN_EXISTING, 0};
    EXPECT_EQ(qln::FileHandleResManager::open(missing), INVALID_HANDLE_VALUE);
    qln::SharedFileHandle none(missing);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(none.getManager(), nullptr);

    qln::CreateFileOpenArgs existing{String(path.c_str()), GENERIC_READ, FILE_SHARE_READ,
                                     OPEN_EXISTING, 0};
    qln::Handle raw;
    {
        qln::SharedFileHandle first(existing);
        ASSERT_TRUE(first.isValid());
        raw = first.get();
        qln::SharedFileHandle second(first);
        first.release();
        EXPECT_TRUE(GetHandleInformation(raw, &flags));  // still held by the copy
    }
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    DeleteFileW(path.c_str());
}

TEST(SystemErrors, MessageTextsWithoutLineBreak) {
    struct Case {
        qln::Uint32 code;
        const wchar_t* text;
    };
    const Case cases[] = {
        {2, L"File not found."},
        {5, L"Access denied."},
        {0x12345678u, L"System error 305419896"},
    };
    for (const Case& c : cases) {
        String text = qln::System::getSystemErrorMsg(c.code, false);
        EXPECT_EQ(text, String(c.text)) << c.code << ": " << text.getUCS2Buffer();
        EXPECT_EQ(text.find(L'\n'), 0xFFFFFFFFu);
        EXPECT_EQ(text.find(L'\r'), 0xFFFFFFFFu);
    }
    EXPECT_FALSE(qln::System::getSystemErrorMsg(50, true).isEmpty());
    qln::System::setSystemError(1234);
    EXPECT_EQ(qln::System::getSystemError(), 1234u);
    EXPECT_TRUE(qln::System::userIsAdministrator());  // always so under Wine
}

class Registry : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\QuillonTests\\Ambrel";
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

    std::wstring raw(const wchar_t* value, DWORD* type) {
        wchar_t data[256] = {0};
        DWORD bytes = sizeof data;
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, value, RRF_RT_ANY | RRF_NOEXPAND, type, data,
                         &bytes) != ERROR_SUCCESS)
            return L"<none>";
        return std::wstring(data, bytes / sizeof(wchar_t));
    }
};

TEST_F(Registry, MultiStringsKeepEmptyEntriesAndExactData) {
    struct Case {
        std::vector<std::wstring> entries;
        std::wstring data;
    };
    const Case cases[] = {
        {{L"a", L"", L"b"}, std::wstring(L"a\0\0b\0\0", 6)},
        {{L"\\??\\C:\\old.dll", L""}, std::wstring(L"\\??\\C:\\old.dll\0\0\0", 17)},
        {{L""}, std::wstring(L"\0\0", 2)},
        {{}, std::wstring(L"\0", 1)},
    };
    const String keyPaths[] = {String(L"HKCU\\Software\\QuillonTests\\Ambrel"),
                               String(L"HKEY_CURRENT_USER\\Software\\QuillonTests\\Ambrel"),
                               String(L"hkcu\\Software\\QuillonTests\\Ambrel")};
    for (const String& keyPath : keyPaths) {
        for (const Case& c : cases) {
            qln::Array<String> entries;
            for (const std::wstring& e : c.entries)
                entries.append(String(e.c_str(), static_cast<qln::Uint32>(e.size())));
            ASSERT_TRUE(WindowsRegistry::setMultiStringValue(keyPath, String(L"Pending"), entries));
            DWORD type = 0;
            EXPECT_EQ(raw(L"Pending", &type), c.data);
            EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
            EXPECT_TRUE(WindowsRegistry::multiStringValueExists(keyPath, String(L"Pending")));
            qln::Array<String> back =
                WindowsRegistry::getMultiStringValue(keyPath, String(L"Pending"), true);
            ASSERT_EQ(back.size(), entries.size());
            for (qln::Uint32 i = 0; i < back.size(); ++i)
                EXPECT_EQ(back[i], entries[i]);
        }
    }
}

TEST_F(Registry, MissingValuesAndBadPaths) {
    const String key(L"HKCU\\Software\\QuillonTests\\Ambrel");
    EXPECT_FALSE(WindowsRegistry::multiStringValueExists(key, String(L"Nothing")));
    EXPECT_THROW(WindowsRegistry::getMultiStringValue(key, String(L"Nothing"), true), qln::Exception);
    EXPECT_EQ(WindowsRegistry::getMultiStringValue(key, String(L"Nothing"), false).size(), 0u);

    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, L"Plain", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    const wchar_t unterminated[] = {L'a', 0, L'b'};
    RegSetValueExW(k, L"Unterminated", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(unterminated),
                   sizeof unterminated);
    RegCloseKey(k);
    EXPECT_FALSE(WindowsRegistry::multiStringValueExists(key, String(L"Plain")));
    EXPECT_THROW(WindowsRegistry::getMultiStringValue(key, String(L"Plain"), true), qln::Exception);
    qln::Array<String> tail = WindowsRegistry::getMultiStringValue(key, String(L"Unterminated"), true);
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[1], String(L"b"));

    qln::Array<String> one;
    one.append(String(L"x"));
    EXPECT_FALSE(WindowsRegistry::setMultiStringValue(String(L"HKXX\\Software"), String(L"v"), one));
    EXPECT_FALSE(WindowsRegistry::multiStringValueExists(String(L"NoRoot"), String(L"v")));
}

DWORD WINAPI fakeTickCount() { return 1234; }
BOOL WINAPI fakeIsNetDrive(int) { return 77; }

TEST(ImportPatches, ReplaceByNameAndOrdinalAndRestore) {
    HMODULE probe = LoadLibraryW(L"ambrel_probe.dll");
    ASSERT_NE(probe, nullptr);
    typedef DWORD(__cdecl * Ticks)();
    typedef int(__cdecl * NetDrive)(int);
    Ticks ticks = reinterpret_cast<Ticks>(reinterpret_cast<void*>(GetProcAddress(probe, "probeTicks")));
    NetDrive netDrive = reinterpret_cast<NetDrive>(reinterpret_cast<void*>(GetProcAddress(probe, "probeIsNetDrive")));
    ASSERT_NE(ticks, nullptr);
    ASSERT_NE(netDrive, nullptr);
    {
        // The DLL name is compared without case.
        ImportPatch patch(probe, "KERNEL32.dll", "GetTickCount", reinterpret_cast<void*>(&fakeTickCount));
        ASSERT_TRUE(patch.applied());
        EXPECT_EQ(ticks(), 1234u);
        EXPECT_EQ(patch.original(), reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount")));
    }
    EXPECT_NE(ticks(), 1234u);
    {
        ImportPatch patch(probe, "shell32.dll", WORD(66), reinterpret_cast<void*>(&fakeIsNetDrive));
        ASSERT_TRUE(patch.applied());
        EXPECT_EQ(netDrive(0), 77);
    }
    EXPECT_NE(netDrive(0), 77);

    ImportPatch absent(probe, "kernel32.dll", "NoSuchImport", reinterpret_cast<void*>(&fakeTickCount));
    EXPECT_FALSE(absent.applied());
    ImportPatch otherDll(probe, "user32.dll", "GetTickCount", reinterpret_cast<void*>(&fakeTickCount));
    EXPECT_FALSE(otherDll.applied());
    FreeLibrary(probe);
}

}  // namespace
