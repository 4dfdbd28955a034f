// The block-command device against hostile answers: the capacity reads and
// the defect data.
#include <functional>

#include <gtest/gtest.h>

#include "GuardHeap.h"
#include "Hostile.h"
#include "ScsiSBCDevice.h"

using hostile::Generator;
using qln::test::GuardedBuffer;
using scsi::ScsiSBCDevice;

namespace {

typedef hostile::MethodCase<ScsiSBCDevice> MethodCase;

const MethodCase kMethods[] = {
    {"readCapacity",
     [](ScsiSBCDevice& device, Generator&) {
         GuardedBuffer record(sizeof(scsi::sbc_capacity));
         device.readCapacity(*reinterpret_cast<scsi::sbc_capacity*>(record.data()));
         EXPECT_TRUE(record.frontIntact());
     }},
    {"readCapacity10 and readCapacity16",
     [](ScsiSBCDevice& device, Generator&) {
         std::uint32_t lastLba = 0;
         std::uint32_t blockLength = 0;
         device.readCapacity10(lastLba, blockLength, 0, false);
         GuardedBuffer response(sizeof(scsi::sbc_read_capacity_16_resp_t));
         device.readCapacity16(*reinterpret_cast<scsi::sbc_read_capacity_16_resp_t*>(response.data()),
                               sizeof(scsi::sbc_read_capacity_16_resp_t), 0, false);
         EXPECT_TRUE(response.frontIntact());
     }},
    {"READ DEFECT DATA",
     [](ScsiSBCDevice& device, Generator& g) {
         const std::uint16_t length = std::uint16_t(g.pick(2) ? 4 : 512);
         GuardedBuffer data(length);
         if (g.pick(2) == 0)
             device.readDefectData10(data.data(), length, true, true, 5);
         else
             device.readDefectData12(data.data(), length, true, false, 4, 0);
         EXPECT_TRUE(data.frontIntact());
     }},
};

}  // namespace

TEST(HostileSbc, EveryParserStaysInsideWhatArrived) {
    hostile::forEachMethod<hostile::SbcDeviceOnModel>(
        kMethods, [](hostile::SbcDeviceOnModel& device) { device.getLastErrStr(); });
}
