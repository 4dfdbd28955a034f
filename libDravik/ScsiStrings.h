// The localized message texts of a device: six texts of the resource catalog
// "libDravik", looked up once per object and kept.
#pragma once

#include "DravikConfig.h"
#include "qln/Array.h"
#include "qln/String.h"

namespace scsi {

class DRAVIK_API ScsiStrings {
public:
    // Message keys; an entry's position in the looked-up list is its key.
    enum SCSI_LOCALIZED_STR {
        ScsiError = 0,
        InvalidCommand = 1,
        DriverError = 2,  // the text holds the placeholder "{errnum}"
        HostError = 3,    // the text holds the placeholder "{errnum}"
        TimedOut = 4,
        UnknownError = 5
    };

    struct StringEntry {
        qln::Uint8 present;  // always 1
        qln::String text;    // empty when the catalog has none
    };

    // ": ", put between a key text and its detail.
    static const qln::String SCSI_LOCALIZED_STR_SEPARATOR;

    ScsiStrings();
    ScsiStrings(const ScsiStrings& other);
    ScsiStrings& operator=(const ScsiStrings& other);
    virtual ~ScsiStrings();

    // The key's text; the empty text for a key outside the table.
    qln::String getLocalizedString(SCSI_LOCALIZED_STR key) const;

    // True when the global locale's language is English (id 0).
    static bool useEnglishStrings();

private:
    void lookupStrings() const;
    static qln::String localize(const qln::String& keyText);

    mutable qln::Array<StringEntry> entries;
    mutable bool lookedUp;
};

}  // namespace scsi
