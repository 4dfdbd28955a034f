// One storage drive (disk, CD-ROM, tape or floppy) found as a device: opened
// through its interface path, identified from its storage descriptor, with
// its sector size, capacity and the volumes that live on it.
#pragma once

#include <windows.h>

#include "qln/Config.h"
#include "qln/String.h"

#include "DeviceHolders.h"
#include "Volume.h"
#include "WindowsDevice.h"

namespace libFennick {

// What a drive holds, from its storage descriptor or geometry.
enum MediaKind : qln::Int32 {
    MEDIA_REMOVABLE = 0,
    MEDIA_FIXED = 1,
    MEDIA_UNKNOWN = 2
};

// What a drive's locator names.
enum DriveLocatorType : qln::Int32 {
    DRIVE_LOCATOR_NONE = 0,
    DRIVE_LOCATOR_INTERFACE_PATH = 1,
    DRIVE_LOCATOR_INSTANCE_ID = 2
};

class WindowsDrive {
public:
    // Keeps a copy of `device`, opens it by its interface path (a device
    // without one, or one that cannot be opened, gives a drive without a
    // handle) and reads its identification.
    explicit WindowsDrive(const WindowsDevice& device);

    const qln::String& getVendor() const { return vendor; }
    const qln::String& getProduct() const { return product; }
    // Vendor and product with their blanks tidied.
    const qln::String& getModel() const { return model; }
    const qln::String& getRevision() const { return revision; }
    const qln::String& getSerial() const { return serial; }
    qln::Int32 getMediaKind() const { return mediaKind; }
    qln::Int32 getLocatorType() const { return locatorType; }
    const qln::String& getLocator() const { return locator; }
    const SharedDeviceHandle& getHandle() const { return handle; }
    // The drive's own device, null when it has none.
    const WindowsDevice* getDevice() const { return device.get(); }

    // Bytes per sector; 0 while the drive has not told (asked again then).
    qln::Uint32 getSectorSize() const;
    // Capacity in bytes; 0 while the drive has not told (asked again then).
    qln::Uint64 getTotalCapacity() const;
    // Capacity divided by the sector size; 0 without a sector size.
    qln::Uint64 getSectorCount() const;

    // The volumes on the drive. The first call searches them, by storage
    // device numbers and by relations in the device tree, and keeps the
    // longer list; later calls answer that list.
    const VolumeList& volumes() const;

private:
    void initFromStorageDescriptor();
    bool findOwnDevice(qln::Int32 type, const qln::String& ownLocator) const;
    void findVolumesByDeviceNumber() const;
    void findVolumesByRelations(bool compareWithDeviceNumber, VolumeList& found) const;

    SharedDeviceHandle handle;
    qln::Int32 locatorType;
    qln::String locator;
    SharedDescriptorBuffer descriptor;
    mutable SharedWindowsDevice device;
    qln::String vendor;
    qln::String product;
    qln::String model;
    qln::String revision;
    qln::String serial;
    qln::Int32 mediaKind;
    // Caches filled by the constant queries.
    mutable qln::Uint32 sectorSize;
    mutable qln::Uint64 totalCapacity;
    mutable VolumeList volumeList;
    mutable bool volumesLoaded;
};

}  // namespace libFennick
