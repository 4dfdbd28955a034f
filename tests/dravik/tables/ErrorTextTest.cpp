// The error line of a result record (getErrStr, getLastErrStr) for every
// result code, in English and in another language, with and without catalog
// texts, on the system's pass-through transport, on a test transport and on
// a device without transport.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "LocaleGuard.h"
#include "ModelAccessor.h"
#include "ModelScsiDevice.h"
#include "ScsiDevice.h"
#include "qln/Locale.h"
#include "qln/System.h"

using dravik_test::kOtherLanguage;
using dravik_test::LocaleGuard;
using scsi::ScsiDevice;

namespace {

const char kCatalog[] = "libDravik";
const char* const kNames[6] = {
    "LocalizedString.ScsiError",  "LocalizedString.InvalidCommand",
    "LocalizedString.DriverError", "LocalizedString.HostError",
    "LocalizedString.TimedOut",    "LocalizedString.UnknownError",
};
const char* const kEnglishTexts[6] = {
    "SCSI failure", "Bad command block", "Driver failure: {errnum}",
    "Host failure: {errnum}", "Too slow", "Cause unknown",
};
const char* const kOtherTexts[6] = {
    "ScsiError-7", "InvalidCommand-7", "DriverError-7 {errnum}|",
    "HostError-7 {errnum}|", "TimedOut-7", "UnknownError-7",
};

// Puts the test's catalog texts in place (or none at all) and the library's
// own English texts back afterwards.
class CatalogTexts {
public:
    explicit CatalogTexts(bool present) {
        for (int i = 0; i < 6; ++i) {
            saved_[i].present = qln::Resource::getString(kCatalog, kNames[i], saved_[i].text,
                                                         qln::QLNLocale::getGlobalLocale());
            qln::Resource::unregisterString(kCatalog, kNames[i], 0);
            qln::Resource::unregisterString(kCatalog, kNames[i], kOtherLanguage);
            if (present) {
                qln::Resource::registerString(kCatalog, kNames[i], kEnglishTexts[i], 0);
                qln::Resource::registerString(kCatalog, kNames[i], kOtherTexts[i], kOtherLanguage);
            }
        }
    }
    ~CatalogTexts() {
        for (int i = 0; i < 6; ++i) {
            qln::Resource::unregisterString(kCatalog, kNames[i], 0);
            qln::Resource::unregisterString(kCatalog, kNames[i], kOtherLanguage);
            if (saved_[i].present)
                qln::Resource::registerString(kCatalog, kNames[i], saved_[i].text, 0);
        }
    }

private:
    struct Saved {
        bool present = false;
        qln::String text;
    };
    Saved saved_[6];
};

enum Transport {
    SYSTEM,        // the pass-through transport (on a handle that never opened)
    NONE,          // no transport at all
    MODEL_TEXTS,   // a test transport that has texts for driver and host errors
    MODEL_NUMBERS  // a test transport that has none
};

ScsiDevice makeDevice(Transport transport) {
    switch (transport) {
    case SYSTEM:
        return ScsiDevice(qln::SharedFileHandle());
    case NONE:
        return ScsiDevice(scsi::AccessorTransfer());
    default: {
        auto model = std::make_shared<scsi::test::ModelScsiDevice>();
        model->errorTexts = transport == MODEL_TEXTS;
        return ScsiDevice(scsi::test::ModelAccessor::transfer(model));
    }
    }
}

enum SystemText {
    NO_SYSTEM_TEXT,
    SYSTEM_TEXT_ENGLISH,   // getSystemErrorMsg(detail, false)
    SYSTEM_TEXT_LOCALIZED  // getSystemErrorMsg(detail, true)
};

struct ErrorCase {
    std::int32_t code;
    std::uint32_t detail;
    bool senseValid;
    unsigned status, key, asc, ascq;
    bool english;
    bool catalog;
    Transport transport;
    const char* line;        // the line, or its start when a system text follows
    SystemText systemText;
};

scsi::command_result_info record(const ErrorCase& c) {
    scsi::command_result_info r;
    std::memset(&r, 0, sizeof r);
    r.senseBuffer[0] = 0x70;  // not read by the error line
    r.sense.status = static_cast<std::uint8_t>(c.status);
    r.sense.valid = c.senseValid ? 1 : 0;
    r.sense.senseKey = static_cast<std::uint8_t>(c.key);
    r.sense.asc = static_cast<std::uint8_t>(c.asc);
    r.sense.ascq = static_cast<std::uint8_t>(c.ascq);
    r.result.code = c.code;
    r.result.detail = c.detail;
    return r;
}

const bool E = true;   // English
const bool O = false;  // the other language
const bool C = true;   // catalog texts present
const bool N = false;  // no catalog texts

const ErrorCase kCases[] = {
    // Codes 0 and 1: the sense line, or the unknown-error text when it is empty.
    {0, 0, false, 0, 0, 0, 0, E, C, SYSTEM, "SCSI failure: No additional sense information available", NO_SYSTEM_TEXT},
    {0, 0, false, 0, 0, 0, 0, O, C, SYSTEM, "ScsiError-7: UnknownError-7", NO_SYSTEM_TEXT},
    {0, 0, false, 0, 0, 0, 0, E, N, SYSTEM, ": No additional sense information available", NO_SYSTEM_TEXT},
    {0, 0, false, 0, 0, 0, 0, O, N, SYSTEM, ": ", NO_SYSTEM_TEXT},
    {1, 0, true, 2, 5, 0x24, 0x00, E, C, SYSTEM,
     "SCSI failure: Check Condition: Illegal Request - INVALID FIELD IN CDB", NO_SYSTEM_TEXT},
    {1, 0, true, 2, 5, 0x24, 0x00, O, C, SYSTEM, "ScsiError-7: (SK:05h ASC:24h ASCQ:00h)", NO_SYSTEM_TEXT},
    {1, 0, true, 2, 5, 0x24, 0x7E, E, C, NONE,
     "SCSI failure: Check Condition: Illegal Request - Not in Specification (ASC:24h ASCQ:7Eh)",
     NO_SYSTEM_TEXT},
    {1, 0, true, 2, 0, 0x29, 0x00, O, C, SYSTEM, "ScsiError-7: UnknownError-7", NO_SYSTEM_TEXT},

    // Code 2, 5 and the unknown codes: a catalog text after the separator.
    {2, 17, false, 0, 0, 0, 0, E, C, SYSTEM, "SCSI failure: Bad command block", NO_SYSTEM_TEXT},
    {2, 17, false, 0, 0, 0, 0, O, C, SYSTEM, "ScsiError-7: InvalidCommand-7", NO_SYSTEM_TEXT},
    {2, 17, false, 0, 0, 0, 0, E, N, SYSTEM, ": ", NO_SYSTEM_TEXT},
    {2, 17, false, 0, 0, 0, 0, O, N, SYSTEM, ": ", NO_SYSTEM_TEXT},
    {5, 0, false, 0, 0, 0, 0, E, C, MODEL_TEXTS, "SCSI failure: Too slow", NO_SYSTEM_TEXT},
    {5, 0, false, 0, 0, 0, 0, O, C, MODEL_TEXTS, "ScsiError-7: TimedOut-7", NO_SYSTEM_TEXT},
    {5, 0, false, 0, 0, 0, 0, E, N, MODEL_TEXTS, ": ", NO_SYSTEM_TEXT},
    {6, 4, false, 0, 0, 0, 0, E, C, SYSTEM, "SCSI failure: Cause unknown", NO_SYSTEM_TEXT},
    {6, 4, false, 0, 0, 0, 0, O, C, SYSTEM, "ScsiError-7: UnknownError-7", NO_SYSTEM_TEXT},
    {7, 0, false, 0, 0, 0, 0, E, C, SYSTEM, "SCSI failure: Cause unknown", NO_SYSTEM_TEXT},
    {9, 0, false, 0, 0, 0, 0, E, C, SYSTEM, "SCSI failure: Cause unknown", NO_SYSTEM_TEXT},
    {-1, 0, true, 2, 5, 0x24, 0x00, E, C, SYSTEM, "SCSI failure: Cause unknown", NO_SYSTEM_TEXT},
    {-1, 0, false, 0, 0, 0, 0, O, N, SYSTEM, ": ", NO_SYSTEM_TEXT},

    // Code 3: the driver text without its placeholder, then the transport's
    // text for the code (English) or the code in hexadecimal.
    {3, 31, false, 0, 0, 0, 0, E, C, SYSTEM, "Driver failure: ", SYSTEM_TEXT_ENGLISH},
    {3, 31, false, 0, 0, 0, 0, E, N, SYSTEM, "", SYSTEM_TEXT_ENGLISH},
    {3, 31, false, 0, 0, 0, 0, O, C, SYSTEM, "DriverError-7 |1FH", NO_SYSTEM_TEXT},
    {3, 31, false, 0, 0, 0, 0, O, N, SYSTEM, "1FH", NO_SYSTEM_TEXT},
    {3, 31, false, 0, 0, 0, 0, E, C, MODEL_TEXTS, "Driver failure: driver error 31", NO_SYSTEM_TEXT},
    {3, 31, false, 0, 0, 0, 0, O, C, MODEL_TEXTS, "DriverError-7 |1FH", NO_SYSTEM_TEXT},
    {3, 31, false, 0, 0, 0, 0, E, C, MODEL_NUMBERS, "Driver failure: 1FH", NO_SYSTEM_TEXT},
    {3, 0, false, 0, 0, 0, 0, E, C, MODEL_NUMBERS, "Driver failure: 0H", NO_SYSTEM_TEXT},
    // No transport to ask: the number, as outside English.
    {3, 31, false, 0, 0, 0, 0, E, C, NONE, "Driver failure: 1FH", NO_SYSTEM_TEXT},
    {3, 31, false, 0, 0, 0, 0, E, N, NONE, "1FH", NO_SYSTEM_TEXT},

    // Code 4: the same with the host text.
    {4, 31, false, 0, 0, 0, 0, E, C, SYSTEM, "Host failure: ", SYSTEM_TEXT_ENGLISH},
    {4, 31, false, 0, 0, 0, 0, O, C, SYSTEM, "HostError-7 |1FH", NO_SYSTEM_TEXT},
    {4, 31, false, 0, 0, 0, 0, O, N, SYSTEM, "1FH", NO_SYSTEM_TEXT},
    {4, 31, false, 0, 0, 0, 0, E, C, MODEL_TEXTS, "Host failure: host error 31", NO_SYSTEM_TEXT},
    {4, 0xABCDEF01u, false, 0, 0, 0, 0, E, C, MODEL_NUMBERS, "Host failure: ABCDEF01H", NO_SYSTEM_TEXT},
    {4, 0xABCDEF01u, false, 0, 0, 0, 0, E, C, NONE, "Host failure: ABCDEF01H", NO_SYSTEM_TEXT},

    // Code 8: the driver text, then the system's message (localized outside
    // English), whatever the transport.
    {8, 5, false, 0, 0, 0, 0, E, C, SYSTEM, "Driver failure: ", SYSTEM_TEXT_ENGLISH},
    {8, 5, false, 0, 0, 0, 0, O, C, SYSTEM, "DriverError-7 |", SYSTEM_TEXT_LOCALIZED},
    {8, 5, false, 0, 0, 0, 0, E, N, SYSTEM, "", SYSTEM_TEXT_ENGLISH},
    {8, 5, false, 0, 0, 0, 0, O, N, SYSTEM, "", SYSTEM_TEXT_LOCALIZED},
    {8, 5, false, 0, 0, 0, 0, E, C, NONE, "Driver failure: ", SYSTEM_TEXT_ENGLISH},
    {8, 5, false, 0, 0, 0, 0, E, C, MODEL_TEXTS, "Driver failure: ", SYSTEM_TEXT_ENGLISH},
};

const char* transportName(Transport t) {
    switch (t) {
    case SYSTEM: return "system transport";
    case NONE: return "no transport";
    case MODEL_TEXTS: return "test transport with texts";
    default: return "test transport without texts";
    }
}

std::wstring wide(const char* text) {
    return qln::String(text).native();
}

TEST(ErrorText, LineForEachCode) {
    for (const ErrorCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " detail " << c.detail
                                        << (c.english ? ", English" : ", other language")
                                        << (c.catalog ? ", catalog" : ", no catalog") << ", "
                                        << transportName(c.transport));
        CatalogTexts catalog(c.catalog);
        LocaleGuard locale(c.english ? 0 : kOtherLanguage);
        const ScsiDevice device = makeDevice(c.transport);

        std::wstring expected = wide(c.line);
        if (c.systemText != NO_SYSTEM_TEXT)
            expected += qln::System::getSystemErrorMsg(c.detail, c.systemText == SYSTEM_TEXT_LOCALIZED)
                            .native();
        EXPECT_EQ(expected, device.getErrStr(record(c)).native());
    }
}

// The system texts above are real messages of the system, not a fallback.
TEST(ErrorText, SystemMessagesAreTheSystemsOwn) {
    for (std::uint32_t code : {5u, 6u, 31u}) {
        SCOPED_TRACE(code);
        const std::wstring text = qln::System::getSystemErrorMsg(code, false).native();
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(std::wstring::npos, text.find(L"System error"));
    }
}

TEST(ErrorText, NewDeviceBeforeAnyCommand) {
    CatalogTexts catalog(true);
    {
        LocaleGuard locale(0);
        const ScsiDevice device = makeDevice(SYSTEM);
        EXPECT_EQ(wide("SCSI failure: No additional sense information available"),
                  device.getLastErrStr().native());
    }
    {
        LocaleGuard locale(kOtherLanguage);
        const ScsiDevice device = makeDevice(SYSTEM);
        EXPECT_EQ(wide("ScsiError-7: UnknownError-7"), device.getLastErrStr().native());
    }
}

TEST(ErrorText, LastErrorOfAFailedCommand) {
    CatalogTexts catalog(true);
    LocaleGuard locale(0);
    unsigned char testUnitReady[6] = {0, 0, 0, 0, 0, 0};

    // A CHECK CONDITION answered by the model device.
    auto model = std::make_shared<scsi::test::ModelScsiDevice>();
    model->on(scsi::test::ModelAnswer::checkCondition({0x00}, scsi::test::fixedSense(5, 0x24, 0x00)));
    ScsiDevice modelDevice(scsi::test::ModelAccessor::transfer(model));
    EXPECT_FALSE(modelDevice.send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0));
    EXPECT_EQ(wide("SCSI failure: Check Condition: Illegal Request - INVALID FIELD IN CDB"),
              modelDevice.getLastErrStr().native());

    // The pass-through on a handle that never opened fails in the driver.
    ScsiDevice systemDevice = makeDevice(SYSTEM);
    EXPECT_FALSE(systemDevice.send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0));
    ASSERT_EQ(scsi::CMD_RESULT_DRIVER_ERROR, systemDevice.getLastResult().code);
    const std::uint32_t error = systemDevice.getLastResult().detail;
    EXPECT_NE(0u, error);
    EXPECT_EQ(wide("Driver failure: ") + qln::System::getSystemErrorMsg(error, false).native(),
              systemDevice.getLastErrStr().native());
}

}  // namespace
