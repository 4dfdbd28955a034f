#include "OSScsiDeviceAccessor.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ScsiDevice.h"
#include "ScsiStrings.h"
#include "qln/Buffer.h"
#include "qln/Format.h"
#include "qln/Log.h"
#include "qln/System.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.OSScsiDeviceAccessor";

// One pass-through request: the platform header, the sense area, then the
// data area of max(dataLen, 256) bytes.
const std::uint32_t kHeaderSize = sizeof(SCSI_PASS_THROUGH);
const std::uint32_t kSenseOffset = kHeaderSize;
const std::uint32_t kSenseAreaSize = SENSE_BUFFER_SIZE;
const std::uint32_t kDataOffset = kSenseOffset + kSenseAreaSize;
const std::uint32_t kMinDataArea = 256;
const std::uint32_t kMaxCdbLength = sizeof(((SCSI_PASS_THROUGH*)nullptr)->Cdb);
const unsigned int kMaxTransfer = 0x100000;

#if defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH) == 56, "64-bit pass-through header");
static_assert(kDataOffset == 308, "64-bit data area offset");
#else
static_assert(sizeof(SCSI_PASS_THROUGH) == 44, "32-bit pass-through header");
static_assert(kDataOffset == 296, "32-bit data area offset");
#endif
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) + kMaxCdbLength <= kHeaderSize, "Cdb inside header");
static_assert(kMaxCdbLength == 16, "sixteen-byte command blocks");
static_assert(sizeof(SCSI_ADDRESS) == 8, "SCSI_ADDRESS is eight bytes");
static_assert(IOCTL_SCSI_PASS_THROUGH == 0x4D004, "pass-through control code");
static_assert(IOCTL_SCSI_GET_ADDRESS == 0x41018, "address control code");
static_assert(DXFER_TO_DEVICE == SCSI_IOCTL_DATA_OUT && DXFER_FROM_DEVICE == SCSI_IOCTL_DATA_IN &&
                  DXFER_NONE == SCSI_IOCTL_DATA_UNSPECIFIED,
              "directions are the platform's codes");

}  // namespace

OSScsiDeviceAccessor::OSScsiDeviceAccessor(const qln::SharedFileHandle& handle)
    : ScsiDeviceAccessor(handle) {}

OSScsiDeviceAccessor::OSScsiDeviceAccessor(const OSScsiDeviceAccessor& other)
    : ScsiDeviceAccessor(other) {}

OSScsiDeviceAccessor& OSScsiDeviceAccessor::operator=(const OSScsiDeviceAccessor& other) {
    ScsiDeviceAccessor::operator=(other);
    return *this;
}

OSScsiDeviceAccessor::~OSScsiDeviceAccessor() {}

ScsiDeviceAccessor* OSScsiDeviceAccessor::clone() const {
    return new OSScsiDeviceAccessor(*this);
}

void OSScsiDeviceAccessor::send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data,
                                         unsigned int dataLen, DXFER_DIRECTION direction,
                                         unsigned int timeoutMs, command_result_info& result) {
    // The whole request must fit the 32-bit sizes of the control call.
    const std::uint64_t dataArea = dataLen > kMinDataArea ? dataLen : kMinDataArea;
    const std::uint64_t requestSize64 = dataArea + kDataOffset;
    if (requestSize64 > 0xFFFFFFFFu) {
        result.result.code = CMD_RESULT_DRIVER_ERROR;
        result.result.detail = ERROR_INVALID_PARAMETER;
        return;
    }
    const DWORD requestSize = static_cast<DWORD>(requestSize64);

    // Zero-filled, released on every path.
    qln::Buffer<unsigned char> request(requestSize);
    unsigned char* const block = request.getData();
    SCSI_PASS_THROUGH* const header = reinterpret_cast<SCSI_PASS_THROUGH*>(block);
    header->Length = static_cast<USHORT>(kHeaderSize);

    if (cdbLen > kMaxCdbLength) {
        result.result.code = CMD_RESULT_INVALID_COMMAND;
        result.result.detail = cdbLen;
        return;
    }

    const unsigned char* const cdbBytes = static_cast<const unsigned char*>(cdb);
    const unsigned int opcode = (cdbLen > 0 && cdbBytes) ? cdbBytes[0] : 0;
    result.sense.valid = 0;

    header->CdbLength = static_cast<UCHAR>(cdbLen);
    header->SenseInfoLength = static_cast<UCHAR>(kSenseAreaSize);
    header->DataIn = static_cast<UCHAR>(direction);
    header->DataTransferLength = dataLen;
    // Whole seconds, rounded up; computed wide so that the largest time-outs
    // do not wrap to 0.
    header->TimeOutValue = static_cast<ULONG>((std::uint64_t(timeoutMs) + 999u) / 1000u);
    header->DataBufferOffset = kDataOffset;
    header->SenseInfoOffset = kSenseOffset;
    if (cdbLen > 0 && cdbBytes)
        std::memcpy(header->Cdb, cdbBytes, cdbLen);
    unsigned char* const caller = static_cast<unsigned char*>(data);
    if (caller && dataLen > 0)
        std::memcpy(block + kDataOffset, caller, dataLen);

    DWORD returned = 0;
    HANDLE handle = static_cast<HANDLE>(getFileHandle().get());
    if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH, block, requestSize, block, requestSize,
                         &returned, nullptr)) {
        result.result.detail = GetLastError();
        result.result.code = CMD_RESULT_DRIVER_ERROR;
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "232 " + "SCSI command ioctl failed: " +
                    qln::System::getSystemErrorMsg(result.result.detail, false));
        return;
    }

    const unsigned char status = header->ScsiStatus;
    const unsigned int transferred = header->DataTransferLength;
    const unsigned int copied = transferred < dataLen ? transferred : dataLen;
    // The device's answer goes back into the caller's buffer; the bytes it did
    // not send are 0. Data written to the device stay as the caller gave them.
    const bool copyBack = caller && dataLen > 0 && direction != DXFER_TO_DEVICE;
    if (copyBack) {
        std::memset(caller, 0, dataLen);
        std::memcpy(caller, block + kDataOffset, copied);
    }

    result.result.code = CMD_RESULT_OK;

    // The driver's count is a byte and may claim more than the area offered.
    unsigned int senseLen = header->SenseInfoLength;
    if (senseLen > kSenseAreaSize)
        senseLen = kSenseAreaSize;
    std::memset(result.senseBuffer + senseLen, 0, kSenseAreaSize - senseLen);
    std::memcpy(result.senseBuffer, block + kSenseOffset, senseLen);

    summarize_sense(result.sense, status, result.senseBuffer, senseLen);

    ScsiDevice::print_cdb_response(caller, static_cast<int>(copied > 0x7FFFFFFFu ? 0x7FFFFFFFu : copied));

    if (senseLen != 0) {
        QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
                "177 " + "Sense information returned: " + '\n' +
                    qln::HexDumpFormat(result.senseBuffer, kSenseAreaSize, 0, 0).toString());
        ScsiDevice::print_sense_buffer(result.senseBuffer, static_cast<int>(kSenseAreaSize));
    } else {
        QLN_LOG(s_logger, kChannel, qln::LOG_TRACE, "180 " + "No sense information returned");
    }

    if (status != 0) {
        result.result.code = CMD_RESULT_SCSI_ERROR;
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "184 " + qln::SprintfFormat("SCSI Command Rejected: OPCODE=0x%02X  SCSI Status: 0x%02X",
                                            opcode, static_cast<unsigned int>(status))
                             .toString());
    } else {
        QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
                "187 " + qln::SprintfFormat("SCSI command issued successfully.  SCSI Status: %02Xh "
                                            "from opcode %02Xh.  Transferred %u B.",
                                            static_cast<unsigned int>(status), opcode, transferred)
                             .toString());
    }

    if (result.result.code == CMD_RESULT_OK && transferred < dataLen) {
        result.result.code = CMD_RESULT_UNDERRUN;
        result.result.detail = dataLen - transferred;
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "198 " + qln::SprintfFormat("Truncated data. opcode %02Xh, Requested %u bytes, "
                                            "received only %u bytes.",
                                            opcode, dataLen, transferred)
                             .toString());
        // The tail of a read was zeroed before the copy.
    }
}

const char* OSScsiDeviceAccessor::vGetName() const {
    return "OS";
}

bool OSScsiDeviceAccessor::isEmulated() const {
    return false;
}

bool OSScsiDeviceAccessor::getAddress(scsi_idlun& out) const {
    SCSI_ADDRESS address;
    std::memset(&address, 0, sizeof(address));
    address.Length = sizeof(SCSI_ADDRESS);
    DWORD returned = 0;
    HANDLE handle = static_cast<HANDLE>(getFileHandle().get());
    if (!DeviceIoControl(handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof(address),
                         &returned, nullptr))
        return false;
    out.targetId = address.TargetId;
    out.lun = address.Lun;
    out.pathId = address.PathId;
    out.portNumber = address.PortNumber;
    return true;
}

unsigned int OSScsiDeviceAccessor::getMaxXferSz() const {
    return kMaxTransfer;
}

bool OSScsiDeviceAccessor::getDriverErrStr(unsigned int code, qln::String& out) const {
    out = qln::System::getSystemErrorMsg(code, !ScsiStrings::useEnglishStrings());
    return true;
}

bool OSScsiDeviceAccessor::getHostErrStr(unsigned int code, qln::String& out) const {
    return getDriverErrStr(code, out);
}

}  // namespace scsi
