// Every single-command method of the primary-command device: the command
// block, the data direction and length, the time-out and the data sent.
#include <functional>
#include <ostream>

#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const unsigned int kDefaultMs = 7000;  // set on the device, so "default" is recognisable

typedef std::function<bool(ScsiSPCDevice&, std::uint8_t*)> Call;

struct CommandCase {
    const char* name;
    Call call;
    Bytes cdb;
    DXFER_DIRECTION direction;
    std::uint32_t dataLen;
    std::uint32_t timeoutMs;
    Bytes answer;  // the model's data; empty: dataLen zero bytes
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    return out << c.name;
}

Bytes vpdPage(std::uint8_t page, std::size_t size) {
    Bytes data(size, 0);
    data[1] = page;
    data[3] = static_cast<std::uint8_t>(size - 4);
    return data;
}

std::vector<CommandCase> commandCases() {
    return {
        {"TestUnitReady", [](ScsiSPCDevice& d, std::uint8_t*) { return d.testUnitReady(); },
         {0x00, 0, 0, 0, 0, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"RequestSense", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.requestSense(b); },
         {0x03, 0, 0, 0, 0xFC, 0}, DXFER_FROM_DEVICE, 252, kDefaultMs, {}},
        {"InquiryStandard", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.inquiry(0, b, 36, false); },
         {0x12, 0x00, 0x00, 0x00, 0x24, 0x00}, DXFER_FROM_DEVICE, 36, kDefaultMs, {}},
        {"InquiryVpd", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.inquiry(0x83, b, 0x0102, true); },
         {0x12, 0x01, 0x83, 0x01, 0x02, 0x00}, DXFER_FROM_DEVICE, 0x0102, kDefaultMs, vpdPage(0x83, 0x0102)},
        {"LogSense", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.logSense(0x0D, b, 0x0110, 0x1234, 0x05); },
         {0x4D, 0, 0x4D, 0x05, 0, 0x12, 0x34, 0x01, 0x10, 0}, DXFER_FROM_DEVICE, 0x0110, kDefaultMs, {}},
        {"LogSensePageWithPcBits", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.logSense(0x50, b, 8, 0, 0); },
         {0x4D, 0, 0x50, 0, 0, 0, 0, 0, 0x08, 0}, DXFER_FROM_DEVICE, 8, kDefaultMs, {}},
        {"LogSensePageNotMasked", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.logSense(0x8D, b, 8, 0, 0); },
         {0x4D, 0, 0xCD, 0, 0, 0, 0, 0, 0x08, 0}, DXFER_FROM_DEVICE, 8, kDefaultMs, {}},
        {"ModeSelect6Pf", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.modeSelect6(b, 24, true, false); },
         {0x15, 0x10, 0, 0, 0x18, 0}, DXFER_TO_DEVICE, 24, kDefaultMs, {}},
        {"ModeSelect6Sp", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.modeSelect6(b, 255, false, true); },
         {0x15, 0x01, 0, 0, 0xFF, 0}, DXFER_TO_DEVICE, 255, kDefaultMs, {}},
        {"ModeSelect10", [](ScsiSPCDevice& d, std::uint8_t* b) { return d.modeSelect10(b, 0x0123, true, true); },
         {0x55, 0x11, 0, 0, 0, 0, 0, 0x01, 0x23, 0}, DXFER_TO_DEVICE, 0x0123, kDefaultMs, {}},
        {"PreventMediumRemoval",
         [](ScsiSPCDevice& d, std::uint8_t*) { return d.preventAllowMediumRemoval(SPC_MEDIUM_REMOVAL_PREVENTED); },
         {0x1E, 0, 0, 0, 0x01, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"MediumRemovalModeMasked",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.preventAllowMediumRemoval(static_cast<_SPC_MEDIUM_REMOVAL_MODES>(0xFE));
         },
         {0x1E, 0, 0, 0, 0x02, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"ReportLuns",
         [](ScsiSPCDevice& d, std::uint8_t* b) {
             return d.reportLUNS(reinterpret_cast<spc_report_luns_data*>(b), 0x00010203, SPC_REPORT_LUNS_ALL);
         },
         {0xA0, 0, 0x02, 0, 0, 0, 0x00, 0x01, 0x02, 0x03, 0, 0}, DXFER_FROM_DEVICE, 0x00010203, kDefaultMs, {}},
        {"ReportLunsSelectCutToItsByte",
         [](ScsiSPCDevice& d, std::uint8_t* b) {
             return d.reportLUNS(reinterpret_cast<spc_report_luns_data*>(b), 16,
                                 static_cast<_SPC_REPORT_LUNS_SELECT>(0x1FA));
         },
         {0xA0, 0, 0xFA, 0, 0, 0, 0, 0, 0, 0x10, 0, 0}, DXFER_FROM_DEVICE, 16, kDefaultMs, {}},
        {"ReportSupportedOpCodes",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             qln::Array<spc_supported_opcode_descriptor> list;
             return d.reportSupportedOpCodes(0x99, 0x28, list);
         },
         {0xA3, 0x0C, 0x00, 0x28, 0, 0, 0x00, 0x00, 0x20, 0x04, 0, 0}, DXFER_FROM_DEVICE, 8196, kDefaultMs, {}},
        {"OpCodeQueryHasItsOwnTimeout",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             bool supported = false;
             return d.isOpCodeAndServiceActionSupported(0x9E, 0x1234, supported);
         },
         {0xA3, 0x0C, 0x02, 0x9E, 0x12, 0x34, 0, 0, 0, 0x04, 0, 0}, DXFER_FROM_DEVICE, 4, 5000, {}},
        {"SendDiagnosticDefaultSelfTest",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.sendDiagnostic(SPC_DIAGNOSTIC_DEFAULT_SELFTEST, false, false, nullptr, 0, 0);
         },
         {0x1D, 0x04, 0, 0, 0, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"SendDiagnosticShortBothFlags",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.sendDiagnostic(SPC_DIAGNOSTIC_BACKGROUND_SHORT, true, true, nullptr, 0, 0);
         },
         {0x1D, 0x23, 0, 0, 0, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"SendDiagnosticWithList",
         [](ScsiSPCDevice& d, std::uint8_t* b) {
             return d.sendDiagnostic(SPC_DIAGNOSTIC_BACKGROUND_EXTENDED, false, true, b, 0x0102, 45000);
         },
         {0x1D, 0x41, 0, 0x01, 0x02, 0}, DXFER_TO_DEVICE, 0x0102, 45000, {}},
        {"SendDiagnosticLengthWithoutList",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.sendDiagnostic(SPC_DIAGNOSTIC_DEFAULT_SELFTEST, true, false, nullptr, 40, 1500);
         },
         {0x1D, 0x06, 0, 0, 0, 0}, DXFER_NONE, 0, 1500, {}},
        // Code 8 keeps none of its bits in the field and is no request for
        // the default self-test.
        {"SendDiagnosticCodeBeyondTheField",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.sendDiagnostic(static_cast<_SPC_DIAGNOSTIC_TYPES>(8), false, false, nullptr, 0, 0);
         },
         {0x1D, 0x00, 0, 0, 0, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"SendDiagnosticCodeMaskedToTheField",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             return d.sendDiagnostic(static_cast<_SPC_DIAGNOSTIC_TYPES>(9), false, true, nullptr, 0, 0);
         },
         {0x1D, 0x21, 0, 0, 0, 0}, DXFER_NONE, 0, kDefaultMs, {}},
        {"SecurityProtocolIn512",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             qln::Buffer<unsigned char> buffer(1024);
             return d.securityProtocolIn(0xEF, 0x1234, buffer, true);
         },
         {0xA2, 0xEF, 0x12, 0x34, 0x80, 0, 0, 0, 0, 0x02, 0, 0}, DXFER_FROM_DEVICE, 1024, kDefaultMs, {}},
        {"SecurityProtocolInBytes",
         [](ScsiSPCDevice& d, std::uint8_t*) {
             qln::Buffer<unsigned char> buffer(300);
             return d.securityProtocolIn(0x01, 0x0001, buffer, false);
         },
         {0xA2, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0x01, 0x2C, 0, 0}, DXFER_FROM_DEVICE, 300, kDefaultMs, {}},
    };
}

class CommandTableTest : public SpcRoadTest<std::tuple<Road, CommandCase>> {};

TEST_P(CommandTableTest, SendsItsBlockDirectionLengthAndTimeout) {
    const CommandCase& c = std::get<1>(GetParam());
    device->setDefaultTimeoutMs(kDefaultMs);
    model->on(ModelAnswer::good({}, c.answer.empty() ? Bytes(c.dataLen, 0) : c.answer));
    std::vector<std::uint8_t> buffer(0x10203 + 16);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> before(buffer);

    EXPECT_TRUE(c.call(*device, buffer.data()));
    expectSentAsTabled(*model, c, road->recordedTimeout(c.timeoutMs));
    if (HasFatalFailure())
        return;
    if (c.direction == DXFER_TO_DEVICE) {
        EXPECT_EQ(Bytes(before.begin(), before.begin() + c.dataLen), model->lastCommand().dataSent);
    }
    EXPECT_EQ(CMD_RESULT_OK, device->getLastResult().code);
}

INSTANTIATE_TEST_SUITE_P(Primary, CommandTableTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(commandCases())),
                         ParamNamer());

// --- commands that a short or failed answer decides --------------------------

class CommandTest : public SpcTest {};

TEST_P(CommandTest, RequestSenseAcceptsAShortAnswerAndZeroesTheRest) {
    model->on(ModelAnswer::good({0x03}, fixedSense(0x06, 0x29, 0x00, 18)));
    std::uint8_t area[252];
    std::memset(area, 0xEE, sizeof(area));
    EXPECT_TRUE(device->requestSense(area));
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
    EXPECT_EQ(234u, device->getLastResult().detail);
    Bytes expected = fixedSense(0x06, 0x29, 0x00, 18);
    expected.resize(252, 0);
    EXPECT_EQ(expected, Bytes(area, area + 252));
}

TEST_P(CommandTest, RequestSenseFailsOnCheckCondition) {
    model->on(ModelAnswer::checkCondition({0x03}, fixedSense(0x05, 0x20, 0x00)));
    std::uint8_t area[252];
    EXPECT_FALSE(device->requestSense(area));
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, device->getLastResult().code);
}

TEST_P(CommandTest, LogSenseFailsOnAShortPageAndZeroesTheBufferFirst) {
    Bytes page(10, 0x0D);
    model->on(ModelAnswer::good({0x4D}, page));
    std::uint8_t buffer[20];
    std::memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_FALSE(device->logSense(0x0D, buffer, 16, 0, 0));
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
    EXPECT_EQ(6u, device->getLastResult().detail);
    Bytes expected(page);
    expected.resize(16, 0);
    expected.resize(20, 0xEE);  // past the length nothing is touched
    EXPECT_EQ(expected, Bytes(buffer, buffer + 20));
}

TEST_P(CommandTest, SecurityProtocolInRefusesLengthsThatAreNoMultipleOf512) {
    for (std::size_t size : {1000u, 0u, 513u}) {
        SCOPED_TRACE(size);
        log.clear();
        qln::Buffer<unsigned char> buffer(size);
        EXPECT_FALSE(device->securityProtocolIn(0xEF, 0, buffer, true));
        ASSERT_EQ(1u, spcMessages().size()) << log.dump();
        EXPECT_EQ(L"666 command flag INC_512 set to true, but buffer size is not a multiple of 512",
                  spcMessages()[0]);
        EXPECT_EQ(3, levelOf(L"666 "));
    }
    EXPECT_TRUE(model->commands().empty());
}

TEST_P(CommandTest, OpCodeQueryReadsTheSupportField) {
    for (std::uint8_t support = 0; support < 8; ++support) {
        SCOPED_TRACE(int(support));
        model->clearAnswers();
        // CTDP and other bits around the field must not matter.
        model->on(ModelAnswer::good({0xA3}, {0x00, static_cast<std::uint8_t>(0x80 | 0x18 | support), 0x00, 0x0A}));
        bool supported = support != 3;
        EXPECT_TRUE(device->isOpCodeAndServiceActionSupported(0x28, 0, supported));
        EXPECT_EQ(support == 3, supported);
    }
}

TEST_P(CommandTest, OpCodeQueryFailureLeavesTheAnswerAlone) {
    model->on(ModelAnswer::checkCondition({0xA3}, fixedSense(0x05, 0x24, 0x00)));
    bool supported = true;
    EXPECT_FALSE(device->isOpCodeAndServiceActionSupported(0x28, 0, supported));
    EXPECT_TRUE(supported);
    model->clearAnswers();
    model->on(ModelAnswer::good({0xA3}, {0x00, 0x03}));  // two of four bytes
    EXPECT_FALSE(device->isOpCodeAndServiceActionSupported(0x28, 0, supported));
    EXPECT_TRUE(supported);
}

INSTANTIATE_TEST_SUITE_P(Roads, CommandTest, SPC_BOTH_ROADS, ParamNamer());

class NoAccessorTest : public qln::test::LogCaptureTest {};

TEST_F(NoAccessorTest, EveryCommandFailsAndTheResultStays) {
    SpcDeviceProbe lone{AccessorTransfer()};
    std::uint8_t buffer[252];
    bool supported = false;
    qln::Array<spc_supported_opcode_descriptor> list;
    EXPECT_FALSE(lone.testUnitReady());
    EXPECT_FALSE(lone.requestSense(buffer));
    EXPECT_FALSE(lone.modeSense6(0x08, buffer, 20, 0, nullptr));
    EXPECT_FALSE(lone.isOpCodeAndServiceActionSupported(0x28, 0, supported));
    EXPECT_FALSE(lone.reportSupportedOpCodes(0, 0, list));
    EXPECT_FALSE(lone.inquiry(nullptr, true));
    EXPECT_TRUE(lone.getVendorId().isEmpty());
    EXPECT_EQ(CMD_RESULT_OK, lone.getLastResult().code);
    EXPECT_EQ(nullptr, lone.cached());
}

}  // namespace
