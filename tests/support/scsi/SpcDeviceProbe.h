// A primary-command device that lets a test read and set its protected state:
// the cached INQUIRY data, the page sets and mode page list, the last result
// and the default time-out.
#pragma once

#include <cstdint>
#include <map>

#include "ScsiSPCDevice.h"

namespace scsi {
namespace test {

class SpcDeviceProbe : public ScsiSPCDevice {
public:
    using ScsiSPCDevice::ScsiSPCDevice;

    const scsi_inquiry_t* cached() const { return cachedInquiry.get(); }
    _SPC_PERIPHERAL_DEVICE_TYPES deviceType() const { return cachedPeripheralDeviceType(); }

    std::uint32_t* logPageSet() { return logPages; }
    std::uint32_t* vpdPageSet() { return vpdPages; }
    std::multimap<std::uint8_t, std::uint8_t>& modePageList() { return modePages; }
    std::uint32_t& flags() { return cacheFlags; }

    command_result_info& record() { return resultData; }
    unsigned int defaultTimeoutMs() const { return defaultTimeout; }
    void setDefaultTimeoutMs(unsigned int ms) { defaultTimeout = ms; }
};

}  // namespace test
}  // namespace scsi
