// A device object that lets a test read and set the protected state of the
// device core (last result, default time-out), as a derived command set does.
#pragma once

#include <string>

#include "ScsiDevice.h"

namespace scsi {
namespace test {

class ScsiDeviceProbe : public ScsiDevice {
public:
    using ScsiDevice::ScsiDevice;
    explicit ScsiDeviceProbe(const ScsiDevice& device) : ScsiDevice(device) {}

    command_result_info& record() { return resultData; }
    unsigned int defaultTimeoutMs() const { return defaultTimeout; }
    void setDefaultTimeoutMs(unsigned int ms) { defaultTimeout = ms; }
    // The transport the device holds (null when it holds none).
    ScsiDeviceAccessor* transport() const { return accessor.get(); }
};

// Test texts: 8-bit to the log's UTF-16, and printf into a std::wstring.
inline std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace test
}  // namespace scsi
