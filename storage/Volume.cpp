#include "Volume.h"

#include <map>
#include <vector>

#include <shlobj.h>

#include "qln/Format.h"
#include "qln/Log.h"
#include "qln/System.h"

#include "BoundedText.h"
#include "WindowsDeviceSet.h"

namespace libFennick {

using qln::String;
using qln::Uint32;

// The numbers at the start of the messages are stable message ids.
const char* const VOLUME_LOG_CHANNEL = "libFennick.Volume";

namespace {

qln::Logger* s_logger = nullptr;

// Volume names, roots and mount-point lists in the calling frame, in units.
const DWORD NAME_UNITS = 260;
// The system directory and the program path.
const DWORD PATH_UNITS = 261;

// 'a' to 'z' lose bit 0x20; every other value stays.
char upperLetter(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter & ~0x20) : letter;
}

// The drive letter of a path the system wrote into `capacity` units: only a
// length above 0 that fits the buffer counts, so a failed or truncated call
// never passes the first unit of an unfilled buffer for a letter.
char letterOfPath(const wchar_t* path, DWORD length, DWORD capacity) {
    if (length == 0 || length >= capacity)
        return 0;
    return upperLetter(static_cast<char>(path[0] & 0xFF));
}

void logUnknownLocatorType() {
    // Defects are reported whatever the thresholds, unless a parent channel
    // silences them.
    qln::Logger* defects = qln::LogFactory::createLogger("DEFECT.GENERIC");
    if (defects->resolvePriority() <= qln::LOG_ERROR)
        defects->log(qln::LOG_ERROR, String("Unknown locator type"));
}

// The volume name of a root ("E:\", "\\?\...\"), empty when the system knows none.
bool volumeNameOfRoot(const String& root, String& name) {
    wchar_t buffer[NAME_UNITS] = {};
    if (!GetVolumeNameForVolumeMountPointW(root.getUCS2Buffer(), buffer, NAME_UNITS))
        return false;
    name = textWithin(buffer, NAME_UNITS);
    return true;
}

// The non-empty pieces of a NUL-separated list of `length` units.
void splitAtNuls(const wchar_t* list, DWORD length, qln::Array<String>& pieces) {
    DWORD start = 0;
    for (DWORD i = 0; i <= length; ++i) {
        if (i == length || list[i] == 0) {
            if (i > start)
                pieces.append(String(list + start, i - start));
            start = i + 1;
        }
    }
}

}  // namespace

Volume::Volume()
    : volumeFlags(0),
      driveLetter(0),
      reservedByte(0),
      floppyControllerVolume(false) {}

Volume::Volume(const String& path) : Volume() {
    initVolumeLocator(VOLUME_LOCATOR_DEVICE_PATH, path, false);
}

void Volume::initVolumeLocator(qln::Int32 locatorType, const String& text, bool letterKnown) {
    switch (locatorType) {
    case VOLUME_LOCATOR_DEVICE_PATH:
        devicePath = text;
        break;
    case VOLUME_LOCATOR_VOLUME_NAME:
        volumeName = text;
        devicePath = stripTrailingBackslash(text);
        break;
    default:
        logUnknownLocatorType();
        volumeName.clear();
        devicePath.clear();
        break;
    }

    if (!volumeName.isEmpty()) {
        rootPath = volumeName;
    } else if (!devicePath.isEmpty()) {
        rootPath = devicePath + String(L"\\");
        String name;
        if (volumeNameOfRoot(rootPath, name)) {
            rootPath = name;
            volumeName = name;
        }
    } else {
        rootPath.clear();
    }

    if (!letterKnown && !volumeName.isEmpty()) {
        qln::Array<String> mountPoints;
        if (getMountPoints(volumeName, mountPoints)) {
            for (const String& point : mountPoints) {
                if (point.size() != 3 || point.find(String(L":\\")) != 1)
                    continue;
                const char letter = upperLetter(static_cast<char>(point[0] & 0xFF));
                if (letter >= 'A' && letter <= 'Z') {
                    driveLetter = letter;
                    letterKnown = true;
                    break;
                }
            }
        }
    }

    if (letterKnown)
        devicePath = qln::SprintfFormat("\\\\.\\%c:", driveLetter).toString();

    volumeFlags = 0;
    reservedByte = 0;
    floppyControllerVolume = false;
    reservedInfo.number = 0;
    reservedInfo.size = 0;
    if (driveLetter != 0) {
        volumeFlags = VOLUME_HAS_LETTER;
        if (driveLetter == systemDriveLetter())
            volumeFlags |= VOLUME_SYSTEM_DRIVE;
        if (driveLetter == programDriveLetter())
            volumeFlags |= VOLUME_PROGRAM_DRIVE;
    }
}

bool Volume::getDriveLetter(char& letter) const {
    if (driveLetter == 0)
        return false;
    letter = driveLetter;
    return true;
}

SharedDeviceHandle Volume::openVolumeHandle() const {
    if (devicePath.isEmpty())
        return SharedDeviceHandle();
    HANDLE handle = CreateFileW(devicePath.getUCS2Buffer(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        return SharedDeviceHandle(handle);
    const Uint32 error = qln::System::getSystemError();
    QLN_LOG(s_logger, VOLUME_LOG_CHANNEL, qln::LOG_ERROR,
            "678 " + "Failed to open handle to : " + '"' + devicePath + '"' +
                qln::System::getSystemErrorMsg(error, false));
    return SharedDeviceHandle();
}

String Volume::stripTrailingBackslash(const String& text) {
    const Uint32 size = text.size();
    if (size == 0 || text[size - 1] != L'\\')
        return text;
    return text.subString(0, size - 1);
}

bool Volume::getMountPoints(const String& name, qln::Array<String>& mountPoints) {
    mountPoints.clear();
    wchar_t onStack[NAME_UNITS] = {};
    std::vector<wchar_t> larger;
    wchar_t* buffer = onStack;
    DWORD units = NAME_UNITS;
    for (int call = 0; call < 2; ++call) {
        DWORD returned = 0;
        if (GetVolumePathNamesForVolumeNameW(name.getUCS2Buffer(), buffer, units, &returned)) {
            // Never read beyond the buffer, whatever length is reported.
            splitAtNuls(buffer, returned < units ? returned : units, mountPoints);
            return true;
        }
        if (call > 0 || GetLastError() != ERROR_MORE_DATA)
            return false;
        if (returned != units) {
            larger.assign(returned, 0);
            buffer = larger.empty() ? nullptr : larger.data();
            units = returned;
        }
    }
    return false;
}

char Volume::readSystemDriveLetter() {
    wchar_t path[PATH_UNITS] = {};
    return letterOfPath(path, GetSystemDirectoryW(path, PATH_UNITS), PATH_UNITS);
}

char Volume::readProgramDriveLetter() {
    wchar_t path[PATH_UNITS] = {};
    return letterOfPath(path, GetModuleFileNameW(nullptr, path, PATH_UNITS), PATH_UNITS);
}

char Volume::systemDriveLetter() {
    static const char letter = readSystemDriveLetter();
    return letter;
}

char Volume::programDriveLetter() {
    static const char letter = readProgramDriveLetter();
    return letter;
}

bool enumerateVolumes(VolumeList& volumes) {
    volumes = VolumeList();

    std::multimap<String, char> letters;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0 || IsNetDrive(i) != 0)
            continue;
        const char letter = static_cast<char>('A' + i);
        String name;
        if (volumeNameOfRoot(qln::SprintfFormat("%c:\\", letter).toString(), name))
            letters.insert(std::make_pair(name, letter));
    }

    wchar_t buffer[NAME_UNITS] = {};
    HANDLE search = FindFirstVolumeW(buffer, NAME_UNITS);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const String name = textWithin(buffer, NAME_UNITS);
            qln::Array<char> found;
            collectValues(letters, name, found);
            if (found.size() > 1)
                QLN_LOG(s_logger, VOLUME_LOG_CHANNEL, qln::LOG_WARN,
                        "165 " + "Multiple drive letters are associated with this volume");
            Volume volume;
            bool letterKnown = false;
            if (found.size() == 1) {
                volume.driveLetter = upperLetter(found[0]);
                letterKnown = true;
            }
            volume.initVolumeLocator(VOLUME_LOCATOR_VOLUME_NAME, name, letterKnown);
            volumes.append(volume);
        } while (FindNextVolumeW(search, buffer, NAME_UNITS));
        FindVolumeClose(search);
    }

    WindowsDeviceSet hidden;
    hidden.appendInterfaceDevices(&DEVINTERFACE_HIDDEN_VOLUME, DEVICE_KIND_NONE);
    for (const WindowsDevice& device : hidden)
        volumes.append(Volume(device.getOsLocator()));

    return volumes.size() > 0;
}

}  // namespace libFennick
