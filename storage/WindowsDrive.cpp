#include "WindowsDrive.h"

#include <cstddef>
#include <cstring>
#include <map>

#include "qln/FileHandle.h"
#include "qln/Log.h"

#include "CommonStorage.h"
#include "WindowsDeviceSet.h"

namespace libFennick {

using qln::String;
using qln::Uint32;

namespace {

// The numbers at the start of the messages are stable message ids.
const char* const kChannel = "libFennick.WindowsDrive";
qln::Logger* s_logger = nullptr;
qln::Logger* s_volumeLogger = nullptr;

const Uint32 INDEX_BUCKETS = 32;

// Storage device number to the index of a volume in the list just mapped.
typedef std::multimap<Uint32, Uint32> VolumeGrouping;

static_assert(CM_GETIDLIST_FILTER_REMOVALRELATIONS == 0x8, "removal relations");
static_assert(CM_GETIDLIST_FILTER_BUSRELATIONS == 0x20, "bus relations");

void logNoDeviceNumber(const Volume& volume) {
    QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
            "61 " + "Failed to get SDN on " + volume.getDevicePath());
}

// Groups the volumes of `volumes` by their storage device numbers, by the
// system's drive type of each. Floppy letters are not opened: asking a
// floppy drive without media stalls.
void mapVolumesByDeviceNumber(const VolumeList& volumes, VolumeGrouping& fixed,
                              VolumeGrouping& removable, VolumeGrouping& cdrom) {
    for (Uint32 index = 0; index < volumes.size(); ++index) {
        const Volume& volume = volumes[index];
        char letter = 0;
        if (volume.getDriveLetter(letter) && (letter == 'A' || letter == 'B')) {
            QLN_LOG(s_volumeLogger, VOLUME_LOG_CHANNEL, qln::LOG_INFO,
                    "449 " + "Skipping getSDN on floppy drive");
            logNoDeviceNumber(volume);
            continue;
        }
        STORAGE_DEVICE_NUMBER number;
        std::memset(&number, 0, sizeof(number));
        SharedDeviceHandle opened = volume.openVolumeHandle();
        const bool numbered = opened.isValid() && getDeviceNumber(opened, number);
        opened.release();
        if (!numbered) {
            logNoDeviceNumber(volume);
            continue;
        }
        VolumeGrouping* grouping = nullptr;
        switch (GetDriveTypeW(volume.getRootPath().getUCS2Buffer())) {
        case DRIVE_REMOVABLE:
            grouping = &removable;
            break;
        case DRIVE_FIXED:
            grouping = &fixed;
            break;
        case DRIVE_CDROM:
            grouping = &cdrom;
            break;
        default:
            break;
        }
        if (grouping != nullptr)
            grouping->insert(std::make_pair(static_cast<Uint32>(number.DeviceNumber), index));
    }
}

String upperCased(const String& text) {
    String upper(text);
    upper.toUpper();
    return upper;
}

}  // namespace

WindowsDrive::WindowsDrive(const WindowsDevice& source)
    : locatorType(DRIVE_LOCATOR_NONE),
      device(new WindowsDevice(source)),
      mediaKind(MEDIA_UNKNOWN),
      sectorSize(0),
      totalCapacity(0),
      volumesLoaded(false) {
    if (!source.getOsLocator().isEmpty()) {
        locatorType = DRIVE_LOCATOR_INSTANCE_ID;
        locator = source.getDeviceInstanceId();
        qln::CreateFileOpenArgs args;
        args.path = source.getOsLocator();
        args.desiredAccess = GENERIC_READ | GENERIC_WRITE;
        args.shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
        args.creationDisposition = OPEN_EXISTING;
        args.flags = 0;
        handle = SharedDeviceHandle(args);
    }
    initFromStorageDescriptor();
}

void WindowsDrive::initFromStorageDescriptor() {
    mediaKind = MEDIA_UNKNOWN;
    sectorSize = 0;
    totalCapacity = 0;
    volumesLoaded = false;

    if (getStorageDeviceDescriptor(handle, descriptor)) {
        // The descriptor holds at least its fixed part.
        const qln::Buffer<unsigned char>& raw = *descriptor.get();
        STORAGE_DEVICE_DESCRIPTOR fixed;
        std::memcpy(&fixed, raw.getData(), sizeof(fixed));
        mediaKind = fixed.RemovableMedia == 0 ? MEDIA_FIXED : MEDIA_REMOVABLE;
        getDescriptorString(raw, fixed.VendorIdOffset, vendor);
        getDescriptorString(raw, fixed.ProductIdOffset, product);
        getDescriptorString(raw, fixed.ProductRevisionOffset, revision);
        getDescriptorString(raw, fixed.SerialNumberOffset, serial);
        model = vendor + product;
        model.normalizeSpaces();
        return;
    }
    if (isFloppyMedia(handle)) {
        mediaKind = MEDIA_REMOVABLE;
        return;
    }
    DISK_GEOMETRY geometry;
    if (getDriveGeometry(handle, geometry)) {
        if (geometry.MediaType == RemovableMedia)
            mediaKind = MEDIA_REMOVABLE;
        else if (geometry.MediaType == FixedMedia)
            mediaKind = MEDIA_FIXED;
        sectorSize = geometry.BytesPerSector;
    }
}

Uint32 WindowsDrive::getSectorSize() const {
    if (sectorSize == 0) {
        DISK_GEOMETRY geometry;
        if (getDriveGeometry(handle, geometry))
            sectorSize = geometry.BytesPerSector;
    }
    return sectorSize;
}

qln::Uint64 WindowsDrive::getTotalCapacity() const {
    if (totalCapacity == 0)
        totalCapacity = getDiskLength(handle);
    return totalCapacity;
}

qln::Uint64 WindowsDrive::getSectorCount() const {
    const qln::Uint64 capacity = getTotalCapacity();
    const Uint32 size = getSectorSize();
    return size == 0 ? 0 : capacity / size;
}

const VolumeList& WindowsDrive::volumes() const {
    if (volumesLoaded)
        return volumeList;
    // Set first: the search runs once per drive, whatever it finds.
    volumesLoaded = true;

    if (!device.isValid() && locatorType != DRIVE_LOCATOR_NONE && !locator.isEmpty())
        findOwnDevice(locatorType, locator);

    // The floppy controller's drives report no storage device numbers worth
    // comparing: their volumes come from the device tree alone.
    const WindowsDevice* own = device.get();
    if (own != nullptr && (own->getDeviceKind() & DEVICE_KIND_FLOPPY) != 0 &&
        own->getEnumeratorName().compareNoCase(String(L"FDC")) == 0) {
        findVolumesByRelations(false, volumeList);
        return volumeList;
    }

    findVolumesByDeviceNumber();
    VolumeList alternative;
    findVolumesByRelations(true, alternative);
    if (volumeList.size() < alternative.size()) {
        volumeList = alternative;
        const WindowsDevice* named = device.get();
        QLN_LOG(s_logger, kChannel, qln::LOG_INFO,
                "586 " + "Volume Enum (" + (named != nullptr ? named->getDeviceInstanceId() : String()) +
                    ") - Using relation approach over SDN approach.");
    }
    return volumeList;
}

bool WindowsDrive::findOwnDevice(qln::Int32 type, const String& ownLocator) const {
    if (device.isValid())
        return true;

    struct Row {
        const GUID* setupClass;
        const GUID* interfaceClass;
        Uint32 kind;
    };
    const Row rows[] = {
        {&DEVCLASS_DISKDRIVE, &DEVINTERFACE_DISK, DEVICE_KIND_DISK},
        {&DEVCLASS_CDROM, &DEVINTERFACE_CDROM, DEVICE_KIND_CDROM},
        {&DEVCLASS_TAPEDRIVE, &DEVINTERFACE_TAPE, DEVICE_KIND_TAPE},
    };
    WindowsDeviceSet candidates;
    for (const Row& row : rows) {
        WindowsDeviceList found;
        enumerateClassDevices(found, row.setupClass, row.interfaceClass, row.kind, 0);
        candidates.appendUniqueDevices(found, false);
    }
    // Floppy drives, then the volumes they carry, merged as one list.
    WindowsDeviceList floppies;
    enumerateClassDevices(floppies, &DEVCLASS_FLOPPYDISK, &DEVINTERFACE_FLOPPY, DEVICE_KIND_FLOPPY, 0);
    enumerateClassDevices(floppies, &DEVCLASS_FLOPPYDISK, &DEVINTERFACE_VOLUME, DEVICE_KIND_FLOPPY,
                          ENUMERATE_SKIP_INTERFACE_ONLY);
    candidates.appendUniqueDevices(floppies, false);

    const String key = upperCased(ownLocator);
    for (const WindowsDevice& candidate : candidates) {
        const String* compared = nullptr;
        if (type == DRIVE_LOCATOR_INTERFACE_PATH)
            compared = &candidate.getOsLocator();
        else if (type == DRIVE_LOCATOR_INSTANCE_ID)
            compared = &candidate.getDeviceInstanceId();
        else
            break;
        if (key.compareNoCase(*compared) == 0) {
            device.reset(new WindowsDevice(candidate));
            break;
        }
    }
    return device.isValid();
}

void WindowsDrive::findVolumesByDeviceNumber() const {
    VolumeList all;
    enumerateVolumes(all);
    VolumeGrouping fixed;
    VolumeGrouping removable;
    VolumeGrouping cdrom;
    mapVolumesByDeviceNumber(all, fixed, removable, cdrom);

    STORAGE_DEVICE_NUMBER number;
    std::memset(&number, 0, sizeof(number));
    if (!handle.isValid() || !getDeviceNumber(handle, number))
        return;
    const VolumeGrouping* grouping = nullptr;
    if (number.DeviceType == FILE_DEVICE_CD_ROM) {
        grouping = &cdrom;
    } else if (number.DeviceType == FILE_DEVICE_DISK) {
        switch (mediaKind) {
        case MEDIA_REMOVABLE:
            grouping = &removable;
            break;
        case MEDIA_FIXED:
            grouping = &fixed;
            break;
        case MEDIA_UNKNOWN:
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "611 " + "Media type unknown");
            break;
        default:
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "614 " + "Unknown error");
            break;
        }
    }
    if (grouping == nullptr)
        return;
    qln::Array<Uint32> indexes;
    collectValues(*grouping, static_cast<Uint32>(number.DeviceNumber), indexes);
    for (Uint32 index : indexes)
        volumeList.append(all[index]);
}

void WindowsDrive::findVolumesByRelations(bool compareWithDeviceNumber, VolumeList& found) const {
    if (!device.isValid() && locatorType != DRIVE_LOCATOR_NONE && !locator.isEmpty())
        findOwnDevice(locatorType, locator);
    if (!device.isValid())
        return;
    const String& ownId = device.get()->getDeviceInstanceId();

    WindowsDeviceSet volumeDevices;
    volumeDevices.appendInterfaceDevices(&DEVINTERFACE_VOLUME, DEVICE_KIND_VOLUME);
    volumeDevices.appendInterfaceDevices(&DEVINTERFACE_HIDDEN_VOLUME, DEVICE_KIND_VOLUME);
    DeviceIndexTable index(INDEX_BUCKETS);
    const WindowsDeviceList& listed = volumeDevices.devices();
    for (std::size_t i = 0; i < listed.size(); ++i)
        index.insert(upperCased(listed[i].getDeviceInstanceId()), static_cast<unsigned int>(i));

    // Relations are asked only of a node the system located: node 0 is the
    // root of the tree, not "no node". An empty id would locate the root too.
    qln::Array<String> related;
    DEVINST node = 0;
    if (!ownId.isEmpty() &&
        CM_Locate_DevNodeW(&node, const_cast<wchar_t*>(ownId.getUCS2Buffer()),
                           CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS) {
        const Uint32 filters[] = {CM_GETIDLIST_FILTER_REMOVALRELATIONS,
                                  CM_GETIDLIST_FILTER_BUSRELATIONS};
        for (Uint32 filter : filters) {
            qln::Array<String> ids;
            if (getRelatedDeviceIds(node, filter, ids))
                appendMissing(related, ids);
        }
    }
    if (!related.contains(ownId))
        related.append(ownId);

    for (const String& id : related) {
        const unsigned int* position = index.lookup(upperCased(id));
        if (position == nullptr)
            continue;
        Volume volume(listed[*position].getOsLocator());
        volume.setFloppyControllerVolume(!compareWithDeviceNumber);
        found.append(volume);
    }
}

}  // namespace libFennick
