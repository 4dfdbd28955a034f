// Reading, writing and information commands of the multimedia device: the
// command block, direction, data and time-out of each over both roads, where
// the drive's bytes land, and the short answers that fail them.
#include <functional>
#include <memory>
#include <ostream>
#include <utility>

#include "MmcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const unsigned int kDefaultMs = 7000;  // set on the device, so "default" is recognisable
const std::size_t kBufferSize = 0x20000;
const int kNothingLands = -1;
const std::uint8_t kModeSense10 = 0x5A;
const std::uint8_t kReadTrackInformation = 0x52;

struct CommandCase {
    const char* name;
    MmcCall call;
    Bytes cdb;
    DXFER_DIRECTION direction;
    std::uint32_t dataLen;
    // Reading commands: the caller's buffer receives `landsCount` bytes of
    // the answer from `landsFrom` on (kNothingLands: the answer stays inside
    // the method).
    int landsFrom;
    std::uint32_t landsCount;
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    return out << c.name;
}

// A whole answer of `n` bytes: a header of zeros (no block descriptors in
// a mode sense answer) and a counting pattern after it.
Bytes answerOf(std::uint32_t n) {
    Bytes b(n, 0);
    for (std::uint32_t i = 8; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 5 + 1);
    return b;
}

template <class R>
R& recordAt(std::uint8_t* b) {
    return *reinterpret_cast<R*>(b);
}

ScsiMMCDevice::read_cd_arg_t readCdArg(std::uint32_t startLba, std::uint32_t transferLength) {
    ScsiMMCDevice::read_cd_arg_t arg = {};
    arg.startLba = startLba;
    arg.transferLength = transferLength;
    return arg;
}

std::vector<CommandCase> commandCases() {
    return {
        {"Read10Fua",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.read10(b, 0x800, 0x01020304, 0xABCD, true); },
         {0x28, 0x08, 0x01, 0x02, 0x03, 0x04, 0, 0xAB, 0xCD, 0}, DXFER_FROM_DEVICE, 0x800, 0, 0x800},
        {"Read10Plain", [](ScsiMMCDevice& d, std::uint8_t* b) { return d.read10(b, 12, 0xFFFFFFFFu, 1, false); },
         {0x28, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0x00, 0x01, 0}, DXFER_FROM_DEVICE, 12, 0, 12},
        {"Read12Streaming",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.read12(b, 0x930, 0x11223344, 0x55667788, false, true); },
         {0xA8, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x80, 0}, DXFER_FROM_DEVICE, 0x930, 0,
         0x930},
        {"Read12Fua", [](ScsiMMCDevice& d, std::uint8_t* b) { return d.read12(b, 16, 1, 2, true, false); },
         {0xA8, 0x08, 0, 0, 0, 0x01, 0, 0, 0, 0x02, 0x00, 0}, DXFER_FROM_DEVICE, 16, 0, 16},
        {"ReadMsfSectorTypeAndDap",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             ScsiMMCDevice::read_msf_arg_t arg = {};
             arg.sectorType = 7;
             arg.dap = true;
             arg.startMinute = 1;
             arg.startSecond = 2;
             arg.startFrame = 3;
             arg.endMinute = 0x4A;
             arg.endSecond = 0x3B;
             arg.endFrame = 0xFF;
             return d.readMSF(b, 2352, arg);
         },
         {0xB9, 0x1E, 0, 0x01, 0x02, 0x03, 0x4A, 0x3B, 0xFF, 0x00, 0x00, 0}, DXFER_FROM_DEVICE, 2352, 0, 2352},
        {"ReadMsfSelectionFieldsCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             ScsiMMCDevice::read_msf_arg_t arg = {};
             arg.sectorType = 0x0A;
             arg.sync = arg.userData = arg.edcEcc = true;
             arg.headerCodes = 7;
             arg.c2Error = 7;
             arg.subChannel = 0x0F;
             return d.readMSF(b, 96, arg);
         },
         {0xB9, 0x08, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0x07, 0}, DXFER_FROM_DEVICE, 96, 0, 96},
        {"ReadCdOneBlock",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.readCD(b, 2352, readCdArg(0x00A0B0C0, 1)); },
         {0xBE, 0, 0x00, 0xA0, 0xB0, 0xC0, 0x00, 0x00, 0x01, 0, 0, 0}, DXFER_FROM_DEVICE, 2352, 0, 2352},
        {"ReadCdTransferLength24Bits",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.readCD(b, 64, readCdArg(0xFFFFFFFFu, 0x123456)); },
         {0xBE, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0, 0, 0}, DXFER_FROM_DEVICE, 64, 0, 64},
        {"ReadCdTransferLengthWraps",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.readCD(b, 64, readCdArg(0, 0x01000000)); },
         {0xBE, 0, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0, 0, 0}, DXFER_FROM_DEVICE, 64, 0, 64},
        {"ReadCdSelection",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             ScsiMMCDevice::read_cd_arg_t arg = readCdArg(0x10, 2);
             arg.sectorType = 7;
             arg.dap = true;
             arg.sync = arg.userData = arg.edcEcc = true;
             arg.headerCodes = 3;
             arg.c2Error = 3;
             arg.subChannel = 2;
             return d.readCD(b, 2 * 2448, arg);
         },
         {0xBE, 0x1E, 0, 0, 0, 0x10, 0, 0, 0x02, 0xFE, 0x02, 0}, DXFER_FROM_DEVICE, 2 * 2448, 0, 2 * 2448},
        {"Write10Fua",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.write10(b, 0x800, 0x8090A0B0u, 0x0102, true); },
         {0x2A, 0x08, 0x80, 0x90, 0xA0, 0xB0, 0, 0x01, 0x02, 0}, DXFER_TO_DEVICE, 0x800, kNothingLands, 0},
        {"Write12",
         [](ScsiMMCDevice& d, std::uint8_t* b) { return d.write12(b, 0x1000, 0x0A0B0C0D, 0xF1F2F3F4u, false); },
         {0xAA, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0xF1, 0xF2, 0xF3, 0xF4, 0, 0}, DXFER_TO_DEVICE, 0x1000,
         kNothingLands, 0},
        {"Write12Fua", [](ScsiMMCDevice& d, std::uint8_t* b) { return d.write12(b, 4, 0, 1, true); },
         {0xAA, 0x08, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0}, DXFER_TO_DEVICE, 4, kNothingLands, 0},
        {"ReadCapacity",
         [](ScsiMMCDevice& d, std::uint8_t*) {
             std::uint32_t last = 0, length = 0;
             return d.readCapacity(last, length);
         },
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_FROM_DEVICE, 8, kNothingLands, 0},
        {"ReadFormatCapacities",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0xFC);
             return d.readFormatCapacities(buffer);
         },
         {0x23, 0, 0, 0, 0, 0, 0, 0x00, 0xFC, 0}, DXFER_FROM_DEVICE, 0xFC, 0, 0xFC},
        // The allocation length field carries the low 16 bits of the buffer
        // length; the whole buffer is the data length.
        {"ReadFormatCapacitiesLengthBeyondTheField",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x10130);
             return d.readFormatCapacities(buffer);
         },
         {0x23, 0, 0, 0, 0, 0, 0, 0x01, 0x30, 0}, DXFER_FROM_DEVICE, 0x10130, 0, 0x10130},
        {"ReadDiscInformationTypeCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.readDiscInformation(static_cast<_MMC_DISC_INFORMATION_DATA_TYPE>(0x0A),
                                          &recordAt<mmc_disc_information_hdr_t>(b), 34);
         },
         {0x51, 0x02, 0, 0, 0, 0, 0, 0x00, 0x22, 0}, DXFER_FROM_DEVICE, 34, 0, 34},
        // Codes that no enumerator names, inside their fields, go out as given.
        {"ReadDiscInformationUnnamedType",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.readDiscInformation(static_cast<_MMC_DISC_INFORMATION_DATA_TYPE>(5),
                                          &recordAt<mmc_disc_information_hdr_t>(b), 34);
         },
         {0x51, 0x05, 0, 0, 0, 0, 0, 0x00, 0x22, 0}, DXFER_FROM_DEVICE, 34, 0, 34},
        {"ReadDiscInformationLong",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.readDiscInformation(MMC_DISC_INFORMATION_STANDARD, &recordAt<mmc_disc_information_hdr_t>(b),
                                          0x0123);
         },
         {0x51, 0x00, 0, 0, 0, 0, 0, 0x01, 0x23, 0}, DXFER_FROM_DEVICE, 0x0123, 0, 0x0123},
        {"ModeSense10AsksSixteenMore",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.modeSense10(MMC_PAGE_CAPABILITIES_AND_MECHANICAL_STATUS, b, 20, MMC_PAGE_CONTROL_CHANGEABLE);
         },
         {0x5A, 0x00, 0x6A, 0, 0, 0, 0, 0x00, 0x24, 0}, DXFER_FROM_DEVICE, 36, 8, 20},
        {"ModeSense10FieldsCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.modeSense10(static_cast<_MMC_PAGE_CODES>(0xFF), b, 0x100,
                                  static_cast<_MMC_PAGE_CONTROL_FIELDS>(7));
         },
         {0x5A, 0x00, 0xFF, 0, 0, 0, 0, 0x01, 0x10, 0}, DXFER_FROM_DEVICE, 0x110, 8, 0x100},
        {"ModeSense10UnnamedPage",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.modeSense10(static_cast<_MMC_PAGE_CODES>(0x30), b, 20, MMC_PAGE_CONTROL_SAVED);
         },
         {0x5A, 0x00, 0xF0, 0, 0, 0, 0, 0x00, 0x24, 0}, DXFER_FROM_DEVICE, 36, 8, 20},
        {"MechanismStatus",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.mechanismStatus(&recordAt<mmc_mechanism_status_hdr_t>(b), 0x0108);
         },
         {0xBD, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x08, 0, 0}, DXFER_FROM_DEVICE, 0x0108, 0, 0x0108},
        {"GetConfigurationFieldsCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.getConfiguration(static_cast<_MMC_FEATURES>(0xFFFFFFFFu),
                                       recordAt<mmc_get_configuration_feature_list_hdr_t>(b), 0x0204,
                                       static_cast<_MMC_GET_CONFIGURATION_RT_FIELD>(7));
         },
         {0x46, 0x03, 0xFF, 0xFF, 0, 0, 0, 0x02, 0x04, 0}, DXFER_FROM_DEVICE, 0x0204, 0, 0x0204},
        {"GetConfigurationUnnamedFeatureAndRt",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.getConfiguration(static_cast<_MMC_FEATURES>(0x0022),
                                       recordAt<mmc_get_configuration_feature_list_hdr_t>(b), 16,
                                       static_cast<_MMC_GET_CONFIGURATION_RT_FIELD>(3));
         },
         {0x46, 0x03, 0x00, 0x22, 0, 0, 0, 0x00, 0x10, 0}, DXFER_FROM_DEVICE, 16, 0, 16},
        {"GetCurrentProfile",
         [](ScsiMMCDevice& d, std::uint8_t*) { return d.getCurrentProfile() != MMC_PROFILE_INVALID; },
         {0x46, 0x02, 0x00, 0x00, 0, 0, 0, 0x00, 0x08, 0}, DXFER_FROM_DEVICE, 8, kNothingLands, 0},
        {"ReadDiscStructureMediaTypeCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x0804);
             return d.readDiscStructure(static_cast<_MMC_MEDIA_TYPE_CODE>(0x1F), MMC_MEDIA_FORMAT_WRITE_PROTECTION,
                                        buffer);
         },
         {0xAD, 0x0F, 0, 0, 0, 0, 0, 0xC0, 0x08, 0x04, 0, 0}, DXFER_FROM_DEVICE, 0x0804, 0, 0x0804},
        {"ReadDiscStructureFormatLowByte",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 4);
             return d.readDiscStructure(MMC_MEDIA_TYPE_BD, static_cast<_MMC_MEDIA_TYPE_FORMAT_CODE>(0x1FF), buffer);
         },
         {0xAD, 0x01, 0, 0, 0, 0, 0, 0xFF, 0x00, 0x04, 0, 0}, DXFER_FROM_DEVICE, 4, 0, 4},
        {"ReadDiscStructureUnnamedMediaAndFormat",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 8);
             return d.readDiscStructure(static_cast<_MMC_MEDIA_TYPE_CODE>(2),
                                        static_cast<_MMC_MEDIA_TYPE_FORMAT_CODE>(0x10), buffer);
         },
         {0xAD, 0x02, 0, 0, 0, 0, 0, 0x10, 0x00, 0x08, 0, 0}, DXFER_FROM_DEVICE, 8, 0, 8},
        {"ReadTocFullInMsf",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x0324);
             return d.readTOCInformation(MMC_READ_TOC_FORMAT_FULL_TOC, true, buffer, 0xAA);
         },
         {0x43, 0x02, 0x02, 0, 0, 0, 0xAA, 0x03, 0x24, 0}, DXFER_FROM_DEVICE, 0x0324, 0, 0x0324},
        {"ReadTocFormatCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 12);
             return d.readTOCInformation(static_cast<_MMC_READ_TOC_FORMAT_CODE>(0x15), false, buffer, 1);
         },
         {0x43, 0x00, 0x05, 0, 0, 0, 0x01, 0x00, 0x0C, 0}, DXFER_FROM_DEVICE, 12, 0, 12},
        {"ReadTocUnnamedFormat",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 12);
             return d.readTOCInformation(static_cast<_MMC_READ_TOC_FORMAT_CODE>(0x0E), true, buffer, 0xFF);
         },
         {0x43, 0x02, 0x0E, 0, 0, 0, 0xFF, 0x00, 0x0C, 0}, DXFER_FROM_DEVICE, 12, 0, 12},
        {"ReadTocLengthBeyondTheField",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x10004);
             return d.readTOCInformation(MMC_READ_TOC_FORMAT_TOC, false, buffer, 0);
         },
         {0x43, 0x00, 0x00, 0, 0, 0, 0x00, 0x00, 0x04, 0}, DXFER_FROM_DEVICE, 0x10004, 0, 0x10004},
        {"ReadTrackInformationAsksFortyEight",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.readTrackInformation(0x05, true, 0x01020304, recordAt<mmc_track_information_t>(b));
         },
         {0x52, 0x05, 0x01, 0x02, 0x03, 0x04, 0, 0x00, 0x30, 0}, DXFER_FROM_DEVICE, 48, 0, 48},
        {"ReadTrackInformationByLba",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             return d.readTrackInformation(0x00, false, 0xFFFFFF00u, recordAt<mmc_track_information_t>(b));
         },
         {0x52, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0, 0x00, 0x30, 0}, DXFER_FROM_DEVICE, 48, 0, 48},
        {"GetPerformanceWriteSpeed",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x0208);
             return d.getPerformance(MMC_PERFORMANCE_TYPE_WRITE_SPEED, 0xFF, 0x0A0B0C0D, 0x0102, buffer);
         },
         {0xAC, 0x1F, 0x0A, 0x0B, 0x0C, 0x0D, 0, 0, 0x01, 0x02, 0x03, 0}, DXFER_FROM_DEVICE, 0x0208, 0, 0x0208},
        {"GetPerformanceNominal",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x28);
             return d.getPerformance(MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x03, 0, 2, buffer);
         },
         {0xAC, 0x03, 0, 0, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0}, DXFER_FROM_DEVICE, 0x28, 0, 0x28},
        {"GetPerformanceTypeCut",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> buffer = bufferAt(b, 0x18);
             return d.getPerformance(static_cast<_MMC_PERFORMANCE_TYPE>(0x1C4), 0x10, 0xFFFFFFFFu, 0xFFFF, buffer);
         },
         {0xAC, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xC4, 0}, DXFER_FROM_DEVICE, 0x18, 0, 0x18},
        {"SetStreaming",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> parameters = bufferAt(b, 28);
             return d.setStreaming(static_cast<_MMC_SET_PERFORMANCE_TYPE>(0x105), parameters);
         },
         {0xB6, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x00, 0x1C, 0}, DXFER_TO_DEVICE, 28, kNothingLands, 0},
        {"SetStreamingUnnamedType",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> parameters = bufferAt(b, 0x0100);
             return d.setStreaming(static_cast<_MMC_SET_PERFORMANCE_TYPE>(0xFA), parameters);
         },
         {0xB6, 0, 0, 0, 0, 0, 0, 0, 0xFA, 0x01, 0x00, 0}, DXFER_TO_DEVICE, 0x0100, kNothingLands, 0},
        {"SetStreamingSendsLow16BitsOfTheLength",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> parameters = bufferAt(b, 0x12345);
             return d.setStreaming(MMC_SET_PERFORMANCE_DESCRIPTOR, parameters);
         },
         {0xB6, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x23, 0x45, 0}, DXFER_TO_DEVICE, 0x2345, kNothingLands, 0},
    };
}

std::vector<CommandCase> readingCases() {
    std::vector<CommandCase> reading;
    for (const CommandCase& c : commandCases())
        if (c.direction == DXFER_FROM_DEVICE)
            reading.push_back(c);
    return reading;
}

class ReadWriteTableTest : public MmcRoadTest<std::tuple<Road, CommandCase>> {
protected:
    ReadWriteTableTest() : buffer(kBufferSize) {
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const CommandCase& command() const { return std::get<1>(GetParam()); }
    std::vector<std::uint8_t> buffer;
};

TEST_P(ReadWriteTableTest, SendsItsBlockDirectionDataAndTimeout) {
    const CommandCase& c = command();
    mmc->setDefaultTimeoutMs(kDefaultMs);
    const Bytes answer = answerOf(c.dataLen);
    model->on(ModelAnswer::good({}, c.direction == DXFER_FROM_DEVICE ? answer : Bytes()));
    const std::vector<std::uint8_t> before(buffer);

    EXPECT_TRUE(c.call(*mmc, buffer.data()));
    expectSentAsTabled(*model, c, road->recordedTimeout(kDefaultMs));
    if (HasFatalFailure())
        return;
    const ModelCommand& sent = model->lastCommand();
    EXPECT_EQ(CMD_RESULT_OK, mmc->getLastResult().code);

    if (c.direction == DXFER_TO_DEVICE) {
        EXPECT_EQ(Bytes(before.begin(), before.begin() + c.dataLen), sent.dataSent);
        EXPECT_EQ(before, buffer);  // written data go out unchanged
        return;
    }
    // The drive's bytes land in the caller's memory, nothing past them.
    std::size_t landed = 0;
    if (c.landsFrom != kNothingLands) {
        landed = c.landsCount;
        EXPECT_EQ(Bytes(answer.begin() + c.landsFrom, answer.begin() + c.landsFrom + landed),
                  Bytes(buffer.begin(), buffer.begin() + landed));
    }
    EXPECT_EQ(Bytes(before.begin() + landed, before.end()), Bytes(buffer.begin() + landed, buffer.end()));
}

TEST_P(ReadWriteTableTest, RecoveredErrorCountsAsSuccessAndOtherSenseFails) {
    expectSuccessRule(*model, *mmc, command().call, buffer.data());
}

INSTANTIATE_TEST_SUITE_P(ReadWrite, ReadWriteTableTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(commandCases())), ParamNamer());

// An answer one byte short fails every reading command of the table but
// MODE SENSE(10), which asks for room beyond the page and takes what came,
// and READ TRACK INFORMATION, whose block may be shorter than the 48 bytes
// asked for and counts when it covers its data length (0 in this answer).
class ShortAnswerTableTest : public ReadWriteTableTest {};

TEST_P(ShortAnswerTableTest, OneByteShortAnswer) {
    const CommandCase& c = command();
    model->on(ModelAnswer::good({}, answerOf(c.dataLen - 1)));
    const bool takesShort = c.cdb[0] == kModeSense10 || c.cdb[0] == kReadTrackInformation;
    EXPECT_EQ(takesShort, c.call(*mmc, buffer.data()));
    EXPECT_EQ(CMD_RESULT_UNDERRUN, mmc->getLastResult().code);
    EXPECT_EQ(1u, mmc->getLastResult().detail);
    EXPECT_EQ(1u, model->commands().size());
}

INSTANTIATE_TEST_SUITE_P(ReadWrite, ShortAnswerTableTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(readingCases())), ParamNamer());

TEST(ReadWriteNoAccessor, EveryCommandFailsWithoutSending) {
    expectEveryCallFailsWithoutAccessor(commandCases(), kBufferSize);
}

}  // namespace
