#include "InstantAccessor.h"

#include <cstring>

namespace bench {

scsi::ScsiDeviceAccessor* InstantAccessor::clone() const {
    return new InstantAccessor(*this);
}

void InstantAccessor::sendDirect(void* cdb, unsigned int cdbLen, scsi::command_result_info& result) {
    send_scsi_cmd(cdb, cdbLen, nullptr, 0, scsi::DXFER_NONE, 1000, result);
}

void InstantAccessor::send_scsi_cmd(void*, unsigned int, void*, unsigned int,
                                    scsi::DXFER_DIRECTION, unsigned int,
                                    scsi::command_result_info& result) {
    static const unsigned char kSense[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24};
    std::memset(result.senseBuffer, 0, sizeof(result.senseBuffer));
    result.result.detail = 0;
    if (!checkCondition_) {
        summarize_sense(result.sense, 0, result.senseBuffer, 0);
        result.result.code = scsi::CMD_RESULT_OK;
        return;
    }
    std::memcpy(result.senseBuffer, kSense, sizeof(kSense));
    summarize_sense(result.sense, 2, result.senseBuffer, sizeof(kSense));
    result.result.code = scsi::CMD_RESULT_SCSI_ERROR;
}

const char* InstantAccessor::vGetName() const {
    return "Instant";
}

bool InstantAccessor::isEmulated() const {
    return true;
}

unsigned int InstantAccessor::getMaxXferSz() const {
    return 0x10000;
}

bool InstantAccessor::getDriverErrStr(unsigned int, qln::String&) const {
    return false;
}

bool InstantAccessor::getHostErrStr(unsigned int, qln::String&) const {
    return false;
}

}  // namespace bench
