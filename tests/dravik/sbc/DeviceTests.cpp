// Construction, copying and moving of the block-command device: the shared
// transport, the time-out of the source device and the cached INQUIRY data
// that move to the new object.
#include <utility>

#include "SbcTest.h"
#include "SpcDeviceProbe.h"

using namespace scsi;
using namespace scsi::test;

namespace {

class DeviceTest : public SbcTest {
protected:
    void SetUp() override {
        SbcTest::SetUp();
        model->on(ModelAnswer::good({0x12}, standardData(31)));
        ModelAnswer any = ModelAnswer::good({});
        any.transferred = 0;
        model->on(any);
    }
    std::uint32_t lastTimeout() const { return model->lastCommand().timeout; }
};

TEST_P(DeviceTest, NewDeviceUsesTheDefaultTimeout) {
    EXPECT_EQ(20000u, device->defaultTimeoutMs());
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(static_cast<ScsiDevice*>(device.get()), &device->getScsiDevice());
    const SbcDeviceProbe& constant = *device;
    EXPECT_EQ(static_cast<const ScsiDevice*>(device.get()), &constant.getScsiDevice());
    EXPECT_TRUE(device->synchronizeCache10(0, 0, false));
    EXPECT_EQ(road->recordedTimeout(20000), lastTimeout());
}

TEST_P(DeviceTest, BuiltFromAPrimaryDeviceTakesItsTimeoutAndInquiryData) {
    std::unique_ptr<SpcDeviceProbe> primary = road->make<SpcDeviceProbe>();
    primary->setDefaultTimeoutMs(60000);
    ASSERT_TRUE(primary->inquiry(nullptr, false));
    const scsi_inquiry_t* block = primary->cached();
    const std::size_t before = model->commands().size();

    SbcDeviceProbe disk(*primary);
    EXPECT_EQ(block, disk.cached());
    EXPECT_EQ(nullptr, primary->cached());
    EXPECT_EQ(60000u, disk.defaultTimeoutMs());
    EXPECT_EQ(L"QUILLON ", disk.getVendorId().native());
    EXPECT_EQ(before, model->commands().size());  // from the data it took over

    // The transport stays with the new device when the source goes.
    primary.reset();
    std::uint8_t data[16];
    EXPECT_TRUE(disk.read10(data, 0, 5, 0, false, true));
    EXPECT_EQ(road->recordedTimeout(60000), lastTimeout());
    EXPECT_TRUE(disk.sanitize(SBC_SANITIZE_EXIT_FAILURE_MODE, nullptr, 0, false, false));
    EXPECT_EQ(road->recordedTimeout(60000), lastTimeout());
    EXPECT_TRUE(disk.readDefectData10(data, 0, true, false, 0));
    EXPECT_EQ(road->recordedTimeout(5000), lastTimeout());
    EXPECT_TRUE(disk.readDefectData12(data, 0, true, false, 0, 0));
    EXPECT_EQ(road->recordedTimeout(5000), lastTimeout());
}

TEST_P(DeviceTest, CopiesAndMovesHandTheInquiryDataOn) {
    device->setDefaultTimeoutMs(45000);
    ASSERT_TRUE(device->inquiry(nullptr, false));
    const scsi_inquiry_t* block = device->cached();

    SbcDeviceProbe copy(*device);
    EXPECT_EQ(block, copy.cached());
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(45000u, copy.defaultTimeoutMs());

    SbcDeviceProbe moved(std::move(copy));
    EXPECT_EQ(block, moved.cached());
    EXPECT_EQ(nullptr, copy.cached());

    SbcDeviceProbe assigned{AccessorTransfer()};
    assigned = moved;
    EXPECT_EQ(block, assigned.cached());
    EXPECT_EQ(nullptr, moved.cached());
    EXPECT_EQ(45000u, assigned.defaultTimeoutMs());

    SbcDeviceProbe moveAssigned{AccessorTransfer()};
    moveAssigned = std::move(assigned);
    EXPECT_EQ(block, moveAssigned.cached());
    EXPECT_EQ(nullptr, assigned.cached());

    // Every one of them reaches the same device.
    device.reset();
    const std::size_t before = model->commands().size();
    EXPECT_TRUE(moved.synchronizeCache16(0, 0, true));
    EXPECT_TRUE(moveAssigned.synchronizeCache16(0, 0, true));
    EXPECT_EQ(before + 2, model->commands().size());
    EXPECT_EQ(road->recordedTimeout(45000), lastTimeout());
}

INSTANTIATE_TEST_SUITE_P(Roads, DeviceTest, SBC_BOTH_ROADS, ParamNamer());

}  // namespace
