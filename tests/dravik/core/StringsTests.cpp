// The device's message texts: the English texts Dravik registers, one lookup
// per object, out-of-range keys, copies, and the exported separator.
#include <gtest/gtest.h>

#include "ScsiStrings.h"
#include "qln/Locale.h"

using scsi::ScsiStrings;

namespace {

struct KeyText {
    ScsiStrings::SCSI_LOCALIZED_STR key;
    const char* name;
    const char* english;
};

const KeyText kKeys[] = {
    {ScsiStrings::ScsiError, "LocalizedString.ScsiError", "SCSI error"},
    {ScsiStrings::InvalidCommand, "LocalizedString.InvalidCommand", "Invalid command"},
    {ScsiStrings::DriverError, "LocalizedString.DriverError", "Driver error: {errnum}"},
    {ScsiStrings::HostError, "LocalizedString.HostError", "Host adapter error: {errnum}"},
    {ScsiStrings::TimedOut, "LocalizedString.TimedOut", "Command timed out"},
    {ScsiStrings::UnknownError, "LocalizedString.UnknownError", "Unknown error"},
};

// Puts the library's English texts back after a test changed the catalog.
class StringsTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const KeyText& k : kKeys)
            qln::Resource::registerString("libDravik", k.name, qln::String(k.english), 0);
        qln::QLNLocale::getGlobalLocale().setLanguage(0);
    }
    static qln::String text(const char* s) { return qln::String(s); }
};

TEST_F(StringsTest, SixKeysGiveTheRegisteredEnglishTexts) {
    ScsiStrings strings;
    for (const KeyText& k : kKeys) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(text(k.english), strings.getLocalizedString(k.key));
    }
}

TEST_F(StringsTest, KeysOutsideTheTableGiveTheEmptyText) {
    ScsiStrings strings;
    const int keys[] = {6, 7, 1000, -1, -6};
    for (int key : keys) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(strings.getLocalizedString(static_cast<ScsiStrings::SCSI_LOCALIZED_STR>(key)).isEmpty());
    }
    EXPECT_EQ(text("SCSI error"), strings.getLocalizedString(ScsiStrings::ScsiError));
}

TEST_F(StringsTest, LooksTheCatalogUpOncePerObject) {
    ScsiStrings early;
    EXPECT_EQ(text("Command timed out"), early.getLocalizedString(ScsiStrings::TimedOut));
    ScsiStrings copiedAfterLookup(early);
    ScsiStrings copiedBeforeLookup;
    ScsiStrings notYetCopied;
    ScsiStrings late(notYetCopied);

    qln::Resource::registerString("libDravik", "LocalizedString.TimedOut", text("Zeit abgelaufen"), 0);
    EXPECT_EQ(text("Command timed out"), early.getLocalizedString(ScsiStrings::TimedOut));
    EXPECT_EQ(text("Command timed out"), copiedAfterLookup.getLocalizedString(ScsiStrings::TimedOut));
    EXPECT_EQ(text("Zeit abgelaufen"), copiedBeforeLookup.getLocalizedString(ScsiStrings::TimedOut));
    EXPECT_EQ(text("Zeit abgelaufen"), late.getLocalizedString(ScsiStrings::TimedOut));
}

TEST_F(StringsTest, MissingTextStaysEmptyForThatObject) {
    ASSERT_TRUE(qln::Resource::unregisterString("libDravik", "LocalizedString.HostError", 0));
    ScsiStrings strings;
    EXPECT_TRUE(strings.getLocalizedString(ScsiStrings::HostError).isEmpty());
    EXPECT_EQ(text("Unknown error"), strings.getLocalizedString(ScsiStrings::UnknownError));

    qln::Resource::registerString("libDravik", "LocalizedString.HostError", text("Host: {errnum}"), 0);
    EXPECT_TRUE(strings.getLocalizedString(ScsiStrings::HostError).isEmpty());
    ScsiStrings fresh;
    EXPECT_EQ(text("Host: {errnum}"), fresh.getLocalizedString(ScsiStrings::HostError));
}

TEST_F(StringsTest, AssignmentCopiesTextsAndLookupState) {
    ScsiStrings looked;
    looked.getLocalizedString(ScsiStrings::ScsiError);
    ScsiStrings target;
    target = looked;
    qln::Resource::registerString("libDravik", "LocalizedString.ScsiError", text("changed"), 0);
    EXPECT_EQ(text("SCSI error"), target.getLocalizedString(ScsiStrings::ScsiError));

    ScsiStrings unlooked;
    target = unlooked;  // back to "not yet looked up"
    EXPECT_EQ(text("changed"), target.getLocalizedString(ScsiStrings::ScsiError));
    target = target;
    EXPECT_EQ(text("changed"), target.getLocalizedString(ScsiStrings::ScsiError));
}

TEST_F(StringsTest, SeparatorIsColonBlank) {
    EXPECT_EQ(text(": "), ScsiStrings::SCSI_LOCALIZED_STR_SEPARATOR);
}

TEST_F(StringsTest, EnglishExactlyForLanguageZero) {
    EXPECT_TRUE(ScsiStrings::useEnglishStrings());
    qln::QLNLocale::getGlobalLocale().setLanguage(7);
    EXPECT_FALSE(ScsiStrings::useEnglishStrings());
    qln::QLNLocale::getGlobalLocale().setLanguage(1);
    EXPECT_FALSE(ScsiStrings::useEnglishStrings());
    qln::QLNLocale::getGlobalLocale().setLanguage(0);
    EXPECT_TRUE(ScsiStrings::useEnglishStrings());
}

}  // namespace
