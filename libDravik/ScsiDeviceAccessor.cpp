#include "ScsiDeviceAccessor.h"

#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {
qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiDeviceAccessor";
}  // namespace

ScsiDeviceAccessor::ScsiDeviceAccessor() : fileHandle() {}

ScsiDeviceAccessor::ScsiDeviceAccessor(const qln::SharedFileHandle& handle) : fileHandle(handle) {}

ScsiDeviceAccessor::ScsiDeviceAccessor(const ScsiDeviceAccessor& other) : fileHandle(other.fileHandle) {}

ScsiDeviceAccessor& ScsiDeviceAccessor::operator=(const ScsiDeviceAccessor& other) {
    fileHandle = other.fileHandle;
    return *this;
}

ScsiDeviceAccessor::~ScsiDeviceAccessor() {
    fileHandle.release();
}

bool ScsiDeviceAccessor::serialize(qln::String&) const {
    return false;
}

int ScsiDeviceAccessor::doReset(SCSI_RESET_TARGET) {
    return -1;
}

bool ScsiDeviceAccessor::getAddress(scsi_idlun&) const {
    return false;
}

void ScsiDeviceAccessor::summarize_sense(sense_info& out, unsigned char statusByte,
                                         const unsigned char* senseData, unsigned int senseLen) {
    out.status = statusByte;
    out.valid = 0;
    out.reserved = 0;
    out.senseKey = 0;
    out.asc = 0;
    out.ascq = 0;

    if (senseLen == 0) {
        // No sense data came: the status alone is the outcome.
        out.valid = 1;
        return;
    }
    if (senseData == nullptr)
        return;  // a length without bytes: nothing can be read

    const unsigned char responseCode = senseData[0] & 0x7F;
    switch (responseCode) {
    case 0x70:
    case 0x71:  // fixed format
        if (senseLen < 3) {
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "48 " + "Invalid fixed format sense data");
            return;
        }
        out.valid = 1;
        out.senseKey = senseData[2] & 0x0F;
        if (senseLen >= 13)
            out.asc = senseData[12];
        if (senseLen >= 14)
            out.ascq = senseData[13];
        return;
    case 0x72:
    case 0x73:  // descriptor format
        if (senseLen < 2) {
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                    "61 " + "Invalid descriptor format sense data");
            return;
        }
        out.valid = 1;
        out.senseKey = senseData[1] & 0x0F;
        if (senseLen >= 3)
            out.asc = senseData[2];
        if (senseLen >= 4)
            out.ascq = senseData[3];
        return;
    default:
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "74 " + qln::SprintfFormat("Unknown sense data type: %02Xh",
                                           static_cast<unsigned int>(responseCode)).toString());
        return;
    }
}

}  // namespace scsi
