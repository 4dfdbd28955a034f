// The three level-1 dumps on "libDravik.ScsiDevice".
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ScsiDevice.h"
#include "ScsiDeviceProbe.h"

using scsi::ScsiDevice;
using scsi::test::widen;

namespace {

std::string hexList(const unsigned char* bytes, int count) {
    std::string text;
    char one[8];
    for (int i = 0; i < count; ++i) {
        std::snprintf(one, sizeof(one), " 0x%02X", bytes[i]);
        text += one;
    }
    return text;
}

std::vector<unsigned char> pattern(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    return bytes;
}

class DumpTest : public qln::test::LogCaptureTest {
protected:
    std::wstring onlyText() {
        EXPECT_EQ(1u, log.entries().size()) << log.dump();
        if (log.entries().empty())
            return std::wstring();
        EXPECT_EQ(L"libDravik.ScsiDevice", log.entries()[0].channel);
        EXPECT_EQ(1, log.entries()[0].level);
        std::wstring text = log.entries()[0].text;
        log.clear();
        return text;
    }
};

TEST_F(DumpTest, CdbListsEveryByte) {
    const unsigned char cdb[] = {0x12, 0x01, 0x80, 0x00, 0xFF, 0x00};
    ScsiDevice::print_cdb(cdb, 6);
    EXPECT_EQ(L"117 CDB:  0x12 0x01 0x80 0x00 0xFF 0x00", onlyText());
    ScsiDevice::print_cdb(cdb, 0);
    EXPECT_EQ(L"117 CDB: ", onlyText());
    ScsiDevice::print_cdb(cdb, -3);
    EXPECT_EQ(L"117 CDB: ", onlyText());
    ScsiDevice::print_cdb(nullptr, 6);
    EXPECT_EQ(L"117 CDB:  <<< BUFFER POINTER NULL >>> ", onlyText());
    // Nothing to show from a null address is an empty dump, not the marker.
    ScsiDevice::print_cdb(nullptr, 0);
    EXPECT_EQ(L"117 CDB: ", onlyText());
    ScsiDevice::print_cdb(nullptr, -3);
    EXPECT_EQ(L"117 CDB: ", onlyText());
}

TEST_F(DumpTest, SenseBufferListsEveryByteOrNamesANullBuffer) {
    std::vector<unsigned char> sense = pattern(252);
    ScsiDevice::print_sense_buffer(sense.data(), 252);
    EXPECT_EQ(widen("135 Sense Buffer: " + hexList(sense.data(), 252)), onlyText());
    ScsiDevice::print_sense_buffer(nullptr, 252);
    EXPECT_EQ(L"135 Sense Buffer:  <<< BUFFER POINTER NULL >>> ", onlyText());
}

TEST_F(DumpTest, ResponseIsCutAfter128Bytes) {
    std::vector<unsigned char> data = pattern(300);
    struct Case {
        int length;
        std::string suffix;
    } cases[] = {{0, ""},
                 {5, ""},
                 {128, ""},
                 {129, " ... (128 / 129 Bytes)"},
                 {300, " ... (128 / 300 Bytes)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        ScsiDevice::print_cdb_response(data.data(), c.length);
        int shown = c.length < 128 ? c.length : 128;
        EXPECT_EQ(widen("146 CDB Response: " + hexList(data.data(), shown) + c.suffix), onlyText());
    }
    ScsiDevice::print_cdb_response(nullptr, 300);
    EXPECT_EQ(L"146 CDB Response:  <<< BUFFER POINTER NULL >>> ", onlyText());
    ScsiDevice::print_cdb_response(nullptr, 0);
    EXPECT_EQ(L"146 CDB Response:  <<< BUFFER POINTER NULL >>> ", onlyText());
}

TEST(DumpGate, NothingBelowTheTraceLevel) {
    qln::test::LogCapture log(qln::LOG_INFO);
    const unsigned char cdb[] = {0x00};
    ScsiDevice::print_cdb(cdb, 1);
    ScsiDevice::print_sense_buffer(cdb, 1);
    ScsiDevice::print_cdb_response(cdb, 1);
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

}  // namespace
