// Byte layouts that other modules read directly.
#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

#include "ScsiDevice.h"
#include "ScsiTypes.h"

using namespace scsi;

namespace {

static_assert(sizeof(command_result_info) == 264, "result record size");
static_assert(offsetof(command_result_info, sense) == 252, "sense summary offset");
static_assert(offsetof(command_result_info, result) == 256, "result offset");
static_assert(sizeof(sense_info) == 4 && sizeof(scsi_idlun) == 4, "four-byte records");
static_assert(DXFER_TO_DEVICE == 0 && DXFER_FROM_DEVICE == 1 && DXFER_NONE == 2, "directions");

TEST(Layout, SenseSummaryKeepsValidInBitZeroAndTheKeyInTheHighNibble) {
    sense_info s;
    std::memset(&s, 0, sizeof(s));
    s.status = 0x02;
    s.valid = 1;
    s.senseKey = 0x0B;
    s.asc = 0x24;
    s.ascq = 0x01;
    unsigned char bytes[4];
    std::memcpy(bytes, &s, 4);
    EXPECT_EQ(0x02, bytes[0]);
    EXPECT_EQ(0xB1, bytes[1]);
    EXPECT_EQ(0x24, bytes[2]);
    EXPECT_EQ(0x01, bytes[3]);
}

TEST(Layout, ResultRecordFieldsInOrder) {
    command_result_info r;
    std::memset(&r, 0, sizeof(r));
    r.result.code = CMD_RESULT_UNDERRUN;
    r.result.detail = 0x01020304;
    r.senseBuffer[251] = 0x77;
    unsigned char bytes[264];
    std::memcpy(bytes, &r, sizeof(r));
    EXPECT_EQ(0x77, bytes[251]);
    EXPECT_EQ(6, bytes[256]);
    EXPECT_EQ(0x04, bytes[260]);
    EXPECT_EQ(0x01, bytes[263]);
}

TEST(Layout, DeviceAddressIsItsResultRecord) {
    ScsiDevice device{AccessorTransfer()};
    EXPECT_EQ(static_cast<const void*>(&device), static_cast<const void*>(&device.getResultData()));
    EXPECT_EQ(static_cast<const void*>(&device.getResultData().result),
              static_cast<const void*>(&device.getLastResult()));
    EXPECT_EQ(static_cast<const void*>(&device.getResultData().sense),
              static_cast<const void*>(&device.getLastSense()));
    command_result_info zero;
    std::memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(0, std::memcmp(&zero, &device.getResultData(), sizeof(zero)));
}

}  // namespace
