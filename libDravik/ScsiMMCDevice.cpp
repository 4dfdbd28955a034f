#include "ScsiMMCDevice.h"

#include <utility>

namespace scsi {

// --- construction, copying, destruction -------------------------------------

ScsiMMCDevice::ScsiMMCDevice(qln::SharedFileHandle& fileHandle)
    : ScsiSPCDevice(fileHandle), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(ScsiSPCDevice& device)
    : ScsiSPCDevice(device), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(const ScsiMMCDevice& other)
    : ScsiSPCDevice(other), featureList(other.featureList), profileList(other.profileList) {}

ScsiMMCDevice::ScsiMMCDevice(ScsiMMCDevice&& other)
    : ScsiSPCDevice(std::move(other)),
      featureList(std::move(other.featureList)),
      profileList(std::move(other.profileList)) {}

ScsiMMCDevice& ScsiMMCDevice::operator=(const ScsiMMCDevice& other) {
    ScsiSPCDevice::operator=(other);
    featureList = other.featureList;
    profileList = other.profileList;
    return *this;
}

ScsiMMCDevice& ScsiMMCDevice::operator=(ScsiMMCDevice&& other) {
    ScsiSPCDevice::operator=(std::move(other));
    featureList = std::move(other.featureList);
    profileList = std::move(other.profileList);
    return *this;
}

ScsiMMCDevice::~ScsiMMCDevice() {
    profileList.reset();
    featureList.reset();
}

}  // namespace scsi
