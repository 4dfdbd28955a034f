// A multimedia device that lets a test read and set its protected state: the
// cached INQUIRY data, the feature and profile lists and the default
// time-out. Built like the other probes from an accessor holder (through a
// primary-command device, the road of a device built from one) or from a
// shared file handle.
#pragma once

#include <cstdint>
#include <vector>

#include "ScsiMMCDevice.h"
#include "SpcDeviceProbe.h"

namespace scsi {
namespace test {

class MmcDeviceProbe : public ScsiMMCDevice {
public:
    using ScsiMMCDevice::ScsiMMCDevice;
    explicit MmcDeviceProbe(AccessorTransfer accessor) : ScsiMMCDevice(lvalue(SpcDeviceProbe(std::move(accessor)))) {}

    const scsi_inquiry_t* cached() const { return cachedInquiry.get(); }
    unsigned int defaultTimeoutMs() const { return defaultTimeout; }
    void setDefaultTimeoutMs(unsigned int ms) { defaultTimeout = ms; }

    const qln::Buffer<std::uint16_t>* features() const { return featureList.get(); }
    const qln::Buffer<std::uint16_t>* profiles() const { return profileList.get(); }
    void setFeatures(const std::vector<std::uint16_t>& codes) { featureList = holderOf(codes); }
    void setProfiles(const std::vector<std::uint16_t>& codes) { profileList = holderOf(codes); }

    static std::vector<std::uint16_t> codesOf(const qln::Buffer<std::uint16_t>* list) {
        if (!list)
            return {};
        return std::vector<std::uint16_t>(list->getData(), list->getData() + list->getLength());
    }

private:
    static ScsiSPCDevice& lvalue(ScsiSPCDevice&& device) { return device; }
    static CodeListHolder holderOf(const std::vector<std::uint16_t>& codes) {
        qln::Buffer<std::uint16_t>* list = new qln::Buffer<std::uint16_t>(codes.size());
        for (std::size_t i = 0; i < codes.size(); ++i)
            (*list)[i] = codes[i];
        return CodeListHolder(list);
    }
};

}  // namespace test
}  // namespace scsi
