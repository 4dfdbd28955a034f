#include "ScsiSBCDevice.h"

#include <cstring>
#include <utility>

#include "BigEndian.h"
#include "SharedCommands.h"
#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiSBCDevice";
// Trace location of the operations below; with the line numbers at the
// start of the message texts ("299 ") these are stable ids that log filters
// rely on, so they stay as they are when the code moves.
const char* const kTracePath = "projects\\modules\\src\\multi\\common\\libDravik\\libDravik\\ScsiSBCDevice";

const std::uint8_t kRead6 = 0x08;
const std::uint8_t kWrite6 = 0x0A;
const std::uint8_t kStartStopUnit = 0x1B;
const std::uint8_t kReadCapacity10 = 0x25;
const std::uint8_t kRead10 = 0x28;
const std::uint8_t kWrite10 = 0x2A;
const std::uint8_t kWriteVerify10 = 0x2E;
const std::uint8_t kVerify10 = 0x2F;
const std::uint8_t kReadDefectData10 = 0x37;
const std::uint8_t kSanitize = 0x48;
const std::uint8_t kRead16 = 0x88;
const std::uint8_t kWrite16 = 0x8A;
const std::uint8_t kWriteVerify16 = 0x8E;
const std::uint8_t kVerify16 = 0x8F;
const std::uint8_t kSynchronizeCache16 = 0x91;
const std::uint8_t kServiceActionIn16 = 0x9E;
const std::uint8_t kReadCapacity16Action = 0x10;  // service action of SERVICE ACTION IN(16)
const std::uint8_t kRead12 = 0xA8;
const std::uint8_t kWrite12 = 0xAA;
const std::uint8_t kWriteVerify12 = 0xAE;
const std::uint8_t kVerify12 = 0xAF;
const std::uint8_t kReadDefectData12 = 0xB7;

const unsigned int kDefectDataTimeoutMs = 5000;
const std::uint32_t kCapacity16Length = 12;  // the fields readCapacity reads
// Both the parameter list length of SANITIZE and the pattern length in the
// list are 16 bits, and the list has a 4-byte header.
const std::size_t kMaxPatternLength = 0xFFFF - 4;
const std::uint32_t kMaxLba6 = 0x1FFFFF;

using detail::getBE;
using detail::putBE;

// Byte 1 of READ and WRITE: FUA, and DPO when the data should not stay in
// the device's cache.
std::uint8_t transferFlags(bool fua, bool cachingAllowed) {
    return static_cast<std::uint8_t>((fua ? 0x08 : 0) | (cachingAllowed ? 0 : 0x10));
}

// Byte 1 of WRITE AND VERIFY and VERIFY: BYTCHK and DPO.
std::uint8_t verifyFlags(bool byteCheck, bool cachingAllowed) {
    return static_cast<std::uint8_t>((byteCheck ? 0x02 : 0) | (cachingAllowed ? 0 : 0x10));
}

// READ(6) and WRITE(6). Their address field holds 21 bits: a higher address
// cannot be sent, and cutting it would reach another block (00200000h would
// be block 0, where the partition table lives), so it is refused unsent.
bool sendSixByte(ScsiDevice& device, std::uint8_t opcode, void* data, std::uint32_t dataLen, std::uint32_t lba,
                 std::uint8_t blocks, DXFER_DIRECTION direction) {
    if (lba > kMaxLba6)
        return false;
    std::uint8_t cdb[6] = {opcode, 0, 0, 0, blocks, 0};
    putBE(cdb + 1, lba, 3);
    return device.send_scsi_cmd(cdb, sizeof(cdb), data, dataLen, direction, 0);
}

// The channel logger for the entry and exit trace, or null when tracing is off.
qln::Logger* traceLogger() {
    if (qln::LogFactory::getPriority() > qln::LOG_TRACE)
        return nullptr;
    if (s_logger == nullptr)
        s_logger = qln::LogFactory::createLogger(kChannel);
    return s_logger->getPriority() <= qln::LOG_TRACE ? s_logger : nullptr;
}

}  // namespace

// --- construction, copying, destruction -------------------------------------

ScsiSBCDevice::ScsiSBCDevice(const qln::SharedFileHandle& fileHandle) : ScsiSPCDevice(fileHandle) {}

ScsiSBCDevice::ScsiSBCDevice(const ScsiSPCDevice& device) : ScsiSPCDevice(device) {}

ScsiSBCDevice::ScsiSBCDevice(const ScsiSBCDevice& other)
    : ScsiSBCDevice(static_cast<const ScsiSPCDevice&>(other)) {}

ScsiSBCDevice::ScsiSBCDevice(ScsiSBCDevice&& other) : ScsiSPCDevice(std::move(other)) {}

ScsiSBCDevice& ScsiSBCDevice::operator=(const ScsiSBCDevice& other) {
    ScsiSPCDevice::operator=(other);
    return *this;
}

ScsiSBCDevice& ScsiSBCDevice::operator=(ScsiSBCDevice&& other) {
    ScsiSPCDevice::operator=(std::move(other));
    return *this;
}

ScsiSBCDevice::~ScsiSBCDevice() {}

// --- READ, WRITE, WRITE AND VERIFY, VERIFY ------------------------------------

bool ScsiSBCDevice::read6(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint8_t blocks) {
    return sendSixByte(*this, kRead6, data, dataLen, lba, blocks, DXFER_FROM_DEVICE);
}

bool ScsiSBCDevice::write6(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint8_t blocks) {
    return sendSixByte(*this, kWrite6, data, dataLen, lba, blocks, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::read10(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint16_t blocks,
                           bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kRead10, transferFlags(fua, cachingAllowed), 10, lba, blocks, data,
                                  dataLen, DXFER_FROM_DEVICE);
}

bool ScsiSBCDevice::write10(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint16_t blocks,
                            bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWrite10, transferFlags(fua, cachingAllowed), 10, lba, blocks, data,
                                  dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::read12(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint32_t blocks,
                           bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kRead12, transferFlags(fua, cachingAllowed), 12, lba, blocks, data,
                                  dataLen, DXFER_FROM_DEVICE);
}

bool ScsiSBCDevice::write12(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint32_t blocks,
                            bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWrite12, transferFlags(fua, cachingAllowed), 12, lba, blocks, data,
                                  dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::read16(void* data, std::uint32_t dataLen, std::uint64_t lba, std::uint32_t blocks,
                           bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kRead16, transferFlags(fua, cachingAllowed), 16, lba, blocks, data,
                                  dataLen, DXFER_FROM_DEVICE);
}

bool ScsiSBCDevice::write16(void* data, std::uint32_t dataLen, std::uint64_t lba, std::uint32_t blocks,
                            bool fua, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWrite16, transferFlags(fua, cachingAllowed), 16, lba, blocks, data,
                                  dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::writeVerify10(void* data, std::uint32_t dataLen, std::uint32_t lba,
                                  std::uint16_t blocks, bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWriteVerify10, verifyFlags(byteCheck, cachingAllowed), 10, lba,
                                  blocks, data, dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::writeVerify12(void* data, std::uint32_t dataLen, std::uint32_t lba,
                                  std::uint32_t blocks, bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWriteVerify12, verifyFlags(byteCheck, cachingAllowed), 12, lba,
                                  blocks, data, dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::writeVerify16(void* data, std::uint32_t dataLen, std::uint64_t lba,
                                  std::uint32_t blocks, bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kWriteVerify16, verifyFlags(byteCheck, cachingAllowed), 16, lba,
                                  blocks, data, dataLen, DXFER_TO_DEVICE);
}

bool ScsiSBCDevice::verify10(std::uint32_t lba, std::uint16_t blocks, void* data, std::uint16_t dataLen,
                             bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kVerify10, verifyFlags(byteCheck, cachingAllowed), 10, lba, blocks,
                                  data, dataLen, DXFER_NONE);
}

bool ScsiSBCDevice::verify12(std::uint32_t lba, std::uint32_t blocks, void* data, std::uint16_t dataLen,
                             bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kVerify12, verifyFlags(byteCheck, cachingAllowed), 12, lba, blocks,
                                  data, dataLen, DXFER_NONE);
}

bool ScsiSBCDevice::verify16(std::uint64_t lba, std::uint32_t blocks, void* data, std::uint16_t dataLen,
                             bool byteCheck, bool cachingAllowed) {
    return detail::sendBlockRange(*this, kVerify16, verifyFlags(byteCheck, cachingAllowed), 16, lba, blocks,
                                  data, dataLen, DXFER_NONE);
}

// --- START STOP UNIT, capacity, SYNCHRONIZE CACHE ------------------------------

bool ScsiSBCDevice::startStopUnit(_SBC_POWER_CONDITIONS powerCondition, bool loadEject, bool start,
                                  bool immediate) {
    const unsigned int condition = static_cast<unsigned int>(powerCondition) & 0x0F;
    std::uint8_t cdb[6] = {kStartStopUnit, static_cast<std::uint8_t>(immediate ? 0x01 : 0), 0, 0,
                           static_cast<std::uint8_t>((condition << 4) | (loadEject ? 0x02 : 0) |
                                                     (start ? 0x01 : 0)),
                           0};
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiSBCDevice::readCapacity10(std::uint32_t& lastLba, std::uint32_t& blockLength, std::uint32_t lba,
                                   bool pmi) {
    std::uint8_t cdb[10] = {kReadCapacity10, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(pmi ? 0x01 : 0), 0};
    putBE(cdb + 2, lba, 4);
    std::uint8_t answer[8] = {0};
    if (!send_scsi_cmd(cdb, sizeof(cdb), answer, sizeof(answer), DXFER_FROM_DEVICE, 0))
        return false;
    lastLba = static_cast<std::uint32_t>(getBE(answer, 4));
    blockLength = static_cast<std::uint32_t>(getBE(answer + 4, 4));
    return true;
}

bool ScsiSBCDevice::readCapacity16(sbc_read_capacity_16_resp_t& response, std::uint32_t allocationLength,
                                   std::uint64_t lba, bool pmi) {
    // SBC allows more than the record's 32 bytes, but the device may write
    // only into the caller's record.
    const std::uint32_t recordSize = static_cast<std::uint32_t>(sizeof(response));
    const std::uint32_t length = allocationLength < recordSize ? allocationLength : recordSize;
    std::uint8_t cdb[16] = {kServiceActionIn16, kReadCapacity16Action};
    putBE(cdb + 2, lba, 8);
    putBE(cdb + 10, length, 4);
    cdb[14] = pmi ? 0x01 : 0;
    return send_scsi_cmd(cdb, sizeof(cdb), &response, length, DXFER_FROM_DEVICE, 0);
}

bool ScsiSBCDevice::readCapacity(sbc_capacity& capacity) {
    std::uint32_t lastLba = 0;
    std::uint32_t blockLength = 0;
    if (!readCapacity10(lastLba, blockLength, 0, false))
        return false;
    if (lastLba != 0xFFFFFFFFu) {
        capacity.numBlocks = std::uint64_t(lastLba) + 1;
        capacity.blockLength = blockLength;
        return true;
    }

    // The capacity does not fit READ CAPACITY(10).
    sbc_read_capacity_16_resp_t response;
    std::memset(&response, 0, sizeof(response));
    if (!readCapacity16(response, kCapacity16Length, 0, false))
        return false;
    const std::uint64_t last = getBE(response.returnedLba, 8);
    if (last == ~std::uint64_t(0))
        return false;  // no count of blocks can be told
    capacity.numBlocks = last + 1;
    capacity.blockLength = static_cast<std::uint32_t>(getBE(response.blockLength, 4));
    return true;
}

bool ScsiSBCDevice::synchronizeCache10(std::uint32_t lba, std::uint16_t blocks, bool immediate) {
    return detail::synchronizeCache10(*this, lba, blocks, immediate);
}

bool ScsiSBCDevice::synchronizeCache16(std::uint64_t lba, std::uint32_t blocks, bool immediate) {
    return detail::sendBlockRange(*this, kSynchronizeCache16, static_cast<std::uint8_t>(immediate ? 0x02 : 0), 16,
                                  lba, blocks, nullptr, 0, DXFER_NONE);
}

// --- SANITIZE, READ DEFECT DATA -----------------------------------------------

bool ScsiSBCDevice::sanitize(_SBC_SANITIZE_SERVICEACTIONS serviceAction,
                             const qln::Buffer<unsigned char>* pattern, std::uint8_t overwriteCount,
                             bool invert, bool ause) {
    qln::TraceLogger trace(traceLogger(), "ScsiSBCDevice::sanitize", kTracePath, 245);

    // The field holds five bits; what decides the parameter list is the
    // action the device will read.
    const std::uint8_t action = static_cast<std::uint8_t>(static_cast<unsigned int>(serviceAction) & 0x1F);
    const bool overwrite = action == SBC_SANITIZE_OVERWRITE;
    if (overwrite) {
        const bool usable = pattern != nullptr && pattern->getLength() != 0 &&
                            pattern->getLength() <= kMaxPatternLength;
        if (!usable || static_cast<std::uint8_t>(overwriteCount - 1) > 30)
            return false;
    }

    std::uint8_t cdb[10] = {kSanitize, static_cast<std::uint8_t>(0x80 | (ause ? 0x20 : 0) | action),
                            0, 0, 0, 0, 0, 0, 0, 0};
    if (!overwrite)
        return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);

    const std::size_t patternLength = pattern->getLength();
    qln::Buffer<unsigned char> list(patternLength + 4);
    unsigned char* bytes = list.getData();
    bytes[0] = static_cast<unsigned char>((invert ? 0x80 : 0) | overwriteCount);
    putBE(bytes + 2, patternLength, 2);
    std::memcpy(bytes + 4, pattern->getData(), patternLength);
    putBE(cdb + 7, list.getLength(), 2);
    return send_scsi_cmd(cdb, sizeof(cdb), bytes, static_cast<unsigned int>(list.getLength()),
                         DXFER_TO_DEVICE, 0);
}

bool ScsiSBCDevice::readDefectData10(void* data, std::uint16_t allocationLength, bool plist, bool glist,
                                     std::uint8_t format) {
    qln::TraceLogger trace(traceLogger(), "ScsiSBCDevice::readDefectData10", kTracePath, 288);
    std::uint8_t cdb[10] = {kReadDefectData10, 0,
                            static_cast<std::uint8_t>((plist ? 0x10 : 0) | (glist ? 0x08 : 0) | (format & 0x07)),
                            0, 0, 0, 0, 0, 0, 0};
    putBE(cdb + 7, allocationLength, 2);
    QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
            "299 " + "Sending CDB:" + qln::HexDumpFormat(cdb, sizeof(cdb), 0, 0).toString());
    return send_scsi_cmd(cdb, sizeof(cdb), data, allocationLength, DXFER_FROM_DEVICE, kDefectDataTimeoutMs);
}

bool ScsiSBCDevice::readDefectData12(void* data, std::uint32_t allocationLength, bool plist, bool glist,
                                     std::uint8_t format, std::uint32_t addressDescriptorIndex) {
    qln::TraceLogger trace(traceLogger(), "ScsiSBCDevice::readDefectData12", kTracePath, 305);
    std::uint8_t cdb[12] = {kReadDefectData12,
                            static_cast<std::uint8_t>((plist ? 0x10 : 0) | (glist ? 0x08 : 0) | (format & 0x07))};
    putBE(cdb + 2, addressDescriptorIndex, 4);
    putBE(cdb + 6, allocationLength, 4);
    QLN_LOG(s_logger, kChannel, qln::LOG_TRACE,
            "316 " + "Sending CDB:" + qln::HexDumpFormat(cdb, sizeof(cdb), 0, 0).toString());
    return send_scsi_cmd(cdb, sizeof(cdb), data, allocationLength, DXFER_FROM_DEVICE, kDefectDataTimeoutMs);
}

}  // namespace scsi
