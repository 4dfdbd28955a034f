// Construction, copying and moving of the primary-command device: the shared
// transport, the cached INQUIRY data that move to the new owner, the page
// sets and the mode page list.
#include <map>
#include <utility>

#include "ScsiDeviceProbe.h"
#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

typedef std::multimap<std::uint8_t, std::uint8_t> ModeList;

class DeviceCopyTest : public SpcTest {
protected:
    void SetUp() override {
        SpcTest::SetUp();
        model->on(ModelAnswer::good({0x12}, standardData(31)));
        model->on(ModelAnswer::good({0x00}));
    }
    // Cached INQUIRY data, two page sets and a mode list with a duplicate.
    void fill(SpcDeviceProbe& d, std::uint32_t seed) {
        ASSERT_TRUE(d.inquiry(nullptr, false));
        d.logPageSet()[0] = seed;
        d.logPageSet()[1] = seed + 1;
        for (int i = 0; i < 8; ++i)
            d.vpdPageSet()[i] = seed * 16 + i;
        d.modePageList() = ModeList{{0x08, 0x00}, {0x08, 0x00}, {0x1C, static_cast<std::uint8_t>(seed)}};
        d.flags() = 7;
    }
    void expectPages(SpcDeviceProbe& d, std::uint32_t seed, const char* who) {
        SCOPED_TRACE(who);
        EXPECT_EQ(seed, d.logPageSet()[0]);
        EXPECT_EQ(seed + 1, d.logPageSet()[1]);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(seed * 16 + i, d.vpdPageSet()[i]);
        EXPECT_EQ(7u, d.flags());
    }
    ModeList modes(std::uint32_t seed) {
        return ModeList{{0x08, 0x00}, {0x08, 0x00}, {0x1C, static_cast<std::uint8_t>(seed)}};
    }
    std::size_t sent() const { return model->commands().size(); }
};

TEST_P(DeviceCopyTest, NewDeviceHasNothingCached) {
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(0u, device->flags());
    EXPECT_TRUE(device->modePageList().empty());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(0u, device->logPageSet()[i]);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(0u, device->vpdPageSet()[i]);
    EXPECT_EQ(20000u, device->defaultTimeoutMs());
    EXPECT_EQ(&device->getScsiDevice(), static_cast<ScsiDevice*>(device.get()));
}

TEST_P(DeviceCopyTest, CopyTakesTheCachedDataOver) {
    fill(*device, 3);
    const scsi_inquiry_t* block = device->cached();
    const std::size_t before = sent();

    SpcDeviceProbe copy(*device);
    EXPECT_EQ(block, copy.cached());
    EXPECT_EQ(nullptr, device->cached());
    expectPages(copy, 3, "copy");
    expectPages(*device, 3, "source");
    EXPECT_EQ(modes(3), copy.modePageList());
    EXPECT_EQ(modes(3), device->modePageList());

    EXPECT_EQ(L"QUILLON ", copy.getVendorId().native());
    EXPECT_EQ(before, sent());  // answered from the cache it took over
    EXPECT_EQ(L"QUILLON ", device->getVendorId().native());
    EXPECT_EQ(before + 2, sent());  // the source reads INQUIRY again

    // The copy shares the transport and keeps it when the source goes.
    device.reset();
    EXPECT_TRUE(copy.testUnitReady());
    EXPECT_EQ(0x00, model->lastCommand().cdb[0]);
}

TEST_P(DeviceCopyTest, MoveTakesTheModeListAndLeavesTheSourceEmpty) {
    fill(*device, 4);
    const scsi_inquiry_t* block = device->cached();

    SpcDeviceProbe moved(std::move(*device));
    EXPECT_EQ(block, moved.cached());
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(modes(4), moved.modePageList());
    EXPECT_TRUE(device->modePageList().empty());
    expectPages(moved, 4, "moved");
    expectPages(*device, 4, "source");
    // The source keeps its transport.
    EXPECT_TRUE(device->testUnitReady());
    EXPECT_TRUE(moved.testUnitReady());
}

TEST_P(DeviceCopyTest, CopyAssignmentReplacesTheTargetsData) {
    fill(*device, 5);
    const scsi_inquiry_t* block = device->cached();
    std::unique_ptr<SpcDeviceProbe> target = road->make<SpcDeviceProbe>();
    fill(*target, 9);
    target->setDefaultTimeoutMs(1234);

    *target = *device;
    EXPECT_EQ(block, target->cached());
    EXPECT_EQ(nullptr, device->cached());
    expectPages(*target, 5, "target");
    EXPECT_EQ(modes(5), target->modePageList());
    EXPECT_EQ(modes(5), device->modePageList());
    EXPECT_EQ(20000u, target->defaultTimeoutMs());

    // From a source with nothing cached the target ends with nothing.
    SpcDeviceProbe empty{AccessorTransfer()};
    *target = empty;
    EXPECT_EQ(nullptr, target->cached());
    EXPECT_TRUE(target->modePageList().empty());
    EXPECT_EQ(0u, target->flags());
    EXPECT_FALSE(target->testUnitReady());  // it shares the empty device's (missing) transport
}

TEST_P(DeviceCopyTest, MoveAssignmentHandsTheSourceAnEmptyModeList) {
    fill(*device, 6);
    const scsi_inquiry_t* block = device->cached();
    std::unique_ptr<SpcDeviceProbe> target = road->make<SpcDeviceProbe>();
    fill(*target, 10);

    *target = std::move(*device);
    EXPECT_EQ(block, target->cached());
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(modes(6), target->modePageList());
    EXPECT_TRUE(device->modePageList().empty());  // not the target's old entries
    expectPages(*target, 6, "target");
}

TEST_P(DeviceCopyTest, SelfAssignmentKeepsEverything) {
    fill(*device, 7);
    const scsi_inquiry_t* block = device->cached();
    SpcDeviceProbe& same = *device;
    *device = same;
    EXPECT_EQ(block, device->cached());
    EXPECT_EQ(modes(7), device->modePageList());
    *device = std::move(same);
    EXPECT_EQ(block, device->cached());
    EXPECT_EQ(modes(7), device->modePageList());
    expectPages(*device, 7, "self");
    const std::size_t before = sent();
    EXPECT_EQ(L"MODEL DISK 0001 ", device->getProductId().native());
    EXPECT_EQ(before, sent());
}

TEST_P(DeviceCopyTest, FromADeviceCoreSharesItsTransportAndResult) {
    std::unique_ptr<ScsiDeviceProbe> core = road->make<ScsiDeviceProbe>();
    core->setDefaultTimeoutMs(9000);
    std::uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    // Rows are tried in order: the failing one goes in front of SetUp's.
    model->clearAnswers();
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x02, 0x3A, 0x00)).times(1));
    model->on(ModelAnswer::good({0x00}));
    EXPECT_FALSE(core->send_scsi_cmd(cdb, 6, nullptr, 0, DXFER_NONE, 0));

    SpcDeviceProbe spc(static_cast<const ScsiDevice&>(*core));
    EXPECT_EQ(0, std::memcmp(&core->getResultData(), &spc.getResultData(), sizeof(command_result_info)));
    EXPECT_EQ(9000u, spc.defaultTimeoutMs());
    EXPECT_EQ(nullptr, spc.cached());
    EXPECT_EQ(0u, spc.flags());
    core.reset();
    EXPECT_TRUE(spc.testUnitReady());
    EXPECT_EQ(road->recordedTimeout(9000), model->lastCommand().timeout);
}

INSTANTIATE_TEST_SUITE_P(Roads, DeviceCopyTest, SPC_BOTH_ROADS, ParamNamer());

TEST(SpcDeviceTransport, GoesWithTheLastDeviceThatHoldsIt) {
    ModelDevicePtr model = std::make_shared<ModelScsiDevice>();
    std::unique_ptr<ScsiSPCDevice> device(new ScsiSPCDevice(ModelAccessor::transfer(model)));
    EXPECT_EQ(1, model->accessorsAlive);
    {
        ScsiSPCDevice copy(*device);
        ScsiSPCDevice moved(std::move(copy));
        device.reset();
        EXPECT_EQ(1, model->accessorsAlive);
    }
    EXPECT_EQ(0, model->accessorsAlive);
}

}  // namespace
