// The English texts Dravik registers when it loads go only where the
// "libDravik" catalog has none yet.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "qln/Locale.h"

namespace {

const char* const kCatalog = "libDravik";

std::wstring textOf(const char* name) {
    qln::String text;
    if (!qln::Resource::getString(kCatalog, name, text, qln::QLNLocale::getGlobalLocale()))
        return L"<none>";
    return text.native();
}

TEST(EnglishCatalog, TextsRegisteredBeforeTheLibraryLoadsStay) {
    ASSERT_EQ(nullptr, GetModuleHandleW(L"Dravik.dll")) << "the program must not load Dravik.dll on its own";
    qln::Resource::registerString(kCatalog, "LocalizedString.ScsiError", qln::String("Our SCSI failure"), 0);
    qln::Resource::registerString(kCatalog, "LocalizedString.TimedOut", qln::String("Took too long"), 0);
    ASSERT_FALSE(qln::Resource::hasString(kCatalog, "LocalizedString.HostError", 0));

    HMODULE dravik = LoadLibraryW(L"Dravik.dll");
    ASSERT_NE(nullptr, dravik) << "LoadLibrary failed, error " << GetLastError();

    EXPECT_EQ(L"Our SCSI failure", textOf("LocalizedString.ScsiError"));
    EXPECT_EQ(L"Took too long", textOf("LocalizedString.TimedOut"));
    // Where the program registered nothing, the library's English text.
    EXPECT_EQ(L"Host adapter error: {errnum}", textOf("LocalizedString.HostError"));
    EXPECT_EQ(L"Invalid command", textOf("LocalizedString.InvalidCommand"));
    EXPECT_TRUE(FreeLibrary(dravik));
}

}  // namespace
