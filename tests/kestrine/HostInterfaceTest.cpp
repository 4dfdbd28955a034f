// The host interface driven directly: the stack operations and the user
// variables against hosts of several string sizes.
#include <cstddef>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostInterface.h"
#include "ImportPatch.h"
#include "InstallerHost.h"

using kestrine::test::InstallerHost;

static_assert(offsetof(kestrine::HostStackNode, text) == offsetof(kestrine::test::StackNode, text),
              "the plug-in and the test host lay out stack nodes alike");

namespace {

void enter(InstallerHost& host) {
    kestrine::enterAction(host.stringSize(), host.variables(),
                          reinterpret_cast<kestrine::HostStackNode**>(host.head()));
}

// A parameter buffer with room behind it to catch a pop that writes too far.
struct GuardedBuffer {
    wchar_t units[kestrine::kParameterUnits];
    wchar_t guard[64];

    GuardedBuffer() {
        for (wchar_t& u : units)
            u = L'#';
        for (wchar_t& u : guard)
            u = 0x5A5A;
    }
    bool guardIntact() const {
        for (wchar_t u : guard)
            if (u != 0x5A5A)
                return false;
        return true;
    }
};

}  // namespace

TEST(HostStack, PopsTopFirstAndHandsBackEveryNode) {
    InstallerHost host;
    host.push(L"third");
    host.push(L"second");
    host.push(L"first");
    enter(host);
    std::vector<std::wstring> popped;
    wchar_t buffer[kestrine::kParameterUnits];
    while (kestrine::popString(buffer) == 0)
        popped.push_back(buffer);
    EXPECT_EQ(popped, (std::vector<std::wstring>{L"first", L"second", L"third"}));
    EXPECT_TRUE(host.empty());
}

// Whoever pops frees: the node goes back to the global allocator.
namespace {
std::vector<HGLOBAL> g_freed;
decltype(&GlobalFree) g_realGlobalFree = nullptr;
HGLOBAL WINAPI recordingGlobalFree(HGLOBAL memory) {
    g_freed.push_back(memory);
    return g_realGlobalFree(memory);
}
}  // namespace

TEST(HostStack, PopFreesTheNodeWithGlobalFree) {
    InstallerHost host;
    host.push(L"text");
    void* node = *host.head();
    qln::test::ImportPatch patch(GetModuleHandleW(nullptr), "kernel32.dll", "GlobalFree",
                                 reinterpret_cast<void*>(&recordingGlobalFree));
    ASSERT_TRUE(patch.applied());
    g_realGlobalFree = patch.originalAs<decltype(&GlobalFree)>();
    g_freed.clear();
    enter(host);
    wchar_t buffer[kestrine::kParameterUnits];
    ASSERT_EQ(kestrine::popString(buffer), 0);
    EXPECT_EQ(g_freed, std::vector<HGLOBAL>{node});
}

TEST(HostStack, EmptyOrAbsentStackLeavesTheBufferAlone) {
    InstallerHost host;
    wchar_t buffer[kestrine::kParameterUnits] = L"untouched";

    enter(host);
    EXPECT_EQ(kestrine::popString(buffer), 1);
    EXPECT_STREQ(buffer, L"untouched");

    kestrine::enterAction(host.stringSize(), host.variables(), nullptr);
    EXPECT_EQ(kestrine::popString(buffer), 1);
    EXPECT_STREQ(buffer, L"untouched");
    kestrine::pushString(L"dropped");  // no stack: nothing to do, no crash
    EXPECT_TRUE(host.empty());
}

TEST(HostStack, ParameterFromEmptyStackIsEmpty) {
    InstallerHost host;
    enter(host);
    wchar_t buffer[kestrine::kParameterUnits] = L"stale";
    kestrine::popParameter(buffer);
    EXPECT_STREQ(buffer, L"");
}

// A text of string size - 1 units survives both directions; a longer push is
// cut to string size - 1 units and terminated.
TEST(HostStack, TextsUpToTheStringSizePassAndLongerPushesAreCut) {
    for (int size : {1, 2, 16, 1024}) {
        SCOPED_TRACE("string size " + std::to_string(size));
        InstallerHost host(size);
        enter(host);
        const std::wstring longest(size - 1, L'\x00E9');

        kestrine::pushString(longest.c_str());
        ASSERT_EQ(host.texts(), std::vector<std::wstring>{longest});
        wchar_t buffer[kestrine::kParameterUnits];
        ASSERT_EQ(kestrine::popString(buffer), 0);
        EXPECT_EQ(std::wstring(buffer), longest);

        kestrine::pushString((longest + L"xyz").c_str());
        EXPECT_EQ(host.pop(), longest);  // pop() also checks the terminator
    }
}

// Hosts of 1024 units and more: the pop fills at most the 1024-unit buffer
// with 1023 units and a terminator.
TEST(HostStack, PopNeverWritesPastItsBuffer) {
    struct Case {
        int size;
        std::size_t expected;
    };
    for (Case c : {Case{1024, 1023}, Case{1025, 1023}, Case{4096, 1023}, Case{8, 7}}) {
        SCOPED_TRACE("string size " + std::to_string(c.size));
        InstallerHost host(c.size);
        host.pushFull(L'k');
        enter(host);
        GuardedBuffer buffer;
        ASSERT_EQ(kestrine::popString(buffer.units), 0);
        EXPECT_EQ(std::wstring(buffer.units), std::wstring(c.expected, L'k'));
        EXPECT_TRUE(buffer.guardIntact());
        EXPECT_TRUE(host.empty());
    }
}

TEST(UserVariables, OnlySlotsZeroToTwentyFourAreWritten) {
    struct Case {
        unsigned index;
        bool written;
    };
    for (Case c : {Case{0, true}, Case{10, true}, Case{24, true}, Case{25, false},
                   Case{unsigned(-1), false}}) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        InstallerHost host(16);
        for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
            host.setVariable(slot, L"before");
        enter(host);
        kestrine::setUserVariable(c.index, L"after");
        for (unsigned slot = 0; slot < InstallerHost::kVariableCount; ++slot)
            EXPECT_EQ(host.variable(slot), c.written && slot == c.index ? L"after" : L"before")
                << "slot " << slot;
        EXPECT_TRUE(host.guardIntact());
    }
}

TEST(UserVariables, CopyIsCutToTheStringSize) {
    InstallerHost host(8);
    enter(host);
    kestrine::setUserVariable(24, L"a text longer than the slot");
    EXPECT_EQ(host.variable(24), L"a text ");
    EXPECT_TRUE(host.guardIntact());
}

TEST(UserVariables, NullTextIsIgnored) {
    InstallerHost host(16);
    host.setVariable(10, L"before");
    enter(host);
    kestrine::setUserVariable(10, nullptr);
    EXPECT_EQ(host.variable(10), L"before");
}
