// The capacity of a block device: READ CAPACITY(10), and READ CAPACITY(16)
// when the capacity does not fit it; the outputs change on success only.
#include <algorithm>
#include <ostream>

#include "SbcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const Bytes kRc10Block = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kRc16Block = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0, 0};

struct CapacityCase {
    const char* name;
    std::vector<ModelAnswer> answers;
    bool ok;
    std::uint64_t numBlocks;  // when ok
    std::uint32_t blockLength;
    std::vector<Bytes> sent;  // the command blocks, in order
};

std::ostream& operator<<(std::ostream& out, const CapacityCase& c) {
    return out << c.name;
}

ModelAnswer rc10(const Bytes& data) {
    return ModelAnswer::good({0x25}, data);
}
ModelAnswer rc16(const Bytes& data) {
    return ModelAnswer::good({0x9E, 0x10}, data);
}

std::vector<CapacityCase> capacityCases() {
    const Bytes beyond10 = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00};
    const Bytes notReady = fixedSense(0x02, 0x3A, 0x00);
    return {
        {"FitsReadCapacity10", {rc10({0x00, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00})}, true, 0x20000, 512,
         {kRc10Block}},
        // The block count of the largest answer needs 33 bits.
        {"LargestReadCapacity10", {rc10({0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x10, 0x00})}, true, 0xFFFFFFFFull,
         4096, {kRc10Block}},
        {"ReadCapacity16Next",
         {rc10(beyond10), rc16({0x00, 0x00, 0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0x00, 0x00, 0x10, 0x00, 0x01})},
         true, 0x12345678Aull, 4096, {kRc10Block, kRc16Block}},
        {"ReadCapacity16AllOnes",
         {rc10(beyond10), rc16({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00})}, false, 0,
         0, {kRc10Block, kRc16Block}},
        {"ReadCapacity16Short",
         {rc10(beyond10), rc16({0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02})}, false, 0, 0,
         {kRc10Block, kRc16Block}},
        {"ReadCapacity16Fails", {rc10(beyond10), ModelAnswer::checkCondition({0x9E}, notReady)}, false, 0, 0,
         {kRc10Block, kRc16Block}},
        {"ReadCapacity10HalfAnswer", {rc10({0x00, 0x01, 0xFF, 0xFF})}, false, 0, 0, {kRc10Block}},
        {"ReadCapacity10Fails", {ModelAnswer::checkCondition({0x25}, notReady)}, false, 0, 0, {kRc10Block}},
    };
}

class CapacityTest : public SbcRoadTest<std::tuple<Road, CapacityCase>> {};

TEST_P(CapacityTest, FillsTheRecordOnSuccessOnly) {
    const CapacityCase& c = std::get<1>(GetParam());
    for (const ModelAnswer& a : c.answers)
        model->on(a);
    sbc_capacity capacity = {0xDEADull, 0xBEEF};

    EXPECT_EQ(c.ok, device->readCapacity(capacity));
    std::vector<Bytes> sent;
    for (const ModelCommand& command : model->commands())
        sent.push_back(command.cdb);
    EXPECT_EQ(c.sent, sent);
    if (c.ok) {
        EXPECT_EQ(c.numBlocks, capacity.numBlocks);
        EXPECT_EQ(c.blockLength, capacity.blockLength);
    } else {
        EXPECT_EQ(0xDEADull, capacity.numBlocks);
        EXPECT_EQ(0xBEEFu, capacity.blockLength);
    }
}

INSTANTIATE_TEST_SUITE_P(Capacity, CapacityTest,
                         ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(capacityCases())), ParamNamer());

class ReadCapacity10Test : public SbcTest {};

TEST_P(ReadCapacity10Test, HalfAnAnswerLeavesTheOutputs) {
    model->on(rc10({0x00, 0x01, 0xFF, 0xFF}));
    std::uint32_t last = 7, length = 9;
    EXPECT_FALSE(device->readCapacity10(last, length, 0, false));
    EXPECT_EQ(7u, last);
    EXPECT_EQ(9u, length);
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
    EXPECT_EQ(4u, device->getLastResult().detail);
}

TEST_P(ReadCapacity10Test, WholeAnswerFillsBothOutputs) {
    model->on(rc10({0x12, 0x34, 0x56, 0x78, 0x00, 0x01, 0x00, 0x00}));
    std::uint32_t last = 7, length = 9;
    EXPECT_TRUE(device->readCapacity10(last, length, 0, false));
    EXPECT_EQ(0x12345678u, last);
    EXPECT_EQ(0x10000u, length);
}

INSTANTIATE_TEST_SUITE_P(Roads, ReadCapacity10Test, SBC_BOTH_ROADS, ParamNamer());

class ReadCapacity16Test : public SbcTest {};

// A device that sends more than the record holds, asked with an allocation
// length SBC allows: the record takes its first 32 bytes and nothing around
// the record changes.
TEST_P(ReadCapacity16Test, LongerAnswerStaysInsideTheRecord) {
    Bytes answer(64);
    for (std::size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<std::uint8_t>(i + 1);
    model->on(rc16(answer));
    const std::size_t guard = 32;
    Bytes memory(guard + sizeof(sbc_read_capacity_16_resp_t) + guard, 0xEE);
    sbc_read_capacity_16_resp_t& record = *reinterpret_cast<sbc_read_capacity_16_resp_t*>(memory.data() + guard);

    EXPECT_TRUE(device->readCapacity16(record, 64, 0, false));
    EXPECT_EQ(32u, model->lastCommand().dataLen);
    Bytes expected(memory.size(), 0xEE);
    std::copy(answer.begin(), answer.begin() + 32, expected.begin() + guard);
    EXPECT_EQ(expected, memory);
}

INSTANTIATE_TEST_SUITE_P(Roads, ReadCapacity16Test, SBC_BOTH_ROADS, ParamNamer());

}  // namespace
