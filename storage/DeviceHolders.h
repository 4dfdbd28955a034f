// Resource holders of the storage classes: device-information sets, file and
// volume handles, a drive's own device and storage descriptor buffers.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "qln/Buffer.h"
#include "qln/FileHandle.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"

namespace libFennick {

class WindowsDevice;

// Handle manager of device-information sets, the counterpart of
// qln::FileHandleResManager for SetupDi sets. Sets are created by the
// enumerations and handed to a holder; a holder never opens one itself.
struct DeviceInfoListDestroyer {
    struct OpenArgs {};
    // Destroys the set and stores INVALID_HANDLE_VALUE.
    static void destroy(HDEVINFO& set);
};

typedef qln::DescriptorStorage<HDEVINFO, -1, DeviceInfoListDestroyer> DeviceInfoSetStorage;
// Devices made from one set share it; the count changes atomically, so devices
// and their copies may live on different threads.
typedef qln::SharedResource<DeviceInfoSetStorage, 1> SharedDeviceInfoSet;

// An open drive or volume handle.
typedef qln::SharedResource<qln::FileHandleStorage, 0> SharedDeviceHandle;

// A drive's own device. Besides the shared-holder operations it can be reset
// to another device.
class SharedWindowsDevice
    : public qln::SharedResource<qln::PointerStorage<WindowsDevice, 0, 3>, 0> {
    typedef qln::SharedResource<qln::PointerStorage<WindowsDevice, 0, 3>, 0> Base;

public:
    SharedWindowsDevice() {}
    explicit SharedWindowsDevice(WindowsDevice* device) : Base(device) {}

    // Releases the current device (the last holder destroys it), then holds
    // `device` with a manager of its own. Resetting to the device already
    // held changes nothing.
    void reset(WindowsDevice* device);
};

// A storage descriptor buffer.
typedef qln::SharedResource<qln::PointerStorage<qln::Buffer<unsigned char>, 0, 3>, 0>
    SharedDescriptorBuffer;

}  // namespace libFennick
