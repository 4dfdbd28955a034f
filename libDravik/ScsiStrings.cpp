#include "ScsiStrings.h"

#include "qln/Locale.h"

namespace scsi {

namespace {

const char* const kCatalog = "libDravik";

// Key texts, indexed by SCSI_LOCALIZED_STR.
const char* const kKeyTexts[] = {
    "ScsiError", "InvalidCommand", "DriverError", "HostError", "TimedOut", "UnknownError",
};
const unsigned int kKeyCount = sizeof(kKeyTexts) / sizeof(kKeyTexts[0]);

// English texts the library brings along; a caller may register others.
struct EnglishTexts {
    EnglishTexts() {
        static const char* const texts[kKeyCount] = {
            "SCSI error",
            "Invalid command",
            "Driver error: {errnum}",
            "Host adapter error: {errnum}",
            "Command timed out",
            "Unknown error",
        };
        for (unsigned int key = 0; key < kKeyCount; ++key) {
            qln::String name = qln::String("LocalizedString.") + qln::String(kKeyTexts[key]);
            // A text the program registered before the library loaded stays.
            const qln::CString name8 = name.getLowerByteString();
            if (!qln::Resource::hasString(kCatalog, name8.c_str(), 0))
                qln::Resource::registerString(kCatalog, name8.c_str(), qln::String(texts[key]), 0);
        }
    }
};

const EnglishTexts s_englishTexts;

}  // namespace

const qln::String ScsiStrings::SCSI_LOCALIZED_STR_SEPARATOR(": ");

ScsiStrings::ScsiStrings() : entries(), lookedUp(false) {}

ScsiStrings::ScsiStrings(const ScsiStrings& other) : entries(other.entries), lookedUp(other.lookedUp) {}

ScsiStrings& ScsiStrings::operator=(const ScsiStrings& other) {
    entries = other.entries;  // keeps its block when both hold the same one
    lookedUp = other.lookedUp;
    return *this;
}

ScsiStrings::~ScsiStrings() {}

qln::String ScsiStrings::getLocalizedString(SCSI_LOCALIZED_STR key) const {
    lookupStrings();
    unsigned int index = static_cast<unsigned int>(key);
    if (lookedUp && index < entries.size())
        return entries[index].text;
    return qln::String::EMPTY;
}

bool ScsiStrings::useEnglishStrings() {
    return qln::QLNLocale::getGlobalLocale().getLanguage().id == 0;
}

void ScsiStrings::lookupStrings() const {
    if (lookedUp)
        return;
    entries = qln::Array<StringEntry>();
    for (unsigned int key = 0; key < kKeyCount; ++key) {
        StringEntry entry;
        entry.present = 1;
        entry.text = localize(qln::String(kKeyTexts[key]));
        entries.append(entry);
    }
    lookedUp = true;
}

qln::String ScsiStrings::localize(const qln::String& keyText) {
    qln::String name = qln::String("LocalizedString.") + keyText;
    qln::CString name8 = name.getLowerByteString();
    qln::String text;
    if (qln::Resource::getString(kCatalog, name8.c_str(), text, qln::QLNLocale::getGlobalLocale()))
        return text;
    return qln::String::EMPTY;
}

}  // namespace scsi
