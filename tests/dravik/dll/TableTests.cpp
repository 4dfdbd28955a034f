// The exported C device table: found by its plain name, and used from a C
// source on a device reached through the system's pass-through (answered by
// the model device).
#include <cstring>

#include <gtest/gtest.h>

#include "FakeDeviceIoControl.h"
#include "LogCapture.h"
#include "ModelScsiDevice.h"
#include "ScsiDeviceObjFuncs.h"
#include "TableRun.h"

using namespace scsi;
using namespace scsi::test;

namespace {

TEST(DeviceTable, IsExportedUnderItsPlainName) {
    HMODULE dravik = GetModuleHandleW(L"Dravik.dll");
    ASSERT_NE(nullptr, dravik);
    EXPECT_EQ(static_cast<const void*>(&ScsiDeviceObjFuncs_v2),
              reinterpret_cast<const void*>(GetProcAddress(dravik, "ScsiDeviceObjFuncs_v2")));
    static_assert(sizeof(ScsiDeviceObjFuncs_v2_t) == 6 * sizeof(void*), "six entries");
}

TEST(DeviceTable, DestroyOfNullDoesNothing) {
    ScsiDeviceObjFuncs_v2.destroyScsiDevice(nullptr);
    EXPECT_EQ(nullptr, ScsiDeviceObjFuncs_v2.copyScsiDevice(nullptr));
}

class DeviceTableRun : public qln::test::LogCaptureTest {
protected:
    DeviceTableRun() : model(std::make_shared<ModelScsiDevice>()) {}
    ModelDevicePtr model;
    FakeDeviceIoControl fake;
};

TEST_F(DeviceTableRun, CreatesSendsReadsCopiesAndDestroysFromC) {
    ASSERT_TRUE(fake.applied());
    Bytes inquiry(36);
    for (std::size_t i = 0; i < inquiry.size(); ++i)
        inquiry[i] = static_cast<std::uint8_t>(0xA0 + i);
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x02, 0x3A, 0x01)));
    model->on(ModelAnswer::good({0x12}, inquiry));
    qln::SharedFileHandle handle = fake.makeHandle(model);

    // A buffer that owns a block too small for the sense bytes: it gets a new one.
    qln::Buffer<unsigned char> sense(16);
    TableRunResult run;
    runDeviceTable(&ScsiDeviceObjFuncs_v2, &handle, &sense, &run);

    ASSERT_TRUE(run.created);
    EXPECT_FALSE(run.testUnitReadyOk);  // NOT READY, MEDIUM NOT PRESENT
    EXPECT_TRUE(run.resultIsDevice);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, run.resultCode);
    EXPECT_EQ(1u, run.senseValid);
    EXPECT_EQ(0x02u, run.senseKey);
    EXPECT_EQ(0x3Au, run.asc);
    EXPECT_EQ(0x01u, run.ascq);
    EXPECT_EQ(0x70, run.firstSenseByte);

    Bytes expectedSense = fixedSense(0x02, 0x3A, 0x01);
    expectedSense.resize(SENSE_BUFFER_SIZE, 0);
    ASSERT_EQ(static_cast<std::size_t>(SENSE_BUFFER_SIZE), sense.getLength());
    EXPECT_EQ(0, std::memcmp(expectedSense.data(), sense.getData(), SENSE_BUFFER_SIZE));

    EXPECT_TRUE(run.copied);
    EXPECT_TRUE(run.inquiryOk);
    EXPECT_EQ(0, std::memcmp(inquiry.data(), run.inquiry, 36));
    EXPECT_EQ(CMD_RESULT_OK, run.copyResultCode);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, run.originalCodeAfterCopy);  // each copy keeps its own record

    // Both commands went through the one handle, with the default time-out.
    ASSERT_EQ(2u, fake.requests().size());
    ASSERT_EQ(2u, model->commands().size());
    EXPECT_EQ(0x12, model->lastCommand().cdb[0]);
    EXPECT_EQ(20u, model->lastCommand().timeout);
    // The devices are gone: only the test's use of the handle is left.
    EXPECT_EQ(1, handle.useCount());
}

}  // namespace
