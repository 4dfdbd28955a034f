#include "ScsiSPCDevice.h"

#include <cstring>
#include <utility>
#include <vector>

#include "BigEndian.h"
#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiSPCDevice";
qln::Logger* s_infoLogger = nullptr;
const char* const kInfoChannel = "libDravik.ScsiSPCDevice.Info";

const std::uint8_t kInquiry = 0x12;
const std::uint8_t kTestUnitReady = 0x00;
const std::uint8_t kRequestSense = 0x03;
const std::uint8_t kLogSense = 0x4D;
const std::uint8_t kModeSense6 = 0x1A;
const std::uint8_t kModeSense10 = 0x5A;
const std::uint8_t kModeSelect6 = 0x15;
const std::uint8_t kModeSelect10 = 0x55;
const std::uint8_t kPreventAllowMediumRemoval = 0x1E;
const std::uint8_t kReportLuns = 0xA0;
const std::uint8_t kMaintenanceIn = 0xA3;
const std::uint8_t kReportSupportedOpCodes = 0x0C;  // service action of MAINTENANCE IN
const std::uint8_t kSendDiagnostic = 0x1D;
const std::uint8_t kSecurityProtocolIn = 0xA2;

// Standard INQUIRY: the first, short request and the length every device
// must be able to return.
const std::uint16_t kInquiryProbeLength = 6;
const std::uint16_t kInquiryDefaultLength = 36;

const std::uint32_t kOpCodeListArea = 8196;  // 4-byte header and 8192 bytes of descriptors
const std::uint32_t kOpCodeListMax = kOpCodeListArea - 4;
const unsigned int kOpCodeQueryTimeoutMs = 5000;

using detail::getBE16;
using detail::getBE32;
using detail::putBE16;
using detail::putBE32;

std::uint32_t smallest(std::uint32_t a, std::uint32_t b) {
    return a < b ? a : b;
}

// The bytes of an answer past its header; none when not even the header came.
std::uint32_t beyond(std::uint32_t bytes, std::uint32_t header) {
    return bytes > header ? bytes - header : 0;
}

qln::String decimal(unsigned int value) {
    return qln::QLNValue(value).toString(qln::QLNValue::nilValue);
}

}  // namespace

// --- construction, copying, destruction -------------------------------------

ScsiSPCDevice::ScsiSPCDevice(const qln::SharedFileHandle& fileHandle)
    : ScsiDevice(fileHandle), cachedInquiry(), modePages() {
    clearCachedInfo();
}

ScsiSPCDevice::ScsiSPCDevice(AccessorTransfer accessor)
    : ScsiDevice(std::move(accessor)), cachedInquiry(), modePages() {
    clearCachedInfo();
}

ScsiSPCDevice::ScsiSPCDevice(const ScsiDevice& device)
    : ScsiDevice(device), cachedInquiry(), modePages() {
    clearCachedInfo();
}

ScsiSPCDevice::ScsiSPCDevice(const ScsiSPCDevice& other)
    : ScsiDevice(other),
      cachedInquiry(std::move(other.cachedInquiry)),
      modePages(other.modePages),
      cacheFlags(other.cacheFlags) {
    copyPageSets(other);
}

ScsiSPCDevice::ScsiSPCDevice(ScsiSPCDevice&& other)
    : ScsiDevice(other), cachedInquiry(std::move(other.cachedInquiry)), modePages(),
      cacheFlags(other.cacheFlags) {
    copyPageSets(other);
    modePages.swap(other.modePages);
}

ScsiSPCDevice& ScsiSPCDevice::operator=(const ScsiSPCDevice& other) {
    ScsiDevice::operator=(other);
    if (&other != this) {
        cachedInquiry.reset();
        cachedInquiry = std::move(other.cachedInquiry);
    }
    copyPageSets(other);
    if (&other != this) {
        modePages.clear();
        modePages = other.modePages;
    }
    cacheFlags = other.cacheFlags;
    return *this;
}

ScsiSPCDevice& ScsiSPCDevice::operator=(ScsiSPCDevice&& other) {
    // As the copy, and the source keeps no mode pages.
    operator=(static_cast<const ScsiSPCDevice&>(other));
    if (&other != this)
        other.modePages.clear();
    return *this;
}

ScsiSPCDevice::~ScsiSPCDevice() {
    modePages.clear();
    cachedInquiry.reset();
}

void ScsiSPCDevice::copyPageSets(const ScsiSPCDevice& other) {
    if (&other == this)
        return;
    std::memcpy(logPages, other.logPages, sizeof(logPages));
    std::memcpy(vpdPages, other.vpdPages, sizeof(vpdPages));
}

void ScsiSPCDevice::clearCachedInfo() {
    std::memset(logPages, 0, sizeof(logPages));
    std::memset(vpdPages, 0, sizeof(vpdPages));
    modePages.clear();
    cacheFlags = 0;
}

_SPC_PERIPHERAL_DEVICE_TYPES ScsiSPCDevice::cachedPeripheralDeviceType() const {
    const scsi_inquiry_t* data = cachedInquiry.get();
    if (data == nullptr)
        return SPC_UNKNOWN_DEVICE_TYPE;
    return static_cast<_SPC_PERIPHERAL_DEVICE_TYPES>(data->peripheral & 0x1F);
}

std::uint32_t ScsiSPCDevice::bytesArrived(std::uint32_t requested) const {
    const cmd_result_info& result = resultData.result;
    if (result.code != CMD_RESULT_UNDERRUN)
        return requested;
    return result.detail <= requested ? requested - result.detail : 0;
}

// A device sends what it has and no more, so a list or page shorter than the
// area asked for ends the transfer early; such an answer is read as far as it
// came, once its header is among it.
std::uint32_t ScsiSPCDevice::answerWithHeader(bool sent, std::uint32_t requested,
                                              std::uint32_t header) const {
    if (!sent && resultData.result.code != CMD_RESULT_UNDERRUN)
        return 0;
    const std::uint32_t arrived = bytesArrived(requested);
    return arrived >= header ? arrived : 0;
}

// --- INQUIRY ----------------------------------------------------------------

bool ScsiSPCDevice::inquiry(std::uint8_t pageCode, void* buffer, std::uint16_t length, bool evpd) {
    std::uint8_t cdb[6] = {kInquiry, static_cast<std::uint8_t>(evpd ? 0x01 : 0x00), pageCode, 0, 0, 0};
    putBE16(cdb + 3, length);
    std::uint8_t* answer = static_cast<std::uint8_t*>(buffer);

    std::uint32_t arrived = length;
    if (!send_scsi_cmd(cdb, sizeof(cdb), buffer, length, DXFER_FROM_DEVICE, 0)) {
        // A device that returns its whole VPD page although more was asked
        // for: the page length (bytes 2-3; pages such as ATA Information
        // exceed 255 bytes) tells how much there was.
        cmd_result_info& result = resultData.result;
        if (!evpd || length <= 4 || result.code != CMD_RESULT_UNDERRUN)
            return false;
        const std::uint32_t pageBytes = getBE16(answer + 2) + 4u;
        if (pageBytes > length || result.detail != length - pageBytes)
            return false;
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "197 " + qln::SprintfFormat("Device reported residual data of %u bytes, but the entire "
                                            "INQUIRY data (%lu) bytes was returned",
                                            static_cast<unsigned int>(result.detail),
                                            static_cast<unsigned long>(pageBytes))
                             .toString());
        result.code = CMD_RESULT_OK;
        result.detail = 0;
        arrived = pageBytes;
    }

    // The page code of the answer can only be checked when it arrived.
    if (evpd && arrived >= 2 && answer[1] != pageCode) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "205 " + qln::SprintfFormat("The inquiry cmd completed successfully, but the req VPD "
                                            "pagecode (%Xh) does not match the returned VPD pagecode "
                                            "in the CDB (%Xh)",
                                            static_cast<unsigned int>(pageCode),
                                            static_cast<unsigned int>(answer[1]))
                             .toString());
        resultData.result.code = CMD_RESULT_VPD_MISMATCH;
        resultData.result.detail = 0;
        return false;
    }
    return true;
}

bool ScsiSPCDevice::inquiry(scsi_inquiry_t* data, bool useCache) {
    if (!useCache || !cachedInquiry.isValid()) {
        cachedInquiry.reset();

        std::uint8_t work[INQUIRY_DATA_SIZE];
        std::memset(work, 0, sizeof(work));
        if (!inquiry(0, work, kInquiryProbeLength, false)) {
            QLN_LOG(s_logger, kChannel, qln::LOG_INFO,
                    "130 " + "initial inquiry w/min alloc bytes (" + decimal(5) +
                        ") failed, try default data return size instead (" +
                        decimal(kInquiryDefaultLength) + ")");
            std::memset(work, 0, sizeof(work));
            if (!inquiry(0, work, kInquiryDefaultLength, false))
                return false;
        }

        const std::uint32_t additional = work[4];
        if (additional == 0)
            return false;

        std::uint32_t request = additional + 5;
        if (request < kInquiryDefaultLength)
            request = kInquiryDefaultLength;
        bool raised = false;
        if (request % 2 != 0) {
            ++request;
            raised = true;
        }
        if (request > INQUIRY_DATA_SIZE) {
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                    "150 " + "More inquiry data than capable of handling with this method");
            request = INQUIRY_DATA_SIZE;
        }

        if (!inquiry(0, work, static_cast<std::uint16_t>(request), false)) {
            const std::int32_t code = resultData.result.code;
            const std::uint32_t detail = resultData.result.detail;
            const bool shortAnswer = code == CMD_RESULT_UNDERRUN;
            if (raised && shortAnswer && detail == 1) {
                QLN_LOG(s_logger, kChannel, qln::LOG_INFO,
                        "156 " + "INQUIRY command was truncated when padded to a WORD boundary.");
            } else if (shortAnswer && ((detail == 1 && !raised) || (detail == 2 && raised))) {
                QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                        "159 " + "The additional length field was off-by-one, allowing the inquiry "
                                 "command to return successfully");
            } else {
                // Only a short answer says how many bytes came; a failed
                // transport or a rejected command leaves nothing to accept.
                const std::uint32_t got = shortAnswer && detail <= request ? request - detail : 0;
                const bool minimal = got >= 96 || (got >= 58 && got <= 74 && got % 2 == 0);
                if (!shortAnswer || !minimal) {
                    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                            "168 " + qln::SprintfFormat("INQUIRY command was not successful when "
                                                        "requesting %u bytes",
                                                        static_cast<unsigned int>(request))
                                         .toString());
                    return false;
                }
                work[4] = static_cast<std::uint8_t>(got - 5);
                QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                        "165 " + qln::SprintfFormat("The return inquiry result is minimally correct, "
                                                    "allowing the inquiry command to return "
                                                    "successfully with the Additional length "
                                                    "modified to %u",
                                                    static_cast<unsigned int>(work[4]))
                                     .toString());
            }
        }

        // The additional length stays as the device sent it; every reader
        // of the cached block keeps inside its 256 bytes by its own bound.
        scsi_inquiry_t* block = new scsi_inquiry_t;
        std::memcpy(block, work, sizeof(work));
        cachedInquiry = InquiryHolder(block);
    }

    if (cachedInquiry.isValid() && data != nullptr)
        std::memcpy(data, cachedInquiry.get(), sizeof(scsi_inquiry_t));
    return cachedInquiry.isValid();
}

qln::String ScsiSPCDevice::getVendorId() {
    scsi_inquiry_t data;
    if (!inquiry(&data, true) || data.additionalLength < 5)
        return qln::String();
    return qln::String(data.vendorId, sizeof(data.vendorId));
}

qln::String ScsiSPCDevice::getProductId() {
    scsi_inquiry_t data;
    if (!inquiry(&data, true) || data.additionalLength < 13)
        return qln::String();
    return qln::String(data.productId, sizeof(data.productId));
}

qln::String ScsiSPCDevice::getProductRevision() {
    scsi_inquiry_t data;
    if (!inquiry(&data, true) || data.additionalLength < 29)
        return qln::String();
    return qln::String(data.productRevision, smallest(4, data.additionalLength - 27u));
}

qln::String ScsiSPCDevice::getVendorName() {
    scsi_inquiry_t data;
    if (!inquiry(&data, true) || data.additionalLength < 5)
        return qln::String();
    return qln::String(xlateVendorID(data.vendorId));
}

// --- primary commands -------------------------------------------------------

bool ScsiSPCDevice::testUnitReady() {
    std::uint8_t cdb[6] = {kTestUnitReady, 0, 0, 0, 0, 0};
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiSPCDevice::requestSense(void* senseData) {
    std::memset(senseData, 0, SENSE_BUFFER_SIZE);
    std::uint8_t cdb[6] = {kRequestSense, 0, 0, 0, SENSE_BUFFER_SIZE, 0};
    if (send_scsi_cmd(cdb, sizeof(cdb), senseData, SENSE_BUFFER_SIZE, DXFER_FROM_DEVICE, 0))
        return true;
    return resultData.result.code == CMD_RESULT_UNDERRUN;
}

bool ScsiSPCDevice::logSense(std::uint8_t pageCode, void* buffer, std::uint16_t length,
                             std::uint16_t parameterPointer, std::uint8_t subpageCode) {
    if (length != 0)
        std::memset(buffer, 0, length);
    // PC 01b: cumulative values.
    std::uint8_t cdb[10] = {kLogSense, 0, static_cast<std::uint8_t>(pageCode | 0x40), subpageCode, 0,
                            0, 0, 0, 0, 0};
    putBE16(cdb + 5, parameterPointer);
    putBE16(cdb + 7, length);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer, length, DXFER_FROM_DEVICE, 0);
}

bool ScsiSPCDevice::modeSense(bool tenByte, std::uint8_t pageCode, void* buffer, std::uint32_t length,
                              std::uint8_t subpageCode, std::uint8_t* total6, std::uint16_t* total10) {
    const std::uint32_t headerSize = tenByte ? 8 : 4;
    const unsigned int cdbLen = tenByte ? 10 : 6;
    // DBD set, PC 00b: current values.
    std::uint8_t cdb[10] = {tenByte ? kModeSense10 : kModeSense6, 0x08,
                            static_cast<std::uint8_t>(pageCode & 0x3F), subpageCode, 0, 0, 0, 0, 0, 0};
    // The allocation length field holds one byte (6) or two (10); a longer
    // area asks for as much as the field can hold.
    const std::uint32_t fieldMax = tenByte ? 0xFFFF : 0xFF;
    auto setAllocation = [&](std::uint32_t n) {
        const std::uint32_t value = smallest(n, fieldMax);
        if (tenByte)
            putBE16(cdb + 7, value);
        else
            cdb[4] = static_cast<std::uint8_t>(value);
    };

    std::uint8_t header[8] = {0};
    setAllocation(headerSize);
    if (!send_scsi_cmd(cdb, cdbLen, header, headerSize, DXFER_FROM_DEVICE, 0))
        return false;

    const std::uint32_t modeDataLength = tenByte ? getBE16(header) : header[0];
    if (tenByte && total10 != nullptr)
        *total10 = static_cast<std::uint16_t>(modeDataLength);
    if (!tenByte && total6 != nullptr)
        *total6 = static_cast<std::uint8_t>(modeDataLength);

    const std::uint32_t areaSize = modeDataLength + headerSize;
    std::vector<std::uint8_t> area(areaSize, 0);
    setAllocation(areaSize);
    if (!send_scsi_cmd(cdb, cdbLen, area.data(), areaSize, DXFER_FROM_DEVICE, 0) &&
        resultData.result.code != CMD_RESULT_UNDERRUN)
        return false;
    const std::uint32_t arrived = bytesArrived(areaSize);

    if (arrived >= (tenByte ? 2u : 1u)) {
        const std::uint32_t answered = tenByte ? getBE16(area.data()) : area[0];
        if (tenByte ? answered > areaSize : answered + 1 > areaSize) {
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                    (tenByte ? "328 " : "286 ") +
                        (tenByte ? "ScsiSPCDevice::modeSense10: the buffer size ("
                                 : "ScsiSPCDevice::modeSense6: the buffer size (") +
                        static_cast<unsigned int>(length) + ") is smaller than the total returned bytes (" +
                        static_cast<unsigned int>(answered) + "), some info maybe be truncated");
        }
    }

    // Page data after the header, as much as the caller's buffer and the
    // reported length allow; bytes the device did not send are the area's
    // zeros, so the caller never keeps stale bytes behind the page data.
    const std::uint32_t copied = smallest(length, modeDataLength);
    if (copied != 0)
        std::memcpy(buffer, area.data() + headerSize, copied);
    return true;
}

bool ScsiSPCDevice::modeSense6(std::uint8_t pageCode, void* buffer, std::uint8_t length,
                               std::uint8_t subpageCode, std::uint8_t* total) {
    return modeSense(false, pageCode, buffer, length, subpageCode, total, nullptr);
}

bool ScsiSPCDevice::modeSense10(std::uint8_t pageCode, void* buffer, std::uint16_t length,
                                std::uint8_t subpageCode, std::uint16_t* total) {
    return modeSense(true, pageCode, buffer, length, subpageCode, nullptr, total);
}

bool ScsiSPCDevice::modeSelect6(void* buffer, std::uint8_t length, bool pf, bool sp) {
    std::uint8_t cdb[6] = {kModeSelect6, static_cast<std::uint8_t>((pf ? 0x10 : 0) | (sp ? 0x01 : 0)), 0,
                           0, length, 0};
    return send_scsi_cmd(cdb, sizeof(cdb), buffer, length, DXFER_TO_DEVICE, 0);
}

bool ScsiSPCDevice::modeSelect10(void* buffer, std::uint16_t length, bool pf, bool sp) {
    std::uint8_t cdb[10] = {kModeSelect10, static_cast<std::uint8_t>((pf ? 0x10 : 0) | (sp ? 0x01 : 0)),
                            0, 0, 0, 0, 0, 0, 0, 0};
    putBE16(cdb + 7, length);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer, length, DXFER_TO_DEVICE, 0);
}

bool ScsiSPCDevice::preventAllowMediumRemoval(_SPC_MEDIUM_REMOVAL_MODES mode) {
    std::uint8_t cdb[6] = {kPreventAllowMediumRemoval, 0, 0, 0, static_cast<std::uint8_t>(mode & 3), 0};
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiSPCDevice::reportLUNS(spc_report_luns_data* data, std::uint32_t length,
                               _SPC_REPORT_LUNS_SELECT select) {
    std::uint8_t cdb[12] = {kReportLuns, 0, static_cast<std::uint8_t>(select), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    putBE32(cdb + 6, length);
    return send_scsi_cmd(cdb, sizeof(cdb), data, length, DXFER_FROM_DEVICE, 0);
}

bool ScsiSPCDevice::reportSupportedOpCodes(std::uint8_t, std::uint8_t requestedOpCode,
                                           qln::Array<spc_supported_opcode_descriptor>& descriptors) {
    // Reporting options 000b: every command the device supports.
    std::uint8_t cdb[12] = {kMaintenanceIn, kReportSupportedOpCodes, 0x00, requestedOpCode, 0, 0,
                            0, 0, 0, 0, 0, 0};
    putBE32(cdb + 6, kOpCodeListArea);
    std::uint8_t area[kOpCodeListArea];
    std::memset(area, 0, sizeof(area));
    // A device sends its list and no more, so the answer is short on every
    // device with fewer than 1024 commands: it counts once its header came.
    const std::uint32_t arrived = answerWithHeader(
        send_scsi_cmd(cdb, sizeof(cdb), area, kOpCodeListArea, DXFER_FROM_DEVICE, 0), kOpCodeListArea, 4);
    if (arrived == 0)
        return false;

    descriptors = qln::Array<spc_supported_opcode_descriptor>();
    std::uint32_t listBytes = smallest(getBE32(area), kOpCodeListMax);
    listBytes = smallest(listBytes, arrived - 4);
    for (std::uint32_t offset = 0; offset + 8 <= listBytes; offset += 8) {
        spc_supported_opcode_descriptor descriptor;
        std::memcpy(&descriptor, area + 4 + offset, sizeof(descriptor));
        descriptors.append(descriptor);
    }
    return true;
}

bool ScsiSPCDevice::isOpCodeAndServiceActionSupported(std::uint8_t opCode, std::uint16_t serviceAction,
                                                      bool& supported) {
    // Reporting options 010b: one command, by operation code and service action.
    std::uint8_t cdb[12] = {kMaintenanceIn, kReportSupportedOpCodes, 0x02, opCode, 0, 0, 0, 0, 0, 0, 0, 0};
    putBE16(cdb + 4, serviceAction);
    putBE32(cdb + 6, 4);
    std::uint8_t answer[4] = {0, 0, 0, 0};
    if (!send_scsi_cmd(cdb, sizeof(cdb), answer, sizeof(answer), DXFER_FROM_DEVICE,
                       kOpCodeQueryTimeoutMs))
        return false;
    // SUPPORT 011b: supported as the standard defines it.
    supported = (answer[1] & 0x07) == 0x03;
    return true;
}

bool ScsiSPCDevice::sendDiagnostic(_SPC_DIAGNOSTIC_TYPES selfTestCode, bool devOffL, bool unitOffL,
                                   void* parameterList, std::uint16_t parameterListLength,
                                   std::uint32_t timeoutMs) {
    const unsigned int code = static_cast<unsigned int>(selfTestCode) & 0x07;
    std::uint8_t flags = static_cast<std::uint8_t>((code << 5) | (devOffL ? 0x02 : 0) | (unitOffL ? 0x01 : 0));
    // The code as given decides the default self-test, not its three low bits.
    if (static_cast<unsigned int>(selfTestCode) == 0)
        flags |= 0x04;  // SELFTEST: the default self-test
    std::uint8_t cdb[6] = {kSendDiagnostic, flags, 0, 0, 0, 0};
    if (parameterList != nullptr) {
        putBE16(cdb + 3, parameterListLength);
        return send_scsi_cmd(cdb, sizeof(cdb), parameterList, parameterListLength, DXFER_TO_DEVICE,
                             timeoutMs);
    }
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, timeoutMs);
}

bool ScsiSPCDevice::securityProtocolIn(std::uint8_t securityProtocol, std::uint16_t protocolSpecific,
                                       qln::Buffer<unsigned char>& buffer, bool inc512) {
    const std::uint32_t bytes = static_cast<std::uint32_t>(buffer.getLength());
    std::uint32_t allocation = bytes;
    if (inc512) {
        if (bytes == 0 || bytes % 512 != 0) {
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                    "666 " + "command flag INC_512 set to true, but buffer size is not a multiple of 512");
            return false;
        }
        allocation = bytes / 512;
    }
    std::uint8_t cdb[12] = {kSecurityProtocolIn, securityProtocol, 0, 0,
                            static_cast<std::uint8_t>(inc512 ? 0x80 : 0x00), 0, 0, 0, 0, 0, 0, 0};
    putBE16(cdb + 2, protocolSpecific);
    putBE32(cdb + 6, allocation);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), bytes, DXFER_FROM_DEVICE, 0);
}

// --- page support caches, serial number ------------------------------------

namespace {

const std::uint32_t kLogListRead = 0x1;
const std::uint32_t kVpdListRead = 0x2;
const std::uint32_t kModeListRead = 0x4;
const std::uint32_t kModeArea = 65535;
const std::uint32_t kVpdListArea = 260;
const std::uint32_t kSerialArea = 252;
const std::uint32_t kSelfTestPage = 404;
const std::uint8_t kAtaPassThrough16 = 0x85;
const char kAtaSignature[8] = {'A', 'T', 'A', ' ', ' ', ' ', ' ', ' '};

bool bitSet(const std::uint32_t* set, unsigned int code) {
    return (set[code / 32] >> (code % 32)) & 1u;
}

void setBit(std::uint32_t* set, unsigned int code) {
    set[code / 32] |= 1u << (code % 32);
}

bool vpdListSound(const std::uint8_t* answer) {
    return answer[1] == 0x00 && answer[3] > 1 && answer[4] == 0x00;
}

qln::String pageName(const char* text) {
    qln::String name(text != nullptr ? text : "");
    if (name.size() == 0)
        name = "Unknown";
    return name;
}

std::int8_t progressPercent(const std::uint8_t* at) {
    return static_cast<std::int8_t>(getBE16(at) / 655);
}

// NOT READY alone is no self-test: a drive without a medium (3Ah/00h), one
// becoming ready (04h/01h) or one formatting (04h/04h, with the format's
// progress) say NOT READY too. Only LOGICAL UNIT NOT READY, SELF-TEST IN
// PROGRESS is one.
bool selfTestInProgress(std::uint8_t asc, std::uint8_t ascq) {
    return asc == 0x04 && ascq == 0x09;
}

// The sense-key-specific descriptor, whose bytes 4-6 hold SKSV and the
// progress. Another progress indication (0Ah) has the same length and
// belongs to another operation.
const std::uint8_t kSenseKeySpecificDescriptor = 0x02;

}  // namespace

bool ScsiSPCDevice::hasLogPage(std::uint8_t pageCode) {
    if (!(cacheFlags & kLogListRead)) {
        std::memset(logPages, 0, sizeof(logPages));
        std::uint8_t area[4 + 63];
        if (logSense(0x00, area, 4, 0, 0)) {
            const std::uint32_t first = smallest(getBE16(area + 2), 63);
            if (first != 0) {
                const std::uint32_t size = first + 4;
                if (logSense(0x00, area, static_cast<std::uint16_t>(size), 0, 0)) {
                    // Codes only as far as the area and the answer go.
                    const std::uint32_t arrived = bytesArrived(size);
                    std::uint32_t m = smallest(getBE16(area + 2), 63);
                    m = smallest(m, beyond(arrived, 4));
                    m = smallest(m, first);
                    for (std::uint32_t i = 0; i < m; ++i)
                        setBit(logPages, area[4 + i] & 0x3F);
                }
                cacheFlags |= kLogListRead;
            }
        }
    }
    return pageCode < 0x40 && bitSet(logPages, pageCode);
}

bool ScsiSPCDevice::hasVPDPage(std::uint8_t pageCode, bool refresh) {
    if (!(cacheFlags & kVpdListRead) || refresh) {
        std::memset(vpdPages, 0, sizeof(vpdPages));
        std::uint8_t area[kVpdListArea];
        std::memset(area, 0, sizeof(area));
        if (!inquiry(0x00, area, 5, true)) {
            QLN_LOG(s_infoLogger, kInfoChannel, qln::LOG_WARN,
                    "230 " + "VPD data is not available on this device");
        } else if (!vpdListSound(area)) {
            QLN_LOG(s_infoLogger, kInfoChannel, qln::LOG_WARN,
                    "210 " + "This device does not respond properly when requested to return VPD data");
        } else {
            const std::uint32_t n = area[3];
            if (inquiry(0x00, area, static_cast<std::uint16_t>(n + 4), true)) {
                if (vpdListSound(area) && area[3] == n) {
                    // A short answer lists only the codes that came.
                    const std::uint32_t arrived = bytesArrived(n + 4);
                    const std::uint32_t count = smallest(n, beyond(arrived, 4));
                    for (std::uint32_t i = 0; i < count; ++i)
                        setBit(vpdPages, area[4 + i]);
                } else {
                    QLN_LOG(s_infoLogger, kInfoChannel, qln::LOG_WARN, "225 " + "Inconsistent VPD data");
                }
            }
        }
        cacheFlags |= kVpdListRead;
    }
    return bitSet(vpdPages, pageCode);
}

bool ScsiSPCDevice::hasModePage(std::uint8_t pageCode, std::uint8_t subpageCode, bool useModeSense10,
                                bool refresh) {
    if (!(cacheFlags & kModeListRead) || refresh) {
        struct MarkRead {
            std::uint32_t& flags;
            ~MarkRead() { flags |= kModeListRead; }
        } mark{cacheFlags};

        std::vector<std::uint8_t> area(kModeArea, 0);
        std::uint8_t total6 = 0;
        std::uint16_t total10 = 0;
        bool sent;
        std::uint32_t headerSize;
        std::uint32_t modeBytes;
        if (useModeSense10) {
            sent = modeSense10(0x3F, area.data(), static_cast<std::uint16_t>(kModeArea), 0xFF, &total10);
            headerSize = 8;
            modeBytes = total10 + 2u;
        } else {
            sent = modeSense6(0x3F, area.data(), 255, 0xFF, &total6);
            headerSize = 4;
            modeBytes = total6 + 1u;
        }
        if (!sent)
            return false;

        // A list that was read replaces the earlier one: pages the device
        // no longer reports go, and a refresh adds nothing twice.
        std::multimap<std::uint8_t, std::uint8_t> found;
        // The walk stays within the page data the device returned; the
        // transfer asked for the mode data length plus the header.
        const std::uint32_t arrived = bytesArrived(modeBytes - (useModeSense10 ? 2u : 1u) + headerSize);
        const std::uint32_t held = smallest(modeBytes, arrived);
        const std::uint32_t end = smallest(beyond(held, headerSize), useModeSense10 ? kModeArea : 255u);
        std::uint32_t offset = 0;
        while (offset < end) {
            const std::uint8_t* page = area.data() + offset;
            std::uint32_t pageSize;
            std::uint8_t subpage;
            if (page[0] & 0x40) {
                if (offset + 4 > end)
                    break;
                const std::uint32_t length = getBE16(page + 2);
                if (length == 0)
                    break;
                pageSize = length + 4;
                subpage = page[1];
            } else {
                if (offset + 2 > end || page[1] == 0)
                    break;
                pageSize = page[1] + 2u;
                subpage = 0;
            }
            if (offset + pageSize > end)
                break;
            found.insert(std::make_pair(static_cast<std::uint8_t>(page[0] & 0x3F), subpage));
            offset += pageSize;
        }
        modePages.swap(found);
    }
    if (pageCode >= 0x40)
        return false;
    auto range = modePages.equal_range(pageCode);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == subpageCode)
            return true;
    return false;
}

bool ScsiSPCDevice::availLogPages(qln::Array<qln::String>& pages) {
    if (!hasLogPage(0x00))
        return false;
    pages.clear();
    for (unsigned int code = 0; code < 0x40; ++code) {
        if (!bitSet(logPages, code))
            continue;
        const std::uint8_t page = static_cast<std::uint8_t>(code);
        pages.append("0x" + qln::QLNValue(page).toHexString(true) + " " + getLogPageString(page));
    }
    return true;
}

qln::String ScsiSPCDevice::getLogPageString(std::uint8_t pageCode) const {
    return pageName(getlogpagestr(pageCode, cachedPeripheralDeviceType()));
}

qln::String ScsiSPCDevice::getVPDPageString(std::uint8_t pageCode) const {
    return pageName(getvpdpagestr(pageCode, cachedPeripheralDeviceType()));
}

qln::String ScsiSPCDevice::getSerialNumber(bool force) {
    if (!force && !hasVPDPage(0x80, false))
        return qln::String::EMPTY;
    std::uint8_t area[kSerialArea];
    std::memset(area, 0, sizeof(area));
    if (!inquiry(0x80, area, kSerialArea, true)) {
        if (force)
            QLN_LOG(s_logger, kChannel, qln::LOG_TRACE, "647 " + "Could not query VPD unit serial number.");
        else
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                    "645 " + "VPD Unit Serial Number request failed even though the page was claimed to "
                             "be present.");
        return qln::String::EMPTY;
    }
    // PAGE LENGTH is bytes 2-3; no character beyond the area or those that
    // arrived.
    const std::uint32_t arrived = bytesArrived(kSerialArea);
    const std::uint32_t count = smallest(smallest(getBE16(area + 2), kSerialArea - 4), beyond(arrived, 4));
    qln::String serial(reinterpret_cast<const char*>(area + 4), count);
    serial.trim();
    return serial;
}

// --- self-test, temperature, ATA detection ----------------------------------

bool ScsiSPCDevice::getSelfTestResults(self_test_log_parameter_t (*results)[20], bool raiseMessage) {
    std::uint8_t area[kSelfTestPage];
    if (!logSense(0x10, area, kSelfTestPage, 0, 0))
        return false;
    const std::uint32_t length = getBE16(area + 2);
    if (area[0] == 0x10 && length == 0x190) {
        std::memcpy(*results, area + 4, 400);
        return true;
    }
    QLN_LOG(s_infoLogger, kInfoChannel, raiseMessage ? qln::LOG_ERROR : qln::LOG_WARN,
            (raiseMessage ? "355 " : "358 ") + "SELF TEST results log page is incorrect. Page Code: 0x" +
                qln::QLNValue(area[0]).toHexString(true) + " Page Length: " + decimal(length));
    return false;
}

bool ScsiSPCDevice::startBackgroundTest(bool extended) {
    return sendDiagnostic(extended ? SPC_DIAGNOSTIC_BACKGROUND_EXTENDED : SPC_DIAGNOSTIC_BACKGROUND_SHORT,
                          false, false, nullptr, 0, 10000);
}

bool ScsiSPCDevice::isSelfTestRunning(std::int8_t* percent) {
    if (percent != nullptr)
        *percent = -1;
    std::uint8_t sense[SENSE_BUFFER_SIZE];
    if (requestSense(sense)) {
        const std::uint32_t arrived = bytesArrived(SENSE_BUFFER_SIZE);
        const std::uint8_t format = sense[0] & 0x7F;
        if (format == 0x70 || format == 0x71) {
            if (!(sense[0] & 0x80))
                QLN_LOG(s_infoLogger, kInfoChannel, qln::LOG_WARN,
                        "381 " + "Fixed format sense data is not 'Valid'");
            if ((sense[2] & 0x0F) != 0x02)
                return false;
            // ASC and ASCQ (bytes 12-13) only when the additional sense
            // length covers them and they arrived.
            if (sense[7] < 6 || arrived < 14 || !selfTestInProgress(sense[12], sense[13]))
                return false;
            // The progress field (bytes 15-17) only when it arrived.
            if (sense[7] >= 10 && arrived >= 18 && (sense[15] & 0x80) && percent != nullptr)
                *percent = progressPercent(sense + 16);
            return true;
        }
        if (format == 0x72 || format == 0x73) {
            if ((sense[1] & 0x0F) != 0x02 || arrived < 4 || !selfTestInProgress(sense[2], sense[3]))
                return false;
            // Descriptors start within the additional sense length; only
            // those that lie wholly within the bytes that came are read.
            const std::uint32_t end = 8u + sense[7];
            std::uint32_t offset = 8;
            while (offset < end && offset + 2 <= arrived) {
                const std::uint8_t* d = sense + offset;
                const std::uint32_t size = d[1] + 2u;
                if (offset + size > arrived)
                    break;
                if (d[0] == kSenseKeySpecificDescriptor && d[1] == 0x06) {
                    const bool sksv = (d[4] & 0x80) != 0;
                    if (sksv && percent != nullptr)
                        *percent = progressPercent(d + 5);
                    return sksv;
                }
                offset += size;
            }
            return true;
        }
    }
    self_test_log_parameter_t results[20];
    if (!getSelfTestResults(&results, false))
        return false;
    for (const self_test_log_parameter_t& p : results)
        if (getBE16(p.parameterCode) == 0x0001 && (p.codeAndResults & 0x0F) == 0x0F)
            return true;
    return false;
}

bool ScsiSPCDevice::getTemperature(std::uint8_t& temperature) {
    std::uint8_t page[16];
    if (hasLogPage(0x0D) && logSense(0x0D, page, 16, 0, 0) && getBE16(page + 2) >= 6 &&
        getBE16(page + 4) == 0x0000 && page[9] != 0xFF) {
        temperature = page[9];
        return true;
    }
    if (hasLogPage(0x2F) && logSense(0x2F, page, 12, 0, 0) && getBE16(page + 2) >= 8 &&
        getBE16(page + 4) == 0x0000 && page[7] >= 4) {
        temperature = page[10];
        return true;
    }
    return false;
}

bool ScsiSPCDevice::getMaxTemperature(std::uint8_t& temperature) {
    std::uint8_t page[16];
    if (hasLogPage(0x0D) && logSense(0x0D, page, 16, 0, 0) && getBE16(page + 2) >= 12 &&
        getBE16(page + 10) == 0x0001 && page[15] != 0xFF) {
        temperature = page[15];
        return true;
    }
    return false;
}

bool ScsiSPCDevice::isATADevice() {
    scsi_inquiry_t data;
    if (!inquiry(&data, true))
        return false;
    const bool signature = std::memcmp(data.vendorId, kAtaSignature, sizeof(kAtaSignature)) == 0;
    const std::uint8_t type = data.peripheral & 0x1F;

    std::uint8_t command;
    if (type == 0x00 || type == 0x0E) {
        command = 0xEC;  // IDENTIFY DEVICE
    } else if (type == 0x05 || type == 0x08) {
        command = 0xA1;  // IDENTIFY PACKET DEVICE
    } else {
        if (!signature)
            QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                    "571 " + "Device is not MMC, RBC, or SBC and does not have the 'ATA     ' signature.");
        return signature;
    }

    // PIO data-in, one 512-byte block counted in the SECTOR COUNT field.
    std::uint8_t cdb[16] = {kAtaPassThrough16, 0x08, 0x0E, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, command, 0};
    std::uint8_t identify[512];
    std::memset(identify, 0, sizeof(identify));
    if (!send_scsi_cmd(cdb, sizeof(cdb), identify, sizeof(identify), DXFER_FROM_DEVICE, 15000))
        return signature;

    const std::uint32_t word0 = identify[0] | (std::uint32_t(identify[1]) << 8);
    if (word0 == 0x848A)  // CompactFlash
        return signature;
    if (command == 0xA1) {
        if ((word0 & 0xC000) != 0x8000)
            return signature;
        if (((word0 >> 8) & 0x1F) != type) {
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                    "547 " + "This device claims to be ATAPI but has conflicting information about its "
                             "peripheral device type.  It also has a broken SCSI/ATA Translation (SAT)");
            return signature;
        }
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "543 " + "The device appears to be ATAPI.");
    } else if (word0 & 0x8000) {
        return signature;
    }
    const sense_info& sense = resultData.sense;
    return sense.status == 0 && sense.valid && sense.senseKey == 0 && sense.asc == 0 && sense.ascq == 0;
}

}  // namespace scsi
