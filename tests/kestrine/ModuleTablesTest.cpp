// Kestrine.dll is one self-contained module: its export table holds exactly
// the installer actions, and it imports nothing but Windows system DLLs.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "InstallerHost.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TEST(ModuleTables, ExportsExactlyTheActions) {
    // Every action built so far, by its plain name; new actions join here.
    std::vector<std::string> expected = {
        "CloseProcessWindows",
        "ExecWait",
        "GetPhysicalProcessorCount",
        "GetTimeNow",
        "GetVistaPreferredUILanguage",
        "IsProcessRunning",
        "IsRunningAsAdmin",
        "KillProcess",
        "SearchProcessCommandLines",
        // Certificate actions.
        "InstallQLNCertFromFile",
        "UnInstallQLNCertFromFile",
        // Registry, file and installer-database actions.
        "FindFilesToRemoveOnReboot",
        "MsiFindVersionByUpgradeCode",
        "ReplaceRegexInFile",
        "WriteRegMultiSz",
    };
    kestrine::test::PluginModule plugin;
    ASSERT_NE(plugin.handle(), nullptr);
    std::vector<std::string> exported = kestrine::test::exportedNames(plugin.handle());
    std::sort(exported.begin(), exported.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(exported, expected);
}

TEST(ModuleTables, ImportsOnlyWindowsSystemDlls) {
    // The system DLLs the plug-in may use; the runtime, the core library and
    // any other module of the product are compiled in instead.
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
        "oleaut32.dll", "crypt32.dll", "msi.dll",     "setupapi.dll", "cfgmgr32.dll",
        "shlwapi.dll",  "psapi.dll",  "msvcrt.dll",   "ntdll.dll",    "version.dll",
        "propsys.dll",
    };
    kestrine::test::PluginModule plugin;
    ASSERT_NE(plugin.handle(), nullptr);
    std::vector<std::string> imported = kestrine::test::importedDlls(plugin.handle());
    EXPECT_FALSE(imported.empty());
    for (const std::string& dll : imported)
        EXPECT_TRUE(system.count(lower(dll)) == 1) << dll << " is not a Windows system DLL";
}
