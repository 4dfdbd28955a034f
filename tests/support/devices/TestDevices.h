// Devices of a test's own in the device tree of the Wine prefix.
//
// A fresh prefix has no storage devices, so tests register their own with the
// setup API: a device of a setup class (with a description and a friendly
// name), then interfaces on it. An interface counts as present only once its
// "Linked" value is set. Every id starts with the enumerator "QLNFENNICK", so
// leftovers of an earlier run that ended early can be swept.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace qln {
namespace test {

// The enumerator part of every test device id.
extern const wchar_t* const TEST_DEVICE_ENUMERATOR;

// The setup class of volume devices (the system's "Volume" class).
extern const GUID TEST_DEVCLASS_VOLUME;

class TestDevices {
public:
    // Sweeps leftovers of earlier runs.
    TestDevices();
    // Removes every device made through this object.
    ~TestDevices();

    // Creates and registers the device TEST_DEVICE_ENUMERATOR\<relativeId> of
    // `setupClass`. The full instance id, or an empty text on failure.
    std::wstring addDevice(const std::wstring& relativeId, const GUID& setupClass,
                           const wchar_t* description, const wchar_t* friendlyName);
    // Adds an interface of `interfaceClass` to a device; `linked` makes it
    // present. The interface path, or an empty text on failure.
    std::wstring addInterface(const std::wstring& instanceId, const GUID& interfaceClass,
                              bool linked = true);
    // Removes one device with its interfaces.
    bool removeDevice(const std::wstring& instanceId);

    const std::vector<std::wstring>& instanceIds() const { return ids_; }

    // Removes every test device (and any interface key left of one); the
    // number of devices removed.
    static unsigned sweep();
    // True when the id names a test device (letter case ignored).
    static bool isTestDeviceId(const std::wstring& instanceId);

private:
    TestDevices(const TestDevices&) = delete;
    TestDevices& operator=(const TestDevices&) = delete;

    std::vector<std::wstring> ids_;
};

// Registry key name of an interface class: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::wstring guidText(const GUID& guid);

}  // namespace test
}  // namespace qln
