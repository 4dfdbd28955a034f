// Opening devices and files for real, and the pass-through against what the
// system answers without any fake.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ScsiDevice.h"
#include "qln/String.h"
#include "qln/System.h"

using namespace scsi;

namespace {

unsigned char kTestUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
const unsigned long kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
const qln::Handle kInvalid = reinterpret_cast<qln::Handle>(-1);

TEST(WineDevice, MissingDeviceGivesAnEmptyHolder) {
    qln::SharedFileHandle handle = ScsiDevice::openScsiDevice("\\\\.\\CdRom0", 0, kShareReadWrite);
    EXPECT_EQ(kInvalid, handle.get());
    EXPECT_EQ(nullptr, handle.getManager());
    EXPECT_EQ(0, handle.useCount());
}

TEST(WineDevice, DeviceOnAFailedOpenFailsWithTheInvalidHandleError) {
    qln::test::LogCapture log;
    qln::SharedFileHandle handle =
        ScsiDevice::openScsiDevice(qln::String(L"\\\\.\\CdRom0"), 0, kShareReadWrite);
    ScsiDevice device(handle);
    EXPECT_FALSE(device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, 0));
    EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, device.getLastResult().code);
    EXPECT_EQ(static_cast<unsigned int>(ERROR_INVALID_HANDLE), device.getLastResult().detail);
    EXPECT_EQ(0, device.getLastSense().valid);
    std::vector<qln::test::LogEntry> failed = log.withPrefix(L"232 ", L"libDravik.OSScsiDeviceAccessor");
    ASSERT_EQ(1u, failed.size()) << log.dump();
    EXPECT_EQ(L"232 SCSI command ioctl failed: " +
                  qln::System::getSystemErrorMsg(ERROR_INVALID_HANDLE, false).native(),
              failed[0].text);
    scsi_idlun address = {};
    EXPECT_FALSE(device.getAddress(address));
}

TEST(WineDevice, VolumeRefusesThePassThrough) {
    qln::SharedFileHandle handle = ScsiDevice::openScsiDevice("\\\\.\\C:", 0, kShareReadWrite);
    ASSERT_NE(kInvalid, handle.get());
    EXPECT_EQ(1, handle.useCount());
    ScsiDevice device(handle);
    unsigned char data[36] = {};
    unsigned char inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    EXPECT_FALSE(device.send_scsi_cmd(inquiry, 6, data, 36, DXFER_FROM_DEVICE, 0));
    EXPECT_EQ(CMD_RESULT_DRIVER_ERROR, device.getLastResult().code);
    EXPECT_EQ(static_cast<unsigned int>(ERROR_NOT_SUPPORTED), device.getLastResult().detail);
    scsi_idlun address = {7, 7, 7, 7};
    EXPECT_FALSE(device.getAddress(address));
    EXPECT_EQ(7, address.targetId);
}

// A scratch file for the open tests, removed afterwards.
class OpenFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, dir));
        wchar_t file[MAX_PATH];
        ASSERT_NE(0u, GetTempFileNameW(dir, L"drv", 0, file));
        path = file;
        path8 = std::string(path.begin(), path.end());
    }
    void TearDown() override {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    std::wstring path;
    std::string path8;
};

TEST_F(OpenFileTest, ThreeFormsOfThePathOpenTheSameFile) {
    qln::SharedFileHandle a = ScsiDevice::openScsiDevice(qln::String(path.c_str()), 0, kShareReadWrite);
    qln::SharedFileHandle b = ScsiDevice::openScsiDevice(path8.c_str(), 0, kShareReadWrite);
    qln::SharedFileHandle c = ScsiDevice::openScsiDevice(qln::CString(path8.c_str()), 0, kShareReadWrite);
    for (const qln::SharedFileHandle* h : {&a, &b, &c}) {
        ASSERT_NE(kInvalid, h->get());
        EXPECT_EQ(1, h->useCount());
    }
    BY_HANDLE_FILE_INFORMATION ia, ib;
    ASSERT_TRUE(GetFileInformationByHandle(static_cast<HANDLE>(a.get()), &ia));
    ASSERT_TRUE(GetFileInformationByHandle(static_cast<HANDLE>(c.get()), &ib));
    EXPECT_EQ(ia.nFileIndexLow, ib.nFileIndexLow);
    EXPECT_EQ(ia.nFileIndexHigh, ib.nFileIndexHigh);
}

TEST_F(OpenFileTest, ShareModeReachesTheSystem) {
    qln::SharedFileHandle exclusive = ScsiDevice::openScsiDevice(path8.c_str(), 0, 0);
    ASSERT_NE(kInvalid, exclusive.get());
    qln::SharedFileHandle second = ScsiDevice::openScsiDevice(path8.c_str(), 0, kShareReadWrite);
    EXPECT_EQ(kInvalid, second.get());
    exclusive.release();
    qln::SharedFileHandle third = ScsiDevice::openScsiDevice(path8.c_str(), 0, kShareReadWrite);
    EXPECT_NE(kInvalid, third.get());
}

TEST_F(OpenFileTest, OpensForReadingAndWritingWhateverAccessIsAsked) {
    const unsigned long asked[] = {0, GENERIC_READ, GENERIC_WRITE};
    for (unsigned long access : asked) {
        SCOPED_TRACE(access);
        qln::SharedFileHandle handle = ScsiDevice::openScsiDevice(path8.c_str(), access, kShareReadWrite);
        ASSERT_NE(kInvalid, handle.get());
        HANDLE h = static_cast<HANDLE>(handle.get());
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(h, "xy", 2, &done, nullptr));
        EXPECT_EQ(2u, done);
        char back[2] = {};
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        EXPECT_TRUE(ReadFile(h, back, 2, &done, nullptr));
        EXPECT_EQ(2u, done);
    }
}

}  // namespace
