// libFennick::WindowsDrive over the test devices of Wine's device tree: the
// drive's own answers and the volumes' device numbers come from scripted
// devices, drive types and mount points from scripted volumes, relations
// from the fake configuration manager.
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "CommonStorage.h"
#include "FennickTestDevices.h"
#include "LogCapture.h"
#include "ScriptedStorage.h"
#include "WindowsDrive.h"

using libFennick::Volume;
using libFennick::VolumeList;
using libFennick::WindowsDevice;
using libFennick::WindowsDrive;
using qln::String;
using namespace fennick_test;

namespace {

const wchar_t* const kChannel = L"libFennick.WindowsDrive";
const DWORD kTapeDevice = FILE_DEVICE_TAPE;

// A descriptor with the texts after its fixed part; a null text has offset 0.
std::vector<unsigned char> descriptorOf(bool removable, const char* vendor = nullptr,
                                        const char* product = nullptr,
                                        const char* revision = nullptr,
                                        const char* serial = nullptr) {
    std::vector<unsigned char> raw(sizeof(STORAGE_DEVICE_DESCRIPTOR), 0);
    DWORD offsets[4] = {};
    const char* texts[4] = {vendor, product, revision, serial};
    for (int i = 0; i < 4; ++i) {
        if (texts[i] == nullptr)
            continue;
        offsets[i] = static_cast<DWORD>(raw.size());
        raw.insert(raw.end(), texts[i], texts[i] + std::strlen(texts[i]) + 1);
    }
    STORAGE_DEVICE_DESCRIPTOR fixed;
    std::memset(&fixed, 0, sizeof(fixed));
    fixed.Version = sizeof(fixed);
    fixed.Size = static_cast<DWORD>(raw.size());
    fixed.RemovableMedia = removable ? TRUE : FALSE;
    fixed.VendorIdOffset = offsets[0];
    fixed.ProductIdOffset = offsets[1];
    fixed.ProductRevisionOffset = offsets[2];
    fixed.SerialNumberOffset = offsets[3];
    std::memcpy(raw.data(), &fixed, sizeof(fixed));
    return raw;
}

std::vector<unsigned char> numberOf(DWORD type, DWORD number, DWORD partition = 0) {
    STORAGE_DEVICE_NUMBER record = {type, number, partition};
    return bytesOf(record);
}

std::vector<unsigned char> geometryBytes(MEDIA_TYPE media, DWORD bytesPerSector) {
    return bytesOf(geometryOf(1000, 255, 63, bytesPerSector, media));
}

std::wstring volumeNameOf(wchar_t letter) {
    return std::wstring(L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-0000000000") + letter + L"0}\\";
}

std::wstring letterPath(wchar_t letter) { return std::wstring(L"\\\\.\\") + letter + L":"; }

std::vector<std::wstring> devicePathsOf(const VolumeList& volumes) {
    std::vector<std::wstring> paths;
    for (const Volume& volume : volumes)
        paths.push_back(volume.getDevicePath().native());
    return paths;
}

class WindowsDriveTest : public FennickTest {
protected:
    void SetUp() override {
        FennickTest::SetUp();
        ASSERT_TRUE(devices.applied());
        ASSERT_TRUE(volumes.applied());
        ASSERT_TRUE(volumes.driveTypesApplied());
    }

    // The test device as the enumerations find it: with its interface path
    // of `interfaceClass` and its kind.
    WindowsDevice asFound(TestDevice which, const GUID& interfaceClass, qln::Uint32 kind) {
        WindowsDevice device(String(deviceId(which).c_str()));
        device.setOsLocator(String(interfacePath(which, interfaceClass).c_str()));
        device.setDeviceKind(kind);
        return device;
    }
    WindowsDevice usbDisk() { return asFound(USB_DISK, libFennick::DEVINTERFACE_DISK, 1); }
    ScriptedDevice& usbDiskScript() {
        return devices.add(interfacePath(USB_DISK, libFennick::DEVINTERFACE_DISK));
    }

    // A volume mounted at `letter` with a drive type and a storage device number.
    void addLetterVolume(wchar_t letter, UINT driveType, DWORD deviceNumber) {
        volumes.add(volumeNameOf(letter), {std::wstring(1, letter) + L":\\"}).driveType = driveType;
        devices.add(letterPath(letter))
            .answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, numberOf(FILE_DEVICE_DISK, deviceNumber, 1));
    }

    void relate(TestDevice drive, ULONG filter, const std::vector<TestDevice>& related) {
        std::vector<std::wstring>& ids = node(drive).relations[filter];
        for (TestDevice device : related)
            ids.push_back(deviceId(device));
    }

    std::size_t requestsOf(DWORD code) const {
        std::size_t count = 0;
        for (const IoCall& call : devices.calls())
            count += call.code == code ? 1 : 0;
        return count;
    }

    qln::test::LogCapture log;
    ScriptedDevices devices;
    ScriptedVolumes volumes;
};

}  // namespace

// ---------------------------------------------------------------------------
// Opening and identification

TEST_F(WindowsDriveTest, TheDriveOpensItsInterfacePathAndReadsItsIdentity) {
    const struct {
        bool removable;
        qln::Int32 kind;
    } cases[] = {{false, libFennick::MEDIA_FIXED}, {true, libFennick::MEDIA_REMOVABLE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.removable);
        devices.clearCalls();
        usbDiskScript().answer(IOCTL_STORAGE_QUERY_PROPERTY,
                               descriptorOf(c.removable, "ACME    ", "  Disk  9 ", "1.0", "SN42"));
        {
            const WindowsDrive drive(usbDisk());
            EXPECT_TRUE(drive.getHandle().isValid());
            EXPECT_EQ(libFennick::DRIVE_LOCATOR_INSTANCE_ID, drive.getLocatorType());
            EXPECT_EQ(deviceId(USB_DISK), drive.getLocator().native());
            ASSERT_NE(nullptr, drive.getDevice());
            EXPECT_EQ(deviceId(USB_DISK), drive.getDevice()->getDeviceInstanceId().native());
            EXPECT_EQ(L"ACME    ", drive.getVendor().native());
            EXPECT_EQ(L"  Disk  9 ", drive.getProduct().native());
            EXPECT_EQ(L"ACME Disk 9", drive.getModel().native());
            EXPECT_EQ(L"1.0", drive.getRevision().native());
            EXPECT_EQ(L"SN42", drive.getSerial().native());
            EXPECT_EQ(c.kind, drive.getMediaKind());

            ASSERT_EQ(1u, devices.opens().size());
            const OpenCall& open = devices.opens()[0];
            EXPECT_EQ(static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE), open.access);
            EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), open.share);
            EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), open.disposition);
            // The descriptor told everything: no floppy or geometry question.
            EXPECT_EQ(2u, devices.calls().size());
        }
        EXPECT_EQ(0u, devices.openHandles()) << "the drive closes its handle";
    }
}

TEST_F(WindowsDriveTest, AnUnterminatedDescriptorTextStaysEmpty) {
    std::vector<unsigned char> raw = descriptorOf(false, "ACME", nullptr, nullptr, "SN42");
    raw.pop_back();  // the serial loses its NUL at the end of the buffer
    reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(raw.data())->Size = static_cast<DWORD>(raw.size());
    usbDiskScript().answer(IOCTL_STORAGE_QUERY_PROPERTY, raw);
    const WindowsDrive drive(usbDisk());
    EXPECT_EQ(L"ACME", drive.getVendor().native());
    EXPECT_EQ(L"ACME", drive.getModel().native());
    EXPECT_TRUE(drive.getSerial().isEmpty());
    EXPECT_EQ(1u, log.withPrefix(L"136 ", L"libFennick.CommonStorage").size()) << log.dump();
}

TEST_F(WindowsDriveTest, WithoutDescriptorTheMediaKindComesFromFloppyMediaOrGeometry) {
    const struct {
        const char* name;
        bool floppyMedia;
        bool geometry;
        MEDIA_TYPE media;
        qln::Int32 kind;
        qln::Uint32 sectorSizeAtConstruction;
    } cases[] = {
        {"floppy media", true, true, FixedMedia, libFennick::MEDIA_REMOVABLE, 0},
        {"removable geometry", false, true, RemovableMedia, libFennick::MEDIA_REMOVABLE, 2048},
        {"fixed geometry", false, true, FixedMedia, libFennick::MEDIA_FIXED, 2048},
        {"other geometry", false, true, F3_1Pt44_512, libFennick::MEDIA_UNKNOWN, 2048},
        {"nothing", false, false, FixedMedia, libFennick::MEDIA_UNKNOWN, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDevice& script = usbDiskScript();
        script.answers.clear();
        if (c.floppyMedia)
            script.answer(IOCTL_DISK_GET_MEDIA_TYPES, geometryBytes(F3_1Pt44_512, 512));
        if (c.geometry)
            script.answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, geometryBytes(c.media, 2048));
        const WindowsDrive drive(usbDisk());
        EXPECT_EQ(c.kind, drive.getMediaKind());
        EXPECT_TRUE(drive.getVendor().isEmpty());
        EXPECT_TRUE(drive.getModel().isEmpty());

        // A sector size known from the construction is answered without a request.
        devices.clearCalls();
        const qln::Uint32 expected = c.geometry ? 2048 : 0;
        EXPECT_EQ(expected, drive.getSectorSize());
        EXPECT_EQ(c.sectorSizeAtConstruction != 0 ? 0u : 1u,
                  requestsOf(IOCTL_DISK_GET_DRIVE_GEOMETRY));
    }
}

TEST_F(WindowsDriveTest, SizesAreAskedUntilTheDriveAnswersThenKept) {
    ScriptedDevice& script = usbDiskScript();
    script.answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorOf(false));
    const WindowsDrive drive(usbDisk());

    devices.clearCalls();
    EXPECT_EQ(0u, drive.getSectorSize());
    EXPECT_EQ(0u, drive.getSectorSize());
    EXPECT_EQ(2u, requestsOf(IOCTL_DISK_GET_DRIVE_GEOMETRY));
    EXPECT_EQ(0u, drive.getTotalCapacity());
    EXPECT_EQ(0u, drive.getSectorCount()) << "no sector size, whatever the capacity";

    GET_LENGTH_INFORMATION length;
    length.Length.QuadPart = 1000000000LL;
    script.answer(IOCTL_DISK_GET_LENGTH_INFO, bytesOf(length));
    EXPECT_EQ(1000000000u, drive.getTotalCapacity());
    EXPECT_EQ(0u, drive.getSectorCount());

    script.answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, geometryBytes(FixedMedia, 512));
    EXPECT_EQ(1953125u, drive.getSectorCount());
    devices.clearCalls();
    EXPECT_EQ(512u, drive.getSectorSize());
    EXPECT_EQ(1000000000u, drive.getTotalCapacity());
    EXPECT_EQ(1953125u, drive.getSectorCount());
    EXPECT_TRUE(devices.calls().empty()) << "known sizes are answered by the drive";
}

TEST_F(WindowsDriveTest, ADriveWithoutHandleAnswersNothingButStillFindsRelatedVolumes) {
    devices.add(interfacePath(SCSI_DISK, libFennick::DEVINTERFACE_DISK)).openError =
        ERROR_ACCESS_DENIED;
    relate(USB_DISK_NO_PATH, CM_GETIDLIST_FILTER_REMOVALRELATIONS, {VOLUME});
    relate(SCSI_DISK, CM_GETIDLIST_FILTER_BUSRELATIONS, {VOLUME});
    struct Case {
        const char* name;
        WindowsDevice device;
        qln::Int32 locatorType;
    };
    const Case cases[] = {
        {"no interface path", WindowsDevice(String(deviceId(USB_DISK_NO_PATH).c_str())),
         libFennick::DRIVE_LOCATOR_NONE},
        {"refused open", asFound(SCSI_DISK, libFennick::DEVINTERFACE_DISK, 1),
         libFennick::DRIVE_LOCATOR_INSTANCE_ID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        const WindowsDrive drive(c.device);
        EXPECT_FALSE(drive.getHandle().isValid());
        EXPECT_EQ(c.locatorType, drive.getLocatorType());
        EXPECT_EQ(c.locatorType == 0, drive.getLocator().isEmpty());
        EXPECT_EQ(libFennick::MEDIA_UNKNOWN, drive.getMediaKind());
        EXPECT_TRUE(drive.getVendor().isEmpty());
        EXPECT_TRUE(drive.getSerial().isEmpty());
        EXPECT_EQ(0u, drive.getSectorSize());
        EXPECT_EQ(0u, drive.getTotalCapacity());
        EXPECT_EQ(0u, drive.getSectorCount());

        const VolumeList& found = drive.volumes();
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ(interfacePath(VOLUME, libFennick::DEVINTERFACE_VOLUME),
                  found[0].getDevicePath().native());
        EXPECT_FALSE(found[0].isFloppyControllerVolume());
        EXPECT_EQ(1u, log.withPrefix(L"586 ", kChannel).size()) << log.dump();
    }
}

// ---------------------------------------------------------------------------
// The device-number approach

TEST_F(WindowsDriveTest, TheDeviceNumberApproachMatchesTheDrivesKindAndNumber) {
    addLetterVolume(L'E', DRIVE_FIXED, 3);
    addLetterVolume(L'F', DRIVE_REMOVABLE, 3);
    addLetterVolume(L'G', DRIVE_FIXED, 4);
    addLetterVolume(L'H', DRIVE_CDROM, 3);
    addLetterVolume(L'I', DRIVE_FIXED, 3);
    addLetterVolume(L'J', DRIVE_REMOTE, 3);
    const struct {
        const char* name;
        bool descriptor;
        bool removable;
        DWORD deviceType;
        DWORD deviceNumber;
        std::vector<std::wstring> paths;
        bool unknownMedia;
    } cases[] = {
        {"fixed disk", true, false, FILE_DEVICE_DISK, 3, {letterPath(L'E'), letterPath(L'I')}, false},
        {"removable disk", true, true, FILE_DEVICE_DISK, 3, {letterPath(L'F')}, false},
        {"CD-ROM", true, true, FILE_DEVICE_CD_ROM, 3, {letterPath(L'H')}, false},
        {"another disk", true, false, FILE_DEVICE_DISK, 4, {letterPath(L'G')}, false},
        {"tape", true, true, kTapeDevice, 3, {}, false},
        {"unknown media", false, false, FILE_DEVICE_DISK, 3, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        ScriptedDevice& script = usbDiskScript();
        script.answers.clear();
        if (c.descriptor)
            script.answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorOf(c.removable));
        script.answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, numberOf(c.deviceType, c.deviceNumber));
        const WindowsDrive drive(usbDisk());
        EXPECT_EQ(c.paths, devicePathsOf(drive.volumes()));
        EXPECT_TRUE(log.withPrefix(L"586 ", kChannel).empty()) << log.dump();
        const std::vector<qln::test::LogEntry> unknown = log.withPrefix(L"611 ", kChannel);
        ASSERT_EQ(c.unknownMedia ? 1u : 0u, unknown.size()) << log.dump();
        if (c.unknownMedia) {
            EXPECT_EQ(L"611 Media type unknown", unknown[0].text);
            EXPECT_EQ(3, unknown[0].level);
        }
    }
}

TEST_F(WindowsDriveTest, FloppyLettersAreNeverOpenedForTheirNumbers) {
    addLetterVolume(L'A', DRIVE_REMOVABLE, 3);
    addLetterVolume(L'B', DRIVE_REMOVABLE, 3);
    addLetterVolume(L'F', DRIVE_REMOVABLE, 3);
    usbDiskScript().answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorOf(true));
    usbDiskScript().answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, numberOf(FILE_DEVICE_DISK, 3));
    const WindowsDrive drive(usbDisk());
    EXPECT_EQ(std::vector<std::wstring>{letterPath(L'F')}, devicePathsOf(drive.volumes()));

    for (const OpenCall& open : devices.opens()) {
        EXPECT_NE(letterPath(L'A'), open.path);
        EXPECT_NE(letterPath(L'B'), open.path);
    }
    const std::vector<qln::test::LogEntry> skipped = log.withPrefix(L"449 ", L"libFennick.Volume");
    ASSERT_EQ(2u, skipped.size()) << log.dump();
    for (const qln::test::LogEntry& entry : skipped) {
        EXPECT_EQ(2, entry.level);
        EXPECT_EQ(L"449 Skipping getSDN on floppy drive", entry.text);
    }
    for (wchar_t letter : {L'A', L'B'}) {
        const std::vector<qln::test::LogEntry> failed =
            log.withPrefix(L"61 Failed to get SDN on " + letterPath(letter), kChannel);
        ASSERT_EQ(1u, failed.size()) << log.dump();
        EXPECT_EQ(L"61 Failed to get SDN on " + letterPath(letter), failed[0].text);
        EXPECT_EQ(3, failed[0].level);
    }
}

// ---------------------------------------------------------------------------
// The relation approach and the choice between the two

TEST_F(WindowsDriveTest, TheRelationListReplacesTheOtherOnlyWhenItIsLonger) {
    addLetterVolume(L'E', DRIVE_FIXED, 3);
    usbDiskScript().answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorOf(false));
    usbDiskScript().answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, numberOf(FILE_DEVICE_DISK, 3));
    const std::wstring volume = interfacePath(VOLUME, libFennick::DEVINTERFACE_VOLUME);
    const std::wstring hidden = interfacePath(HIDDEN_VOLUME, libFennick::DEVINTERFACE_HIDDEN_VOLUME);
    const struct {
        const char* name;
        std::vector<TestDevice> removal;
        std::vector<TestDevice> bus;
        std::vector<std::wstring> paths;
    } cases[] = {
        {"as many", {VOLUME}, {}, {letterPath(L'E')}},
        {"one more", {HIDDEN_VOLUME}, {VOLUME, HIDDEN_VOLUME}, {hidden, volume}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        node(USB_DISK).relations.clear();
        relate(USB_DISK, CM_GETIDLIST_FILTER_REMOVALRELATIONS, c.removal);
        relate(USB_DISK, CM_GETIDLIST_FILTER_BUSRELATIONS, c.bus);
        const WindowsDrive drive(usbDisk());
        const VolumeList& found = drive.volumes();
        EXPECT_EQ(c.paths, devicePathsOf(found));
        for (const Volume& each : found)
            EXPECT_FALSE(each.isFloppyControllerVolume());

        const std::vector<qln::test::LogEntry> replaced = log.withPrefix(L"586 ", kChannel);
        if (c.paths.size() == 1) {
            EXPECT_TRUE(replaced.empty()) << log.dump();
            continue;
        }
        ASSERT_EQ(1u, replaced.size()) << log.dump();
        EXPECT_EQ(2, replaced[0].level);
        EXPECT_EQ(L"586 Volume Enum (" + deviceId(USB_DISK) +
                      L") - Using relation approach over SDN approach.",
                  replaced[0].text);
    }
}

TEST_F(WindowsDriveTest, AFloppyOnTheFloppyControllerUsesTheDeviceTreeAlone) {
    relate(FLOPPY_DRIVE, CM_GETIDLIST_FILTER_BUSRELATIONS, {VOLUME});
    const std::wstring volume = interfacePath(VOLUME, libFennick::DEVINTERFACE_VOLUME);
    // The drive's own id comes last: its volume interface is one of its volumes.
    const std::wstring own = interfacePath(FLOPPY_DRIVE, libFennick::DEVINTERFACE_VOLUME);
    const struct {
        const wchar_t* enumerator;
        bool onController;
    } cases[] = {{L"FDC", true}, {L"fdc", true}, {L"ACPI", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.enumerator, c.enumerator + wcslen(c.enumerator)));
        node(FLOPPY_DRIVE).setText(SPDRP_ENUMERATOR_NAME, c.enumerator);
        devices.clearCalls();
        volumes.clearCalls();
        const WindowsDrive drive(asFound(FLOPPY_DRIVE, libFennick::DEVINTERFACE_FLOPPY, 4));
        const VolumeList& found = drive.volumes();
        EXPECT_EQ((std::vector<std::wstring>{volume, own}), devicePathsOf(found));
        for (const Volume& each : found)
            EXPECT_EQ(c.onController, each.isFloppyControllerVolume());
        EXPECT_EQ(c.onController ? 0u : 1u, volumes.searches());
    }
}

TEST_F(WindowsDriveTest, ASecondCallSendsNothing) {
    addLetterVolume(L'E', DRIVE_FIXED, 3);
    const struct {
        const char* name;
        DWORD deviceNumber;
        std::size_t volumes;
    } cases[] = {{"found one", 3, 1}, {"found none", 9, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        usbDiskScript().answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorOf(false));
        usbDiskScript().answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, numberOf(FILE_DEVICE_DISK, c.deviceNumber));
        const WindowsDrive drive(usbDisk());
        const VolumeList& first = drive.volumes();
        EXPECT_EQ(c.volumes, first.size());

        devices.clearCalls();
        volumes.clearCalls();
        tree.clearCalls();
        const VolumeList& second = drive.volumes();
        EXPECT_EQ(&first, &second);
        EXPECT_EQ(c.volumes, second.size());
        EXPECT_TRUE(devices.opens().empty());
        EXPECT_TRUE(devices.calls().empty());
        EXPECT_EQ(0u, volumes.searches());
        EXPECT_EQ(0u, tree.calls().configurationCalls());
    }
}

namespace {

typedef CONFIGRET(WINAPI* DeviceIdFn)(DEVINST, PWCHAR, ULONG, ULONG);
DeviceIdFn s_deviceId = nullptr;
unsigned s_deviceIdCalls = 0;

CONFIGRET WINAPI countingDeviceId(DEVINST node, PWCHAR buffer, ULONG length, ULONG flags) {
    ++s_deviceIdCalls;
    return s_deviceId(node, buffer, length, flags);
}

// Counts the device-id requests over the fake tree's own answer, to see
// calls for any node, node 0 too.
class RelationQueryTest : public WindowsDriveTest {
protected:
    RelationQueryTest()
        : counting(GetModuleHandleW(nullptr), "setupapi.dll", "CM_Get_Device_IDW",
                   reinterpret_cast<void*>(&countingDeviceId)) {}
    void SetUp() override {
        WindowsDriveTest::SetUp();
        ASSERT_TRUE(counting.applied());
        s_deviceId = counting.originalAs<DeviceIdFn>();
        s_deviceIdCalls = 0;
    }

    qln::test::ImportPatch counting;
};

}  // namespace

TEST_F(RelationQueryTest, ADriveWhoseNodeCannotBeLocatedAsksNoRelations) {
    node(FLOPPY_DRIVE).locateResult = CR_NO_SUCH_DEVNODE;
    relate(FLOPPY_DRIVE, CM_GETIDLIST_FILTER_BUSRELATIONS, {VOLUME});
    node(FLOPPY_DRIVE).setText(SPDRP_ENUMERATOR_NAME, L"FDC");
    const WindowsDrive drive(asFound(FLOPPY_DRIVE, libFennick::DEVINTERFACE_FLOPPY, 4));
    tree.clearCalls();
    const VolumeList& found = drive.volumes();

    // Only the drive's own id: its own volume interface.
    EXPECT_EQ(std::vector<std::wstring>{interfacePath(FLOPPY_DRIVE, libFennick::DEVINTERFACE_VOLUME)},
              devicePathsOf(found));
    EXPECT_EQ(std::vector<std::wstring>{deviceId(FLOPPY_DRIVE)}, tree.calls().locatedIds);
    EXPECT_EQ(0u, s_deviceIdCalls);
    EXPECT_EQ(0u, tree.calls().listSizeCalls);
    EXPECT_EQ(0u, tree.calls().listCalls);
}

TEST_F(RelationQueryTest, ADeviceWithoutInstanceIdIsNotLocatedAsTheRoot) {
    const WindowsDrive drive((WindowsDevice(String())));
    tree.clearCalls();
    EXPECT_EQ(0u, drive.volumes().size());
    EXPECT_TRUE(tree.calls().locatedIds.empty());
    EXPECT_EQ(0u, s_deviceIdCalls);
}
