// libFennick::WindowsDevice and the device-node functions.
#include <cstring>
#include <map>
#include <memory>

#include "FennickTestDevices.h"
#include "ImportPatch.h"

using libFennick::WindowsDevice;
using libFennick::WindowsDeviceList;
using qln::String;
using namespace fennick_test;

namespace {

std::vector<BYTE> bytesOf(const void* data, std::size_t size) {
    const BYTE* first = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(first, first + size);
}

std::wstring text(const String& s) { return s.native(); }

std::vector<std::wstring> texts(const qln::Array<String>& array) {
    std::vector<std::wstring> out;
    for (qln::Uint32 i = 0; i < array.size(); ++i)
        out.push_back(array[i].native());
    return out;
}

qln::Array<String> arrayOf(const std::vector<std::wstring>& items) {
    qln::Array<String> array;
    for (const std::wstring& item : items)
        array.append(String(item.c_str()));
    return array;
}

}  // namespace

// ---------------------------------------------------------------------------
// Bus-type table

TEST(WindowsDeviceBusType, TableRowsLetterCaseAndDefault) {
    struct Case {
        const wchar_t* enumerator;
        qln::Uint32 mask;
    };
    const Case cases[] = {
        {L"IDE", 0x1},      {L"SCSI", 0x2},     {L"USBSTOR", 0x4},  {L"USB", 0x8},
        {L"PCI", 0x10},     {L"PCIIDE", 0x20},  {L"ACPI", 0x100},   {L"SBP2", 0x200},
        {L"1394", 0x400},   {L"SD", 0x800},     {L"PCMCIA", 0x1000}, {L"DISPLAY", 0x2000},
        {L"usbstor", 0x4},  {L"UsbStor", 0x4},  {L"pciide", 0x20},  {L"usb", 0x8},
        {L"USBSTOR2", 0x4000}, {L"USBST", 0x4000}, {L"HDAUDIO", 0x4000}, {L"ROOT", 0x4000},
        {L" SCSI", 0x4000}, {L"", 0x4000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mask, WindowsDevice::busTypeFromEnumerator(String(c.enumerator)))
            << "enumerator \"" << std::wstring(c.enumerator) << "\"";
}

// ---------------------------------------------------------------------------
// Construction

TEST_F(FennickTest, ConstructionFromAKnownIdReadsIdNamesAndBus) {
    WindowsDevice device(String(deviceId(USB_DISK).c_str()));
    EXPECT_EQ(deviceId(USB_DISK), text(device.getDeviceInstanceId()));
    EXPECT_TRUE(device.getDeviceInfoSet().isValid());
    EXPECT_EQ(1, device.getDeviceInfoSet().useCount());
    EXPECT_EQ(L"Fennick USB disk", text(device.getFriendlyName()));
    EXPECT_EQ(L"Disk drive", text(device.getDeviceDescription()));
    EXPECT_EQ(L"USBSTOR", text(device.getEnumeratorName()));
    EXPECT_EQ(0x4u, device.getBusTypeMask());
    EXPECT_EQ(0u, device.getDeviceKind());
    EXPECT_TRUE(device.getOsLocator().isEmpty());
}

TEST_F(FennickTest, BusTypeFollowsTheEnumeratorNameOfTheDevice) {
    struct Case {
        const wchar_t* enumerator;  // null: the property is missing, as under Wine
        qln::Uint32 mask;
    };
    const Case cases[] = {{L"usbstor", 0x4}, {L"USB", 0x8}, {L"Pci", 0x10}, {L"STORAGE", 0x4000},
                          {nullptr, 0x4000}};
    for (const Case& c : cases) {
        if (c.enumerator)
            node(SCSI_DISK).setText(SPDRP_ENUMERATOR_NAME, c.enumerator);
        else
            node(SCSI_DISK).properties.erase(SPDRP_ENUMERATOR_NAME);
        WindowsDevice device(String(deviceId(SCSI_DISK).c_str()));
        EXPECT_EQ(c.mask, device.getBusTypeMask()) << std::wstring(c.enumerator ? c.enumerator : L"(none)");
        EXPECT_EQ(c.enumerator ? c.enumerator : L"", text(device.getEnumeratorName()));
    }
}

TEST_F(FennickTest, ConstructionFromAnUnknownIdKeepsOnlyTheId) {
    const String id(L"QLNFENNICK\\DISK\\NOT_THERE");
    WindowsDevice device(id);
    EXPECT_EQ(id, device.getDeviceInstanceId());
    EXPECT_FALSE(device.getDeviceInfoSet().isValid());
    EXPECT_EQ(nullptr, device.getDeviceInfoSet().getManager());
    EXPECT_TRUE(device.getFriendlyName().isEmpty());
    EXPECT_TRUE(device.getDeviceDescription().isEmpty());
    EXPECT_TRUE(device.getEnumeratorName().isEmpty());
    EXPECT_EQ(0x4000u, device.getBusTypeMask());
    EXPECT_EQ(0u, device.getDeviceKind());
    for (qln::Uint32 property = 0; property <= WindowsDevice::MAXIMUM_PROPERTY + 1; ++property) {
        String value(L"untouched");
        EXPECT_FALSE(device.getStringProperty(property, value)) << "property " << property;
        EXPECT_EQ(L"untouched", text(value));
    }
}

TEST_F(FennickTest, AnEmptyIdOpensNoDeviceAndAsksNoNode) {
    WindowsDevice device{String()};
    EXPECT_FALSE(device.getDeviceInfoSet().isValid());
    EXPECT_TRUE(device.getFriendlyName().isEmpty());
    EXPECT_EQ(0x4000u, device.getBusTypeMask());
    EXPECT_TRUE(device.getParentDeviceInstanceId().isEmpty());
    EXPECT_TRUE(tree.calls().locatedIds.empty());
    EXPECT_EQ(0u, tree.calls().configurationCalls());
}

TEST_F(FennickTest, ConstructionFromAnElementWithoutASetGivesAnEmptyDevice) {
    SP_DEVINFO_DATA element = SP_DEVINFO_DATA();
    element.cbSize = sizeof(element);
    WindowsDevice device(libFennick::SharedDeviceInfoSet(), element);
    EXPECT_TRUE(device.getDeviceInstanceId().isEmpty());
    EXPECT_FALSE(device.getDeviceInfoSet().isValid());
    EXPECT_TRUE(device.getFriendlyName().isEmpty());
    EXPECT_EQ(0x4000u, device.getBusTypeMask());
}

TEST_F(FennickTest, ConstructionFromAnElementSharesTheSetAndReadsTheDevice) {
    HDEVINFO handle = SetupDiGetClassDevsW(&libFennick::DEVCLASS_TAPEDRIVE, nullptr, nullptr,
                                           DIGCF_PRESENT);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    libFennick::SharedDeviceInfoSet set(handle);
    bool found = false;
    SP_DEVINFO_DATA element = SP_DEVINFO_DATA();
    element.cbSize = sizeof(element);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(handle, i, &element); ++i) {
        WindowsDevice device(set, element);
        EXPECT_EQ(2, set.useCount());
        EXPECT_EQ(handle, device.getDeviceInfoSet().get());
        EXPECT_EQ(0, std::memcmp(&element, &device.getDeviceInfoData(), sizeof(element)));
        if (device.getDeviceInstanceId().native() == deviceId(TAPE_DRIVE)) {
            found = true;
            EXPECT_EQ(L"Fennick tape", text(device.getFriendlyName()));
            EXPECT_EQ(L"Tape drive", text(device.getDeviceDescription()));
            EXPECT_EQ(0x2u, device.getBusTypeMask());
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(1, set.useCount());
}

// ---------------------------------------------------------------------------
// Registry properties

TEST_F(FennickTest, TextPropertiesAreReadWithinTheReturnedBytes) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        bool result;
        const wchar_t* text;  // the text afterwards (it starts as "keep")
    };
    const wchar_t terminated[] = L"Fennick";
    const wchar_t abc[] = {L'A', L'B', L'C'};
    const BYTE abcOdd[] = {'A', 0, 'B', 0, 'C', 0, 'D'};
    const wchar_t twoTexts[] = {L'A', 0, L'B', 0};
    const wchar_t expandable[] = L"%SystemRoot%\\disk";
    const wchar_t multi[] = {L'A', 0, L'B', 0, 0};
    const DWORD number = 0x00410041;
    const BYTE lone[] = {'A'};
    const wchar_t empty[] = {0};
    const Case cases[] = {
        {"terminated text", REG_SZ, bytesOf(terminated, sizeof(terminated)), true, L"Fennick"},
        {"no terminator", REG_SZ, bytesOf(abc, sizeof(abc)), true, L"ABC"},
        {"odd length", REG_SZ, bytesOf(abcOdd, sizeof(abcOdd)), true, L"ABC"},
        {"ends at the first NUL", REG_SZ, bytesOf(twoTexts, sizeof(twoTexts)), true, L"A"},
        {"expandable, not expanded", REG_EXPAND_SZ, bytesOf(expandable, sizeof(expandable)), true,
         L"%SystemRoot%\\disk"},
        {"empty text", REG_SZ, bytesOf(empty, sizeof(empty)), false, L""},
        {"one byte, no whole unit", REG_SZ, bytesOf(lone, sizeof(lone)), false, L""},
        {"multi-string", REG_MULTI_SZ, bytesOf(multi, sizeof(multi)), false, L"keep"},
        {"number", REG_DWORD, bytesOf(&number, sizeof(number)), false, L"keep"},
        {"raw bytes", REG_BINARY, bytesOf(abc, sizeof(abc)), false, L"keep"},
    };
    WindowsDevice device(String(deviceId(SCSI_DISK).c_str()));
    ASSERT_TRUE(device.getDeviceInfoSet().isValid());
    for (const Case& c : cases) {
        node(SCSI_DISK).setRaw(SPDRP_LOCATION_INFORMATION, c.type, c.data);
        String value(L"keep");
        EXPECT_EQ(c.result, device.getStringProperty(SPDRP_LOCATION_INFORMATION, value)) << c.what;
        EXPECT_EQ(std::wstring(c.text), text(value)) << c.what;
    }
}

TEST_F(FennickTest, RegistryPropertyGivesTypeAndExactBytes) {
    const BYTE data[] = {1, 2, 3, 4, 5};
    node(SCSI_DISK).setRaw(SPDRP_UI_NUMBER, REG_BINARY, bytesOf(data, sizeof(data)));
    WindowsDevice device(String(deviceId(SCSI_DISK).c_str()));
    qln::Uint32 type = 0;
    qln::Buffer<unsigned char> buffer;
    ASSERT_TRUE(device.getRegistryProperty(SPDRP_UI_NUMBER, type, buffer));
    EXPECT_EQ(static_cast<qln::Uint32>(REG_BINARY), type);
    ASSERT_EQ(sizeof(data), buffer.getLength());
    EXPECT_EQ(0, std::memcmp(data, buffer.getData(), sizeof(data)));
}

TEST_F(FennickTest, RegistryPropertyKeepsTheSizeTheProbeAnnounced) {
    // The read fills the probed size; bytes the system did not write stay 0.
    const BYTE data[] = {1, 2, 3, 4, 5};
    qln::test::FakeProperty property{REG_BINARY, bytesOf(data, sizeof(data))};
    property.announcedBytes = 8;
    node(SCSI_DISK).properties[SPDRP_UI_NUMBER] = property;
    WindowsDevice device(String(deviceId(SCSI_DISK).c_str()));
    qln::Uint32 type = 0;
    qln::Buffer<unsigned char> buffer;
    ASSERT_TRUE(device.getRegistryProperty(SPDRP_UI_NUMBER, type, buffer));
    const BYTE expected[] = {1, 2, 3, 4, 5, 0, 0, 0};
    ASSERT_EQ(sizeof(expected), buffer.getLength());
    EXPECT_EQ(0, std::memcmp(expected, buffer.getData(), sizeof(expected)));
}

TEST_F(FennickTest, PropertyCodesAboveTheLastAreRefusedWithoutAsking) {
    WindowsDevice device(String(deviceId(SCSI_DISK).c_str()));
    qln::Uint32 type = 0;
    qln::Buffer<unsigned char> buffer;
    tree.clearCalls();
    EXPECT_FALSE(device.getRegistryProperty(38, type, buffer));
    EXPECT_FALSE(device.getRegistryProperty(0xFFFFFFFFu, type, buffer));
    EXPECT_EQ(0u, tree.calls().propertyCalls);
    device.getRegistryProperty(37, type, buffer);
    EXPECT_LE(1u, tree.calls().propertyCalls);
}

TEST_F(FennickTest, AMissingPropertyLeavesTheTextAlone) {
    WindowsDevice device(String(deviceId(VOLUME).c_str()));
    ASSERT_TRUE(device.getDeviceInfoSet().isValid());
    EXPECT_TRUE(device.getFriendlyName().isEmpty());  // the volume has none
    String value(L"keep");
    EXPECT_FALSE(device.getStringProperty(SPDRP_FRIENDLYNAME, value));
    EXPECT_EQ(L"keep", text(value));
}

// ---------------------------------------------------------------------------
// Copy, move and the shared set

TEST_F(FennickTest, CopiesShareTheSetAndMovesHandItOver) {
    WindowsDevice original(String(deviceId(CDROM_DRIVE).c_str()));
    ASSERT_TRUE(original.getDeviceInfoSet().isValid());
    const HDEVINFO set = original.getDeviceInfoSet().get();
    {
        WindowsDevice copy(original);
        EXPECT_EQ(2, original.getDeviceInfoSet().useCount());
        EXPECT_EQ(set, copy.getDeviceInfoSet().get());
        EXPECT_EQ(original.getDeviceInstanceId(), copy.getDeviceInstanceId());
        EXPECT_EQ(original.getFriendlyName(), copy.getFriendlyName());
        EXPECT_EQ(original.getBusTypeMask(), copy.getBusTypeMask());

        WindowsDevice moved(std::move(copy));
        EXPECT_EQ(2, original.getDeviceInfoSet().useCount());
        EXPECT_FALSE(copy.getDeviceInfoSet().isValid());
        EXPECT_EQ(nullptr, copy.getDeviceInfoSet().getManager());
        EXPECT_EQ(set, moved.getDeviceInfoSet().get());
        EXPECT_EQ(L"Fennick CD-ROM", text(moved.getFriendlyName()));
        EXPECT_EQ(0x1u, moved.getBusTypeMask());
    }
    EXPECT_EQ(1, original.getDeviceInfoSet().useCount());
}

namespace {

std::map<HDEVINFO, int> s_destroyed;
BOOL(WINAPI* s_realDestroy)(HDEVINFO) = nullptr;

BOOL WINAPI countingDestroy(HDEVINFO set) {
    ++s_destroyed[set];
    return s_realDestroy(set);
}

}  // namespace

TEST_F(FennickTest, TheSetIsDestroyedOnceWithItsLastDevice) {
    qln::test::ImportPatch patch(GetModuleHandleW(nullptr), "setupapi.dll",
                                 "SetupDiDestroyDeviceInfoList",
                                 reinterpret_cast<void*>(&countingDestroy));
    ASSERT_TRUE(patch.applied());
    s_realDestroy = patch.originalAs<BOOL(WINAPI*)(HDEVINFO)>();
    s_destroyed.clear();

    WindowsDeviceList devices;
    libFennick::enumerateClassDevices(devices, &libFennick::DEVCLASS_DISKDRIVE, nullptr, 1, 0);
    ASSERT_GE(devices.size(), 4u);
    const HDEVINFO set = devices.front().getDeviceInfoSet().get();
    for (const WindowsDevice& device : devices)
        EXPECT_EQ(set, device.getDeviceInfoSet().get());
    EXPECT_EQ(static_cast<int>(devices.size()), devices.front().getDeviceInfoSet().useCount());
    EXPECT_EQ(0, s_destroyed[set]);

    std::unique_ptr<WindowsDevice> last(new WindowsDevice(devices.back()));
    devices.clear();
    EXPECT_EQ(0, s_destroyed[set]);
    EXPECT_EQ(1, last->getDeviceInfoSet().useCount());
    {
        WindowsDevice moved(std::move(*last));
        last.reset();  // the moved-from device holds no set
        EXPECT_EQ(0, s_destroyed[set]);
    }
    EXPECT_EQ(1, s_destroyed[set]);
}

// A drive's own device holder. Each device held below is a copy of a device
// with a set of its own, so that set's use count tells whether the copy lives.
TEST_F(FennickTest, TheDriveDeviceHolderResetsToAnotherDevice) {
    const WindowsDevice tape(String(deviceId(TAPE_DRIVE).c_str()));
    const WindowsDevice cdrom(String(deviceId(CDROM_DRIVE).c_str()));
    ASSERT_TRUE(tape.getDeviceInfoSet().isValid());
    ASSERT_TRUE(cdrom.getDeviceInfoSet().isValid());

    libFennick::SharedWindowsDevice holder(new WindowsDevice(tape));
    libFennick::SharedWindowsDevice other(holder);
    EXPECT_EQ(2, holder.useCount());
    EXPECT_EQ(2, tape.getDeviceInfoSet().useCount());

    WindowsDevice* next = new WindowsDevice(cdrom);
    holder.reset(next);
    EXPECT_EQ(next, holder.get());
    EXPECT_EQ(1, holder.useCount()) << "a manager of its own";
    EXPECT_EQ(1, other.useCount());
    EXPECT_EQ(2, tape.getDeviceInfoSet().useCount()) << "the other holder keeps the first device";
    EXPECT_EQ(2, cdrom.getDeviceInfoSet().useCount());

    holder.reset(next);  // the device already held stays
    EXPECT_EQ(next, holder.get());
    EXPECT_EQ(2, cdrom.getDeviceInfoSet().useCount());

    other.release();
    EXPECT_EQ(1, tape.getDeviceInfoSet().useCount()) << "destroyed with its last holder";
    holder.reset(new WindowsDevice(tape));
    EXPECT_EQ(1, cdrom.getDeviceInfoSet().useCount()) << "the sole holder's device goes at once";
    EXPECT_EQ(2, tape.getDeviceInfoSet().useCount());
    holder.release();
    EXPECT_EQ(nullptr, holder.get());
    EXPECT_EQ(1, tape.getDeviceInfoSet().useCount());
}

// ---------------------------------------------------------------------------
// Parent and related ids

TEST_F(FennickTest, ParentIdComesFromTheParentNode) {
    qln::test::FakeNode& hub = tree.addNode(L"QLNFENNICK\\HUB\\PORT1");
    node(USB_DISK).parent = hub.node;
    WindowsDevice device(String(deviceId(USB_DISK).c_str()));
    EXPECT_EQ(L"QLNFENNICK\\HUB\\PORT1", text(device.getParentDeviceInstanceId()));
}

TEST_F(FennickTest, ParentIdIsEmptyWhenAnyStepFails) {
    typedef void (*Arrange)(qln::test::FakeDeviceTree&, qln::test::FakeNode&);
    struct Case {
        const char* what;
        Arrange arrange;
        bool asksParentId;
    };
    const Case cases[] = {
        {"a root node", [](qln::test::FakeDeviceTree&, qln::test::FakeNode&) {}, false},
        {"node not found",
         [](qln::test::FakeDeviceTree& t, qln::test::FakeNode& n) {
             n.parent = t.addNode(L"QLNFENNICK\\HUB\\P").node;
             n.locateResult = CR_NO_SUCH_DEVNODE;
         },
         false},
        {"the parent's id cannot be read",
         [](qln::test::FakeDeviceTree& t, qln::test::FakeNode& n) {
             qln::test::FakeNode& hub = t.addNode(L"QLNFENNICK\\HUB\\P");
             hub.idResult = CR_NO_SUCH_DEVNODE;
             n.parent = hub.node;
         },
         true},
        {"parent query succeeds without writing a parent",
         [](qln::test::FakeDeviceTree& t, qln::test::FakeNode& n) {
             n.parent = t.addNode(L"QLNFENNICK\\HUB\\P").node;
             n.stubOutputs = true;
         },
         false},
    };
    for (const Case& c : cases) {
        qln::test::FakeNode& disk = node(USB_DISK);
        qln::test::FakeNode fresh;
        fresh.instanceId = disk.instanceId;
        fresh.node = disk.node;
        disk = fresh;
        c.arrange(tree, disk);
        WindowsDevice device(String(deviceId(USB_DISK).c_str()));
        tree.clearCalls();
        poisonStack();
        EXPECT_TRUE(device.getParentDeviceInstanceId().isEmpty()) << c.what;
        EXPECT_EQ(c.asksParentId, tree.calls().idCalls != 0) << c.what;
    }
}

TEST_F(FennickTest, ParentDeviceIdWritesOnlyOnSuccess) {
    qln::test::FakeNode& hub = tree.addNode(L"QLNFENNICK\\HUB\\PORT2");
    qln::test::FakeNode& disk = node(USB_DISK);
    disk.parent = hub.node;
    String id(L"keep");
    EXPECT_TRUE(libFennick::getParentDeviceId(disk.node, id));
    EXPECT_EQ(L"QLNFENNICK\\HUB\\PORT2", text(id));

    id = String(L"keep");
    EXPECT_FALSE(libFennick::getParentDeviceId(hub.node, id));  // the hub has no parent
    EXPECT_EQ(L"keep", text(id));
}

TEST_F(FennickTest, RelatedIdsFollowTheFilter) {
    qln::test::FakeNode& disk = node(USB_DISK);
    disk.relations[CM_GETIDLIST_FILTER_REMOVALRELATIONS] = {L"STORAGE\\VOLUME\\1", L"STORAGE\\VOLUME\\2"};
    disk.relations[CM_GETIDLIST_FILTER_BUSRELATIONS] = {L"STORAGE\\VOLUME\\3"};

    qln::Array<String> ids = arrayOf({L"old"});
    ASSERT_TRUE(libFennick::getRelatedDeviceIds(disk.node, CM_GETIDLIST_FILTER_REMOVALRELATIONS, ids));
    EXPECT_EQ((std::vector<std::wstring>{L"STORAGE\\VOLUME\\1", L"STORAGE\\VOLUME\\2"}), texts(ids));
    ASSERT_TRUE(libFennick::getRelatedDeviceIds(disk.node, CM_GETIDLIST_FILTER_BUSRELATIONS, ids));
    EXPECT_EQ((std::vector<std::wstring>{L"STORAGE\\VOLUME\\3"}), texts(ids));
    // A relation the node does not have: an empty list.
    ASSERT_TRUE(libFennick::getRelatedDeviceIds(disk.node, CM_GETIDLIST_FILTER_EJECTRELATIONS, ids));
    EXPECT_TRUE(ids.isEmpty());
}

TEST_F(FennickTest, FailedRelationQueriesLeaveTheIdsAlone) {
    struct Case {
        const char* what;
        CONFIGRET idResult;
        CONFIGRET sizeResult;
        CONFIGRET listResult;
    };
    const Case cases[] = {
        {"node id", CR_NO_SUCH_DEVNODE, CR_SUCCESS, CR_SUCCESS},
        {"list size", CR_SUCCESS, CR_INVALID_POINTER, CR_SUCCESS},
        {"list", CR_SUCCESS, CR_SUCCESS, CR_BUFFER_SMALL},
    };
    for (const Case& c : cases) {
        qln::test::FakeNode& disk = node(USB_DISK);
        disk.relations[CM_GETIDLIST_FILTER_BUSRELATIONS] = {L"STORAGE\\VOLUME\\9"};
        disk.idResult = c.idResult;
        disk.listSizeResult = c.sizeResult;
        disk.listResult = c.listResult;
        qln::Array<String> ids = arrayOf({L"x", L"y"});
        EXPECT_FALSE(libFennick::getRelatedDeviceIds(disk.node, CM_GETIDLIST_FILTER_BUSRELATIONS, ids))
            << c.what;
        EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), texts(ids)) << c.what;
    }
}

TEST_F(FennickTest, ARelationListOfSizeZeroIsEmpty) {
    qln::test::FakeNode& disk = node(USB_DISK);
    disk.relations[CM_GETIDLIST_FILTER_BUSRELATIONS] = {L"STORAGE\\VOLUME\\9"};
    disk.stubOutputs = true;  // the size query succeeds and writes nothing
    qln::Array<String> ids = arrayOf({L"x"});
    poisonStack();
    EXPECT_TRUE(libFennick::getRelatedDeviceIds(disk.node, CM_GETIDLIST_FILTER_BUSRELATIONS, ids));
    EXPECT_TRUE(ids.isEmpty());
    EXPECT_EQ(0u, tree.calls().listCalls);
}

// ---------------------------------------------------------------------------
// Lists of texts

TEST(SplitMultiString, Table) {
    struct Case {
        const char* what;
        std::vector<wchar_t> units;
        qln::Uint32 length;
        std::vector<std::wstring> texts;
    };
    const Case cases[] = {
        {"two texts", {L'a', 0, L'b', 0, 0}, 5, {L"a", L"b"}},
        {"length zero", {L'a', 0, 0}, 0, {}},
        {"first unit NUL", {0, L'a', 0, 0}, 4, {}},
        {"empty entry ends the list", {L'a', 0, 0, L'b', 0, 0}, 6, {L"a"}},
        {"no final NUL", {L'a', L'b', 0, L'c', L'd'}, 5, {L"ab", L"cd"}},
        {"length cuts a text", {L'a', L'b', L'c', 0, 0}, 2, {L"ab"}},
        {"one text", {L'd', L'i', L's', L'k', 0}, 5, {L"disk"}},
        // A length at the top of the range: the list's own end stops the walk.
        {"length 0xFFFFFFFF", {L'a', 0, L'b', L'c', 0, 0}, 0xFFFFFFFFu, {L"a", L"bc"}},
        {"length 0xFFFFFFFE", {L'a', 0, 0, L'b', 0}, 0xFFFFFFFEu, {L"a"}},
    };
    for (const Case& c : cases) {
        qln::Array<String> out = arrayOf({L"stale", L"entries"});
        libFennick::splitMultiString(c.units.data(), c.length, out);
        EXPECT_EQ(c.texts, texts(out)) << c.what;
    }
    qln::Array<String> out = arrayOf({L"stale"});
    libFennick::splitMultiString(nullptr, 4, out);
    EXPECT_TRUE(out.isEmpty());
}

TEST(AppendMissing, Table) {
    struct Case {
        std::vector<std::wstring> target;
        std::vector<std::wstring> source;
        std::vector<std::wstring> result;
    };
    const Case cases[] = {
        {{L"y"}, {L"x", L"y", L"x"}, {L"y", L"x"}},
        {{}, {L"a", L"b"}, {L"a", L"b"}},
        {{L"a", L"b"}, {}, {L"a", L"b"}},
        {{L"b", L"a"}, {L"a", L"b", L"c"}, {L"b", L"a", L"c"}},
        {{L"A"}, {L"a"}, {L"A", L"a"}},  // texts compare with letter case
    };
    for (const Case& c : cases) {
        qln::Array<String> target = arrayOf(c.target);
        libFennick::appendMissing(target, arrayOf(c.source));
        EXPECT_EQ(c.result, texts(target));
    }
}
