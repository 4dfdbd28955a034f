// The multimedia commands that read their answer themselves: READ CAPACITY,
// the current profile, MODE SENSE(10) without header and block descriptors,
// the short track information block, and the short nominal performance
// answer that still counts as read. Every
// case over both roads, with short, over-long and malformed answers.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ImportPatch.h"
#include "MmcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const std::uint8_t kReadCapacity = 0x25;
const std::uint8_t kGetConfiguration = 0x46;
const std::uint8_t kModeSense10 = 0x5A;
const std::uint8_t kGetPerformance = 0xAC;

class InformationTest : public MmcRoadTest<Road> {};

// --- READ CAPACITY ------------------------------------------------------------

TEST_P(InformationTest, ReadCapacityGivesTheLastAddressAsReported) {
    model->on(ModelAnswer::good({kReadCapacity}, {0x00, 0x23, 0x45, 0x67, 0x00, 0x00, 0x08, 0x00}));
    std::uint32_t last = 0, length = 0;
    ASSERT_TRUE(mmc->readCapacity(last, length));
    EXPECT_EQ(0x00234567u, last);  // not the count of blocks
    EXPECT_EQ(0x800u, length);
}

TEST_P(InformationTest, ReadCapacityTakesTheFirstEightBytesOfALongerAnswer) {
    model->on(ModelAnswer::good({kReadCapacity}, {0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x09, 0x30, 0xAA, 0xBB}));
    std::uint32_t last = 0, length = 0;
    ASSERT_TRUE(mmc->readCapacity(last, length));
    EXPECT_EQ(0xFFFFFFFEu, last);
    EXPECT_EQ(0x930u, length);
}

TEST_P(InformationTest, ReadCapacityLeavesTheOutputsOnFailure) {
    struct Failure {
        const char* name;
        ModelAnswer answer;
    };
    const Failure failures[] = {
        {"short", ModelAnswer::good({kReadCapacity}, {0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08})},
        {"empty", ModelAnswer::good({kReadCapacity})},
        {"not ready", ModelAnswer::checkCondition({kReadCapacity}, fixedSense(0x02, 0x3A, 0x00))},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        model->clearAnswers();
        model->on(f.answer);
        std::uint32_t last = 0xA5A5A5A5u, length = 0x5A5A5A5Au;
        EXPECT_FALSE(mmc->readCapacity(last, length));
        EXPECT_EQ(0xA5A5A5A5u, last);
        EXPECT_EQ(0x5A5A5A5Au, length);
    }
}

// --- current profile -----------------------------------------------------------

Bytes configurationHeader(std::uint16_t profile, std::size_t size = 8) {
    Bytes b(size, 0);
    b[3] = 4;
    b[6] = static_cast<std::uint8_t>(profile >> 8);
    b[7] = static_cast<std::uint8_t>(profile);
    for (std::size_t i = 8; i < size; ++i)
        b[i] = 0xEE;
    return b;
}

TEST_P(InformationTest, CurrentProfileIsHeaderBytesSixAndSeven) {
    model->on(ModelAnswer::good({kGetConfiguration}, configurationHeader(0x0010)).times(1));
    EXPECT_EQ(MMC_PROFILE_DVD_ROM, mmc->getCurrentProfile());
    // A drive that sends its feature descriptors too: only the header is asked for.
    model->on(ModelAnswer::good({kGetConfiguration}, configurationHeader(0x0043, 40)).times(1));
    EXPECT_EQ(MMC_PROFILE_BD_RE, mmc->getCurrentProfile());
    EXPECT_EQ(8u, model->lastCommand().dataLen);
    // FFFFh is a profile (zero-extended), not the failure value.
    model->on(ModelAnswer::good({kGetConfiguration}, configurationHeader(0xFFFF)).times(1));
    const _MMC_PROFILES nonConforming = mmc->getCurrentProfile();
    EXPECT_EQ(0x0000FFFFu, static_cast<std::uint32_t>(nonConforming));
}

TEST_P(InformationTest, CurrentProfileFailsWithAllBitsSet) {
    struct Failure {
        const char* name;
        ModelAnswer answer;
    };
    const Failure failures[] = {
        {"check condition", ModelAnswer::checkCondition({kGetConfiguration}, fixedSense(0x05, 0x20, 0x00))},
        {"short header", ModelAnswer::good({kGetConfiguration}, {0, 0, 0, 4, 0, 0, 0x00})},
        {"nothing", ModelAnswer::good({kGetConfiguration})},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        model->clearAnswers();
        model->on(f.answer);
        EXPECT_EQ(0xFFFFFFFFu, static_cast<std::uint32_t>(mmc->getCurrentProfile()));
    }
}

// --- MODE SENSE(10) --------------------------------------------------------------

// A mode sense answer of `size` bytes: MODE DATA LENGTH, BLOCK DESCRIPTOR
// LENGTH, and a counting pattern from byte 8 on.
Bytes modeAnswer(std::size_t size, std::uint16_t modeDataLength, std::uint16_t blockDescriptors) {
    Bytes b(std::max<std::size_t>(size, 8), 0);
    for (std::size_t i = 8; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i + 0x40);
    b[0] = static_cast<std::uint8_t>(modeDataLength >> 8);
    b[1] = static_cast<std::uint8_t>(modeDataLength);
    b[6] = static_cast<std::uint8_t>(blockDescriptors >> 8);
    b[7] = static_cast<std::uint8_t>(blockDescriptors);
    b.resize(size);
    return b;
}

struct ModeCase {
    const char* name;
    std::size_t answerSize;       // bytes the drive can send (cut to what was asked)
    std::uint16_t modeDataLength;
    std::uint16_t blockDescriptors;
    bool result;
    int copiedFrom;               // answer offset of the bytes copied; -1 none
    std::size_t copied;
    const wchar_t* message;       // the one message logged, or null
};

std::ostream& operator<<(std::ostream& out, const ModeCase& c) {
    return out << c.name;
}

// The caller asks for 20 bytes: the drive is asked for 36.
const ModeCase kModeCases[] = {
    {"OneBlockDescriptor", 36, 34, 8, true, 16, 20, nullptr},
    {"NoBlockDescriptor", 36, 34, 0, true, 8, 20, nullptr},
    {"DescriptorsLeaveLessThanAsked", 36, 34, 16, true, 24, 12, nullptr},
    {"DescriptorsLeaveOneByte", 36, 34, 27, true, 35, 1, nullptr},
    {"DescriptorsLeaveNothing", 36, 34, 28, false, -1, 0,
     L"288 ScsiMMCDevice::modeSense6: invalid  blk_desc_len returned from device : 28"},
    {"DescriptorsClaimMoreThanArrived", 36, 34, 0xFFFF, false, -1, 0,
     L"288 ScsiMMCDevice::modeSense6: invalid  blk_desc_len returned from device : 65535"},
    {"ModeDataLongerThanTheArea", 36, 100, 8, true, 16, 20,
     L"283 ScsiMMCDevice::modeSense6: the buffer size (36) is smaller than the total returned bytes (102), some "
     L"info maybe be truncated"},
    {"ModeDataFillsTheAreaExactly", 36, 34, 8, true, 16, 20, nullptr},
    {"ModeDataOneByteOver", 36, 35, 8, true, 16, 20,
     L"283 ScsiMMCDevice::modeSense6: the buffer size (36) is smaller than the total returned bytes (37), some "
     L"info maybe be truncated"},
    {"OverLongAnswerIsCut", 200, 198, 8, true, 16, 20,
     L"283 ScsiMMCDevice::modeSense6: the buffer size (36) is smaller than the total returned bytes (200), some "
     L"info maybe be truncated"},
    // A drive sends no more than it has: without a block descriptor its
    // answer is 8 bytes shorter than the 36 asked for.
    {"NoBlockDescriptorWholePageOnly", 28, 26, 0, true, 8, 20, nullptr},
    {"ShortAnswer", 35, 33, 8, true, 16, 19, nullptr},
    {"ShortAnswerDescriptorsLeaveOneByte", 28, 26, 19, true, 27, 1, nullptr},
    {"ShortAnswerDescriptorsLeaveNothing", 28, 26, 20, false, -1, 0,
     L"288 ScsiMMCDevice::modeSense6: invalid  blk_desc_len returned from device : 20"},
    {"HeaderOnly", 8, 6, 0, false, -1, 0,
     L"288 ScsiMMCDevice::modeSense6: invalid  blk_desc_len returned from device : 0"},
    {"HeaderNotWhole", 7, 5, 0, false, -1, 0, nullptr},
    {"Nothing", 0, 0, 0, false, -1, 0, nullptr},
};

class ModeSenseTest : public MmcRoadTest<std::tuple<Road, ModeCase>> {};

TEST_P(ModeSenseTest, CopiesThePageAfterHeaderAndDescriptors) {
    const ModeCase& c = std::get<1>(GetParam());
    const Bytes answer = modeAnswer(c.answerSize, c.modeDataLength, c.blockDescriptors);
    model->on(ModelAnswer::good({kModeSense10}, answer));
    Bytes page(64, 0xCC);

    EXPECT_EQ(c.result, mmc->modeSense10(MMC_PAGE_CAPABILITIES_AND_MECHANICAL_STATUS, page.data(), 20,
                                         MMC_PAGE_CONTROL_CURRENT));
    ASSERT_EQ(1u, model->commands().size());
    EXPECT_EQ(36u, model->lastCommand().dataLen);
    Bytes expected(64, 0xCC);
    if (c.copiedFrom >= 0)
        std::copy(answer.begin() + c.copiedFrom, answer.begin() + c.copiedFrom + c.copied, expected.begin());
    EXPECT_EQ(expected, page);

    std::vector<std::wstring> messages;
    for (const qln::test::LogEntry& e : log.entries())
        if (e.channel == kMmcChannel) {
            messages.push_back(e.text);
            EXPECT_EQ(qln::LOG_WARN, e.level);
        }
    if (c.message)
        EXPECT_EQ(std::vector<std::wstring>{c.message}, messages);
    else
        EXPECT_TRUE(messages.empty()) << log.dump();
}

INSTANTIATE_TEST_SUITE_P(ModeSense10, ModeSenseTest, ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(kModeCases)),
                         ParamNamer());

TEST_P(InformationTest, ModeSenseFailsOnARejectedCommand) {
    model->on(ModelAnswer::checkCondition({kModeSense10}, fixedSense(0x05, 0x24, 0x00)));
    Bytes page(20, 0xCC);
    EXPECT_FALSE(mmc->modeSense10(MMC_PAGE_CD_AUDIO_CONTROL, page.data(), 20, MMC_PAGE_CONTROL_SAVED));
    EXPECT_EQ(Bytes(20, 0xCC), page);
    EXPECT_EQ(0xCEu, model->lastCommand().cdb[2]);
}

TEST_P(InformationTest, ModeSenseOfNoBytesSucceedsWithoutWriting) {
    model->on(ModelAnswer::good({kModeSense10}, modeAnswer(16, 14, 0)));
    EXPECT_TRUE(mmc->modeSense10(MMC_PAGE_ALL, nullptr, 0, MMC_PAGE_CONTROL_DEFAULT));
    EXPECT_EQ(16u, model->lastCommand().dataLen);
}

// Above a length of 65519 the allocation length field (length + 16) wraps:
// the command still goes out as it is, but nothing the drive sends counts.
struct WrapCase {
    const char* name;
    std::uint16_t length;
    std::uint16_t field;   // the allocation length sent
    bool keepsToTheField;  // the drive sends no more than the field asks; else the whole area
    bool result;
};

std::ostream& operator<<(std::ostream& out, const WrapCase& c) {
    return out << c.name;
}

const WrapCase kWrapCases[] = {
    {"LargestLengthThatFits", 65519, 0xFFFF, true, true},
    {"FieldWrapsToNothing", 65520, 0x0000, true, false},
    {"FieldWrapsToTheHeader", 65528, 0x0008, true, false},
    {"FieldWrapsToHeaderAndSevenBytes", 65535, 0x000F, true, false},
    {"DriveSendsTheWholeArea", 65535, 0x000F, false, false},
};

class ModeSenseWrapTest : public MmcRoadTest<std::tuple<Road, WrapCase>> {};

TEST_P(ModeSenseWrapTest, ALengthBeyondTheFieldCopiesNothing) {
    const WrapCase& c = std::get<1>(GetParam());
    const std::uint32_t area = std::uint32_t(c.length) + 16;
    const Bytes answer = modeAnswer(area, static_cast<std::uint16_t>(std::min<std::uint32_t>(area - 2, 0xFFFF)), 0);
    const bool keeps = c.keepsToTheField;
    model->generator = [&answer, keeps](const ModelCommand& command) {
        const std::size_t field = std::size_t(command.cdb[7]) << 8 | command.cdb[8];
        return ModelAnswer::good({}, keeps ? Bytes(answer.begin(), answer.begin() + field) : answer);
    };
    std::vector<std::uint8_t> page(65535, 0xCC);

    EXPECT_EQ(c.result, mmc->modeSense10(MMC_PAGE_ALL, page.data(), c.length, MMC_PAGE_CONTROL_CURRENT));
    ASSERT_EQ(1u, model->commands().size());
    const ModelCommand& sent = model->lastCommand();
    EXPECT_EQ(area, sent.dataLen);
    EXPECT_EQ(c.field >> 8, sent.cdb[7]);
    EXPECT_EQ(c.field & 0xFF, sent.cdb[8]);
    std::vector<std::uint8_t> expected(65535, 0xCC);
    if (c.result)
        std::copy(answer.begin() + 8, answer.begin() + 8 + c.length, expected.begin());
    EXPECT_TRUE(expected == page);
}

INSTANTIATE_TEST_SUITE_P(ModeSense10, ModeSenseWrapTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(kWrapCases)), ParamNamer());

// The scratch area of MODE SENSE comes from the C runtime, by malloc or
// calloc; fakes of both refuse the one size the test asks for, and malloc's
// hands out blocks that hold old bytes, as a reused heap block does.
std::size_t g_refusedSize = 0;
int g_oldByte = -1;  // -1: blocks as the runtime gives them
void* g_mallocOriginal = nullptr;
void* g_callocOriginal = nullptr;

void* __cdecl scratchMalloc(std::size_t size) {
    if (size == g_refusedSize)
        return nullptr;
    void* block = reinterpret_cast<void*(__cdecl*)(std::size_t)>(g_mallocOriginal)(size);
    if (block != nullptr && g_oldByte >= 0)
        std::memset(block, g_oldByte, size);
    return block;
}

void* __cdecl scratchCalloc(std::size_t count, std::size_t size) {
    if (count * size == g_refusedSize)
        return nullptr;
    return reinterpret_cast<void*(__cdecl*)(std::size_t, std::size_t)>(g_callocOriginal)(count, size);
}

// Both fakes in Dravik.dll while the object lives.
class ScratchHeap {
public:
    ScratchHeap()
        : malloc_(GetModuleHandleW(L"Dravik.dll"), "msvcrt.dll", "malloc", reinterpret_cast<void*>(&scratchMalloc)),
          calloc_(GetModuleHandleW(L"Dravik.dll"), "msvcrt.dll", "calloc", reinterpret_cast<void*>(&scratchCalloc)) {
        g_mallocOriginal = malloc_.original();
        g_callocOriginal = calloc_.original();
    }
    bool applied() const { return malloc_.applied() && calloc_.applied(); }

private:
    qln::test::ImportPatch malloc_;
    qln::test::ImportPatch calloc_;
};

TEST_P(InformationTest, ModeSenseWithoutScratchAreaFailsWithNothingSent) {
    model->on(ModelAnswer::good({kModeSense10}, modeAnswer(0x1234 + 16, 0x1234 + 14, 0)));
    ScratchHeap heap;
    ASSERT_TRUE(heap.applied());
    g_refusedSize = 0x1234 + 16;
    std::vector<std::uint8_t> page(0x1234, 0xCC);
    const bool read = mmc->modeSense10(MMC_PAGE_ALL, page.data(), 0x1234, MMC_PAGE_CONTROL_CURRENT);
    g_refusedSize = 0;
    EXPECT_FALSE(read);
    EXPECT_TRUE(model->commands().empty());
    EXPECT_EQ(std::vector<std::uint8_t>(0x1234, 0xCC), page);

    // Another size is served as before.
    EXPECT_TRUE(mmc->modeSense10(MMC_PAGE_ALL, page.data(), 0x1234 - 1, MMC_PAGE_CONTROL_CURRENT));
    EXPECT_EQ(1u, model->commands().size());
}

// RECOVERED ERROR says nothing of a short transfer, and a transport that
// writes only the bytes that arrived leaves the rest of the scratch area as
// the heap had it: none of that may reach the caller.
TEST_P(InformationTest, ModeSenseHandsOnNoBytesTheDriveDidNotSend) {
    model->leavesCallerBytes = true;
    const Bytes answer = modeAnswer(20, 18, 0);  // the header and 12 bytes of a page
    ModelAnswer recovered = ModelAnswer::checkCondition({kModeSense10}, fixedSense(0x01, 0x37, 0x00));
    recovered.data = answer;
    recovered.transferred = -1;  // what it sent
    model->on(recovered);
    ScratchHeap heap;
    ASSERT_TRUE(heap.applied());
    g_oldByte = 0xA5;
    Bytes page(20, 0xCC);
    const bool read = mmc->modeSense10(MMC_PAGE_CAPABILITIES_AND_MECHANICAL_STATUS, page.data(), 20,
                                       MMC_PAGE_CONTROL_CURRENT);
    g_oldByte = -1;
    EXPECT_TRUE(read);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, mmc->getLastResult().code);
    Bytes expected(answer.begin() + 8, answer.end());
    expected.resize(20, 0);
    EXPECT_EQ(expected, page);
}

// --- READ TRACK INFORMATION ------------------------------------------------------

// A Track Information Block of `size` bytes with the given data length and
// a counting pattern after the 4-byte header.
Bytes trackBlock(std::size_t size, std::uint16_t dataLength) {
    Bytes b(size, 0);
    for (std::size_t i = 2; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i + 0x60);
    if (size > 0)
        b[0] = static_cast<std::uint8_t>(dataLength >> 8);
    if (size > 1)
        b[1] = static_cast<std::uint8_t>(dataLength);
    return b;
}

struct TrackCase {
    const char* name;
    std::size_t sent;  // bytes the drive sends of the 48 asked for
    std::uint16_t dataLength;
    bool result;
};

std::ostream& operator<<(std::ostream& out, const TrackCase& c) {
    return out << c.name;
}

const TrackCase kTrackCases[] = {
    {"WholeBlock", 48, 0x002E, true},
    {"LongerBlockCutToTheRecord", 48, 0x0032, true},
    // Older drives hold shorter blocks and send just those.
    {"ThirtySixByteBlock", 36, 0x0022, true},
    {"FortyByteBlock", 40, 0x0026, true},
    {"MoreThanTheDataLengthCame", 40, 0x0022, true},
    {"HeaderThatIsTheWholeBlock", 4, 0x0002, true},
    {"OneByteShortOfItsDataLength", 47, 0x002E, false},
    {"ThirtySixByteBlockCut", 30, 0x0022, false},
    {"HeaderNotWhole", 3, 0x0001, false},
    {"Nothing", 0, 0x0000, false},
};

class TrackInformationTest : public MmcRoadTest<std::tuple<Road, TrackCase>> {};

TEST_P(TrackInformationTest, TakesAShortBlockThatCoversItsDataLength) {
    const TrackCase& c = std::get<1>(GetParam());
    // A transport that writes only what arrived: the rest must be zeroed here.
    model->leavesCallerBytes = true;
    const Bytes block = trackBlock(c.sent, c.dataLength);
    model->on(ModelAnswer::good({0x52}, block));
    Bytes record(48 + 8, 0xCC);

    EXPECT_EQ(c.result, mmc->readTrackInformation(0x01, false, 1,
                                                  *reinterpret_cast<mmc_track_information_t*>(record.data())));
    ASSERT_EQ(1u, model->commands().size());
    EXPECT_EQ(48u, model->lastCommand().dataLen);
    EXPECT_EQ(c.sent < 48 ? CMD_RESULT_UNDERRUN : CMD_RESULT_OK, mmc->getLastResult().code);
    EXPECT_EQ(48 - c.sent, mmc->getLastResult().detail);
    if (c.result) {
        Bytes expected(block);
        expected.resize(48, 0);
        EXPECT_EQ(expected, Bytes(record.begin(), record.begin() + 48));
    }
    EXPECT_EQ(Bytes(8, 0xCC), Bytes(record.begin() + 48, record.end()));
}

INSTANTIATE_TEST_SUITE_P(ReadTrackInformation, TrackInformationTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(kTrackCases)), ParamNamer());

// --- GET PERFORMANCE, the short answer it accepts --------------------------------

struct PerformanceCase {
    const char* name;
    _MMC_PERFORMANCE_TYPE type;
    std::uint8_t dataType;
    std::uint32_t missing;  // bytes the drive sends fewer than the buffer length
    bool result;
};

std::ostream& operator<<(std::ostream& out, const PerformanceCase& c) {
    return out << c.name;
}

const PerformanceCase kPerformanceCases[] = {
    {"NominalComplete", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 0, true},
    {"NominalOneShort", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 1, true},
    {"NominalEightShort", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 8, true},
    {"NominalNineShort", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 9, false},
    {"OtherDataType", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x11, 8, false},
    {"DataTypeMaskedToTheSameField", MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x30, 8, false},
    {"WriteSpeed", MMC_PERFORMANCE_TYPE_WRITE_SPEED, 0x10, 8, false},
    {"WriteSpeedComplete", MMC_PERFORMANCE_TYPE_WRITE_SPEED, 0x10, 0, true},
};

class PerformanceTest : public MmcRoadTest<std::tuple<Road, PerformanceCase>> {};

TEST_P(PerformanceTest, AcceptsAShortNominalAnswerOfAtMostEightMissingBytes) {
    const PerformanceCase& c = std::get<1>(GetParam());
    const std::uint32_t length = 8 + 2 * 16;
    Bytes answer(length - c.missing);
    for (std::size_t i = 0; i < answer.size(); ++i)
        answer[i] = static_cast<std::uint8_t>(i + 1);
    model->on(ModelAnswer::good({kGetPerformance}, answer));
    Bytes bytes(length, 0xCC);
    qln::Buffer<unsigned char> buffer = bufferAt(bytes.data(), bytes.size());

    EXPECT_EQ(c.result, mmc->getPerformance(c.type, c.dataType, 0, 2, buffer));
    EXPECT_EQ(c.missing == 0 ? CMD_RESULT_OK : CMD_RESULT_UNDERRUN, mmc->getLastResult().code);
    // The buffer holds what the drive sent, zeros after it.
    Bytes expected(answer);
    expected.resize(length, 0);
    EXPECT_EQ(expected, bytes);
}

INSTANTIATE_TEST_SUITE_P(GetPerformance, PerformanceTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(kPerformanceCases)), ParamNamer());

TEST_P(InformationTest, PerformanceToleranceIsOnlyForShortTransfers) {
    Bytes bytes(40, 0);
    qln::Buffer<unsigned char> buffer = bufferAt(bytes.data(), bytes.size());
    model->on(ModelAnswer::checkCondition({kGetPerformance}, fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(mmc->getPerformance(MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 0, 2, buffer));
    model->clearAnswers();
    model->on(ModelAnswer::transportFailure({kGetPerformance}, 3, 8));
    EXPECT_FALSE(mmc->getPerformance(MMC_PERFORMANCE_TYPE_PERFORMANCE, 0x10, 0, 2, buffer));
}

INSTANTIATE_TEST_SUITE_P(Roads, InformationTest, SPC_BOTH_ROADS, ParamNamer());

}  // namespace
