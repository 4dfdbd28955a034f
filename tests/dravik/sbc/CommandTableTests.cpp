// Every command method of the block-command device: the command block, the
// data direction, which memory goes to the transport and how much, and the
// time-out.
#include <functional>
#include <ostream>

#include "SbcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const unsigned int kDefaultMs = 7000;  // set on the device, so "default" is recognisable

typedef std::function<bool(ScsiSBCDevice&, std::uint8_t*)> Call;

// Which memory a command hands to the transport.
enum class Data {
    Caller,  // the caller's buffer
    Own,     // memory of the method; the caller's buffer is not touched
    None     // no data
};

struct CommandCase {
    const char* name;
    Call call;
    Bytes cdb;
    DXFER_DIRECTION direction;
    std::uint32_t dataLen;
    Data data;
    std::uint32_t timeoutMs;
    Bytes sent;  // for Data::Own: the bytes the method sends
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    return out << c.name;
}

sbc_read_capacity_16_resp_t& response(std::uint8_t* buffer) {
    return *reinterpret_cast<sbc_read_capacity_16_resp_t*>(buffer);
}

const qln::Buffer<unsigned char>& fourBytePattern() {
    static unsigned char bytes[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    static const qln::Buffer<unsigned char> pattern(bytes, sizeof(bytes));
    return pattern;
}

std::vector<CommandCase> commandCases() {
    return {
        // READ(6) and WRITE(6): 21 bits of LBA, blocks 0 sent as given.
        {"Read6", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read6(b, 512, 0x012345, 1); },
         {0x08, 0x01, 0x23, 0x45, 0x01, 0x00}, DXFER_FROM_DEVICE, 512, Data::Caller, kDefaultMs, {}},
        {"Read6NoBlocks", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read6(b, 4096, 0x100000, 0); },
         {0x08, 0x10, 0, 0, 0, 0}, DXFER_FROM_DEVICE, 4096, Data::Caller, kDefaultMs, {}},
        {"Write6HighestLba", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.write6(b, 4096, 0x1FFFFF, 8); },
         {0x0A, 0x1F, 0xFF, 0xFF, 0x08, 0x00}, DXFER_TO_DEVICE, 4096, Data::Caller, kDefaultMs, {}},
        // READ and WRITE (10, 12, 16): FUA bit 3, DPO bit 4 when caching is not allowed.
        {"Read10FuaCached",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read10(b, 0x2000, 0x12345678, 0x0010, true, true); },
         {0x28, 0x08, 0x12, 0x34, 0x56, 0x78, 0, 0x00, 0x10, 0}, DXFER_FROM_DEVICE, 0x2000, Data::Caller,
         kDefaultMs, {}},
        {"Write10Dpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.write10(b, 0x0200, 0xFEDCBA98, 0xABCD, false, false); },
         {0x2A, 0x10, 0xFE, 0xDC, 0xBA, 0x98, 0, 0xAB, 0xCD, 0}, DXFER_TO_DEVICE, 0x0200, Data::Caller,
         kDefaultMs, {}},
        {"Read12Dpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read12(b, 0x0800, 0x89ABCDEF, 0x01020304, false, false); },
         {0xA8, 0x10, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03, 0x04, 0, 0}, DXFER_FROM_DEVICE, 0x0800,
         Data::Caller, kDefaultMs, {}},
        {"Write12FuaDpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.write12(b, 0x0400, 0x00000001, 0x00000002, true, false); },
         {0xAA, 0x18, 0, 0, 0, 0x01, 0, 0, 0, 0x02, 0, 0}, DXFER_TO_DEVICE, 0x0400, Data::Caller, kDefaultMs, {}},
        {"Read16Fua",
         [](ScsiSBCDevice& d, std::uint8_t* b) {
             return d.read16(b, 0x1000, 0x0102030405060708ull, 0x0A0B0C0D, true, true);
         },
         {0x88, 0x08, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0A, 0x0B, 0x0C, 0x0D, 0, 0},
         DXFER_FROM_DEVICE, 0x1000, Data::Caller, kDefaultMs, {}},
        {"Write16Cached",
         [](ScsiSBCDevice& d, std::uint8_t* b) {
             return d.write16(b, 0x0200, 0xF0E0D0C0B0A09080ull, 0xFFFFFFFF, false, true);
         },
         {0x8A, 0x00, 0xF0, 0xE0, 0xD0, 0xC0, 0xB0, 0xA0, 0x90, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0},
         DXFER_TO_DEVICE, 0x0200, Data::Caller, kDefaultMs, {}},
        // WRITE AND VERIFY: BYTCHK bit 1, DPO bit 4.
        {"WriteVerify10ByteCheckDpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.writeVerify10(b, 0x0400, 1, 2, true, false); },
         {0x2E, 0x12, 0, 0, 0, 0x01, 0, 0x00, 0x02, 0}, DXFER_TO_DEVICE, 0x0400, Data::Caller, kDefaultMs, {}},
        {"WriteVerify12Dpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) {
             return d.writeVerify12(b, 0x0200, 0x11223344, 0x55667788, false, false);
         },
         {0xAE, 0x10, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0, 0}, DXFER_TO_DEVICE, 0x0200,
         Data::Caller, kDefaultMs, {}},
        {"WriteVerify16ByteCheckCached",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.writeVerify16(b, 0x0200, 0x100000000ull, 1, true, true); },
         {0x8E, 0x02, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0}, DXFER_TO_DEVICE, 0x0200, Data::Caller,
         kDefaultMs, {}},
        // VERIFY moves nothing, yet the caller's pointer and length go to the transport.
        {"Verify10ByteCheckDpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.verify10(0x00ABCDEF, 0x0102, b, 0x0200, true, false); },
         {0x2F, 0x12, 0x00, 0xAB, 0xCD, 0xEF, 0, 0x01, 0x02, 0}, DXFER_NONE, 0x0200, Data::Caller, kDefaultMs,
         {}},
        {"Verify12Dpo",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.verify12(0x01020304, 0x05060708, b, 0x0100, false, false); },
         {0xAF, 0x10, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0, 0}, DXFER_NONE, 0x0100, Data::Caller,
         kDefaultMs, {}},
        {"Verify16WithoutData",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.verify16(0x8877665544332211ull, 0x00010000, nullptr, 0, false, true);
         },
         {0x8F, 0x00, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00, 0x01, 0x00, 0x00, 0, 0}, DXFER_NONE, 0,
         Data::None, kDefaultMs, {}},
        // START STOP UNIT: the low four bits of the power condition in byte 4.
        {"StartStopUnitPowerConditionCut",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.startStopUnit(static_cast<_SBC_POWER_CONDITIONS>(0x1F), true, true, false);
         },
         {0x1B, 0x00, 0, 0, 0xF3, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"StartStopUnitUnnamedPowerCondition",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.startStopUnit(static_cast<_SBC_POWER_CONDITIONS>(0x05), false, true, true);
         },
         {0x1B, 0x01, 0, 0, 0x51, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"StartStopUnitStandbyImmediate",
         [](ScsiSBCDevice& d, std::uint8_t*) { return d.startStopUnit(SBC_POWER_STANDBY, false, false, true); },
         {0x1B, 0x01, 0, 0, 0x30, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        // Capacity reads.
        {"ReadCapacity10Pmi",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             std::uint32_t last = 0, length = 0;
             return d.readCapacity10(last, length, 0x11223344, true);
         },
         {0x25, 0, 0x11, 0x22, 0x33, 0x44, 0, 0, 0x01, 0}, DXFER_FROM_DEVICE, 8, Data::Own, kDefaultMs, {}},
        {"ReadCapacity16Pmi",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readCapacity16(response(b), 32, 0x0102030405060708ull, true); },
         {0x9E, 0x10, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0, 0, 0, 0x20, 0x01, 0}, DXFER_FROM_DEVICE, 32,
         Data::Caller, kDefaultMs, {}},
        {"ReadCapacity16AllocationAsGiven",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readCapacity16(response(b), 12, 0, false); },
         {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0x00, 0}, DXFER_FROM_DEVICE, 12, Data::Caller,
         kDefaultMs, {}},
        // SBC allows more than the 32 bytes of the record; no more is asked for.
        {"ReadCapacity16AllocationAtMostTheRecord",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readCapacity16(response(b), 64, 0, false); },
         {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x00, 0}, DXFER_FROM_DEVICE, 32, Data::Caller,
         kDefaultMs, {}},
        {"ReadCapacity16AllocationOneOverTheRecord",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readCapacity16(response(b), 33, 0, false); },
         {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x00, 0}, DXFER_FROM_DEVICE, 32, Data::Caller,
         kDefaultMs, {}},
        // SYNCHRONIZE CACHE: IMMED bit 1.
        {"SynchronizeCache10Immediate",
         [](ScsiSBCDevice& d, std::uint8_t*) { return d.synchronizeCache10(0x01020304, 0x0506, true); },
         {0x35, 0x02, 0x01, 0x02, 0x03, 0x04, 0, 0x05, 0x06, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"SynchronizeCache16",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.synchronizeCache16(0x1122334455667788ull, 0x99AABBCC, false);
         },
         {0x91, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0, 0}, DXFER_NONE, 0,
         Data::None, kDefaultMs, {}},
        // SANITIZE: IMMED always set; only OVERWRITE sends a parameter list.
        {"SanitizeBlockErase",
         [](ScsiSBCDevice& d, std::uint8_t*) { return d.sanitize(SBC_SANITIZE_BLOCK_ERASE, nullptr, 0, false, false); },
         {0x48, 0x82, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"SanitizeBlockEraseAuse",
         [](ScsiSBCDevice& d, std::uint8_t*) { return d.sanitize(SBC_SANITIZE_BLOCK_ERASE, nullptr, 0, false, true); },
         {0x48, 0xA2, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"SanitizeCryptoEraseIgnoresThePattern",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.sanitize(SBC_SANITIZE_CRYPTO_ERASE, &fourBytePattern(), 3, true, false);
         },
         {0x48, 0x83, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        {"SanitizeOverwriteInverted",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.sanitize(SBC_SANITIZE_OVERWRITE, &fourBytePattern(), 3, true, false);
         },
         {0x48, 0x81, 0, 0, 0, 0, 0, 0x00, 0x08, 0}, DXFER_TO_DEVICE, 8, Data::Own, kDefaultMs,
         {0x83, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF}},
        {"SanitizeOverwriteMostPassesAuse",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             unsigned char one = 0xA5;
             const qln::Buffer<unsigned char> pattern(&one, 1);
             return d.sanitize(SBC_SANITIZE_OVERWRITE, &pattern, 31, false, true);
         },
         {0x48, 0xA1, 0, 0, 0, 0, 0, 0x00, 0x05, 0}, DXFER_TO_DEVICE, 5, Data::Own, kDefaultMs,
         {0x1F, 0x00, 0x00, 0x01, 0xA5}},
        // The five bits the device reads decide: 21h is an OVERWRITE.
        {"SanitizeActionCutToOverwrite",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.sanitize(static_cast<_SBC_SANITIZE_SERVICEACTIONS>(0x21), &fourBytePattern(), 2, false, false);
         },
         {0x48, 0x81, 0, 0, 0, 0, 0, 0x00, 0x08, 0}, DXFER_TO_DEVICE, 8, Data::Own, kDefaultMs,
         {0x02, 0x00, 0x00, 0x04, 0xDE, 0xAD, 0xBE, 0xEF}},
        {"SanitizeActionCutToItsField",
         [](ScsiSBCDevice& d, std::uint8_t*) {
             return d.sanitize(static_cast<_SBC_SANITIZE_SERVICEACTIONS>(0xE4), nullptr, 0, false, true);
         },
         {0x48, 0xA4, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0, Data::None, kDefaultMs, {}},
        // READ DEFECT DATA: a fixed time-out of its own.
        {"ReadDefectData10BothLists",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData10(b, 0x1234, true, true, 5); },
         {0x37, 0, 0x1D, 0, 0, 0, 0, 0x12, 0x34, 0}, DXFER_FROM_DEVICE, 0x1234, Data::Caller, 5000, {}},
        {"ReadDefectData10FormatCut",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData10(b, 4, false, false, 0x0F); },
         {0x37, 0, 0x07, 0, 0, 0, 0, 0x00, 0x04, 0}, DXFER_FROM_DEVICE, 4, Data::Caller, 5000, {}},
        {"ReadDefectData12",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData12(b, 0x00012345, false, true, 4, 8); },
         {0xB7, 0x0C, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x23, 0x45, 0, 0}, DXFER_FROM_DEVICE, 0x12345,
         Data::Caller, 5000, {}},
        {"ReadDefectData12PlistWholeIndex",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData12(b, 8, true, false, 0xFD, 0xA1B2C3D4); },
         {0xB7, 0x15, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0, 0x08, 0, 0}, DXFER_FROM_DEVICE, 8, Data::Caller, 5000, {}},
    };
}

class CommandTableTest : public SbcRoadTest<std::tuple<Road, CommandCase>> {};

TEST_P(CommandTableTest, SendsItsBlockDataAndTimeout) {
    const CommandCase& c = std::get<1>(GetParam());
    device->setDefaultTimeoutMs(kDefaultMs);
    Bytes answer(c.direction == DXFER_FROM_DEVICE ? c.dataLen : 0);
    for (std::size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<std::uint8_t>(i * 13 + 5);
    ModelAnswer row = ModelAnswer::good({}, answer);
    row.transferred = c.dataLen;  // VERIFY reports its length as transferred, too
    model->on(row);
    std::vector<std::uint8_t> buffer(0x12345 + 16);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> before(buffer);

    EXPECT_TRUE(c.call(*device, buffer.data()));
    expectSentAsTabled(*model, c, road->recordedTimeout(c.timeoutMs));
    if (HasFatalFailure())
        return;
    const ModelCommand& sent = model->lastCommand();
    EXPECT_EQ(CMD_RESULT_OK, device->getLastResult().code);

    const Bytes callerBytes(before.begin(), before.begin() + c.dataLen);
    switch (c.data) {
    case Data::Caller:
        EXPECT_EQ(callerBytes, sent.dataSent);
        if (c.direction == DXFER_FROM_DEVICE) {
            EXPECT_EQ(answer, Bytes(buffer.begin(), buffer.begin() + c.dataLen));
            EXPECT_TRUE(std::equal(buffer.begin() + c.dataLen, buffer.end(), before.begin() + c.dataLen));
        } else {
            EXPECT_EQ(before, buffer);
        }
        break;
    case Data::Own:
        if (c.direction == DXFER_TO_DEVICE) {
            EXPECT_EQ(c.sent, sent.dataSent);
        }
        EXPECT_EQ(before, buffer);
        break;
    case Data::None:
        EXPECT_TRUE(sent.dataSent.empty());
        EXPECT_EQ(before, buffer);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Block, CommandTableTest,
                         ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(commandCases())), ParamNamer());

// --- addresses the 6-byte forms cannot carry ---------------------------------

struct SixByteRefusal {
    const char* name;
    Call call;
};

std::ostream& operator<<(std::ostream& out, const SixByteRefusal& r) {
    return out << r.name;
}

// Cut to 21 bits these would reach another block: 00200000h would be block 0.
std::vector<SixByteRefusal> sixByteRefusals() {
    return {
        {"Read6JustAbove", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read6(b, 512, 0x00200000, 1); }},
        {"Write6JustAbove", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.write6(b, 512, 0x00200000, 1); }},
        {"Write6WouldReach012345h",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.write6(b, 512, 0x00212345, 1); }},
        {"Read6HighestAddress", [](ScsiSBCDevice& d, std::uint8_t* b) { return d.read6(b, 4096, 0xFFFFFFFF, 0); }},
    };
}

class SixByteRefusalTest : public SbcRoadTest<std::tuple<Road, SixByteRefusal>> {};

TEST_P(SixByteRefusalTest, SendsNothingAndKeepsTheLastResultAndTheBuffer) {
    model->on(ModelAnswer::good({}, Bytes(4096, 0xEE)));
    device->record().result.code = CMD_RESULT_UNDERRUN;
    device->record().result.detail = 77;
    std::vector<std::uint8_t> buffer(4096, 0x5A);

    EXPECT_FALSE(std::get<1>(GetParam()).call(*device, buffer.data()));
    EXPECT_TRUE(model->commands().empty());
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device->getLastResult().code);
    EXPECT_EQ(77u, device->getLastResult().detail);
    EXPECT_EQ(std::vector<std::uint8_t>(4096, 0x5A), buffer);
}

INSTANTIATE_TEST_SUITE_P(Block, SixByteRefusalTest,
                         ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(sixByteRefusals())), ParamNamer());

// --- a device without transport ----------------------------------------------

class NoAccessorTest : public qln::test::LogCaptureTest {};

TEST_F(NoAccessorTest, CommandsFailWithoutSendingAndLeaveTheOutputs) {
    SbcDeviceProbe lone{AccessorTransfer()};
    lone.record().result.code = CMD_RESULT_UNDERRUN;
    lone.record().result.detail = 77;
    std::uint8_t buffer[64] = {0};
    std::uint32_t last = 0x1234, length = 0x5678;
    sbc_capacity capacity = {42, 43};
    unsigned char one = 0x55;
    const qln::Buffer<unsigned char> pattern(&one, 1);

    EXPECT_FALSE(lone.read10(buffer, 512, 0, 1, false, true));
    EXPECT_FALSE(lone.readCapacity10(last, length, 0, false));
    EXPECT_FALSE(lone.readCapacity(capacity));
    EXPECT_FALSE(lone.sanitize(SBC_SANITIZE_OVERWRITE, &pattern, 1, false, false));
    EXPECT_FALSE(lone.readDefectData12(buffer, sizeof(buffer), true, true, 0, 0));
    EXPECT_EQ(0x1234u, last);
    EXPECT_EQ(0x5678u, length);
    EXPECT_EQ(42u, capacity.numBlocks);
    EXPECT_EQ(43u, capacity.blockLength);
    EXPECT_EQ(CMD_RESULT_UNDERRUN, lone.getLastResult().code);
    EXPECT_EQ(77u, lone.getLastResult().detail);
    EXPECT_EQ(5u, log.withPrefix(L"34 Invalid Accessor", L"libDravik.ScsiDevice").size()) << log.dump();
}

}  // namespace
