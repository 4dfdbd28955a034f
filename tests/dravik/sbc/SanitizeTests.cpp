// SANITIZE OVERWRITE: what it refuses before sending, and the longest
// parameter list that its 16-bit length fields can describe.
#include <ostream>

#include "SbcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

struct Refusal {
    const char* name;
    bool hasPattern;
    std::size_t patternLength;
    std::uint8_t count;
};

std::ostream& operator<<(std::ostream& out, const Refusal& r) {
    return out << r.name;
}

std::vector<Refusal> refusals() {
    return {
        {"NoPattern", false, 0, 1},
        {"EmptyPattern", true, 0, 1},
        {"CountZero", true, 4, 0},
        {"Count32", true, 4, 32},
        {"CountWithTestBits", true, 4, 0x61},
        // Pattern length + 4 would not fit the parameter list length.
        {"PatternOf65532Bytes", true, 65532, 1},
    };
}

class RefusalTest : public SbcRoadTest<std::tuple<Road, Refusal>> {};

TEST_P(RefusalTest, SendsNothingAndKeepsTheLastResult) {
    const Refusal& r = std::get<1>(GetParam());
    device->record().result.code = CMD_RESULT_UNDERRUN;
    device->record().result.detail = 77;
    const qln::Buffer<unsigned char> pattern(r.patternLength);

    EXPECT_FALSE(device->sanitize(SBC_SANITIZE_OVERWRITE, r.hasPattern ? &pattern : nullptr, r.count, true, true));
    EXPECT_TRUE(model->commands().empty());
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
    EXPECT_EQ(77u, device->getLastResult().detail);
    // Only the entry and exit trace; no message of its own.
    ASSERT_EQ(2u, sbcEntries().size()) << log.dump();
    EXPECT_EQ(0u, sbcEntries()[0].text.find(L"Enter ScsiSBCDevice::sanitize"));
    EXPECT_EQ(0u, sbcEntries()[1].text.find(L"Leave ScsiSBCDevice::sanitize"));
    for (const qln::test::LogEntry& e : log.entries())
        EXPECT_EQ(kSbcChannel, e.channel) << log.dump();
}

INSTANTIATE_TEST_SUITE_P(Overwrite, RefusalTest,
                         ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(refusals())), ParamNamer());

class SanitizeTest : public SbcTest {};

TEST_P(SanitizeTest, LongestPatternFillsBothLengthFields) {
    model->on(ModelAnswer::good({0x48}));
    qln::Buffer<unsigned char> pattern(65531);
    for (std::size_t i = 0; i < pattern.getLength(); ++i)
        pattern.getData()[i] = static_cast<unsigned char>(i % 251 + 1);

    EXPECT_TRUE(device->sanitize(SBC_SANITIZE_OVERWRITE, &pattern, 1, false, false));
    ASSERT_EQ(1u, model->commands().size());
    const ModelCommand& sent = model->lastCommand();
    EXPECT_EQ(Bytes({0x48, 0x81, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0}), sent.cdb);
    EXPECT_EQ(DXFER_TO_DEVICE, sent.direction);
    EXPECT_EQ(65535u, sent.dataLen);
    Bytes list = {0x01, 0x00, 0xFF, 0xFB};
    list.insert(list.end(), pattern.getData(), pattern.getData() + pattern.getLength());
    EXPECT_EQ(list, sent.dataSent);
}

TEST_P(SanitizeTest, DeviceRefusalIsAFailure) {
    model->on(ModelAnswer::checkCondition({0x48}, fixedSense(0x05, 0x20, 0x00)));
    EXPECT_FALSE(device->sanitize(SBC_SANITIZE_BLOCK_ERASE, nullptr, 0, false, false));
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, device->getLastResult().code);
    EXPECT_EQ(0x20, device->getLastSense().asc);
}

INSTANTIATE_TEST_SUITE_P(Roads, SanitizeTest, SBC_BOTH_ROADS, ParamNamer());

}  // namespace
