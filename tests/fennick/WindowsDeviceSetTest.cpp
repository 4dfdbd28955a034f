// The class and interface enumerations and libFennick::WindowsDeviceSet.
#include <algorithm>
#include <map>

#include "FennickTestDevices.h"
#include "ImportPatch.h"

using libFennick::WindowsDevice;
using libFennick::WindowsDeviceList;
using libFennick::WindowsDeviceSet;
using qln::String;
using namespace fennick_test;

namespace {

const ULONG DN_NO_SHOW_IN_DM_BIT = 0x40000000;
const ULONG DN_MOVED_BIT = 0x1000;
const ULONG DN_STARTED_BIT = 0x8;

std::vector<std::wstring> idsOf(const std::vector<const WindowsDevice*>& devices) {
    std::vector<std::wstring> ids;
    for (const WindowsDevice* device : devices)
        ids.push_back(device->getDeviceInstanceId().native());
    return ids;
}

const WindowsDevice* findIn(const WindowsDeviceList& devices, TestDevice which) {
    int position = positionOf(devices, deviceId(which));
    return position < 0 ? nullptr : &devices[position];
}

WindowsDevice deviceOf(TestDevice which) { return WindowsDevice(String(deviceId(which).c_str())); }

}  // namespace

// ---------------------------------------------------------------------------
// Joining the setup-class view and the interface view

TEST_F(FennickTest, DiskClassAndDiskInterfaceAreJoinedByInstanceId) {
    WindowsDeviceList devices;
    libFennick::enumerateClassDevices(devices, &libFennick::DEVCLASS_DISKDRIVE,
                                      &libFennick::DEVINTERFACE_DISK, 1, 0);
    struct Expected {
        TestDevice device;
        bool hasPath;
    };
    const Expected expected[] = {{USB_DISK, true},          {HIDDEN_USB_DISK, true},
                                 {SCSI_DISK, true},         {USB_DISK_NO_PATH, false},
                                 {INTERFACE_ONLY_DISK, true}};
    for (const Expected& e : expected) {
        int count = 0;
        int position = positionOf(devices, deviceId(e.device), &count);
        ASSERT_EQ(1, count) << "listed once: " << deviceId(e.device);
        const WindowsDevice& device = devices[position];
        EXPECT_EQ(e.hasPath ? interfacePath(e.device, libFennick::DEVINTERFACE_DISK) : L"",
                  device.getOsLocator().native());
        EXPECT_EQ(1u, device.getDeviceKind()) << deviceId(e.device);
    }
    EXPECT_EQ(5u, testDevicesIn(devices).size()) << "only disks are listed";

    // The device that only the interface view lists comes after every device
    // of the setup class.
    const int interfaceOnly = positionOf(devices, deviceId(INTERFACE_ONLY_DISK));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (IsEqualGUID(devices[i].getDeviceInfoData().ClassGuid, libFennick::DEVCLASS_DISKDRIVE)) {
            EXPECT_LT(static_cast<int>(i), interfaceOnly);
        }
    }
    EXPECT_EQ(L"Generic volume", devices[interfaceOnly].getDeviceDescription().native());
}

TEST_F(FennickTest, FlagTwoLeavesOutInterfaceOnlyDevices) {
    WindowsDeviceList devices;
    libFennick::enumerateClassDevices(devices, &libFennick::DEVCLASS_DISKDRIVE,
                                      &libFennick::DEVINTERFACE_DISK, 1,
                                      libFennick::ENUMERATE_SKIP_INTERFACE_ONLY);
    EXPECT_EQ(-1, positionOf(devices, deviceId(INTERFACE_ONLY_DISK)));
    const WindowsDevice* usb = findIn(devices, USB_DISK);
    ASSERT_NE(nullptr, usb);
    EXPECT_EQ(interfacePath(USB_DISK, libFennick::DEVINTERFACE_DISK), usb->getOsLocator().native());
    EXPECT_EQ(4u, testDevicesIn(devices).size());
}

namespace {

HDEVINFO(WINAPI* s_realGetClassDevs)(const GUID*, PCWSTR, HWND, DWORD) = nullptr;
int s_refusedClassSets = 0;

// Refuses the disk drives' setup-class set; interface sets and every other
// class go to the real service.
HDEVINFO WINAPI refusingDiskClass(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags) {
    if (classGuid != nullptr && IsEqualGUID(*classGuid, libFennick::DEVCLASS_DISKDRIVE) &&
        (flags & DIGCF_DEVICEINTERFACE) == 0) {
        ++s_refusedClassSets;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return s_realGetClassDevs(classGuid, enumerator, parent, flags);
}

}  // namespace

TEST_F(FennickTest, WithoutTheClassSetNothingIsAppended) {
    qln::test::ImportPatch patch(GetModuleHandleW(nullptr), "setupapi.dll", "SetupDiGetClassDevsW",
                                 reinterpret_cast<void*>(&refusingDiskClass));
    ASSERT_TRUE(patch.applied());
    s_realGetClassDevs = patch.originalAs<HDEVINFO(WINAPI*)(const GUID*, PCWSTR, HWND, DWORD)>();
    s_refusedClassSets = 0;

    // The interface-only disk would be listed with the class set; without
    // it the list the caller gave keeps what it held and gains nothing.
    struct Case {
        const GUID* interfaceClass;
        qln::Uint32 flags;
    };
    const Case cases[] = {{&libFennick::DEVINTERFACE_DISK, 0},
                          {&libFennick::DEVINTERFACE_DISK, libFennick::ENUMERATE_SKIP_INTERFACE_ONLY},
                          {nullptr, 0}};
    for (const Case& c : cases) {
        WindowsDeviceList devices;
        devices.push_back(deviceOf(CDROM_DRIVE));
        libFennick::enumerateClassDevices(devices, &libFennick::DEVCLASS_DISKDRIVE, c.interfaceClass, 1,
                                          c.flags);
        ASSERT_EQ(1u, devices.size()) << "flags " << c.flags;
        EXPECT_EQ(deviceId(CDROM_DRIVE), devices[0].getDeviceInstanceId().native());
    }
    EXPECT_EQ(3, s_refusedClassSets);

    // The other classes are still listed through the same import.
    WindowsDeviceList cdroms;
    libFennick::enumerateClassDevices(cdroms, &libFennick::DEVCLASS_CDROM, &libFennick::DEVINTERFACE_CDROM, 2, 0);
    EXPECT_NE(nullptr, findIn(cdroms, CDROM_DRIVE));
}

TEST_F(FennickTest, EachStorageClassJoinsItsInterface) {
    using namespace libFennick;
    struct Case {
        const GUID* setupClass;
        const GUID* interfaceClass;
        qln::Uint32 kind;
        qln::Uint32 flags;
        TestDevice device;
        std::vector<TestDevice> listed;  // the test devices listed, in any order
    };
    const Case cases[] = {
        {&DEVCLASS_CDROM, &DEVINTERFACE_CDROM, 2, 0, CDROM_DRIVE, {CDROM_DRIVE}},
        {&DEVCLASS_TAPEDRIVE, &DEVINTERFACE_TAPE, 8, 0, TAPE_DRIVE, {TAPE_DRIVE}},
        {&DEVCLASS_FLOPPYDISK, &DEVINTERFACE_FLOPPY, 4, 0, FLOPPY_DRIVE, {FLOPPY_DRIVE}},
        {&DEVCLASS_FLOPPYDISK, &DEVINTERFACE_VOLUME, 4, 2, FLOPPY_DRIVE, {FLOPPY_DRIVE}},
        {&DEVCLASS_FLOPPYDISK, &DEVINTERFACE_VOLUME, 4, 0, FLOPPY_DRIVE, {FLOPPY_DRIVE, VOLUME}},
    };
    for (const Case& c : cases) {
        WindowsDeviceList devices;
        enumerateClassDevices(devices, c.setupClass, c.interfaceClass, c.kind, c.flags);
        const WindowsDevice* device = findIn(devices, c.device);
        ASSERT_NE(nullptr, device) << deviceId(c.device);
        EXPECT_EQ(interfacePath(c.device, *c.interfaceClass), device->getOsLocator().native());
        EXPECT_FALSE(device->getOsLocator().isEmpty());
        EXPECT_EQ(c.kind, device->getDeviceKind());
        std::vector<std::wstring> listed = idsOf(testDevicesIn(devices));
        EXPECT_EQ(c.listed.size(), listed.size()) << deviceId(c.device) << " flags " << c.flags;
        for (TestDevice d : c.listed)
            EXPECT_NE(-1, positionOf(devices, deviceId(d)));
    }
}

TEST_F(FennickTest, SetupClassAloneListsDevicesWithoutPaths) {
    WindowsDeviceList devices;
    libFennick::enumerateClassDevices(devices, &libFennick::DEVCLASS_DISKDRIVE, nullptr, 1, 0);
    std::vector<const WindowsDevice*> own = testDevicesIn(devices);
    EXPECT_EQ(4u, own.size());
    for (const WindowsDevice* device : own) {
        EXPECT_TRUE(device->getOsLocator().isEmpty());
        EXPECT_EQ(1u, device->getDeviceKind());
    }
}

TEST_F(FennickTest, NoClassAtAllListsEveryPresentDeviceOnce) {
    WindowsDeviceList devices;
    libFennick::enumerateClassDevices(devices, nullptr, nullptr, 8, 0);
    for (int i = 0; i < TEST_DEVICE_COUNT; ++i) {
        int count = 0;
        int position = positionOf(devices, deviceId(static_cast<TestDevice>(i)), &count);
        ASSERT_EQ(1, count) << deviceId(static_cast<TestDevice>(i));
        EXPECT_TRUE(devices[position].getOsLocator().isEmpty());
        EXPECT_EQ(8u, devices[position].getDeviceKind());
    }
    for (const WindowsDevice& device : devices)
        EXPECT_EQ(device.getDeviceInstanceId().isEmpty() ? 0u : 8u, device.getDeviceKind());
}

TEST_F(FennickTest, InterfaceClassAloneListsItsDevicesWithPathsAndKind) {
    struct Case {
        const GUID* interfaceClass;
        std::vector<TestDevice> listed;
    };
    const Case cases[] = {
        {&libFennick::DEVINTERFACE_VOLUME, {FLOPPY_DRIVE, VOLUME}},
        {&libFennick::DEVINTERFACE_HIDDEN_VOLUME, {HIDDEN_VOLUME}},
    };
    for (const Case& c : cases) {
        WindowsDeviceList devices;
        libFennick::enumerateClassDevices(devices, nullptr, c.interfaceClass, 16, 1);
        EXPECT_EQ(c.listed.size(), testDevicesIn(devices).size());
        for (TestDevice d : c.listed) {
            const WindowsDevice* device = findIn(devices, d);
            ASSERT_NE(nullptr, device) << deviceId(d);
            EXPECT_EQ(interfacePath(d, *c.interfaceClass), device->getOsLocator().native());
            EXPECT_EQ(16u, device->getDeviceKind());
        }
    }
}

TEST_F(FennickTest, InterfaceEnumerationFillsThePathTable) {
    libFennick::DevicePathTable paths(32);
    libFennick::enumerateInterfaceDevices(paths, &libFennick::DEVINTERFACE_DISK, 1, nullptr);
    for (TestDevice d : {USB_DISK, HIDDEN_USB_DISK, SCSI_DISK, INTERFACE_ONLY_DISK}) {
        const String* path = paths.lookup(String(deviceId(d).c_str()));
        ASSERT_NE(nullptr, path) << deviceId(d);
        EXPECT_EQ(interfacePath(d, libFennick::DEVINTERFACE_DISK), path->native());
    }
    EXPECT_EQ(nullptr, paths.lookup(String(deviceId(USB_DISK_NO_PATH).c_str())));
}

TEST_F(FennickTest, ADeviceWithoutTheInterfaceEndsTheInterfaceEnumeration) {
    // Under each private interface class one device has a linked interface
    // and one an unlinked one; the unlinked one comes first under the first
    // class and last under the second.
    WindowsDeviceList devices;
    libFennick::DevicePathTable paths(32);
    libFennick::enumerateInterfaceDevices(paths, &ENDS_AT_FIRST_INTERFACE, 16, &devices);
    EXPECT_TRUE(devices.empty());

    libFennick::enumerateInterfaceDevices(paths, &ENDS_AT_SECOND_INTERFACE, 16, &devices);
    ASSERT_EQ(1u, devices.size());
    EXPECT_EQ(deviceId(LINKED_FIRST), devices[0].getDeviceInstanceId().native());
    EXPECT_EQ(interfacePath(LINKED_FIRST, ENDS_AT_SECOND_INTERFACE), devices[0].getOsLocator().native());
}

// ---------------------------------------------------------------------------
// Device sets

TEST_F(FennickTest, UsbDisksAreAppendedOnce) {
    node(HIDDEN_USB_DISK).status = DN_STARTED_BIT | DN_NO_SHOW_IN_DM_BIT;
    WindowsDeviceSet set;
    set.appendUsbDisks();
    const std::vector<std::wstring> expected = {deviceId(USB_DISK), deviceId(USB_DISK_NO_PATH)};
    std::vector<std::wstring> own = idsOf(testDevicesIn(set.devices()));
    std::sort(own.begin(), own.end());
    EXPECT_EQ(expected, own) << "not the SCSI disk, the hidden one or the interface-only device";

    const WindowsDevice* usb = findIn(set.devices(), USB_DISK);
    ASSERT_NE(nullptr, usb);
    EXPECT_EQ(interfacePath(USB_DISK, libFennick::DEVINTERFACE_DISK), usb->getOsLocator().native());
    EXPECT_EQ(1u, usb->getDeviceKind());
    EXPECT_EQ(0x4u, usb->getBusTypeMask());
    const WindowsDevice* noPath = findIn(set.devices(), USB_DISK_NO_PATH);
    ASSERT_NE(nullptr, noPath);
    EXPECT_TRUE(noPath->getOsLocator().isEmpty());

    const std::size_t size = set.devices().size();
    set.appendUsbDisks();
    EXPECT_EQ(size, set.devices().size());
    std::size_t iterated = 0;
    for (WindowsDevice& device : set) {
        EXPECT_EQ(0x4u, device.getBusTypeMask() & 0x4u);
        ++iterated;
    }
    EXPECT_EQ(size, iterated);
}

TEST_F(FennickTest, UsbDisksFillAPathThatIsStillEmpty) {
    WindowsDeviceSet set;
    set.addUniqueDevice(deviceOf(USB_DISK), true);
    ASSERT_TRUE(set.devices()[0].getOsLocator().isEmpty());
    set.appendUsbDisks();
    int count = 0;
    int position = positionOf(set.devices(), deviceId(USB_DISK), &count);
    EXPECT_EQ(0, position);
    EXPECT_EQ(1, count);
    EXPECT_EQ(interfacePath(USB_DISK, libFennick::DEVINTERFACE_DISK),
              set.devices()[0].getOsLocator().native());
    EXPECT_EQ(1u, set.devices()[0].getDeviceKind());
}

TEST_F(FennickTest, InterfaceDevicesSkipTheHiddenNodeTest) {
    node(HIDDEN_USB_DISK).status = DN_NO_SHOW_IN_DM_BIT;
    WindowsDeviceSet set;
    set.appendInterfaceDevices(&libFennick::DEVINTERFACE_DISK, 1);
    for (TestDevice d : {USB_DISK, HIDDEN_USB_DISK, SCSI_DISK, INTERFACE_ONLY_DISK}) {
        const WindowsDevice* device = findIn(set.devices(), d);
        ASSERT_NE(nullptr, device) << deviceId(d);
        EXPECT_EQ(1u, device->getDeviceKind());
    }
    EXPECT_EQ(-1, positionOf(set.devices(), deviceId(USB_DISK_NO_PATH)));
    EXPECT_EQ(0u, tree.calls().statusCalls);
}

TEST_F(FennickTest, HiddenNodeRule) {
    struct Case {
        const char* what;
        ULONG status;
        CONFIGRET locateResult;
        CONFIGRET statusResult;
        bool stubOutputs;
        bool skipTest;
        bool appended;
    };
    const Case cases[] = {
        {"started node", DN_STARTED_BIT, CR_SUCCESS, CR_SUCCESS, false, false, true},
        {"status 0", 0, CR_SUCCESS, CR_SUCCESS, false, false, true},
        {"not shown in the device manager", DN_NO_SHOW_IN_DM_BIT, CR_SUCCESS, CR_SUCCESS, false, false, false},
        {"moved", DN_MOVED_BIT, CR_SUCCESS, CR_SUCCESS, false, false, false},
        {"started and moved", DN_STARTED_BIT | DN_MOVED_BIT, CR_SUCCESS, CR_SUCCESS, false, false, false},
        {"both bits", DN_NO_SHOW_IN_DM_BIT | DN_MOVED_BIT, CR_SUCCESS, CR_SUCCESS, false, false, false},
        {"hidden, test skipped", DN_NO_SHOW_IN_DM_BIT, CR_SUCCESS, CR_SUCCESS, false, true, true},
        {"node not present", DN_NO_SHOW_IN_DM_BIT, CR_NO_SUCH_DEVNODE, CR_SUCCESS, false, false, true},
        {"status unknown", DN_NO_SHOW_IN_DM_BIT, CR_SUCCESS, CR_NO_SUCH_DEVNODE, false, false, true},
        {"status query writes nothing", DN_NO_SHOW_IN_DM_BIT, CR_SUCCESS, CR_SUCCESS, true, false, true},
    };
    for (const Case& c : cases) {
        qln::test::FakeNode& fake = node(USB_DISK);
        fake.status = c.status;
        fake.locateResult = c.locateResult;
        fake.statusResult = c.statusResult;
        fake.stubOutputs = c.stubOutputs;
        WindowsDevice device = deviceOf(USB_DISK);
        WindowsDeviceSet set;
        poisonStack();
        set.addUniqueDevice(device, c.skipTest);
        EXPECT_EQ(c.appended ? 1u : 0u, set.devices().size()) << c.what;
    }
}

TEST_F(FennickTest, ADuplicateOnlyFillsAnEmptyPath) {
    struct Case {
        const char* what;
        const wchar_t* presentPath;
        qln::Uint32 presentKind;
        const wchar_t* incomingPath;
        qln::Uint32 incomingKind;
        const wchar_t* path;
        qln::Uint32 kind;
    };
    const Case cases[] = {
        {"path present: nothing changes", L"\\\\?\\present", 1, L"\\\\?\\other", 16, L"\\\\?\\present", 1},
        {"path present, none incoming", L"\\\\?\\present", 1, L"", 16, L"\\\\?\\present", 1},
        {"empty path takes path and kind", L"", 0, L"\\\\?\\other", 16, L"\\\\?\\other", 16},
        {"empty path takes the kind alone", L"", 0, L"", 4, L"", 4},
    };
    for (const Case& c : cases) {
        WindowsDevice present = deviceOf(SCSI_DISK);
        present.setOsLocator(String(c.presentPath));
        present.setDeviceKind(c.presentKind);
        WindowsDevice incoming = deviceOf(SCSI_DISK);
        incoming.setOsLocator(String(c.incomingPath));
        incoming.setDeviceKind(c.incomingKind);
        WindowsDeviceSet set;
        set.addUniqueDevice(present, true);
        set.addUniqueDevice(incoming, false);
        ASSERT_EQ(1u, set.devices().size()) << c.what;
        EXPECT_EQ(std::wstring(c.path), set.devices()[0].getOsLocator().native()) << c.what;
        EXPECT_EQ(c.kind, set.devices()[0].getDeviceKind()) << c.what;
    }
}

TEST_F(FennickTest, DevicesWithoutIdMergeAndAskNoNode) {
    WindowsDevice first{String()};
    first.setOsLocator(String(L"\\\\?\\first"));
    WindowsDevice second{String()};
    second.setOsLocator(String(L"\\\\?\\second"));
    WindowsDeviceSet set;
    set.addUniqueDevice(first, false);
    set.addUniqueDevice(second, false);
    ASSERT_EQ(1u, set.devices().size());
    EXPECT_EQ(L"\\\\?\\first", set.devices()[0].getOsLocator().native());
    EXPECT_TRUE(tree.calls().locatedIds.empty());
    EXPECT_EQ(0u, tree.calls().configurationCalls());
}

TEST_F(FennickTest, UniqueDevicesKeepTheirOrder) {
    WindowsDeviceList list = {deviceOf(SCSI_DISK), deviceOf(USB_DISK), deviceOf(SCSI_DISK),
                              deviceOf(TAPE_DRIVE)};
    WindowsDeviceSet set;
    set.addUniqueDevice(deviceOf(TAPE_DRIVE), true);
    set.appendUniqueDevices(list, false);
    EXPECT_EQ((std::vector<std::wstring>{deviceId(TAPE_DRIVE), deviceId(SCSI_DISK), deviceId(USB_DISK)}),
              idsOf(testDevicesIn(set.devices())));
    EXPECT_LE(5u, set.devices().capacity());
}

// ---------------------------------------------------------------------------
// collectValues

TEST(CollectValues, NumbersByDevice) {
    const std::multimap<unsigned int, unsigned int> volumes = {
        {1, 10}, {2, 20}, {1, 11}, {3, 30}, {1, 12}};
    struct Case {
        unsigned int key;
        std::vector<unsigned int> before;
        std::vector<unsigned int> after;
    };
    const Case cases[] = {
        {1, {}, {10, 11, 12}},
        {1, {99}, {99, 10, 11, 12}},
        {3, {7, 8}, {7, 8, 30}},
        {5, {7, 8}, {7, 8}},
        {0, {}, {}},
    };
    for (const Case& c : cases) {
        qln::Array<unsigned int> values;
        for (unsigned int v : c.before)
            values.append(v);
        EXPECT_EQ(c.after.size(), libFennick::collectValues(volumes, c.key, values));
        std::vector<unsigned int> got(values.begin(), values.end());
        EXPECT_EQ(c.after, got) << "key " << c.key;
    }
}

TEST(CollectValues, LettersByVolume) {
    const std::multimap<String, char> letters = {
        {String(L"\\\\?\\Volume{1}\\"), 'E'}, {String(L"\\\\?\\Volume{2}\\"), 'C'},
        {String(L"\\\\?\\Volume{1}\\"), 'F'}};
    qln::Array<char> values;
    EXPECT_EQ(2u, libFennick::collectValues(letters, String(L"\\\\?\\Volume{1}\\"), values));
    EXPECT_EQ((std::vector<char>{'E', 'F'}), std::vector<char>(values.begin(), values.end()));
    EXPECT_EQ(2u, libFennick::collectValues(letters, String(L"\\\\?\\volume{1}\\"), values));
}
