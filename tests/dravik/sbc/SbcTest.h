// Fixture of the block-command device tests: a model device reached by the
// road of the test parameter, a block device on it and the log capture.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../spc/SpcTest.h"  // the road parameters and their names
#include "ScsiSBCDevice.h"

namespace scsi {
namespace test {

const wchar_t* const kSbcChannel = L"libDravik.ScsiSBCDevice";

// A block device that lets a test read and set the protected state.
class SbcDeviceProbe : public ScsiSBCDevice {
public:
    explicit SbcDeviceProbe(const qln::SharedFileHandle& fileHandle) : ScsiSBCDevice(fileHandle) {}
    // The block device has no constructor from a transport: the test
    // transport reaches it through a primary-command device built on it.
    explicit SbcDeviceProbe(AccessorTransfer accessor) : ScsiSBCDevice(ScsiSPCDevice(std::move(accessor))) {}
    explicit SbcDeviceProbe(const ScsiSPCDevice& device) : ScsiSBCDevice(device) {}

    command_result_info& record() { return resultData; }
    unsigned int defaultTimeoutMs() const { return defaultTimeout; }
    void setDefaultTimeoutMs(unsigned int ms) { defaultTimeout = ms; }
    const scsi_inquiry_t* cached() const { return cachedInquiry.get(); }
};

template <class Param>
class SbcRoadTest : public qln::test::LogCaptureTest, public ::testing::WithParamInterface<Param> {
protected:
    SbcRoadTest() : model(std::make_shared<ModelScsiDevice>()) {}

    void SetUp() override {
        road.reset(new ModelRoad(roadOf(this->GetParam()), model));
        ASSERT_TRUE(road->ready());
        device = road->template make<SbcDeviceProbe>();
    }

    // The device's own log entries, in order.
    std::vector<qln::test::LogEntry> sbcEntries() const { return log.withPrefix(L"", kSbcChannel); }

    ModelDevicePtr model;
    std::unique_ptr<ModelRoad> road;
    std::unique_ptr<SbcDeviceProbe> device;
};

typedef SbcRoadTest<Road> SbcTest;

#define SBC_BOTH_ROADS SPC_BOTH_ROADS

}  // namespace test
}  // namespace scsi
