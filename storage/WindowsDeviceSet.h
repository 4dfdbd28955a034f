// Lists of storage devices from the two views of the device manager (setup
// classes and device interfaces), joined by instance id, and a set of devices
// without duplicate ids.
#pragma once

#include <map>
#include <vector>

#include <windows.h>

#include "qln/Array.h"
#include "qln/HashTable.h"
#include "qln/String.h"

#include "WindowsDevice.h"

namespace libFennick {

// Setup classes.
extern const GUID DEVCLASS_DISKDRIVE;
extern const GUID DEVCLASS_CDROM;
extern const GUID DEVCLASS_FLOPPYDISK;
extern const GUID DEVCLASS_TAPEDRIVE;
// Interface classes.
extern const GUID DEVINTERFACE_DISK;
extern const GUID DEVINTERFACE_CDROM;
extern const GUID DEVINTERFACE_TAPE;
extern const GUID DEVINTERFACE_VOLUME;
extern const GUID DEVINTERFACE_FLOPPY;
extern const GUID DEVINTERFACE_HIDDEN_VOLUME;

// Flags of enumerateClassDevices.
enum EnumerationFlags : qln::Uint32 {
    // Leave out devices that only the interface class lists.
    ENUMERATE_SKIP_INTERFACE_ONLY = 2
};

typedef std::vector<WindowsDevice> WindowsDeviceList;
// Instance id (as the system reports it) to interface path.
typedef qln::HashTable<qln::String, qln::String> DevicePathTable;
// Instance id to member index.
typedef qln::HashTable<qln::String, unsigned int> DeviceIndexTable;

class WindowsDeviceSet {
public:
    typedef WindowsDeviceList::iterator iterator;

    WindowsDeviceSet() {}

    WindowsDeviceList& devices() { return devices_; }
    iterator begin() { return devices_.begin(); }
    iterator end() { return devices_.end(); }

    // The present disks on the USB storage bus that the device manager shows.
    void appendUsbDisks();
    // The present devices of an interface class, each stored with `kind`.
    void appendInterfaceDevices(const GUID* interfaceClass, qln::Uint32 kind);
    // addUniqueDevice for each device of `devices`, in order.
    void appendUniqueDevices(const WindowsDeviceList& devices, bool skipHiddenTest);
    // Appends a copy of `device` unless the set holds its instance id already
    // (then only a missing path and kind are taken over) or, without
    // `skipHiddenTest`, its node is hidden from the device manager or moved.
    void addUniqueDevice(const WindowsDevice& device, bool skipHiddenTest);

private:
    WindowsDeviceList devices_;
};

// The present devices of an interface class with their interface paths (kind
// stored on each device that has one), entered in `paths` by instance id and
// appended to `devices` when given.
void enumerateInterfaceDevices(DevicePathTable& paths, const GUID* interfaceClass,
                               qln::Uint32 kind, WindowsDeviceList* devices);

// The present devices of a setup class (every class when both classes are
// null), each with the path of the same instance id in the interface view,
// then the devices that only the interface view lists (unless
// ENUMERATE_SKIP_INTERFACE_ONLY). With no setup class, the interface view alone.
void enumerateClassDevices(WindowsDeviceList& devices, const GUID* setupClass,
                           const GUID* interfaceClass, qln::Uint32 kind, qln::Uint32 flags);

// Appends the values of `key` to `values` in map order; the array's size after.
template <class K, class V>
qln::Uint32 collectValues(const std::multimap<K, V>& map, const K& key, qln::Array<V>& values) {
    typedef typename std::multimap<K, V>::const_iterator Iterator;
    std::pair<Iterator, Iterator> range = map.equal_range(key);
    for (Iterator it = range.first; it != range.second; ++it)
        values.append(it->second);
    return values.size();
}

}  // namespace libFennick
