// Records and enumerations that carry the outcome of one SCSI command. Other
// modules read these records directly, so their byte layouts are part of the
// library's interface and are checked below on every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DravikConfig.h"

namespace scsi {

// Data direction of one command; the values are the pass-through direction
// codes of the platform (SCSI_IOCTL_DATA_OUT, _IN, _UNSPECIFIED).
enum DXFER_DIRECTION {
    DXFER_TO_DEVICE = 0,
    DXFER_FROM_DEVICE = 1,
    DXFER_NONE = 2
};

// Values of cmd_result_info::code.
enum CMD_RESULT {
    CMD_RESULT_OK = 0,               // status GOOD, every requested byte transferred
    CMD_RESULT_SCSI_ERROR = 1,       // status other than GOOD
    CMD_RESULT_INVALID_COMMAND = 2,  // command block longer than 16 bytes; detail = its length
    CMD_RESULT_DRIVER_ERROR = 3,     // transport request failed; detail = system error code
    CMD_RESULT_HOST_ERROR = 4,       // host adapter error; detail = transport's host code
    CMD_RESULT_TIMED_OUT = 5,        // command timed out
    CMD_RESULT_UNDERRUN = 6,         // status GOOD, short transfer; detail = missing bytes
    CMD_RESULT_VPD_MISMATCH = 7,     // INQUIRY answered another VPD page
    CMD_RESULT_SYSTEM_ERROR = 8      // system error; detail = system error code
};

// Four-byte summary of the sense data of the last command.
struct sense_info {
    std::uint8_t status;        // SCSI status byte (0 GOOD, 2 CHECK CONDITION, ...)
    std::uint8_t valid : 1;     // the summary below is meaningful
    std::uint8_t reserved : 3;  // always 0
    std::uint8_t senseKey : 4;
    std::uint8_t asc;
    std::uint8_t ascq;
};

struct cmd_result_info {
    std::int32_t code;     // a CMD_RESULT value
    std::uint32_t detail;  // meaning depends on code
};

enum { SENSE_BUFFER_SIZE = 252 };

// The whole outcome of the last command.
struct command_result_info {
    std::uint8_t senseBuffer[SENSE_BUFFER_SIZE];  // raw sense bytes, zero after the returned length
    sense_info sense;
    cmd_result_info result;
};

// SCSI address of a device.
struct scsi_idlun {
    std::uint8_t targetId;
    std::uint8_t lun;
    std::uint8_t pathId;
    std::uint8_t portNumber;
};

// What a reset addresses. No transport of this library supports resets.
enum SCSI_RESET_TARGET {
    SCSI_RESET_DEVICE = 0,
    SCSI_RESET_BUS = 1,
    SCSI_RESET_ADAPTER = 2
};

static_assert(sizeof(sense_info) == 4, "sense_info is four bytes");
static_assert(sizeof(cmd_result_info) == 8, "cmd_result_info is eight bytes");
static_assert(sizeof(command_result_info) == 264, "command_result_info is 264 bytes");
static_assert(offsetof(command_result_info, sense) == 252, "sense follows the sense buffer");
static_assert(offsetof(command_result_info, result) == 256, "result follows the summary");
static_assert(sizeof(scsi_idlun) == 4, "scsi_idlun is four bytes");

}  // namespace scsi
