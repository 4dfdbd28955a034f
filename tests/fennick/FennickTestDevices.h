// The test devices that every storage-class test sees, and the fixture that
// fakes the configuration-manager answers for them.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeDeviceTree.h"
#include "TestDevices.h"
#include "WindowsDevice.h"
#include "WindowsDeviceSet.h"

namespace fennick_test {

enum TestDevice {
    USB_DISK,            // disk class, disk interface, enumerator "USBSTOR"
    HIDDEN_USB_DISK,     // as USB_DISK, enumerator "usbstor"; tests hide its node
    SCSI_DISK,           // disk class, disk interface, enumerator "SCSI"
    USB_DISK_NO_PATH,    // disk class without interface, enumerator "USBSTOR"
    INTERFACE_ONLY_DISK, // volume class with a disk interface
    CDROM_DRIVE,         // CD-ROM class and interface
    FLOPPY_DRIVE,        // floppy class, floppy and volume interfaces
    TAPE_DRIVE,          // tape class and interface
    VOLUME,              // volume class and interface
    HIDDEN_VOLUME,       // volume class, hidden-volume interface
    UNLINKED_FIRST,      // private interface, not linked, sorts first
    LINKED_SECOND,       // private interface, linked
    LINKED_FIRST,        // second private interface, linked, sorts first
    UNLINKED_SECOND,     // second private interface, not linked
    TEST_DEVICE_COUNT
};

// Interface classes of this program alone.
extern const GUID ENDS_AT_FIRST_INTERFACE;
extern const GUID ENDS_AT_SECOND_INTERFACE;

const std::wstring& deviceId(TestDevice device);
// The path of the device's interface of `interfaceClass`, empty when it has none.
const std::wstring& interfacePath(TestDevice device, const GUID& interfaceClass);
// The enumerator name the fixture gives the device (empty for none).
const wchar_t* enumeratorOf(TestDevice device);

// Fakes the configuration manager and the enumerator-name property for the
// test devices while a test runs.
class FennickTest : public ::testing::Test {
protected:
    void SetUp() override;

    qln::test::FakeNode& node(TestDevice device) { return *tree.find(deviceId(device)); }

    qln::test::FakeDeviceTree tree;
};

// The test devices of `devices`, in their order.
std::vector<const libFennick::WindowsDevice*> testDevicesIn(const libFennick::WindowsDeviceList& devices);
// Position of the device with `id` in `devices`, -1 when absent; `count` gets
// the number of devices with that id.
int positionOf(const libFennick::WindowsDeviceList& devices, const std::wstring& id,
               int* count = nullptr);

// Fills the stack below the caller with set bits, so that an output a call
// leaves unwritten does not happen to read as 0.
void poisonStack();

}  // namespace fennick_test
