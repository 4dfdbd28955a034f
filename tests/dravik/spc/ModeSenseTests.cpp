// The two-step MODE SENSE and the list of supported operation codes: what
// is asked for, what is accepted and how much of the answer is read.
#include <algorithm>
#include <ostream>

#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

// Mode parameter data of `size` bytes: MODE DATA LENGTH m in the header
// (one byte, or two for the 10-byte form), then page bytes 0x40, 0x41, ...
Bytes modeData(bool tenByte, std::uint32_t m, std::size_t size) {
    const std::size_t header = tenByte ? 8 : 4;
    Bytes data(size, 0);
    for (std::size_t i = header; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(0x40 + i - header);
    if (tenByte) {
        if (size > 0)
            data[0] = static_cast<std::uint8_t>(m >> 8);
        if (size > 1)
            data[1] = static_cast<std::uint8_t>(m);
    } else if (size > 0) {
        data[0] = static_cast<std::uint8_t>(m);
    }
    return data;
}

Bytes cdb6(std::uint8_t page, std::uint8_t subpage, std::uint8_t allocation) {
    return {0x1A, 0x08, page, subpage, allocation, 0x00};
}

Bytes cdb10(std::uint8_t page, std::uint8_t subpage, std::uint16_t allocation) {
    return {0x5A, 0x08, page, subpage, 0, 0, 0, static_cast<std::uint8_t>(allocation >> 8),
            static_cast<std::uint8_t>(allocation), 0x00};
}

struct ModeCase {
    const char* name;
    bool tenByte;
    std::uint8_t page;
    std::uint8_t subpage;
    std::uint32_t callerLength;
    std::vector<ModelAnswer> rows;
    std::vector<Bytes> cdbs;             // the blocks sent, in order
    std::vector<std::uint32_t> lengths;  // their data lengths
    bool result;
    int total;               // -1: left alone
    std::size_t written;     // bytes put in the caller's buffer: the second answer's page data, then zeros
    std::vector<std::wstring> messages;
};

std::ostream& operator<<(std::ostream& out, const ModeCase& c) {
    return out << c.name;
}

std::wstring truncation(bool tenByte, std::uint32_t length, std::uint32_t answered) {
    return std::wstring(tenByte ? L"328 ScsiSPCDevice::modeSense10" : L"286 ScsiSPCDevice::modeSense6") +
           L": the buffer size (" + std::to_wstring(length) + L") is smaller than the total returned bytes (" +
           std::to_wstring(answered) + L"), some info maybe be truncated";
}

std::vector<ModeCase> modeCases() {
    const Bytes rejected = fixedSense(0x05, 0x24, 0x00);
    return {
        // M + 1 bytes come, the last 3 of the 27 asked for are missing:
        // all M bytes are written, the 20 page bytes then 3 zeros.
        {"Sense6PageOf20Bytes", false, 0x08, 0x00, 255, {ModelAnswer::good({0x1A}, modeData(false, 23, 24))},
         {cdb6(0x08, 0, 4), cdb6(0x08, 0, 27)}, {4, 27}, true, 23, 23, {}},
        {"Sense10HeaderOnly", true, 0x1C, 0x01, 100, {ModelAnswer::good({0x5A}, modeData(true, 0, 8))},
         {cdb10(0x1C, 1, 8), cdb10(0x1C, 1, 8)}, {8, 8}, true, 0, 0, {}},
        {"Sense6ShortHeader", false, 0x08, 0x00, 255, {ModelAnswer::good({0x1A}, modeData(false, 23, 2))},
         {cdb6(0x08, 0, 4)}, {4}, false, -1, 0, {}},
        {"Sense10ShortHeader", true, 0x08, 0x00, 255, {ModelAnswer::good({0x5A}, modeData(true, 30, 7))},
         {cdb10(0x08, 0, 8)}, {8}, false, -1, 0, {}},
        {"Sense10CallerBufferSmaller", true, 0x0A, 0x00, 10, {ModelAnswer::good({0x5A}, modeData(true, 30, 32))},
         {cdb10(0x0A, 0, 8), cdb10(0x0A, 0, 38)}, {8, 38}, true, 30, 10, {}},
        {"Sense6PageAndSubpageFields", false, 0xFF, 0xFF, 255, {ModelAnswer::good({0x1A}, modeData(false, 3, 4))},
         {cdb6(0x3F, 0xFF, 4), cdb6(0x3F, 0xFF, 7)}, {4, 7}, true, 3, 3, {}},
        // The header says 23, but the second answer brings 10 bytes: the
        // 6 page bytes that came, then 17 zeros where the rest was missing.
        {"Sense6SecondAnswerCutShort", false, 0x08, 0x00, 255,
         {ModelAnswer::good(cdb6(0x08, 0, 4), modeData(false, 23, 24)).times(1),
          ModelAnswer::good({0x1A}, modeData(false, 23, 10))},
         {cdb6(0x08, 0, 4), cdb6(0x08, 0, 27)}, {4, 27}, true, 23, 23, {}},
        {"Sense6SecondAnswerLonger", false, 0x08, 0x00, 255,
         {ModelAnswer::good(cdb6(0x08, 0, 4), modeData(false, 10, 11)).times(1),
          ModelAnswer::good({0x1A}, modeData(false, 40, 41))},
         {cdb6(0x08, 0, 4), cdb6(0x08, 0, 14)}, {4, 14}, true, 10, 10, {truncation(false, 255, 40)}},
        {"Sense10SecondAnswerLonger", true, 0x08, 0x00, 64,
         {ModelAnswer::good(cdb10(0x08, 0, 8), modeData(true, 10, 12)).times(1),
          ModelAnswer::good({0x5A}, modeData(true, 40, 42))},
         {cdb10(0x08, 0, 8), cdb10(0x08, 0, 18)}, {8, 18}, true, 10, 10, {truncation(true, 64, 40)}},
        {"Sense6SecondCommandRejected", false, 0x08, 0x00, 255,
         {ModelAnswer::good(cdb6(0x08, 0, 4), modeData(false, 23, 24)).times(1),
          ModelAnswer::checkCondition({0x1A}, rejected)},
         {cdb6(0x08, 0, 4), cdb6(0x08, 0, 27)}, {4, 27}, false, 23, 0, {}},
        // 255 + 4 bytes do not fit the one-byte field: it asks for 255 and
        // the device returns them; the 4 bytes never asked for are zeros.
        {"Sense6LongestAnswer", false, 0x08, 0x00, 255, {ModelAnswer::good({0x1A}, modeData(false, 255, 255))},
         {cdb6(0x08, 0, 4), cdb6(0x08, 0, 0xFF)}, {4, 259}, true, 255, 255, {}},
        {"Sense10BeyondTheField", true, 0x3F, 0xFF, 65535,
         {ModelAnswer::good({0x5A}, modeData(true, 65530, 65535))},
         {cdb10(0x3F, 0xFF, 8), cdb10(0x3F, 0xFF, 0xFFFF)}, {8, 65538}, true, 65530, 65530, {}},
    };
}

class ModeSenseTest : public SpcRoadTest<std::tuple<Road, ModeCase>> {};

TEST_P(ModeSenseTest, AsksForTheHeaderThenTheWholeAnswer) {
    const ModeCase& c = std::get<1>(GetParam());
    for (const ModelAnswer& row : c.rows)
        model->on(row);
    device->setDefaultTimeoutMs(7000);  // both commands go with the device's own time-out
    std::vector<std::uint8_t> buffer(70000, 0xEE);
    std::uint8_t total6 = 0xEE;
    std::uint16_t total10 = 0xEEEE;

    const bool result = c.tenByte
                            ? device->modeSense10(c.page, buffer.data(), static_cast<std::uint16_t>(c.callerLength),
                                                  c.subpage, &total10)
                            : device->modeSense6(c.page, buffer.data(), static_cast<std::uint8_t>(c.callerLength),
                                                 c.subpage, &total6);
    EXPECT_EQ(c.result, result);
    std::vector<Bytes> cdbs;
    for (const ModelCommand& command : model->commands()) {
        cdbs.push_back(command.cdb);
        EXPECT_EQ(DXFER_FROM_DEVICE, command.direction);
        EXPECT_EQ(road->recordedTimeout(7000), command.timeout);
    }
    EXPECT_EQ(c.cdbs, cdbs);
    EXPECT_EQ(c.lengths, dataLengths());
    if (c.tenByte) {
        EXPECT_EQ(c.total < 0 ? 0xEEEE : c.total, total10);
    } else {
        EXPECT_EQ(c.total < 0 ? 0xEE : c.total, total6);
    }

    // The page data of the last answer, zeros for page bytes that did not
    // come, then the caller's bytes untouched.
    const Bytes& answer = c.rows.back().data;
    const std::size_t header = c.tenByte ? 8 : 4;
    const std::size_t sent = answer.size() > header ? std::min(c.written, answer.size() - header) : 0;
    Bytes expected(answer.begin() + (sent ? header : 0), answer.begin() + (sent ? header + sent : 0));
    expected.resize(c.written, 0x00);
    expected.resize(c.written + 64, 0xEE);
    EXPECT_EQ(expected, Bytes(buffer.begin(), buffer.begin() + expected.size()));
    EXPECT_EQ(c.messages, spcMessages()) << log.dump();
    for (const std::wstring& m : c.messages)
        EXPECT_EQ(3, levelOf(m.substr(0, 4)));
}

INSTANTIATE_TEST_SUITE_P(Pairs, ModeSenseTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(modeCases())), ParamNamer());

class ModeSenseTotalTest : public SpcTest {};

TEST_P(ModeSenseTotalTest, TotalPointerMayBeNull) {
    model->on(ModelAnswer::good({0x1A}, modeData(false, 23, 24)));
    model->on(ModelAnswer::good({0x5A}, modeData(true, 23, 25)));
    std::uint8_t buffer[64];
    EXPECT_TRUE(device->modeSense6(0x08, buffer, sizeof(buffer), 0, nullptr));
    EXPECT_TRUE(device->modeSense10(0x08, buffer, sizeof(buffer), 0, nullptr));
    EXPECT_EQ(4u, model->commands().size());
}

INSTANTIATE_TEST_SUITE_P(Roads, ModeSenseTotalTest, SPC_BOTH_ROADS, ParamNamer());

// --- REPORT SUPPORTED OPERATION CODES ------------------------------------------

// An answer of `size` bytes: COMMAND DATA LENGTH `claimed`, then descriptors
// whose operation code and service action are their index.
Bytes opCodeList(std::uint32_t claimed, std::size_t size) {
    Bytes data(std::max<std::size_t>(size, 4), 0);
    data[0] = static_cast<std::uint8_t>(claimed >> 24);
    data[1] = static_cast<std::uint8_t>(claimed >> 16);
    data[2] = static_cast<std::uint8_t>(claimed >> 8);
    data[3] = static_cast<std::uint8_t>(claimed);
    for (std::size_t at = 4, i = 0; at + 8 <= size; at += 8, ++i) {
        data[at] = static_cast<std::uint8_t>(i);
        data[at + 2] = static_cast<std::uint8_t>(i >> 8);
        data[at + 3] = static_cast<std::uint8_t>(i);
        data[at + 5] = 0x01;  // SERVACTV
        data[at + 7] = 10;    // CDB LENGTH
    }
    data.resize(size);
    return data;
}

spc_supported_opcode_descriptor descriptor(std::uint8_t opcode) {
    spc_supported_opcode_descriptor d = {};
    d.opcode = opcode;
    return d;
}

void expectDescriptor(const spc_supported_opcode_descriptor& d, std::uint32_t i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<std::uint8_t>(i), d.opcode);
    EXPECT_EQ(i, (std::uint32_t(d.serviceAction[0]) << 8) | d.serviceAction[1]);
    EXPECT_EQ(0x01, d.flags);
    EXPECT_EQ(10, (d.cdbLength[0] << 8) | d.cdbLength[1]);
}

// The caller's array before the call: two descriptors (28h, 2Ah).
qln::Array<spc_supported_opcode_descriptor> twoDescriptors() {
    qln::Array<spc_supported_opcode_descriptor> list;
    list.append(descriptor(0x28));
    list.append(descriptor(0x2A));
    return list;
}

class OpCodeListTest : public SpcTest {
protected:
    void SetUp() override {
        SpcTest::SetUp();
        list = twoDescriptors();
    }
    qln::Array<spc_supported_opcode_descriptor> list;
};

TEST_P(OpCodeListTest, RejectedCommandKeepsTheArray) {
    model->on(ModelAnswer::checkCondition({0xA3}, fixedSense(0x05, 0x20, 0x00)));
    EXPECT_FALSE(device->reportSupportedOpCodes(0, 0, list));
    EXPECT_EQ(2u, list.size());
}

TEST_P(OpCodeListTest, OversizedLengthIsLimitedToTheArea) {
    model->on(ModelAnswer::good({0xA3}, opCodeList(9000, 8196)));
    EXPECT_TRUE(device->reportSupportedOpCodes(0, 0, list));
    ASSERT_EQ(1024u, list.size());
    expectDescriptor(list[0], 0);
    expectDescriptor(list[1], 1);
    expectDescriptor(list[1023], 1023);
}

INSTANTIATE_TEST_SUITE_P(Roads, OpCodeListTest, SPC_BOTH_ROADS, ParamNamer());

// A device sends its list and no more, so every real answer is shorter than
// the 8196 bytes asked for.
struct OpCodeListCase {
    const char* name;
    std::uint32_t claimed;  // COMMAND DATA LENGTH
    std::size_t sent;       // bytes the device sends
    bool result;
    std::uint32_t descriptors;  // in the array afterwards; on failure the two it had
};

std::ostream& operator<<(std::ostream& out, const OpCodeListCase& c) {
    return out << c.name;
}

const OpCodeListCase kOpCodeListCases[] = {
    {"WholeShortList", 24, 28, true, 3},
    {"ShortListWithAPartialDescriptor", 20, 24, true, 2},
    {"HeaderOnly", 0, 4, true, 0},
    // Only what arrived is read, whatever the device claims.
    {"FewerBytesThanClaimed", 24, 20, true, 2},
    {"ClaimBeyondTheAreaOnAShortAnswer", 9000, 5004, true, 625},
    {"FullAreaClaimed24", 24, 8196, true, 3},
    {"FullAreaClaimed20", 20, 8196, true, 2},
    {"FullAreaClaimedNothing", 0, 8196, true, 0},
    // Without the whole header there is no length to read.
    {"HeaderNotWhole", 24, 3, false, 2},
    {"NothingArrived", 24, 0, false, 2},
};

class OpCodeListAnswerTest : public SpcRoadTest<std::tuple<Road, OpCodeListCase>> {};

TEST_P(OpCodeListAnswerTest, ReplacesTheArrayWithTheWholeDescriptorsThatArrived) {
    const OpCodeListCase& c = std::get<1>(GetParam());
    qln::Array<spc_supported_opcode_descriptor> list = twoDescriptors();
    model->on(ModelAnswer::good({0xA3}, opCodeList(c.claimed, c.sent)));

    EXPECT_EQ(c.result, device->reportSupportedOpCodes(0, 0, list));
    EXPECT_EQ(8196u, model->lastCommand().dataLen);
    if (c.sent < 8196) {
        EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
        EXPECT_EQ(8196u - c.sent, device->getLastResult().detail);
    } else {
        EXPECT_EQ(CMD_RESULT_OK, device->getLastResult().code);
    }
    ASSERT_EQ(c.descriptors, list.size());
    if (c.result) {
        for (std::uint32_t i = 0; i < list.size(); ++i)
            expectDescriptor(list[i], i);
    } else {
        EXPECT_EQ(0x28, list[0].opcode);
        EXPECT_EQ(0x2A, list[1].opcode);
    }
}

INSTANTIATE_TEST_SUITE_P(OpCodeList, OpCodeListAnswerTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(kOpCodeListCases)), ParamNamer());

}  // namespace
