#include "WindowsDevice.h"

#include <cstring>
#include <utility>
#include <vector>

#include "BoundedText.h"

namespace libFennick {

using qln::String;
using qln::Uint32;

namespace {

// Fixed buffers for instance ids in the calling frame, in UTF-16 units.
const DWORD ID_BUFFER_UNITS = 1024;

struct BusTypeRow {
    const wchar_t* enumerator;
    Uint32 mask;
};

// Searched in order; rows match whole names.
const BusTypeRow BUS_TYPES[] = {
    {L"IDE", BUS_IDE},         {L"SCSI", BUS_SCSI},     {L"USBSTOR", BUS_USBSTOR},
    {L"USB", BUS_USB},         {L"PCI", BUS_PCI},       {L"PCIIDE", BUS_PCIIDE},
    {L"ACPI", BUS_ACPI},       {L"SBP2", BUS_SBP2},     {L"1394", BUS_1394},
    {L"SD", BUS_SD},           {L"PCMCIA", BUS_PCMCIA}, {L"DISPLAY", BUS_DISPLAY},
};

SP_DEVINFO_DATA emptyDeviceInfoData() {
    SP_DEVINFO_DATA data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(SP_DEVINFO_DATA);
    return data;
}

}  // namespace

void DeviceInfoListDestroyer::destroy(HDEVINFO& set) {
    SetupDiDestroyDeviceInfoList(set);
    set = INVALID_HANDLE_VALUE;
}

void SharedWindowsDevice::reset(WindowsDevice* device) {
    // Releasing first would destroy the very device about to be taken.
    if (device != nullptr && device == get())
        return;
    release();
    Base::operator=(Base(device));
}

WindowsDevice::WindowsDevice(const SharedDeviceInfoSet& set, const SP_DEVINFO_DATA& element)
    : deviceInfoSet(set),
      deviceInfoData(element),
      busTypeMask(BUS_UNKNOWN),
      deviceKind(DEVICE_KIND_NONE) {
    readInstanceId();
    readDeviceProperties();
}

WindowsDevice::WindowsDevice(const String& id)
    : deviceInfoData(emptyDeviceInfoData()),
      instanceId(id),
      busTypeMask(BUS_UNKNOWN),
      deviceKind(DEVICE_KIND_NONE) {
    // An empty id names no device node (the system would answer with the root).
    if (id.isEmpty())
        return;
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return;
    deviceInfoSet = SharedDeviceInfoSet(set);
    if (SetupDiOpenDeviceInfoW(set, id.getUCS2Buffer(), nullptr, 0, &deviceInfoData)) {
        readDeviceProperties();
    } else {
        deviceInfoSet.release();
        deviceInfoData = emptyDeviceInfoData();
    }
}

WindowsDevice::WindowsDevice(const WindowsDevice& other)
    : deviceInfoSet(other.deviceInfoSet),
      deviceInfoData(other.deviceInfoData),
      friendlyName(other.friendlyName),
      deviceDescription(other.deviceDescription),
      spareText(other.spareText),
      instanceId(other.instanceId),
      osLocator(other.osLocator),
      enumeratorName(other.enumeratorName),
      busTypeMask(other.busTypeMask),
      deviceKind(other.deviceKind),
      extension(other.extension) {}

WindowsDevice::WindowsDevice(WindowsDevice&& other) noexcept
    : deviceInfoSet(other.deviceInfoSet),
      deviceInfoData(other.deviceInfoData),
      friendlyName(std::move(other.friendlyName)),
      deviceDescription(std::move(other.deviceDescription)),
      spareText(std::move(other.spareText)),
      instanceId(std::move(other.instanceId)),
      osLocator(std::move(other.osLocator)),
      enumeratorName(std::move(other.enumeratorName)),
      busTypeMask(other.busTypeMask),
      deviceKind(other.deviceKind),
      extension(std::move(other.extension)) {
    other.deviceInfoSet.release();
}

WindowsDevice& WindowsDevice::operator=(const WindowsDevice& other) {
    if (this != &other) {
        deviceInfoSet = other.deviceInfoSet;
        deviceInfoData = other.deviceInfoData;
        friendlyName = other.friendlyName;
        deviceDescription = other.deviceDescription;
        spareText = other.spareText;
        instanceId = other.instanceId;
        osLocator = other.osLocator;
        enumeratorName = other.enumeratorName;
        busTypeMask = other.busTypeMask;
        deviceKind = other.deviceKind;
        extension = other.extension;
    }
    return *this;
}

WindowsDevice& WindowsDevice::operator=(WindowsDevice&& other) noexcept {
    if (this != &other) {
        deviceInfoSet = other.deviceInfoSet;
        other.deviceInfoSet.release();
        deviceInfoData = other.deviceInfoData;
        friendlyName = std::move(other.friendlyName);
        deviceDescription = std::move(other.deviceDescription);
        spareText = std::move(other.spareText);
        instanceId = std::move(other.instanceId);
        osLocator = std::move(other.osLocator);
        enumeratorName = std::move(other.enumeratorName);
        busTypeMask = other.busTypeMask;
        deviceKind = other.deviceKind;
        extension = std::move(other.extension);
    }
    return *this;
}

// Members go in reverse order: the extension, the texts, then the set.
WindowsDevice::~WindowsDevice() {}

void WindowsDevice::readInstanceId() {
    instanceId.clear();
    if (!deviceInfoSet.isValid())
        return;
    wchar_t buffer[ID_BUFFER_UNITS] = {};
    DWORD required = 0;
    if (SetupDiGetDeviceInstanceIdW(deviceInfoSet.get(), &deviceInfoData, buffer, ID_BUFFER_UNITS,
                                    &required)) {
        instanceId = textWithin(buffer, ID_BUFFER_UNITS);
        return;
    }
    if (required > ID_BUFFER_UNITS) {
        std::vector<wchar_t> longer(required, 0);
        if (SetupDiGetDeviceInstanceIdW(deviceInfoSet.get(), &deviceInfoData, longer.data(),
                                        required, nullptr))
            instanceId = textWithin(longer.data(), longer.size());
    }
}

void WindowsDevice::readDeviceProperties() {
    getStringProperty(SPDRP_FRIENDLYNAME, friendlyName);
    getStringProperty(SPDRP_DEVICEDESC, deviceDescription);
    getStringProperty(SPDRP_ENUMERATOR_NAME, enumeratorName);
    busTypeMask = busTypeFromEnumerator(enumeratorName);
}

Uint32 WindowsDevice::busTypeFromEnumerator(const String& name) {
    for (const BusTypeRow& row : BUS_TYPES) {
        if (name.compareNoCase(String(row.enumerator)) == 0)
            return row.mask;
    }
    return BUS_UNKNOWN;
}

bool WindowsDevice::getRegistryProperty(Uint32 property, Uint32& dataType,
                                        qln::Buffer<unsigned char>& data) const {
    if (property > MAXIMUM_PROPERTY || !deviceInfoSet.isValid())
        return false;
    HDEVINFO set = deviceInfoSet.get();
    SP_DEVINFO_DATA element = deviceInfoData;
    DWORD type = 0;
    DWORD required = 0;
    if (SetupDiGetDeviceRegistryPropertyW(set, &element, property, &type, nullptr, 0, &required))
        return false;
    dataType = type;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required == 0)
        return false;
    data.resize(required, true);
    // The buffer keeps the probed size; what the read leaves unwritten stays zero.
    if (!SetupDiGetDeviceRegistryPropertyW(set, &element, property, &type, data.getData(),
                                           static_cast<DWORD>(data.getLength()), nullptr))
        return false;
    dataType = type;
    return true;
}

bool WindowsDevice::getStringProperty(Uint32 property, String& text) const {
    qln::Buffer<unsigned char> data;
    Uint32 type = 0;
    if (!getRegistryProperty(property, type, data))
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    // Whole units only; the text ends at the first NUL or with the data.
    std::vector<wchar_t> units(data.getLength() / sizeof(wchar_t));
    if (!units.empty())
        std::memcpy(units.data(), data.getData(), units.size() * sizeof(wchar_t));
    text = textWithin(units.data(), units.size());
    return !text.isEmpty();
}

String WindowsDevice::getParentDeviceInstanceId() const {
    String parent;
    if (instanceId.isEmpty())
        return parent;
    DEVINST node = 0;
    if (CM_Locate_DevNodeW(&node, const_cast<wchar_t*>(instanceId.getUCS2Buffer()),
                           CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS &&
        node != 0)
        getParentDeviceId(node, parent);
    return parent;
}

bool getParentDeviceId(DEVINST node, String& id) {
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS || parent == 0)
        return false;
    wchar_t buffer[ID_BUFFER_UNITS] = {};
    if (CM_Get_Device_IDW(parent, buffer, ID_BUFFER_UNITS, 0) != CR_SUCCESS)
        return false;
    id = textWithin(buffer, ID_BUFFER_UNITS);
    return true;
}

bool getRelatedDeviceIds(DEVINST node, Uint32 filter, qln::Array<String>& ids) {
    // One unit more than the system is told, so the id always ends in a NUL.
    wchar_t id[ID_BUFFER_UNITS + 1] = {};
    if (CM_Get_Device_IDW(node, id, ID_BUFFER_UNITS, 0) != CR_SUCCESS)
        return false;
    ULONG count = 0;
    if (CM_Get_Device_ID_List_SizeW(&count, id, filter) != CR_SUCCESS)
        return false;
    if (count == 0) {
        ids.clear();
        return true;
    }
    std::vector<wchar_t> list(count, 0);
    if (CM_Get_Device_ID_ListW(id, list.data(), count, filter) != CR_SUCCESS)
        return false;
    splitMultiString(list.data(), count, ids);
    return true;
}

void splitMultiString(const wchar_t* list, Uint32 length, qln::Array<String>& texts) {
    texts.clear();
    if (list == nullptr)
        return;
    Uint32 position = 0;
    while (position < length) {
        Uint32 count = 0;
        while (position + count < length && list[position + count] != 0)
            ++count;
        if (count == 0)
            break;
        texts.append(String(list + position, count));
        // Step over the text and its terminator only while both lie inside
        // the length, so a length near the top of the range cannot wrap.
        const Uint32 end = position + count;
        if (length - end <= 1)
            break;
        position = end + 1;
    }
}

void appendMissing(qln::Array<String>& target, const qln::Array<String>& source) {
    for (Uint32 i = 0; i < source.size(); ++i) {
        if (!target.contains(source[i]))
            target.append(source[i]);
    }
}

}  // namespace libFennick
