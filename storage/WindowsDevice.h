// One node of the Windows device tree as the storage classes see it, and the
// device-node functions used to walk device relations.
#pragma once

#include <memory>

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include "qln/Array.h"
#include "qln/Buffer.h"
#include "qln/String.h"

#include "DeviceHolders.h"

namespace libFennick {

// Device kinds stored by the enumerations.
enum DeviceKind : qln::Uint32 {
    DEVICE_KIND_NONE = 0,
    DEVICE_KIND_DISK = 1,
    DEVICE_KIND_CDROM = 2,
    DEVICE_KIND_FLOPPY = 4,
    DEVICE_KIND_TAPE = 8,
    DEVICE_KIND_VOLUME = 16
};

// Bus-type bits derived from the enumerator name.
enum BusType : qln::Uint32 {
    BUS_IDE = 0x1,
    BUS_SCSI = 0x2,
    BUS_USBSTOR = 0x4,
    BUS_USB = 0x8,
    BUS_PCI = 0x10,
    BUS_PCIIDE = 0x20,
    BUS_ACPI = 0x100,
    BUS_SBP2 = 0x200,
    BUS_1394 = 0x400,
    BUS_SD = 0x800,
    BUS_PCMCIA = 0x1000,
    BUS_DISPLAY = 0x2000,
    BUS_UNKNOWN = 0x4000
};

class WindowsDevice {
public:
    // A device of a set: shares the set, reads the instance id and properties.
    WindowsDevice(const SharedDeviceInfoSet& deviceInfoSet, const SP_DEVINFO_DATA& deviceInfoData);
    // A device looked up by its instance id, in a set of its own when the id
    // can be opened. The id is kept as given in every case.
    explicit WindowsDevice(const qln::String& instanceId);

    WindowsDevice(const WindowsDevice& other);
    WindowsDevice(WindowsDevice&& other) noexcept;
    WindowsDevice& operator=(const WindowsDevice& other);
    WindowsDevice& operator=(WindowsDevice&& other) noexcept;
    ~WindowsDevice();

    const qln::String& getDeviceInstanceId() const { return instanceId; }
    const qln::String& getOsLocator() const { return osLocator; }
    const qln::String& getFriendlyName() const { return friendlyName; }
    const qln::String& getDeviceDescription() const { return deviceDescription; }
    const qln::String& getEnumeratorName() const { return enumeratorName; }
    qln::Uint32 getBusTypeMask() const { return busTypeMask; }
    qln::Uint32 getDeviceKind() const { return deviceKind; }
    const SharedDeviceInfoSet& getDeviceInfoSet() const { return deviceInfoSet; }
    const SP_DEVINFO_DATA& getDeviceInfoData() const { return deviceInfoData; }

    // Written by the enumerations that find the device.
    void setOsLocator(const qln::String& locator) { osLocator = locator; }
    void setDeviceKind(qln::Uint32 kind) { deviceKind = kind; }

    // The parent node's instance id, or an empty text.
    qln::String getParentDeviceInstanceId() const;

    // A registry property of text type (REG_SZ, REG_EXPAND_SZ, not expanded).
    // True when the text is not empty; `text` is left alone when the property
    // cannot be read or has another type.
    bool getStringProperty(qln::Uint32 property, qln::String& text) const;
    // The raw data of a registry property and its registry data type.
    bool getRegistryProperty(qln::Uint32 property, qln::Uint32& dataType,
                             qln::Buffer<unsigned char>& data) const;
    // Friendly name, description, enumerator name and the bus type.
    void readDeviceProperties();

    // The bus-type bit of an enumerator name (letter case ignored); BUS_UNKNOWN
    // for a name that is not in the table.
    static qln::Uint32 busTypeFromEnumerator(const qln::String& enumeratorName);

    // The largest registry property code (SPDRP_MAXIMUM_PROPERTY of the SDK).
    static constexpr qln::Uint32 MAXIMUM_PROPERTY = 37;

private:
    void readInstanceId();

    SharedDeviceInfoSet deviceInfoSet;
    SP_DEVINFO_DATA deviceInfoData;
    qln::String friendlyName;
    qln::String deviceDescription;
    qln::String spareText;
    qln::String instanceId;
    qln::String osLocator;
    qln::String enumeratorName;
    qln::Uint32 busTypeMask;
    qln::Uint32 deviceKind;
    std::shared_ptr<void> extension;
};

// The instance id of the parent of `node`; `id` is written only on success.
bool getParentDeviceId(DEVINST node, qln::String& id);

// The instance ids related to `node` by `filter` (a CM_GETIDLIST_FILTER_*
// value); `ids` is replaced on success and left alone on failure.
bool getRelatedDeviceIds(DEVINST node, qln::Uint32 filter, qln::Array<qln::String>& ids);

// Splits a list of NUL-terminated texts of `length` units; an empty entry ends
// the list. `texts` is cleared first.
void splitMultiString(const wchar_t* list, qln::Uint32 length, qln::Array<qln::String>& texts);

// Appends each text of `source` that `target` does not hold yet, in order.
void appendMissing(qln::Array<qln::String>& target, const qln::Array<qln::String>& source);

}  // namespace libFennick
