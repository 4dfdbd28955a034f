// One volume of the machine: its volume GUID name, the root path the system's
// volume functions know it by, the path it is opened by, its drive letter and
// whether that letter holds the system directory or the running program. And
// the list of all volumes of the machine.
#pragma once

#include <windows.h>

#include "qln/Array.h"
#include "qln/Config.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"

#include "DeviceHolders.h"

namespace libFennick {

// Log channel of the volumes, also used by the drive's grouping of volumes.
extern const char* const VOLUME_LOG_CHANNEL;

// Bits of Volume::getVolumeFlags.
enum VolumeFlag : qln::Uint32 {
    VOLUME_SYSTEM_DRIVE = 0x1,   // the letter holds the system directory
    VOLUME_PROGRAM_DRIVE = 0x2,  // the letter holds the running program
    VOLUME_HAS_LETTER = 0x8000
};

// How Volume::initVolumeLocator reads its text.
enum VolumeLocatorType : qln::Int32 {
    VOLUME_LOCATOR_DEVICE_PATH = 0,
    VOLUME_LOCATOR_VOLUME_NAME = 1
};

// Kept with a volume for the layout its users share; this library creates,
// copies and releases them and never fills them.
struct VolumeReservedInfo {
    qln::String first;
    qln::String second;
    qln::String third;
    qln::Uint32 number = 0;
    qln::Uint64 size = 0;
};
struct VolumeReservedRecord {
    qln::Uint64 first;
    qln::Uint64 second;
};

class Volume;
typedef qln::Array<Volume> VolumeList;

// Empties `volumes`, then lists the volumes the system's volume search returns
// (each with its drive letter when exactly one letter names it), then the
// hidden volumes of the device tree. True when the list is not empty.
bool enumerateVolumes(VolumeList& volumes);

class Volume {
public:
    // A volume opened by `devicePath`; root path, volume name and letter are
    // asked of the system.
    explicit Volume(const qln::String& devicePath);

    // The set-up: `text` is a device path (VOLUME_LOCATOR_DEVICE_PATH) or a
    // volume name with its trailing backslash (VOLUME_LOCATOR_VOLUME_NAME).
    // With `letterKnown` the drive letter already set is kept; otherwise the
    // first drive-letter mount point gives it.
    void initVolumeLocator(qln::Int32 locatorType, const qln::String& text, bool letterKnown);

    qln::Uint32 getVolumeFlags() const { return volumeFlags; }
    const qln::String& getVolumeName() const { return volumeName; }
    const qln::String& getRootPath() const { return rootPath; }
    const qln::String& getDevicePath() const { return devicePath; }
    // The upper-case drive letter; false (and `letter` untouched) without one.
    bool getDriveLetter(char& letter) const;
    bool isFloppyControllerVolume() const { return floppyControllerVolume; }
    void setFloppyControllerVolume(bool onController) { floppyControllerVolume = onController; }

    // A new handle with read-attribute access, empty when the volume has no
    // device path or cannot be opened. The volume keeps no handle.
    SharedDeviceHandle openVolumeHandle() const;

    // `text` without one trailing backslash.
    static qln::String stripTrailingBackslash(const qln::String& text);
    // The mount points of a volume name ("E:\", "C:\mnt\data\"), in the
    // system's order. `mountPoints` is emptied first.
    static bool getMountPoints(const qln::String& volumeName, qln::Array<qln::String>& mountPoints);

    // The drive letters of the system directory and of the running program,
    // read once per process; 0 when the system does not tell.
    static char systemDriveLetter();
    static char programDriveLetter();
    // The same letters read from the system anew.
    static char readSystemDriveLetter();
    static char readProgramDriveLetter();

private:
    friend bool enumerateVolumes(VolumeList& volumes);
    Volume();

    qln::Uint32 volumeFlags;
    qln::String volumeName;
    qln::String rootPath;
    qln::String devicePath;
    SharedDeviceHandle reservedHandle;
    char driveLetter;
    qln::Uint8 reservedByte;
    VolumeReservedInfo reservedInfo;
    qln::Array<VolumeReservedRecord> reservedRecords;
    qln::SharedResource<qln::PointerStorage<VolumeReservedInfo, 0, 3>, 0> reservedObject;
    bool floppyControllerVolume;
};

}  // namespace libFennick
