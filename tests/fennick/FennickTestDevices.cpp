#include "FennickTestDevices.h"

#include <memory>

namespace fennick_test {

using libFennick::WindowsDevice;
using libFennick::WindowsDeviceList;

const GUID ENDS_AT_FIRST_INTERFACE = {0x51E0F001, 0x7A11, 0x4C3D, {0x9E, 0x21, 0x6B, 0x0D, 0x4F, 0x11, 0xA7, 0x01}};
const GUID ENDS_AT_SECOND_INTERFACE = {0x51E0F002, 0x7A11, 0x4C3D, {0x9E, 0x21, 0x6B, 0x0D, 0x4F, 0x11, 0xA7, 0x02}};

namespace {

struct InterfacePlan {
    const GUID* interfaceClass;
    bool linked;
};

struct DevicePlan {
    const wchar_t* relativeId;
    const GUID* setupClass;
    const wchar_t* description;
    const wchar_t* friendlyName;
    const wchar_t* enumerator;
    std::vector<InterfacePlan> interfaces;
};

const std::vector<DevicePlan>& plans() {
    using namespace libFennick;
    static const std::vector<DevicePlan> table = {
        {L"DISK\\USB_A", &DEVCLASS_DISKDRIVE, L"Disk drive", L"Fennick USB disk", L"USBSTOR",
         {{&DEVINTERFACE_DISK, true}}},
        {L"DISK\\USB_B", &DEVCLASS_DISKDRIVE, L"Disk drive", L"Fennick hidden USB disk",
         L"usbstor", {{&DEVINTERFACE_DISK, true}}},
        {L"DISK\\SCSI_A", &DEVCLASS_DISKDRIVE, L"Disk drive", L"Fennick SCSI disk", L"SCSI",
         {{&DEVINTERFACE_DISK, true}}},
        {L"DISK\\USB_NOPATH", &DEVCLASS_DISKDRIVE, L"Disk drive", L"Fennick disk without path",
         L"USBSTOR", {}},
        {L"VOLUME\\DISK_IFONLY", &qln::test::TEST_DEVCLASS_VOLUME, L"Generic volume", nullptr,
         L"STORAGE", {{&DEVINTERFACE_DISK, true}}},
        {L"CDROM\\A", &DEVCLASS_CDROM, L"CD-ROM drive", L"Fennick CD-ROM", L"IDE",
         {{&DEVINTERFACE_CDROM, true}}},
        {L"FLOPPY\\A", &DEVCLASS_FLOPPYDISK, L"Floppy disk drive", L"Fennick floppy", L"ACPI",
         {{&DEVINTERFACE_FLOPPY, true}, {&DEVINTERFACE_VOLUME, true}}},
        {L"TAPE\\A", &DEVCLASS_TAPEDRIVE, L"Tape drive", L"Fennick tape", L"SCSI",
         {{&DEVINTERFACE_TAPE, true}}},
        {L"VOLUME\\A", &qln::test::TEST_DEVCLASS_VOLUME, L"Generic volume", nullptr, L"STORAGE",
         {{&DEVINTERFACE_VOLUME, true}}},
        {L"VOLUME\\HIDDEN_A", &qln::test::TEST_DEVCLASS_VOLUME, L"Generic volume", nullptr,
         L"STORAGE", {{&DEVINTERFACE_HIDDEN_VOLUME, true}}},
        {L"ENDS\\A1", &qln::test::TEST_DEVCLASS_VOLUME, L"Ends test", nullptr, nullptr,
         {{&ENDS_AT_FIRST_INTERFACE, false}}},
        {L"ENDS\\A2", &qln::test::TEST_DEVCLASS_VOLUME, L"Ends test", nullptr, nullptr,
         {{&ENDS_AT_FIRST_INTERFACE, true}}},
        {L"ENDS\\B1", &qln::test::TEST_DEVCLASS_VOLUME, L"Ends test", nullptr, nullptr,
         {{&ENDS_AT_SECOND_INTERFACE, true}}},
        {L"ENDS\\B2", &qln::test::TEST_DEVCLASS_VOLUME, L"Ends test", nullptr, nullptr,
         {{&ENDS_AT_SECOND_INTERFACE, false}}},
    };
    return table;
}

struct MadeDevice {
    std::wstring id;
    std::vector<std::pair<const GUID*, std::wstring>> paths;
};

// Creates the devices once for the program and removes them at its end.
class DeviceEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        devices_.reset(new qln::test::TestDevices());
        made_.clear();
        for (const DevicePlan& plan : plans()) {
            MadeDevice made;
            made.id = devices_->addDevice(plan.relativeId, *plan.setupClass, plan.description,
                                          plan.friendlyName);
            ASSERT_FALSE(made.id.empty()) << "cannot create a test device";
            for (const InterfacePlan& iface : plan.interfaces) {
                std::wstring path = devices_->addInterface(made.id, *iface.interfaceClass,
                                                           iface.linked);
                ASSERT_FALSE(path.empty()) << "cannot create a test interface";
                made.paths.emplace_back(iface.interfaceClass, iface.linked ? path : std::wstring());
            }
            made_.push_back(made);
        }
    }
    void TearDown() override {
        devices_.reset();
        EXPECT_EQ(0u, qln::test::TestDevices::sweep()) << "test devices were left behind";
    }

    static std::vector<MadeDevice> made_;

private:
    std::unique_ptr<qln::test::TestDevices> devices_;
};

std::vector<MadeDevice> DeviceEnvironment::made_;

::testing::Environment* const s_environment =
    ::testing::AddGlobalTestEnvironment(new DeviceEnvironment());

const std::wstring s_none;

}  // namespace

const std::wstring& deviceId(TestDevice device) {
    const auto& made = DeviceEnvironment::made_;
    return static_cast<std::size_t>(device) < made.size() ? made[device].id : s_none;
}

const std::wstring& interfacePath(TestDevice device, const GUID& interfaceClass) {
    const auto& made = DeviceEnvironment::made_;
    if (static_cast<std::size_t>(device) >= made.size())
        return s_none;
    for (const auto& path : made[device].paths) {
        if (IsEqualGUID(*path.first, interfaceClass))
            return path.second;
    }
    return s_none;
}

const wchar_t* enumeratorOf(TestDevice device) { return plans()[device].enumerator; }

void FennickTest::SetUp() {
    ASSERT_TRUE(tree.applied()) << "the program does not import the faked functions";
    ASSERT_EQ(static_cast<std::size_t>(TEST_DEVICE_COUNT), DeviceEnvironment::made_.size());
    for (int i = 0; i < TEST_DEVICE_COUNT; ++i) {
        qln::test::FakeNode& fake = tree.addNode(deviceId(static_cast<TestDevice>(i)));
        if (const wchar_t* enumerator = enumeratorOf(static_cast<TestDevice>(i)))
            fake.setText(SPDRP_ENUMERATOR_NAME, enumerator);
    }
}

std::vector<const WindowsDevice*> testDevicesIn(const WindowsDeviceList& devices) {
    std::vector<const WindowsDevice*> own;
    for (const WindowsDevice& device : devices) {
        if (qln::test::TestDevices::isTestDeviceId(device.getDeviceInstanceId().native()))
            own.push_back(&device);
    }
    return own;
}

int positionOf(const WindowsDeviceList& devices, const std::wstring& id, int* count) {
    int position = -1;
    int seen = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].getDeviceInstanceId().native() == id) {
            if (position < 0)
                position = static_cast<int>(i);
            ++seen;
        }
    }
    if (count != nullptr)
        *count = seen;
    return position;
}

#if defined(_MSC_VER)
__declspec(noinline)
#else
__attribute__((noinline))
#endif
void poisonStack() {
    volatile unsigned char area[16384];
    for (std::size_t i = 0; i < sizeof(area); ++i)
        area[i] = 0xFF;
}

}  // namespace fennick_test
