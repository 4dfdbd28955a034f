#include "ModelScsiDevice.h"

#include <algorithm>
#include <cstring>

namespace scsi {
namespace test {

ModelAnswer ModelAnswer::good(const Bytes& match, const Bytes& data) {
    ModelAnswer a;
    a.match = match;
    a.data = data;
    return a;
}

ModelAnswer ModelAnswer::checkCondition(const Bytes& match, const Bytes& sense) {
    ModelAnswer a;
    a.match = match;
    a.status = 0x02;
    a.sense = sense;
    a.transferred = 0;
    return a;
}

ModelAnswer ModelAnswer::transportFailure(const Bytes& match, int code, std::uint32_t detail) {
    ModelAnswer a;
    a.match = match;
    a.transportCode = code;
    a.transportDetail = detail;
    return a;
}

Bytes fixedSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::size_t length) {
    Bytes full(std::max<std::size_t>(length, 18), 0);
    full[0] = 0x70;
    full[2] = key & 0x0F;
    full[7] = 10;  // additional sense length
    full[12] = asc;
    full[13] = ascq;
    full.resize(length);
    return full;
}

Bytes descriptorSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::size_t length) {
    Bytes full(std::max<std::size_t>(length, 8), 0);
    full[0] = 0x72;
    full[1] = key & 0x0F;
    full[2] = asc;
    full[3] = ascq;
    full.resize(length);
    return full;
}

ModelScsiDevice::ModelScsiDevice() {
    defaultAnswer_ = ModelAnswer::checkCondition(Bytes(), fixedSense(0x05, 0x20, 0x00));
}

ModelScsiDevice& ModelScsiDevice::on(const ModelAnswer& answer) {
    answers_.push_back(answer);
    used_.push_back(0);
    return *this;
}

ModelOutcome ModelScsiDevice::execute(const std::uint8_t* cdb, std::uint32_t cdbLen,
                                      const std::uint8_t* dataSent, std::uint8_t* dataArea,
                                      std::uint32_t dataAreaSize, std::uint32_t dataLen,
                                      DXFER_DIRECTION direction, std::uint32_t timeout) {
    ModelCommand command;
    if (cdb && cdbLen)
        command.cdb.assign(cdb, cdb + cdbLen);
    command.dataLen = dataLen;
    command.direction = direction;
    command.timeout = timeout;
    if (dataSent && dataLen)
        command.dataSent.assign(dataSent, dataSent + dataLen);
    commands_.push_back(command);

    const ModelAnswer* row = &defaultAnswer_;
    ModelAnswer generated;
    if (generator) {
        generated = generator(command);
        row = &generated;
    }
    for (std::size_t i = 0; !generator && i < answers_.size(); ++i) {
        const ModelAnswer& a = answers_[i];
        if (a.uses != 0 && used_[i] >= a.uses)
            continue;
        if (a.match.size() > command.cdb.size() ||
            !std::equal(a.match.begin(), a.match.end(), command.cdb.begin()))
            continue;
        ++used_[i];
        row = &a;
        break;
    }

    ModelOutcome out;
    out.transportCode = row->transportCode;
    out.transportDetail = row->transportDetail;
    if (out.transportCode != 0)
        return out;
    out.status = row->status;
    out.sense = row->sense;
    out.reportedSenseLength =
        row->reportedSenseLength >= 0 ? row->reportedSenseLength : static_cast<int>(row->sense.size());

    std::uint32_t natural = 0;
    if (direction == DXFER_FROM_DEVICE) {
        natural = static_cast<std::uint32_t>(std::min<std::size_t>(row->data.size(), dataLen));
    } else if (direction == DXFER_TO_DEVICE) {
        natural = dataLen;
    }
    out.transferred = row->transferred >= 0 ? static_cast<std::uint32_t>(row->transferred) : natural;

    if (direction == DXFER_FROM_DEVICE && dataArea) {
        std::size_t n = std::min<std::size_t>(row->data.size(), dataAreaSize);
        if (n)
            std::memcpy(dataArea, row->data.data(), n);
    }
    return out;
}

}  // namespace test
}  // namespace scsi
