// The one-line sense text, getSenseErrStr, in English and in another language.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "LocaleGuard.h"
#include "ScsiDevice.h"

using dravik_test::LocaleGuard;
using scsi::ScsiDevice;

namespace {

scsi::sense_info summary(unsigned status, bool valid, unsigned key, unsigned asc, unsigned ascq) {
    scsi::sense_info s;
    std::memset(&s, 0, sizeof s);
    s.status = static_cast<std::uint8_t>(status);
    s.valid = valid ? 1 : 0;
    s.senseKey = static_cast<std::uint8_t>(key);
    s.asc = static_cast<std::uint8_t>(asc);
    s.ascq = static_cast<std::uint8_t>(ascq);
    return s;
}

struct SenseCase {
    unsigned status;
    bool valid;
    unsigned key, asc, ascq;
    bool withCodes;
    bool english;
    const char* line;  // "" : an empty buffer
};

const SenseCase kCases[] = {
    // The example lines.
    {0x02, true, 5, 0x24, 0x00, false, true, "Check Condition: Illegal Request - INVALID FIELD IN CDB"},
    {0x02, true, 5, 0x24, 0x00, true, true,
     "Check Condition: Illegal Request - INVALID FIELD IN CDB (SK:05h ASC:24h ASCQ:00h)"},
    {0x02, false, 0, 0, 0, false, true, "Check Condition: No additional sense information available"},
    {0x00, true, 3, 0x11, 0x00, false, true, "Medium Error - UNRECOVERED READ ERROR"},
    {0x02, true, 5, 0x24, 0x7E, false, true,
     "Check Condition: Illegal Request - Not in Specification (ASC:24h ASCQ:7Eh)"},
    {0x02, true, 6, 0x29, 0x00, false, false, "(SK:06h ASC:29h ASCQ:00h)"},

    // The same summaries in the other locale: codes or nothing.
    {0x02, true, 5, 0x24, 0x00, false, false, "(SK:05h ASC:24h ASCQ:00h)"},
    {0x02, true, 5, 0x24, 0x7E, true, false, "(SK:05h ASC:24h ASCQ:7eh)"},
    {0x02, false, 5, 0x24, 0x00, false, false, ""},
    {0x02, true, 0, 0x29, 0x00, true, false, ""},
    {0x02, true, 5, 0x00, 0x00, true, false, ""},
    {0x00, true, 0x0C, 0xAB, 0xCD, false, false, "(SK:0ch ASC:abh ASCQ:cdh)"},

    // Codes are asked for: lower-case hexadecimal, and the unassigned-code
    // text stays plain because the codes follow.
    {0x02, true, 5, 0x24, 0x7E, true, true,
     "Check Condition: Illegal Request - Not in Specification (SK:05h ASC:24h ASCQ:7eh)"},
    {0x02, true, 0x0B, 0x4B, 0x00, true, true,
     "Check Condition: Aborted Command - DATA PHASE ERROR (SK:0bh ASC:4bh ASCQ:00h)"},
    // Sense key 0: no key text and no codes, even when asked for.
    {0x00, true, 0, 0x00, 0x00, true, true, "NO ADDITIONAL SENSE INFORMATION"},
    {0x02, true, 0, 0x29, 0x00, true, true, "Check Condition: POWER ON, RESET, OR BUS DEVICE RESET OCCURRED"},
    // ASC and ASCQ both 0: no codes.
    {0x02, true, 5, 0x00, 0x00, true, true, "Check Condition: Illegal Request - NO ADDITIONAL SENSE INFORMATION"},
    // Sense key 0Ch has an empty text: no " - ".
    {0x02, true, 0x0C, 0x24, 0x00, false, true, "Check Condition: INVALID FIELD IN CDB"},
    // Without a status only the sense parts; without the valid bit the key is left out.
    {0x00, false, 5, 0x24, 0x00, false, true, "No additional sense information available"},
    {0x00, false, 5, 0x24, 0x00, true, true, "No additional sense information available"},
    {0x08, true, 0, 0x00, 0x00, false, true, "Busy: NO ADDITIONAL SENSE INFORMATION"},
    // Bits 0 and 7 of the status ignored; vendor-specific sense codes.
    {0x83, true, 9, 0x80, 0x01, false, true, "Check Condition: Vendor Specific - Vendor Specific"},
    {0x02, true, 5, 0x75, 0x00, false, true,
     "Check Condition: Illegal Request - Not in Specification (ASC:75h ASCQ:00h)"},
};

TEST(SenseText, LinesInBothLocales) {
    for (const SenseCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "status " << c.status << (c.valid ? " valid" : " invalid")
                                        << " key " << c.key << " " << c.asc << "/" << c.ascq
                                        << (c.withCodes ? " with codes" : "")
                                        << (c.english ? " English" : " other"));
        LocaleGuard locale(c.english ? 0 : dravik_test::kOtherLanguage);
        const qln::Buffer<char> line =
            ScsiDevice::getSenseErrStr(summary(c.status, c.valid, c.key, c.asc, c.ascq), c.withCodes);
        if (c.line[0] == '\0') {
            EXPECT_EQ(0u, line.getLength());
            EXPECT_EQ(nullptr, line.getData());
            continue;
        }
        const std::size_t n = std::strlen(c.line);
        ASSERT_EQ(n + 1, line.getLength());
        EXPECT_EQ(line.getLength(), line.getCapacity());
        EXPECT_EQ('\0', line[n]);
        EXPECT_EQ(std::string(c.line), std::string(line.getData(), n));
    }
}

}  // namespace
