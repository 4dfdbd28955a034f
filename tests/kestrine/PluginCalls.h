// What the in-process tests of Kestrine.dll share: calling one export on a
// fresh host stack, and replacing imports of the loaded module for the
// length of a test.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImportPatch.h"
#include "InstallerHost.h"

namespace kestrine {
namespace test {

// Calls the export `name` on a stack that holds "below" and then `pushed`,
// in order (the last text on top); gives the texts left, from the top down.
inline std::vector<std::wstring> callWithPushed(const PluginModule& plugin, const char* name,
                                                const std::vector<std::wstring>& pushed,
                                                int stringSize = 1024) {
    PluginAction action = plugin.action(name);
    EXPECT_NE(action, nullptr) << name << " is not exported";
    if (action == nullptr)
        return {};
    InstallerHost host(stringSize);
    host.push(L"below");
    for (const std::wstring& text : pushed)
        host.push(text);
    host.call(action);
    return host.texts();
}

// Import patches that are undone together when the set is cleared or goes.
class ImportPatches {
public:
    // Replaces the import and gives the function it replaced. An import the
    // module lacks is a fatal failure, so that no test of the fixture runs
    // with it left real.
    template <class F>
    F add(HMODULE module, const char* dll, const char* name, F fake) {
        patches_.emplace_back(
            new qln::test::ImportPatch(module, dll, name, reinterpret_cast<void*>(fake)));
        const bool applied = patches_.back()->applied();
        [&] { ASSERT_TRUE(applied) << name; }();
        return patches_.back()->originalAs<F>();
    }
    void clear() { patches_.clear(); }

private:
    std::vector<std::unique_ptr<qln::test::ImportPatch>> patches_;
};

}  // namespace test
}  // namespace kestrine
