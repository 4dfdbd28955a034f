#include "ScsiDevice.h"

#include <cstring>

#include "OSScsiDeviceAccessor.h"
#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiDevice";

const unsigned long kGenericReadWrite = 0xC0000000ul;  // GENERIC_READ | GENERIC_WRITE
const unsigned long kOpenExisting = 3;                 // OPEN_EXISTING
const int kResponseDumpLimit = 128;

// " 0x%02X" for each byte.
qln::String hexBytes(const void* bytes, int length) {
    qln::String text;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (int i = 0; i < length; ++i)
        text += qln::SprintfFormat(" 0x%02X", static_cast<unsigned int>(p[i])).toString();
    return text;
}

const char* const kNullBuffer = " <<< BUFFER POINTER NULL >>> ";

}  // namespace

qln::SharedFileHandle ScsiDevice::openScsiDevice(const qln::String& path, unsigned long,
                                                 unsigned long shareMode) {
    qln::CreateFileOpenArgs args;
    args.path = path;
    args.desiredAccess = kGenericReadWrite;
    args.shareMode = static_cast<qln::Uint32>(shareMode);
    args.creationDisposition = kOpenExisting;
    args.flags = 0;
    return qln::SharedFileHandle(args);
}

qln::SharedFileHandle ScsiDevice::openScsiDevice(const char* path, unsigned long access,
                                                 unsigned long shareMode) {
    return openScsiDevice(qln::String(path ? path : ""), access, shareMode);
}

qln::SharedFileHandle ScsiDevice::openScsiDevice(const qln::CString& path, unsigned long access,
                                                 unsigned long shareMode) {
    return openScsiDevice(qln::String(path), access, shareMode);
}

ScsiDevice::ScsiDevice(const qln::SharedFileHandle& fileHandle)
    : defaultTimeout(DEFAULT_TIMEOUT_MS), strings(), accessor(new OSScsiDeviceAccessor(fileHandle)) {
    std::memset(&resultData, 0, sizeof(resultData));
}

ScsiDevice::ScsiDevice(AccessorTransfer transfer)
    : defaultTimeout(DEFAULT_TIMEOUT_MS), strings(), accessor(transfer.take()) {
    std::memset(&resultData, 0, sizeof(resultData));
}

ScsiDevice::ScsiDevice(const ScsiDevice& other)
    : resultData(other.resultData),
      defaultTimeout(other.defaultTimeout),
      strings(other.strings),
      accessor(other.accessor) {}

ScsiDevice& ScsiDevice::operator=(const ScsiDevice& other) {
    resultData = other.resultData;
    defaultTimeout = other.defaultTimeout;
    strings = other.strings;
    accessor = other.accessor;  // nothing happens when both share one manager
    return *this;
}

ScsiDevice::~ScsiDevice() {
    accessor.release();
}

bool ScsiDevice::isAccessorValid(const SharedAccessor& holder) const {
    if (holder.get() != nullptr)
        return true;
    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "34 " + "Invalid Accessor");
    return false;
}

bool ScsiDevice::send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                               DXFER_DIRECTION direction, unsigned int timeoutMs) {
    const unsigned int timeout = timeoutMs != 0 ? timeoutMs : defaultTimeout;
    if (!isAccessorValid(accessor))
        return false;
    resultData.sense.valid = 0;
    accessor.get()->send_scsi_cmd(cdb, cdbLen, data, dataLen, direction, timeout, resultData);
    return success();
}

bool ScsiDevice::success() const {
    const cmd_result_info& result = resultData.result;
    const sense_info& sense = resultData.sense;
    if (result.code == CMD_RESULT_OK)
        return true;
    if (result.code == CMD_RESULT_SCSI_ERROR && sense.valid) {
        if (sense.status == 0)
            return true;
        if (sense.status == 2 && sense.senseKey == 1)  // CHECK CONDITION, RECOVERED ERROR
            return true;
    }
    return false;
}

bool ScsiDevice::lastCommandSuccess() const {
    return success();
}

void ScsiDevice::getSenseBuffer(qln::Buffer<unsigned char>& out) {
    // Reachable with a null device through the exported function table; read
    // the address through a volatile copy so that the test stays.
    ScsiDevice* volatile self = this;
    if (self == nullptr) {
        out = qln::Buffer<unsigned char>();
        return;
    }
    out.assign(self->resultData.senseBuffer, SENSE_BUFFER_SIZE);
}

bool ScsiDevice::getAddress(scsi_idlun& out) const {
    if (!isAccessorValid(accessor))
        return false;
    return accessor.get()->getAddress(out);
}

int ScsiDevice::isEmulated() const {
    if (!isAccessorValid(accessor))
        return 0;
    return accessor.get()->isEmulated() ? 1 : 0;
}

unsigned int ScsiDevice::getMaxXferSz() const {
    // No accessor check and no message: a device without transport moves nothing.
    const ScsiDeviceAccessor* transport = accessor.get();
    return transport != nullptr ? transport->getMaxXferSz() : 0;
}

void ScsiDevice::print_cdb(const void* bytes, int length) {
    // Like the other dumps, a null address with bytes to show is named
    // rather than read; an empty block is an empty dump wherever it points.
    const bool named = bytes == nullptr && length > 0;
    QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
            "117 " + "CDB: " + (named ? qln::String(kNullBuffer) : hexBytes(bytes, length)));
}

void ScsiDevice::print_sense_buffer(const void* bytes, int length) {
    QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
            "135 " + "Sense Buffer: " + (bytes ? hexBytes(bytes, length) : qln::String(kNullBuffer)));
}

void ScsiDevice::print_cdb_response(const void* bytes, int length) {
    if (qln::Logger* logger = qln::admittingLogger(s_logger, kChannel, qln::LOG_TRACE)) {
        qln::LoggerStream stream;
        stream + "146 " + "CDB Response: ";
        if (bytes == nullptr) {
            stream + kNullBuffer;
        } else {
            stream + hexBytes(bytes, length < kResponseDumpLimit ? length : kResponseDumpLimit);
            if (length > kResponseDumpLimit)
                stream + " ... (128 / " + qln::QLNValue(length).toString(qln::QLNValue::nilValue) +
                    " Bytes)";
        }
        logger->log(qln::LOG_TRACE, stream);
    }
}

}  // namespace scsi
