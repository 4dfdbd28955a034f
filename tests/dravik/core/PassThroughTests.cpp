// The system pass-through accessor, run for real inside Dravik.dll against a
// model device behind a fake DeviceIoControl.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cctype>
#include <cstdio>
#include <cwchar>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeDeviceIoControl.h"
#include "LogCapture.h"
#include "ModelScsiDevice.h"
#include "ScsiDevice.h"
#include "ScsiDeviceProbe.h"
#include "qln/Format.h"
#include "qln/System.h"

using namespace scsi;
using namespace scsi::test;
using qln::test::LogEntry;

namespace {

const DWORD kHeader = sizeof(SCSI_PASS_THROUGH);
const wchar_t* const kChannel = L"libDravik.OSScsiDeviceAccessor";

unsigned char kTestUnitReady[6] = {0x00, 0, 0, 0, 0, 0};

std::string hexList(const unsigned char* bytes, std::size_t count) {
    std::string text;
    char one[8];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(one, sizeof(one), " 0x%02X", bytes[i]);
        text += one;
    }
    return text;
}

Bytes pattern(std::size_t n, unsigned char seed) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i * 3);
    return bytes;
}

class PassThroughTest : public qln::test::LogCaptureTest {
protected:
    PassThroughTest()
        : model(std::make_shared<ModelScsiDevice>()), handle(fake.makeHandle(model)), device(handle) {}

    void SetUp() override { ASSERT_TRUE(fake.applied()); }

    bool testUnitReady() { return device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0); }

    bool read10(std::vector<unsigned char>& buffer, unsigned int dataLen) {
        unsigned char cdb[10] = {0x28, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(dataLen >> 17),
                                 static_cast<unsigned char>(dataLen >> 9), 0};
        return device.send_scsi_cmd(cdb, 10, buffer.data(), dataLen, DXFER_FROM_DEVICE, 0);
    }

    // Texts of the accessor's messages, in order.
    std::vector<std::wstring> accessorTexts() const {
        std::vector<std::wstring> texts;
        for (const LogEntry& e : log.entries())
            if (e.channel == kChannel)
                texts.push_back(e.text);
        return texts;
    }
    const LogEntry* message(const wchar_t* prefix) const {
        for (const LogEntry& e : log.entries())
            if (e.text.compare(0, std::wcslen(prefix), prefix) == 0)
                return &e;
        return nullptr;
    }

    ModelDevicePtr model;
    FakeDeviceIoControl fake;
    qln::SharedFileHandle handle;
    ScsiDeviceProbe device;
};

// --- the request as the system sees it --------------------------------------

struct TimeoutCase {
    unsigned int defaultMs;
    unsigned int argumentMs;
    ULONG seconds;
};

class TimeoutRoundingTest : public PassThroughTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutRoundingTest, RoundsUpToWholeSeconds) {
    const TimeoutCase& c = GetParam();
    model->on(ModelAnswer::good({0x00}));
    device.setDefaultTimeoutMs(c.defaultMs);
    EXPECT_TRUE(device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, c.argumentMs));
    ASSERT_EQ(1u, fake.requests().size());
    EXPECT_TRUE(FakeDeviceIoControl::wellFormed(fake.lastRequest()));
    EXPECT_EQ(c.seconds, fake.lastRequest().header.TimeOutValue);
}

INSTANTIATE_TEST_SUITE_P(Seconds, TimeoutRoundingTest,
                         ::testing::Values(TimeoutCase{0, 0, 0}, TimeoutCase{20000, 1, 1},
                                           TimeoutCase{20000, 1000, 1}, TimeoutCase{20000, 1001, 2},
                                           TimeoutCase{20000, 1500, 2}, TimeoutCase{20000, 20000, 20},
                                           TimeoutCase{20000, 0, 20}, TimeoutCase{60000, 0, 60},
                                           TimeoutCase{20000, 60000, 60},
                                           // the largest time-out does not wrap to 0
                                           TimeoutCase{20000, 0xFFFFFFFFu, 4294968u}));

TEST_F(PassThroughTest, NoDataCommandSendsTheSmallestRequest) {
    model->on(ModelAnswer::good({0x00}));
    EXPECT_TRUE(testUnitReady());
    ASSERT_EQ(1u, fake.requests().size());
    const PassThroughRequest& r = fake.lastRequest();
    EXPECT_TRUE(FakeDeviceIoControl::wellFormed(r));
    EXPECT_EQ(kHeader + 252 + 256, r.inSize);
#if defined(_WIN64)
    EXPECT_EQ(564u, r.inSize);
#else
    EXPECT_EQ(552u, r.inSize);
#endif
    EXPECT_EQ(6, r.header.CdbLength);
    EXPECT_EQ(SCSI_IOCTL_DATA_UNSPECIFIED, r.header.DataIn);
    EXPECT_EQ(0u, r.header.DataTransferLength);
    EXPECT_EQ(CMD_RESULT_OK, device.getLastResult().code);
    EXPECT_EQ(1, device.getLastSense().valid);

    std::vector<std::wstring> texts = accessorTexts();
    ASSERT_EQ(2u, texts.size()) << log.dump();
    EXPECT_EQ(L"180 No sense information returned", texts[0]);
    EXPECT_EQ(L"187 SCSI command issued successfully.  SCSI Status: 00h from opcode 00h.  "
              L"Transferred 0 B.",
              texts[1]);
    const LogEntry* dump = message(L"146 ");
    ASSERT_NE(nullptr, dump);
    EXPECT_EQ(L"146 CDB Response:  <<< BUFFER POINTER NULL >>> ", dump->text);
    EXPECT_EQ(1, dump->level);
}

TEST_F(PassThroughTest, BlocksUpToSixteenBytesAreSent) {
    const unsigned int lengths[] = {1, 6, 10, 12, 16};
    model->on(ModelAnswer::good({}));
    for (unsigned int length : lengths) {
        SCOPED_TRACE(length);
        Bytes cdb = pattern(length, 0x88);
        fake.clear();
        EXPECT_TRUE(device.send_scsi_cmd(cdb.data(), length, nullptr, 0, DXFER_NONE, 0));
        ASSERT_EQ(1u, fake.requests().size());
        const PassThroughRequest& r = fake.lastRequest();
        EXPECT_TRUE(FakeDeviceIoControl::wellFormed(r));
        EXPECT_EQ(length, r.header.CdbLength);
        EXPECT_EQ(0, std::memcmp(cdb.data(), r.header.Cdb, length));
        for (unsigned int i = length; i < 16; ++i)
            EXPECT_EQ(0, r.header.Cdb[i]);
        EXPECT_EQ(Bytes(cdb.begin(), cdb.end()), model->lastCommand().cdb);
    }
}

TEST_F(PassThroughTest, SeventeenByteBlockIsRefusedUnsent) {
    model->on(ModelAnswer::checkCondition({}, fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(testUnitReady());
    const command_result_info before = device.getResultData();
    log.clear();

    Bytes cdb = pattern(17, 0x01);
    std::vector<unsigned char> data(64, 0xAA);
    EXPECT_FALSE(device.send_scsi_cmd(cdb.data(), 17, data.data(), 64, DXFER_FROM_DEVICE, 0));
    EXPECT_EQ(1u, fake.requests().size());
    EXPECT_EQ(CMD_RESULT_INVALID_COMMAND, device.getLastResult().code);
    EXPECT_EQ(17u, device.getLastResult().detail);
    EXPECT_EQ(0, device.getLastSense().valid);
    EXPECT_EQ(before.sense.senseKey, device.getLastSense().senseKey);
    EXPECT_EQ(0, std::memcmp(before.senseBuffer, device.getResultData().senseBuffer, 252));
    EXPECT_EQ(std::vector<unsigned char>(64, 0xAA), data);
    EXPECT_TRUE(accessorTexts().empty()) << log.dump();
}

TEST_F(PassThroughTest, ReadCopiesTheAnswerBack) {
    const unsigned int sizes[] = {36, 256, 257, 4096};
    for (unsigned int size : sizes) {
        SCOPED_TRACE(size);
        Bytes answer = pattern(size, 0x20);
        model->clearAnswers();
        model->on(ModelAnswer::good({0x28}, answer));
        fake.clear();
        std::vector<unsigned char> buffer(size, 0xAA);
        EXPECT_TRUE(read10(buffer, size));
        const PassThroughRequest& r = fake.lastRequest();
        EXPECT_TRUE(FakeDeviceIoControl::wellFormed(r));
        EXPECT_EQ(FakeDeviceIoControl::requestSizeFor(size), r.inSize);
        EXPECT_EQ(SCSI_IOCTL_DATA_IN, r.header.DataIn);
        EXPECT_EQ(size, r.header.DataTransferLength);
        EXPECT_EQ(Bytes(size, 0xAA), r.dataSent);  // the caller's bytes go out whatever the direction
        EXPECT_EQ(std::vector<unsigned char>(answer.begin(), answer.end()), buffer);
        EXPECT_EQ(CMD_RESULT_OK, device.getLastResult().code);
    }
}

TEST_F(PassThroughTest, WriteHandsTheCallersBytesToTheDevice) {
    model->on(ModelAnswer::good({0x2A}));
    Bytes payload = pattern(512, 0x31);
    std::vector<unsigned char> buffer(payload.begin(), payload.end());
    unsigned char cdb[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    EXPECT_TRUE(device.send_scsi_cmd(cdb, 10, buffer.data(), 512, DXFER_TO_DEVICE, 0));
    const PassThroughRequest& r = fake.lastRequest();
    EXPECT_TRUE(FakeDeviceIoControl::wellFormed(r));
    EXPECT_EQ(SCSI_IOCTL_DATA_OUT, r.header.DataIn);
    EXPECT_EQ(512u, r.header.DataTransferLength);
    EXPECT_EQ(payload, r.dataSent);
    EXPECT_EQ(payload, model->lastCommand().dataSent);
    EXPECT_EQ(std::vector<unsigned char>(payload.begin(), payload.end()), buffer);
}

// --- short transfers --------------------------------------------------------

struct ShortCase {
    DXFER_DIRECTION direction;
    unsigned int dataLen;
    unsigned int transferred;
    unsigned char status;
    int code;
    unsigned int detail;  // expected, or 4242 when it keeps its previous value
};

class ShortTransferTest : public PassThroughTest, public ::testing::WithParamInterface<ShortCase> {};

TEST_P(ShortTransferTest, ReportsUnderrunOnlyWithStatusGood) {
    const ShortCase& c = GetParam();
    ModelAnswer a;
    a.match = {0x28};
    a.status = c.status;
    a.data = pattern(c.dataLen, 0x40);
    a.transferred = c.transferred;
    model->on(a);
    device.record().result.detail = 4242;

    std::vector<unsigned char> buffer(c.dataLen, 0xAA);
    const std::vector<unsigned char> original = buffer;
    unsigned char cdb[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    EXPECT_FALSE(device.send_scsi_cmd(cdb, 10, buffer.data(), c.dataLen, c.direction, 0));
    EXPECT_EQ(c.code, device.getLastResult().code);
    EXPECT_EQ(c.detail, device.getLastResult().detail);

    if (c.direction == DXFER_FROM_DEVICE) {
        for (unsigned int i = 0; i < c.dataLen; ++i)
            ASSERT_EQ(i < c.transferred ? a.data[i] : 0, buffer[i]) << "byte " << i;
    } else {
        EXPECT_EQ(original, buffer);  // a write never changes the caller's data
    }

    const LogEntry* truncated = message(L"198 ");
    if (c.code == CMD_RESULT_UNDERRUN) {
        ASSERT_NE(nullptr, truncated) << log.dump();
        EXPECT_EQ(3, truncated->level);
        EXPECT_EQ(kChannel, truncated->channel);
        wchar_t expected[128];
        std::swprintf(expected, 128,
                      L"198 Truncated data. opcode 28h, Requested %u bytes, received only %u bytes.",
                      c.dataLen, c.transferred);
        EXPECT_EQ(std::wstring(expected), truncated->text);
    } else {
        EXPECT_EQ(nullptr, truncated);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, ShortTransferTest,
    ::testing::Values(ShortCase{DXFER_FROM_DEVICE, 512, 508, 0x00, CMD_RESULT_UNDERRUN, 4},
                      ShortCase{DXFER_FROM_DEVICE, 512, 0, 0x00, CMD_RESULT_UNDERRUN, 512},
                      ShortCase{DXFER_FROM_DEVICE, 36, 35, 0x00, CMD_RESULT_UNDERRUN, 1},
                      ShortCase{DXFER_TO_DEVICE, 512, 500, 0x00, CMD_RESULT_UNDERRUN, 12},
                      // with status other than GOOD a short transfer is not reported
                      ShortCase{DXFER_FROM_DEVICE, 512, 508, 0x08, CMD_RESULT_SCSI_ERROR, 4242}));

TEST_F(PassThroughTest, ResponseDumpNeverReadsPastTheCallersBuffer) {
    // The driver claims more than was asked for.
    ModelAnswer a = ModelAnswer::good({0x12}, pattern(300, 0x11));
    a.transferred = 300;
    model->on(a);
    std::vector<unsigned char> buffer(64, 0xAA);
    unsigned char cdb[6] = {0x12, 0, 0, 0, 16, 0};
    EXPECT_TRUE(device.send_scsi_cmd(cdb, 6, buffer.data(), 16, DXFER_FROM_DEVICE, 0));
    EXPECT_EQ(CMD_RESULT_OK, device.getLastResult().code);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(a.data[i], buffer[i]);
    for (std::size_t i = 16; i < buffer.size(); ++i)
        ASSERT_EQ(0xAA, buffer[i]) << "byte " << i;
    const LogEntry* dump = message(L"146 ");
    ASSERT_NE(nullptr, dump);
    EXPECT_EQ(widen("146 CDB Response: " + hexList(a.data.data(), 16)), dump->text);
    EXPECT_NE(nullptr, message(L"187 SCSI command issued successfully.  SCSI Status: 00h from opcode "
                               L"12h.  Transferred 300 B."));
}

// --- status and sense -------------------------------------------------------

struct SenseCase {
    const char* name;
    Bytes sense;
    int valid;
    unsigned char key;
    unsigned char asc;
    unsigned char ascq;
    const wchar_t* summaryMessage;  // 48, 61 or 74 message, or null
    int summaryLevel;
    bool success;
};

Bytes withByte0(Bytes sense, unsigned char b) {
    sense[0] = b;
    return sense;
}

const SenseCase kSenseCases[] = {
    {"fixed 18", fixedSense(0x05, 0x24, 0x00), 1, 5, 0x24, 0x00, nullptr, 0, false},
    {"fixed 14", fixedSense(0x03, 0x11, 0x05, 14), 1, 3, 0x11, 0x05, nullptr, 0, false},
    {"fixed 13", fixedSense(0x03, 0x11, 0x05, 13), 1, 3, 0x11, 0x00, nullptr, 0, false},
    {"fixed 8", fixedSense(0x06, 0x29, 0x00, 8), 1, 6, 0x00, 0x00, nullptr, 0, false},
    {"fixed 3", fixedSense(0x02, 0x04, 0x01, 3), 1, 2, 0x00, 0x00, nullptr, 0, false},
    {"fixed F0h", withByte0(fixedSense(0x04, 0x44, 0x00), 0xF0), 1, 4, 0x44, 0x00, nullptr, 0, false},
    {"deferred 71h", withByte0(fixedSense(0x0B, 0x47, 0x01), 0x71), 1, 0x0B, 0x47, 0x01, nullptr, 0, false},
    {"recovered", fixedSense(0x01, 0x17, 0x01), 1, 1, 0x17, 0x01, nullptr, 0, true},
    {"descriptor 8", descriptorSense(0x05, 0x20, 0x00), 1, 5, 0x20, 0x00, nullptr, 0, false},
    {"descriptor 4", descriptorSense(0x05, 0x21, 0x01, 4), 1, 5, 0x21, 0x01, nullptr, 0, false},
    {"descriptor 3", descriptorSense(0x05, 0x21, 0x01, 3), 1, 5, 0x21, 0x00, nullptr, 0, false},
    {"descriptor 2", descriptorSense(0x05, 0x21, 0x01, 2), 1, 5, 0x00, 0x00, nullptr, 0, false},
    {"deferred 73h", withByte0(descriptorSense(0x0E, 0x1D, 0x00), 0x73), 1, 0x0E, 0x1D, 0, nullptr, 0, false},
    {"fixed 2", fixedSense(0x05, 0x24, 0x00, 2), 0, 0, 0, 0, L"48 Invalid fixed format sense data", 4, false},
    {"fixed 1", fixedSense(0x05, 0x24, 0x00, 1), 0, 0, 0, 0, L"48 Invalid fixed format sense data", 4, false},
    {"descriptor 1", descriptorSense(0x05, 0x24, 0x00, 1), 0, 0, 0, 0,
     L"61 Invalid descriptor format sense data", 4, false},
    {"response 00h", withByte0(fixedSense(0x05, 0x24, 0x00), 0x00), 0, 0, 0, 0,
     L"74 Unknown sense data type: 00h", 3, false},
    {"response FFh", withByte0(fixedSense(0x01, 0x24, 0x00), 0xFF), 0, 0, 0, 0,
     L"74 Unknown sense data type: 7Fh", 3, false},
};

class CheckConditionTest : public PassThroughTest, public ::testing::WithParamInterface<SenseCase> {};

TEST_P(CheckConditionTest, SummarizesTheSenseData) {
    const SenseCase& c = GetParam();
    model->on(ModelAnswer::checkCondition({0x00}, c.sense));
    EXPECT_EQ(c.success, testUnitReady());
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, device.getLastResult().code);
    const sense_info& s = device.getLastSense();
    EXPECT_EQ(0x02, s.status);
    EXPECT_EQ(c.valid, s.valid);
    EXPECT_EQ(c.key, s.senseKey);
    EXPECT_EQ(c.asc, s.asc);
    EXPECT_EQ(c.ascq, s.ascq);

    const unsigned char* raw = device.getResultData().senseBuffer;
    EXPECT_EQ(0, std::memcmp(raw, c.sense.data(), c.sense.size()));
    for (std::size_t i = c.sense.size(); i < 252; ++i)
        ASSERT_EQ(0, raw[i]) << "sense byte " << i;

    std::vector<LogEntry> summary = log.withPrefix(L"", L"libDravik.ScsiDeviceAccessor");
    if (c.summaryMessage) {
        ASSERT_EQ(1u, summary.size()) << log.dump();
        EXPECT_EQ(c.summaryMessage, summary[0].text);
        EXPECT_EQ(c.summaryLevel, summary[0].level);
    } else {
        EXPECT_TRUE(summary.empty()) << log.dump();
    }

    std::vector<std::wstring> texts = accessorTexts();
    ASSERT_EQ(2u, texts.size()) << log.dump();
    EXPECT_EQ(L"177 Sense information returned: \n" +
                  qln::HexDumpFormat(raw, 252, 0, 0).toString().native(),
              texts[0]);
    EXPECT_EQ(L"184 SCSI Command Rejected: OPCODE=0x00  SCSI Status: 0x02", texts[1]);
    const LogEntry* senseDump = message(L"135 ");
    ASSERT_NE(nullptr, senseDump);
    EXPECT_EQ(widen("135 Sense Buffer: " + hexList(raw, 252)), senseDump->text);
}

INSTANTIATE_TEST_SUITE_P(Formats, CheckConditionTest, ::testing::ValuesIn(kSenseCases),
                         [](const ::testing::TestParamInfo<SenseCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(PassThroughTest, MessagesComeInTheirOrder) {
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x05, 0x24, 0x00, 2)));
    testUnitReady();
    std::vector<std::wstring> prefixes;
    for (const LogEntry& e : log.entries())
        prefixes.push_back(e.text.substr(0, 4));
    EXPECT_EQ((std::vector<std::wstring>{L"48 I", L"146 ", L"177 ", L"135 ", L"184 "}), prefixes)
        << log.dump();
}

TEST_F(PassThroughTest, BusyWithoutSenseFails) {
    ModelAnswer busy;
    busy.match = {0x00};
    busy.status = 0x08;
    model->on(busy);
    EXPECT_FALSE(testUnitReady());
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, device.getLastResult().code);
    EXPECT_EQ(0x08, device.getLastSense().status);
    EXPECT_EQ(1, device.getLastSense().valid);
    EXPECT_EQ(0, device.getLastSense().senseKey);
    std::vector<std::wstring> texts = accessorTexts();
    ASSERT_EQ(2u, texts.size()) << log.dump();
    EXPECT_EQ(L"180 No sense information returned", texts[0]);
    EXPECT_EQ(L"184 SCSI Command Rejected: OPCODE=0x00  SCSI Status: 0x08", texts[1]);
    EXPECT_EQ(3, message(L"184 ")->level);
}

TEST_F(PassThroughTest, SenseBytesAfterTheReturnedLengthAreZero) {
    Bytes full = fixedSense(0x03, 0x11, 0x00, 252);
    for (std::size_t i = 18; i < full.size(); ++i)
        full[i] = 0xEE;
    model->on(ModelAnswer::checkCondition({0x00}, full).times(1));
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x05, 0x24, 0x00, 18)).times(1));
    model->on(ModelAnswer::good({0x00}));
    testUnitReady();
    EXPECT_EQ(0xEE, device.getResultData().senseBuffer[251]);
    testUnitReady();
    for (std::size_t i = 18; i < 252; ++i)
        ASSERT_EQ(0, device.getResultData().senseBuffer[i]) << "byte " << i;
    EXPECT_TRUE(testUnitReady());
    for (std::size_t i = 0; i < 252; ++i)
        ASSERT_EQ(0, device.getResultData().senseBuffer[i]) << "byte " << i;
}

TEST_F(PassThroughTest, SenseLengthAboveTheOfferedAreaIsCut) {
    // The driver's count is a byte: it may claim up to 255 bytes.
    Bytes sense = fixedSense(0x05, 0x24, 0x00, 255);
    for (std::size_t i = 18; i < 255; ++i)
        sense[i] = 0x55;
    ModelAnswer a = ModelAnswer::checkCondition({0x00}, sense);
    a.reportedSenseLength = 255;
    model->on(a);
    device.record().result.detail = 4242;
    EXPECT_FALSE(testUnitReady());
    const command_result_info& r = device.getResultData();
    EXPECT_EQ(0, std::memcmp(r.senseBuffer, sense.data(), 252));
    EXPECT_EQ(0x02, r.sense.status);
    EXPECT_EQ(1, r.sense.valid);
    EXPECT_EQ(5, r.sense.senseKey);
    EXPECT_EQ(0x24, r.sense.asc);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, r.result.code);
    EXPECT_EQ(4242u, r.result.detail);
    const LogEntry* senseDump = message(L"135 ");
    ASSERT_NE(nullptr, senseDump);
    EXPECT_EQ(widen("135 Sense Buffer: " + hexList(sense.data(), 252)), senseDump->text);
}

// --- transport failures -----------------------------------------------------

TEST_F(PassThroughTest, FailedRequestKeepsTheLastSenseAndTheCallersBuffer) {
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x06, 0x28, 0x00)));
    model->on(ModelAnswer::transportFailure({0x28}, 3, ERROR_SEM_TIMEOUT));
    testUnitReady();
    const command_result_info before = device.getResultData();
    log.clear();

    std::vector<unsigned char> buffer(512, 0xAA);
    EXPECT_FALSE(read10(buffer, 512));
    EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, device.getLastResult().code);
    EXPECT_EQ(static_cast<unsigned int>(ERROR_SEM_TIMEOUT), device.getLastResult().detail);
    EXPECT_EQ(0, device.getLastSense().valid);
    EXPECT_EQ(before.sense.status, device.getLastSense().status);
    EXPECT_EQ(before.sense.senseKey, device.getLastSense().senseKey);
    EXPECT_EQ(before.sense.asc, device.getLastSense().asc);
    EXPECT_EQ(0, std::memcmp(before.senseBuffer, device.getResultData().senseBuffer, 252));
    EXPECT_EQ(std::vector<unsigned char>(512, 0xAA), buffer);

    std::vector<std::wstring> texts = accessorTexts();
    ASSERT_EQ(1u, texts.size()) << log.dump();
    EXPECT_EQ(L"232 SCSI command ioctl failed: " +
                  qln::System::getSystemErrorMsg(ERROR_SEM_TIMEOUT, false).native(),
              texts[0]);
    EXPECT_EQ(3, message(L"232 ")->level);
}

TEST_F(PassThroughTest, RequestTooLargeForTheSystemIsRefusedUnsent) {
    model->on(ModelAnswer::checkCondition({}, fixedSense(0x05, 0x24, 0x00)));
    testUnitReady();
    const command_result_info before = device.getResultData();
    fake.clear();
    log.clear();

    const unsigned int firstRefused = 0xFFFFFFFFu - (kHeader + 252) + 1;
    const unsigned int lengths[] = {firstRefused, firstRefused + 100, 0xFFFFFFFFu};
    for (unsigned int length : lengths) {
        SCOPED_TRACE(length);
        std::vector<unsigned char> buffer(64, 0xAA);
        unsigned char cdb[10] = {0x28, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0};
        EXPECT_FALSE(device.send_scsi_cmd(cdb, 10, buffer.data(), length, DXFER_FROM_DEVICE, 0));
        EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, device.getLastResult().code);
        EXPECT_EQ(static_cast<unsigned int>(ERROR_INVALID_PARAMETER), device.getLastResult().detail);
        EXPECT_EQ(0, device.getLastSense().valid);
        EXPECT_EQ(0, std::memcmp(before.senseBuffer, device.getResultData().senseBuffer, 252));
        EXPECT_EQ(std::vector<unsigned char>(64, 0xAA), buffer);
    }
    EXPECT_TRUE(fake.requests().empty());
    EXPECT_TRUE(accessorTexts().empty()) << log.dump();
}

TEST_F(PassThroughTest, OnlyAdmittedLevelsAreWritten) {
    qln::test::LogCapture quiet(qln::LOG_WARN);
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x05, 0x24, 0x00)));
    testUnitReady();
    ASSERT_EQ(1u, quiet.entries().size()) << quiet.dump();
    EXPECT_EQ(L"184 SCSI Command Rejected: OPCODE=0x00  SCSI Status: 0x02", quiet.entries()[0].text);
}

// --- queries ----------------------------------------------------------------

TEST_F(PassThroughTest, AddressComesFromTheAddressRequest) {
    model->hasAddress = true;
    model->address = {3, 1, 2, 4};
    scsi_idlun address = {};
    EXPECT_TRUE(device.getAddress(address));
    EXPECT_EQ(1, fake.addressRequests());
    // The record goes out with its Length set and all else 0, as the only buffer.
    const AddressRequest& asked = fake.lastAddressRequest();
    EXPECT_FALSE(asked.input);
    EXPECT_FALSE(asked.overlapped);
    EXPECT_EQ(sizeof(SCSI_ADDRESS), asked.outSize);
    EXPECT_EQ(sizeof(SCSI_ADDRESS), asked.record.Length);
    EXPECT_EQ(0, asked.record.PortNumber | asked.record.PathId | asked.record.TargetId |
                     asked.record.Lun);
    EXPECT_EQ(3, address.targetId);
    EXPECT_EQ(1, address.lun);
    EXPECT_EQ(2, address.pathId);
    EXPECT_EQ(4, address.portNumber);

    model->hasAddress = false;
    scsi_idlun untouched = {9, 8, 7, 6};
    EXPECT_FALSE(device.getAddress(untouched));
    EXPECT_EQ(9, untouched.targetId);
    EXPECT_EQ(6, untouched.portNumber);
    EXPECT_TRUE(fake.requests().empty());
}

TEST_F(PassThroughTest, SystemTransportAnswers) {
    EXPECT_EQ(0, device.isEmulated());
    EXPECT_EQ(1048576u, device.getMaxXferSz());
    EXPECT_TRUE(fake.requests().empty());
}

// Reaches the protected operations of any transport, as a derived transport may.
struct TransportPeek : ScsiDeviceAccessor {
    static const char* name(const ScsiDeviceAccessor& a) { return (a.*&TransportPeek::vGetName)(); }
    static int reset(ScsiDeviceAccessor& a) {
        return (a.*&TransportPeek::doReset)(SCSI_RESET_DEVICE);
    }
};

TEST_F(PassThroughTest, SystemTransportNameResetSerializationAndClone) {
    ScsiDeviceAccessor* transport = device.transport();
    ASSERT_NE(nullptr, transport);
    EXPECT_STREQ("OS", TransportPeek::name(*transport));
    EXPECT_EQ(-1, TransportPeek::reset(*transport));
    qln::String text("kept");
    EXPECT_FALSE(transport->serialize(text));
    EXPECT_EQ(qln::String("kept"), text);
    EXPECT_TRUE(fake.requests().empty());

    // A clone is a system transport of its own on the same handle.
    const int uses = handle.useCount();
    ScsiDeviceAccessor* clone = transport->clone();
    ASSERT_NE(nullptr, clone);
    EXPECT_NE(transport, clone);
    EXPECT_EQ(uses + 1, handle.useCount());
    EXPECT_STREQ("OS", TransportPeek::name(*clone));
    {
        ScsiDevice onClone{AccessorTransfer(clone)};
        model->on(ModelAnswer::good({0x00}));
        EXPECT_TRUE(onClone.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
        EXPECT_EQ(1u, fake.requests().size());
    }
    EXPECT_EQ(uses, handle.useCount());
}

// --- one handle for all copies ----------------------------------------------

bool handleOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(PassThroughHandle, ClosesWithTheLastHolder) {
    ModelDevicePtr model = std::make_shared<ModelScsiDevice>();
    model->on(ModelAnswer::good({0x00}));
    FakeDeviceIoControl fake;
    ASSERT_TRUE(fake.applied());
    qln::SharedFileHandle callers = fake.makeHandle(model);
    HANDLE raw = static_cast<HANDLE>(callers.get());
    ASSERT_TRUE(handleOpen(raw));
    {
        std::unique_ptr<ScsiDevice> first(new ScsiDevice(callers));
        EXPECT_EQ(2, callers.useCount());
        callers.release();
        EXPECT_TRUE(handleOpen(raw));

        ScsiDevice copy(*first);
        ScsiDevice assigned{AccessorTransfer()};
        assigned = copy;
        first.reset();
        EXPECT_TRUE(handleOpen(raw));
        EXPECT_TRUE(copy.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
        EXPECT_TRUE(assigned.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
        EXPECT_EQ(2u, fake.requests().size());
        EXPECT_TRUE(handleOpen(raw));
    }
    EXPECT_FALSE(handleOpen(raw));
}

TEST(PassThroughHandle, DevicesOnOneHandleEachHaveTheirOwnAccessor) {
    ModelDevicePtr model = std::make_shared<ModelScsiDevice>();
    FakeDeviceIoControl fake;
    qln::SharedFileHandle callers = fake.makeHandle(model);
    HANDLE raw = static_cast<HANDLE>(callers.get());
    {
        ScsiDevice a(callers);
        {
            ScsiDevice b(callers);
            EXPECT_EQ(3, callers.useCount());
        }
        EXPECT_EQ(2, callers.useCount());
        callers.release();
        EXPECT_TRUE(handleOpen(raw));
    }
    EXPECT_FALSE(handleOpen(raw));
}

}  // namespace
