#include "WindowsDeviceSet.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "BoundedText.h"

namespace libFennick {

using qln::String;
using qln::Uint32;

const GUID DEVCLASS_DISKDRIVE = {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID DEVCLASS_CDROM = {0x4D36E965, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID DEVCLASS_FLOPPYDISK = {0x4D36E980, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID DEVCLASS_TAPEDRIVE = {0x6D807884, 0x7D21, 0x11CF, {0x80, 0x1C, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID DEVINTERFACE_DISK = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID DEVINTERFACE_CDROM = {0x53F56308, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID DEVINTERFACE_TAPE = {0x53F5630B, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID DEVINTERFACE_VOLUME = {0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID DEVINTERFACE_FLOPPY = {0x53F56311, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const GUID DEVINTERFACE_HIDDEN_VOLUME = {0x7F108A28, 0x9833, 0x4B3B, {0xB7, 0x80, 0x2C, 0x6B, 0x5F, 0xA5, 0xC0, 0x62}};

namespace {

const Uint32 TABLE_BUCKETS = 32;
const DWORD INTERFACE_DETAIL_BYTES = 2048;
// Status bits of nodes that the device manager does not show (DN_NO_SHOW_IN_DM)
// or that have moved (DN_MOVED).
const ULONG HIDDEN_NODE_STATUS = 0x40000000 | 0x1000;

void resetElement(SP_DEVINFO_DATA& element) {
    std::memset(&element, 0, sizeof(element));
    element.cbSize = sizeof(SP_DEVINFO_DATA);
}

// Opens the set of `classGuid` with `flags` and hands each member, as a
// device of that set, to `visit(handle, element, member index, device)`
// until the members end or `visit` answers false. False when the set
// cannot be obtained.
template <class Visit>
bool forEachMember(const GUID* classGuid, DWORD flags, Visit visit) {
    HDEVINFO handle = SetupDiGetClassDevsW(classGuid, nullptr, nullptr, flags);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    SharedDeviceInfoSet set(handle);
    SP_DEVINFO_DATA element;
    for (DWORD member = 0;; ++member) {
        resetElement(element);
        if (!SetupDiEnumDeviceInfo(handle, member, &element))
            return true;
        WindowsDevice device(set, element);
        if (!visit(handle, element, member, device))
            return true;
    }
}

// True only when every query succeeds and the node is hidden or has moved.
bool isHiddenNode(const String& instanceId) {
    // An empty id names no node (the system would locate the root).
    if (instanceId.isEmpty())
        return false;
    DEVINST node = 0;
    if (CM_Locate_DevNodeW(&node, const_cast<wchar_t*>(instanceId.getUCS2Buffer()),
                           CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS ||
        node == 0)
        return false;
    ULONG status = 0;
    ULONG problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, node, 0) != CR_SUCCESS)
        return false;
    return (status & HIDDEN_NODE_STATUS) != 0;
}

}  // namespace

void enumerateInterfaceDevices(DevicePathTable& paths, const GUID* interfaceClass, Uint32 kind,
                               WindowsDeviceList* devices) {
    forEachMember(interfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE,
                  [&](HDEVINFO handle, SP_DEVINFO_DATA& element, DWORD, WindowsDevice& device) {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        std::memset(&interfaceData, 0, sizeof(interfaceData));
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!SetupDiEnumDeviceInterfaces(handle, &element, interfaceClass, 0, &interfaceData))
            return false;

        // DWORD elements keep the detail record aligned.
        DWORD detailBuffer[INTERFACE_DETAIL_BYTES / sizeof(DWORD)] = {};
        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail =
            reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        DWORD required = 0;
        String path;
        if (SetupDiGetDeviceInterfaceDetailW(handle, &interfaceData, detail, INTERFACE_DETAIL_BYTES,
                                             &required, nullptr)) {
            const std::size_t pathUnits =
                (INTERFACE_DETAIL_BYTES - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) /
                sizeof(wchar_t);
            path = textWithin(detail->DevicePath, pathUnits);
            device.setOsLocator(path);
            device.setDeviceKind(kind);
        }
        if (!path.isEmpty() && !device.getDeviceInstanceId().isEmpty())
            paths.insert(device.getDeviceInstanceId(), path);
        if (devices != nullptr)
            devices->push_back(device);
        return true;
    });
}

void enumerateClassDevices(WindowsDeviceList& devices, const GUID* setupClass,
                           const GUID* interfaceClass, Uint32 kind, Uint32 flags) {
    DevicePathTable paths(TABLE_BUCKETS);
    WindowsDeviceList interfaceDevices;
    DWORD setFlags = DIGCF_PRESENT;
    if (setupClass == nullptr) {
        if (interfaceClass != nullptr) {
            enumerateInterfaceDevices(paths, interfaceClass, kind, &devices);
            return;
        }
        setFlags = DIGCF_ALLCLASSES | DIGCF_PRESENT;
    } else if (interfaceClass != nullptr) {
        enumerateInterfaceDevices(paths, interfaceClass, kind, &interfaceDevices);
    }

    DeviceIndexTable seen(TABLE_BUCKETS);
    // Without the class set the interface-only devices are dropped too:
    // the output stays as it was.
    const bool walked = forEachMember(setupClass, setFlags,
                  [&](HDEVINFO, SP_DEVINFO_DATA&, DWORD member, WindowsDevice& device) {
        const String& id = device.getDeviceInstanceId();
        if (!id.isEmpty()) {
            seen.insert(id, member);
            const String* path = paths.lookup(id);
            device.setOsLocator(path != nullptr ? *path : String());
            device.setDeviceKind(kind);
        }
        devices.push_back(std::move(device));
        return true;
    });
    if (!walked)
        return;

    if ((flags & ENUMERATE_SKIP_INTERFACE_ONLY) == 0) {
        for (WindowsDevice& device : interfaceDevices) {
            if (!seen.contains(device.getDeviceInstanceId()))
                devices.push_back(std::move(device));
        }
    }
}

void WindowsDeviceSet::appendUsbDisks() {
    WindowsDeviceList disks;
    enumerateClassDevices(disks, &DEVCLASS_DISKDRIVE, &DEVINTERFACE_DISK, DEVICE_KIND_DISK, 0);
    for (const WindowsDevice& disk : disks) {
        if ((disk.getBusTypeMask() & BUS_USBSTOR) != 0)
            addUniqueDevice(disk, false);
    }
}

void WindowsDeviceSet::appendInterfaceDevices(const GUID* interfaceClass, Uint32 kind) {
    WindowsDeviceList found;
    enumerateClassDevices(found, nullptr, interfaceClass, kind, 1);
    appendUniqueDevices(found, true);
}

void WindowsDeviceSet::appendUniqueDevices(const WindowsDeviceList& devices, bool skipHiddenTest) {
    const std::size_t total = devices_.size() + devices.size();
    if (total > devices_.capacity())
        devices_.reserve(total);
    for (const WindowsDevice& device : devices)
        addUniqueDevice(device, skipHiddenTest);
}

void WindowsDeviceSet::addUniqueDevice(const WindowsDevice& device, bool skipHiddenTest) {
    for (WindowsDevice& present : devices_) {
        if (present.getDeviceInstanceId() == device.getDeviceInstanceId()) {
            if (present.getOsLocator().isEmpty()) {
                present.setOsLocator(device.getOsLocator());
                present.setDeviceKind(device.getDeviceKind());
            }
            return;
        }
    }
    if (!skipHiddenTest && isHiddenNode(device.getDeviceInstanceId()))
        return;
    devices_.push_back(device);
}

}  // namespace libFennick
