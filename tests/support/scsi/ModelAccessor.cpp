#include "ModelAccessor.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace scsi {
namespace test {

ModelAccessor::ModelAccessor(const ModelDevicePtr& model) : model_(model), lastTimeoutMs_(0) {
    ++model_->accessorsAlive;
}

ModelAccessor::ModelAccessor(const ModelAccessor& other)
    : ScsiDeviceAccessor(other), model_(other.model_), lastTimeoutMs_(0) {
    ++model_->accessorsAlive;
}

ModelAccessor::~ModelAccessor() {
    --model_->accessorsAlive;
}

AccessorTransfer ModelAccessor::transfer(const ModelDevicePtr& model) {
    return AccessorTransfer(new ModelAccessor(model));
}

ScsiDeviceAccessor* ModelAccessor::clone() const {
    return new ModelAccessor(*this);
}

void ModelAccessor::send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                                  DXFER_DIRECTION direction, unsigned int timeoutMs,
                                  command_result_info& result) {
    lastTimeoutMs_ = timeoutMs;
    std::uint8_t* buffer = static_cast<std::uint8_t*>(data);
    Bytes sent;
    if (buffer && dataLen)
        sent.assign(buffer, buffer + dataLen);
    // As in a pass-through request, the data area starts as a copy of the
    // caller's bytes; the answer is copied back except on a write.
    Bytes area(sent);
    area.resize(dataLen, 0);
    ModelOutcome out = model_->execute(static_cast<const std::uint8_t*>(cdb), cdbLen, sent.data(),
                                       area.data(), dataLen, dataLen, direction, timeoutMs);
    if (out.transportCode != 0) {
        result.result.code = out.transportCode;
        result.result.detail = out.transportDetail;
        return;
    }

    const std::uint32_t copied = std::min(out.transferred, static_cast<std::uint32_t>(dataLen));
    if (buffer && dataLen && direction != DXFER_TO_DEVICE) {
        if (!model_->leavesCallerBytes)
            std::memset(buffer, 0, dataLen);
        std::memcpy(buffer, area.data(), copied);
    }

    std::size_t senseLen = std::min<std::size_t>(
        std::min<std::size_t>(out.sense.size(), static_cast<std::size_t>(out.reportedSenseLength)),
        SENSE_BUFFER_SIZE);
    std::memset(result.senseBuffer, 0, SENSE_BUFFER_SIZE);
    if (senseLen)
        std::memcpy(result.senseBuffer, out.sense.data(), senseLen);
    summarize_sense(result.sense, out.status, result.senseBuffer, static_cast<unsigned int>(senseLen));

    result.result.code = CMD_RESULT_OK;
    if (out.status != 0) {
        result.result.code = CMD_RESULT_SCSI_ERROR;
    } else if (out.transferred < dataLen) {
        result.result.code = CMD_RESULT_UNDERRUN;
        result.result.detail = dataLen - out.transferred;
    }
}

bool ModelAccessor::isEmulated() const {
    return model_->emulated;
}

bool ModelAccessor::getAddress(scsi_idlun& out) const {
    if (!model_->hasAddress)
        return false;
    out = model_->address;
    return true;
}

unsigned int ModelAccessor::getMaxXferSz() const {
    return model_->maxTransfer;
}

bool ModelAccessor::getDriverErrStr(unsigned int code, qln::String& out) const {
    if (!model_->errorTexts)
        return false;
    out = qln::String(("driver error " + std::to_string(code)).c_str());
    return true;
}

bool ModelAccessor::getHostErrStr(unsigned int code, qln::String& out) const {
    if (!model_->errorTexts)
        return false;
    out = qln::String(("host error " + std::to_string(code)).c_str());
    return true;
}

}  // namespace test
}  // namespace scsi
