// Medium and drive control commands of the multimedia device: the command
// block, direction, data and time-out of each, over both roads; the device's
// time-out, the INQUIRY data it takes over and its own feature and profile
// lists through construction, copies and moves.
#include <functional>
#include <memory>
#include <ostream>
#include <utility>

#include "MmcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const unsigned int kDefaultMs = 7000;  // set on the device, so "default" is recognisable

struct CommandCase {
    const char* name;
    MmcCall call;
    Bytes cdb;
    DXFER_DIRECTION direction;
    std::uint32_t dataLen;
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    return out << c.name;
}

std::vector<CommandCase> commandCases() {
    return {
        {"BlankTypeCutToThreeBits", [](ScsiMMCDevice& d, std::uint8_t*) { return d.blank(0x0F, true, 0x01020304); },
         {0xA1, 0x17, 0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"BlankMinimal", [](ScsiMMCDevice& d, std::uint8_t*) { return d.blank(0x01, false, 0xFFFFFFFFu); },
         {0xA1, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"CloseTrackFunctionCut", [](ScsiMMCDevice& d, std::uint8_t*) { return d.closeTrack(9, 0xABCD, false); },
         {0x5B, 0x00, 0x01, 0, 0xAB, 0xCD, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"CloseSessionImmediate", [](ScsiMMCDevice& d, std::uint8_t*) { return d.closeTrack(2, 1, true); },
         {0x5B, 0x01, 0x02, 0, 0x00, 0x01, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"ReserveTrackByAddress", [](ScsiMMCDevice& d, std::uint8_t*) { return d.reserveTrack(true, 0x11223344); },
         {0x53, 0x01, 0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"ReserveTrackBySize", [](ScsiMMCDevice& d, std::uint8_t*) { return d.reserveTrack(false, 0x11223344); },
         {0x53, 0x00, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0}, DXFER_NONE, 0},
        {"FormatUnitFmtData",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> list = bufferAt(b, 12);
             return d.formatUnit(true, false, list);
         },
         {0x04, 0x11, 0, 0, 0, 0}, DXFER_TO_DEVICE, 12},
        {"FormatUnitCmpList",
         [](ScsiMMCDevice& d, std::uint8_t* b) {
             qln::Buffer<unsigned char> list = bufferAt(b, 0x0104);
             return d.formatUnit(false, true, list);
         },
         {0x04, 0x09, 0, 0, 0, 0}, DXFER_TO_DEVICE, 0x0104},
        {"FormatUnitEmptyList",
         [](ScsiMMCDevice& d, std::uint8_t*) {
             qln::Buffer<unsigned char> list;
             return d.formatUnit(true, true, list);
         },
         {0x04, 0x19, 0, 0, 0, 0}, DXFER_TO_DEVICE, 0},
        {"LoadUnloadStartOnly", [](ScsiMMCDevice& d, std::uint8_t*) { return d.loadUnloadMedium(0, 5, 3, false); },
         {0xA6, 0x00, 0, 0, 0x01, 0, 0, 0, 0x03, 0, 0, 0}, DXFER_NONE, 0},
        {"LoadUnloadAnyNonZeroSetsTheBit",
         [](ScsiMMCDevice& d, std::uint8_t*) { return d.loadUnloadMedium(0x80, 0, 0xFE, true); },
         {0xA6, 0x01, 0, 0, 0x02, 0, 0, 0, 0xFE, 0, 0, 0}, DXFER_NONE, 0},
        {"StartStopUnitFieldsMasked",
         [](ScsiMMCDevice& d, std::uint8_t*) {
             return d.startStopUnit(static_cast<_MMC_SSU_LOEJ_START>(0x07), true,
                                    static_cast<_MMC_SSU_POWER_CONDITION>(0x1A));
         },
         {0x1B, 0x01, 0, 0, 0xA3, 0}, DXFER_NONE, 0},
        {"StartStopUnitUnnamedPowerCondition",
         [](ScsiMMCDevice& d, std::uint8_t*) {
             return d.startStopUnit(MMC_SSU_START, false, static_cast<_MMC_SSU_POWER_CONDITION>(0x0B));
         },
         {0x1B, 0x00, 0, 0, 0xB1, 0}, DXFER_NONE, 0},
        {"StartStopUnitPowerOnly",
         [](ScsiMMCDevice& d, std::uint8_t*) { return d.startStopUnit(MMC_SSU_STOP, false, MMC_SSU_POWER_STANDBY); },
         {0x1B, 0x00, 0, 0, 0x30, 0}, DXFER_NONE, 0},
        {"LoadMedium", [](ScsiMMCDevice& d, std::uint8_t*) { return d.loadMedium(false); },
         {0x1B, 0x00, 0x00, 0x00, 0x03, 0x00}, DXFER_NONE, 0},
        {"UnloadMediumImmediate", [](ScsiMMCDevice& d, std::uint8_t*) { return d.unloadMedium(true); },
         {0x1B, 0x01, 0x00, 0x00, 0x02, 0x00}, DXFER_NONE, 0},
        {"Pause", [](ScsiMMCDevice& d, std::uint8_t*) { return d.pauseResume(true); },
         {0x4B, 0, 0, 0, 0, 0, 0, 0, 0x00, 0}, DXFER_NONE, 0},
        {"Resume", [](ScsiMMCDevice& d, std::uint8_t*) { return d.pauseResume(false); },
         {0x4B, 0, 0, 0, 0, 0, 0, 0, 0x01, 0}, DXFER_NONE, 0},
        {"PlayAudio10", [](ScsiMMCDevice& d, std::uint8_t*) { return d.playAudio10(0x8090A0B0u, 0xC0D0); },
         {0x45, 0, 0x80, 0x90, 0xA0, 0xB0, 0, 0xC0, 0xD0, 0}, DXFER_NONE, 0},
        {"PlayAudio12", [](ScsiMMCDevice& d, std::uint8_t*) { return d.playAudio12(0x01020304, 0xF1F2F3F4u); },
         {0xA5, 0, 0x01, 0x02, 0x03, 0x04, 0xF1, 0xF2, 0xF3, 0xF4, 0, 0}, DXFER_NONE, 0},
        {"PlayAudioMsf", [](ScsiMMCDevice& d, std::uint8_t*) { return d.playAudioMSF(1, 2, 3, 0x4A, 0x3B, 0xFF); },
         {0x47, 0, 0, 0x01, 0x02, 0x03, 0x4A, 0x3B, 0xFF, 0}, DXFER_NONE, 0},
        {"PreventRemoval", [](ScsiMMCDevice& d, std::uint8_t*) { return d.preventAllowMediumRemoval(true, false); },
         {0x1E, 0, 0, 0, 0x01, 0}, DXFER_NONE, 0},
        {"PersistentAllow", [](ScsiMMCDevice& d, std::uint8_t*) { return d.preventAllowMediumRemoval(false, true); },
         {0x1E, 0, 0, 0, 0x02, 0}, DXFER_NONE, 0},
        {"SynchronizeCacheImmediate",
         [](ScsiMMCDevice& d, std::uint8_t*) { return d.synchronizeCache(0x0A0B0C0D, 0x1234, true); },
         {0x35, 0x02, 0x0A, 0x0B, 0x0C, 0x0D, 0, 0x12, 0x34, 0}, DXFER_NONE, 0},
        {"SynchronizeCacheWhole", [](ScsiMMCDevice& d, std::uint8_t*) { return d.synchronizeCache(0, 0, false); },
         {0x35, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"Seek10", [](ScsiMMCDevice& d, std::uint8_t*) { return d.seek10(0xDEADBEEFu); },
         {0x2B, 0, 0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 0}, DXFER_NONE, 0},
    };
}

class DriveControlTableTest : public MmcRoadTest<std::tuple<Road, CommandCase>> {};

TEST_P(DriveControlTableTest, SendsItsBlockDirectionDataAndTimeout) {
    const CommandCase& c = std::get<1>(GetParam());
    mmc->setDefaultTimeoutMs(kDefaultMs);
    model->on(ModelAnswer::good({}));
    std::vector<std::uint8_t> buffer(0x200);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> before(buffer);

    EXPECT_TRUE(c.call(*mmc, buffer.data()));
    expectSentAsTabled(*model, c, road->recordedTimeout(kDefaultMs));
    if (HasFatalFailure())
        return;
    const ModelCommand& sent = model->lastCommand();
    EXPECT_EQ(Bytes(before.begin(), before.begin() + c.dataLen), sent.dataSent);
    EXPECT_EQ(before, buffer);  // the parameter list goes out unchanged
    EXPECT_EQ(CMD_RESULT_OK, mmc->getLastResult().code);
}

TEST_P(DriveControlTableTest, RecoveredErrorCountsAsSuccessAndOtherSenseFails) {
    std::vector<std::uint8_t> buffer(0x200);
    expectSuccessRule(*model, *mmc, std::get<1>(GetParam()).call, buffer.data());
}

INSTANTIATE_TEST_SUITE_P(DriveControl, DriveControlTableTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(commandCases())), ParamNamer());

TEST(DriveControlNoAccessor, EveryCommandFailsWithoutSending) {
    expectEveryCallFailsWithoutAccessor(commandCases(), 0x200);
}

// --- construction, copies and moves -------------------------------------------

class MmcDeviceTest : public MmcRoadTest<Road> {
protected:
    static std::vector<std::uint16_t> features() { return {0x0000, 0x0001, 0x0010, 0x001E, 0x0107}; }
    static std::vector<std::uint16_t> profiles() { return {0x0010, 0x0008}; }
    void fillLists(MmcDeviceProbe& d) {
        d.setFeatures(features());
        d.setProfiles(profiles());
    }
    static std::vector<std::uint16_t> codes(const qln::Buffer<std::uint16_t>* list) {
        return MmcDeviceProbe::codesOf(list);
    }
};

TEST_P(MmcDeviceTest, NewDeviceHasTheMultimediaTimeoutAndNoLists) {
    EXPECT_EQ(60000u, mmc->defaultTimeoutMs());
    EXPECT_EQ(nullptr, mmc->features());
    EXPECT_EQ(nullptr, mmc->profiles());
    EXPECT_EQ(&mmc->getScsiDevice(), static_cast<ScsiDevice*>(mmc.get()));
    const MmcDeviceProbe& constant = *mmc;
    EXPECT_EQ(&constant.getScsiDevice(), static_cast<const ScsiDevice*>(mmc.get()));

    model->on(ModelAnswer::good({0x2B}));
    EXPECT_TRUE(mmc->seek10(1));
    EXPECT_EQ(road->recordedTimeout(60000), model->lastCommand().timeout);
}

TEST_P(MmcDeviceTest, BuiltFromAPrimaryDeviceTakesItsInquiryDataAndNotItsTimeout) {
    model->on(ModelAnswer::good({0x12}, standardData(31)));
    model->on(ModelAnswer::good({0x00}));
    device->setDefaultTimeoutMs(20000);
    ASSERT_TRUE(device->inquiry(nullptr, false));
    const scsi_inquiry_t* block = device->cached();
    ASSERT_NE(nullptr, block);
    const std::size_t before = model->commands().size();

    MmcDeviceProbe built(*device);
    EXPECT_EQ(60000u, built.defaultTimeoutMs());
    EXPECT_EQ(20000u, device->defaultTimeoutMs());
    EXPECT_EQ(block, built.cached());
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(nullptr, built.features());
    EXPECT_EQ(nullptr, built.profiles());
    EXPECT_EQ(L"QUILLON ", built.getVendorId().native());
    EXPECT_EQ(before, model->commands().size());  // answered from the data it took over

    // It shares the source's transport and keeps it when the source goes.
    device.reset();
    EXPECT_TRUE(built.testUnitReady());
    EXPECT_EQ(road->recordedTimeout(60000), model->lastCommand().timeout);
}

TEST_P(MmcDeviceTest, CopyOwnsEqualButSeparateListsAndKeepsTheTimeout) {
    fillLists(*mmc);
    mmc->setDefaultTimeoutMs(9000);
    std::unique_ptr<MmcDeviceProbe> copy(new MmcDeviceProbe(*mmc));
    EXPECT_EQ(9000u, copy->defaultTimeoutMs());
    EXPECT_EQ(features(), codes(copy->features()));
    EXPECT_EQ(profiles(), codes(copy->profiles()));
    EXPECT_NE(mmc->features(), copy->features());
    EXPECT_NE(mmc->profiles(), copy->profiles());

    mmc.reset();
    EXPECT_EQ(features(), codes(copy->features()));
    EXPECT_EQ(profiles(), codes(copy->profiles()));
    MmcDeviceProbe second(*copy);
    copy.reset();
    EXPECT_EQ(features(), codes(second.features()));
    EXPECT_EQ(profiles(), codes(second.profiles()));

    // Copying a device without lists gives none.
    std::unique_ptr<MmcDeviceProbe> bare = road->make<MmcDeviceProbe>();
    bare->setProfiles(profiles());
    MmcDeviceProbe onlyProfiles(*bare);
    EXPECT_EQ(nullptr, onlyProfiles.features());
    EXPECT_EQ(profiles(), codes(onlyProfiles.profiles()));
}

TEST_P(MmcDeviceTest, CopyAssignmentReplacesTheListsWithSeparateCopies) {
    fillLists(*mmc);
    mmc->setDefaultTimeoutMs(9000);
    std::unique_ptr<MmcDeviceProbe> target = road->make<MmcDeviceProbe>();
    target->setFeatures({0x0003});
    *target = *mmc;
    EXPECT_EQ(9000u, target->defaultTimeoutMs());
    EXPECT_EQ(features(), codes(target->features()));
    EXPECT_EQ(profiles(), codes(target->profiles()));
    EXPECT_NE(mmc->features(), target->features());
    mmc.reset();
    EXPECT_EQ(features(), codes(target->features()));

    // Assigning a device without lists empties the target's.
    std::unique_ptr<MmcDeviceProbe> bare = road->make<MmcDeviceProbe>();
    *target = *bare;
    EXPECT_EQ(nullptr, target->features());
    EXPECT_EQ(nullptr, target->profiles());

    MmcDeviceProbe& self = *target;
    target->setProfiles(profiles());
    *target = self;
    EXPECT_EQ(profiles(), codes(target->profiles()));
}

TEST_P(MmcDeviceTest, MovesTakeTheListsAndLeaveTheSourceEmpty) {
    fillLists(*mmc);
    const qln::Buffer<std::uint16_t>* featureBlock = mmc->features();
    const qln::Buffer<std::uint16_t>* profileBlock = mmc->profiles();

    MmcDeviceProbe moved(std::move(*mmc));
    EXPECT_EQ(featureBlock, moved.features());
    EXPECT_EQ(profileBlock, moved.profiles());
    EXPECT_EQ(nullptr, mmc->features());
    EXPECT_EQ(nullptr, mmc->profiles());

    std::unique_ptr<MmcDeviceProbe> target = road->make<MmcDeviceProbe>();
    target->setFeatures({0x0003});
    *target = std::move(moved);
    EXPECT_EQ(featureBlock, target->features());
    EXPECT_EQ(profileBlock, target->profiles());
    EXPECT_EQ(nullptr, moved.features());
    EXPECT_EQ(nullptr, moved.profiles());
    EXPECT_EQ(features(), codes(target->features()));

    model->on(ModelAnswer::good({0x1B}));
    EXPECT_TRUE(target->loadMedium(false));
}

INSTANTIATE_TEST_SUITE_P(Roads, MmcDeviceTest, SPC_BOTH_ROADS, ParamNamer());

}  // namespace
