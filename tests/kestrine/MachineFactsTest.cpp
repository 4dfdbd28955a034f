// The machine-fact actions called through Kestrine.dll's exports: for real
// under Wine, and with single system calls faked where Wine has only one
// answer.
#include <windows.h>

#include <cstdio>
#include <ctime>
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

class MachineFacts : public ::testing::Test {
protected:
    PluginAction action(const char* name) {
        PluginAction a = plugin.action(name);
        EXPECT_NE(a, nullptr) << name << " is not exported";
        return a;
    }
    PluginModule plugin;
};

const char* const kPushingActions[] = {"GetVistaPreferredUILanguage",
                                       "GetPhysicalProcessorCount", "GetTimeNow"};
const char* const kAllActions[] = {"GetVistaPreferredUILanguage", "GetPhysicalProcessorCount",
                                   "GetTimeNow", "IsRunningAsAdmin"};

std::wstring hex4(unsigned value) {
    wchar_t text[16];
    swprintf_s(text, 16, L"%04X", value);
    return text;
}

}  // namespace

// None of the four pops: what lies on the stack stays, one result lands on
// top, and no user variable changes.
TEST_F(MachineFacts, PushOneTextAndPopNothing) {
    for (const char* name : kPushingActions) {
        SCOPED_TRACE(name);
        InstallerHost host;
        host.push(L"below");
        host.call(action(name));
        std::vector<std::wstring> stack = host.texts();
        ASSERT_EQ(stack.size(), 2u);
        EXPECT_FALSE(stack[0].empty());
        EXPECT_EQ(stack[1], L"below");
        for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
            EXPECT_EQ(host.variable(slot), L"") << "slot " << slot;
    }
}

TEST_F(MachineFacts, NoStackMeansNoPushAndNoCrash) {
    for (const char* name : kAllActions) {
        SCOPED_TRACE(name);
        InstallerHost host;
        host.callWithoutStack(action(name));
        EXPECT_TRUE(host.empty());
        EXPECT_TRUE(host.guardIntact());
    }
}

// A host with room for fewer units than the result gets it cut, terminated.
TEST_F(MachineFacts, ResultIsCutToTheHostStringSize) {
    for (int size : {1, 3}) {
        SCOPED_TRACE("string size " + std::to_string(size));
        InstallerHost wide;
        wide.call(action("GetTimeNow"));
        InstallerHost host(size);
        host.call(action("GetTimeNow"));
        ASSERT_EQ(host.texts().size(), 1u);
        // The time may tick between the calls; the leading digits do not.
        EXPECT_EQ(host.pop(), wide.pop().substr(0, size - 1));

        InstallerHost language(size);
        language.call(action("GetVistaPreferredUILanguage"));
        ASSERT_EQ(language.texts().size(), 1u);
        EXPECT_EQ(language.pop(), std::wstring(L"0x").substr(0, size - 1));
    }
}

TEST_F(MachineFacts, LanguageIsTheUsersUiLanguage) {
    InstallerHost host;
    host.call(action("GetVistaPreferredUILanguage"));
    ASSERT_EQ(host.texts().size(), 1u);
    // Wine takes the language from the environment's locale (LC_ALL); the
    // test asks for it through a different call.
    EXPECT_EQ(host.pop(), L"0x" + hex4(GetUserDefaultUILanguage()));
}

namespace {

// Fake of the language query: the list it reports, or a failure of the
// first or the second call.
struct LanguageFake {
    std::vector<wchar_t> list;  // with its final empty entry
    bool reportZeroLength = false;
    int failCall = 0;  // 1 or 2
    int calls = 0;
} g_language;

BOOL WINAPI fakeGetUserPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer,
                                            PULONG length) {
    ++g_language.calls;
    if (flags != MUI_LANGUAGE_ID || g_language.failCall == g_language.calls)
        return FALSE;
    ULONG needed = g_language.reportZeroLength ? 0 : ULONG(g_language.list.size());
    if (buffer == nullptr) {
        *length = needed;
        return TRUE;
    }
    if (*length < needed)
        return FALSE;
    for (ULONG i = 0; i < needed; ++i)
        buffer[i] = g_language.list[i];
    *count = 1;
    *length = needed;
    return TRUE;
}

std::vector<wchar_t> multiString(const std::wstring& entries) {
    return std::vector<wchar_t>(entries.begin(), entries.end());
}

}  // namespace

TEST_F(MachineFacts, LanguageAnswersOfTheSystem) {
    struct Case {
        const char* what;
        std::vector<wchar_t> list;
        bool zeroLength;
        int failCall;
        std::vector<std::wstring> pushed;
    };
    const Case cases[] = {
        {"first of two", multiString(std::wstring(L"0407\0" L"0409\0\0", 11)), false, 0,
         {L"0x0407"}},
        {"empty list", multiString(std::wstring(L"\0\0", 2)), false, 0, {L"0x"}},
        {"no list at all", {}, true, 0, {L"0x"}},
        {"length query fails", multiString(std::wstring(L"0407\0\0", 6)), false, 1, {}},
        {"list query fails", multiString(std::wstring(L"0407\0\0", 6)), false, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_language = LanguageFake();
        g_language.list = c.list;
        g_language.reportZeroLength = c.zeroLength;
        g_language.failCall = c.failCall;
        ImportPatch patch(plugin.handle(), "kernel32.dll", "GetUserPreferredUILanguages",
                          reinterpret_cast<void*>(&fakeGetUserPreferredUILanguages));
        ASSERT_TRUE(patch.applied());
        InstallerHost host;
        host.call(action("GetVistaPreferredUILanguage"));
        EXPECT_EQ(host.texts(), c.pushed);
    }
}

TEST_F(MachineFacts, ProcessorCountIsWhatWindowsReports) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    InstallerHost host;
    host.call(action("GetPhysicalProcessorCount"));
    EXPECT_EQ(host.texts(), std::vector<std::wstring>{std::to_wstring(info.dwNumberOfProcessors)});
}

namespace {
decltype(&GetSystemInfo) g_realGetSystemInfo = nullptr;
void WINAPI twelveProcessors(LPSYSTEM_INFO info) {
    g_realGetSystemInfo(info);
    info->dwNumberOfProcessors = 12;
}
}  // namespace

// The count is the logical processors Windows reports, as they are.
TEST_F(MachineFacts, ProcessorCountFollowsTheSystemInfo) {
    ImportPatch patch(plugin.handle(), "kernel32.dll", "GetSystemInfo",
                      reinterpret_cast<void*>(&twelveProcessors));
    ASSERT_TRUE(patch.applied());
    g_realGetSystemInfo = patch.originalAs<decltype(&GetSystemInfo)>();
    InstallerHost host;
    host.call(action("GetPhysicalProcessorCount"));
    EXPECT_EQ(host.texts(), std::vector<std::wstring>{L"12"});
}

TEST_F(MachineFacts, TimeIsNowInSecondsSince1970) {
    InstallerHost host;
    long long before = _time64(nullptr);
    host.call(action("GetTimeNow"));
    long long after = _time64(nullptr);
    ASSERT_EQ(host.texts().size(), 1u);
    std::wstring text = host.pop();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_not_of(L"0123456789"), std::wstring::npos) << "text: " << text.c_str();
    long long seconds = std::stoll(text);
    EXPECT_GE(seconds, before - 1);
    EXPECT_LE(seconds, after + 1);
}

namespace {

BOOL g_membership = FALSE;
BOOL g_checkResult = TRUE;
BOOL WINAPI fakeCheckTokenMembership(HANDLE, PSID, PBOOL isMember) {
    *isMember = g_membership;
    return g_checkResult;
}

// Every slot holds "unset", "below" lies on the stack; after the call only
// slot 10 ($R0) may differ.
void expectOnlyR0(InstallerHost& host, const std::wstring& r0) {
    for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
        EXPECT_EQ(host.variable(slot), slot == 10 ? r0 : std::wstring(L"unset")) << "slot " << slot;
    EXPECT_EQ(host.texts(), std::vector<std::wstring>{L"below"});
    EXPECT_TRUE(host.guardIntact());
}

void prepare(InstallerHost& host) {
    for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
        host.setVariable(slot, L"unset");
    host.push(L"below");
}

}  // namespace

TEST_F(MachineFacts, AdministratorUnderWine) {
    InstallerHost host;
    prepare(host);
    host.call(action("IsRunningAsAdmin"));
    expectOnlyR0(host, L"true");
}

TEST_F(MachineFacts, AdministratorCheckFaked) {
    struct Case {
        const char* what;
        BOOL member;
        BOOL result;
        const wchar_t* r0;
    };
    const Case cases[] = {
        {"member", TRUE, TRUE, L"true"},
        {"not a member", FALSE, TRUE, L"false"},
        {"check fails", TRUE, FALSE, L"false"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_membership = c.member;
        g_checkResult = c.result;
        ImportPatch patch(plugin.handle(), "advapi32.dll", "CheckTokenMembership",
                          reinterpret_cast<void*>(&fakeCheckTokenMembership));
        ASSERT_TRUE(patch.applied());
        InstallerHost host;
        prepare(host);
        host.call(action("IsRunningAsAdmin"));
        expectOnlyR0(host, c.r0);
    }
}

// $R0 of a small host gets the text cut to its slot; the slots after it stay.
TEST_F(MachineFacts, AdministratorTextIsCutToTheSlot) {
    InstallerHost host(6);
    prepare(host);
    g_membership = FALSE;
    g_checkResult = TRUE;
    ImportPatch patch(plugin.handle(), "advapi32.dll", "CheckTokenMembership",
                      reinterpret_cast<void*>(&fakeCheckTokenMembership));
    ASSERT_TRUE(patch.applied());
    host.call(action("IsRunningAsAdmin"));
    expectOnlyR0(host, L"false");

    InstallerHost tiny(3);
    for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
        tiny.setVariable(slot, L"ab");
    tiny.call(action("IsRunningAsAdmin"));
    EXPECT_EQ(tiny.variable(10), L"fa");
    EXPECT_EQ(tiny.variable(11), L"ab");
    EXPECT_TRUE(tiny.guardIntact());
}
