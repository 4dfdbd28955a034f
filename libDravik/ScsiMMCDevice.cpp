#include "ScsiMMCDevice.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "BigEndian.h"
#include "ScsiMMCParsers.h"
#include "ScsiMMCTables.h"
#include "SharedCommands.h"
#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {

using detail::getBE16;
using detail::getBE32;
using detail::putBE16;
using detail::putBE24;
using detail::putBE32;

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiMMCDevice";

// Medium and drive control.
const std::uint8_t kFormatUnit = 0x04;
const std::uint8_t kStartStopUnit = 0x1B;
const std::uint8_t kPreventAllowMediumRemoval = 0x1E;
const std::uint8_t kSeek10 = 0x2B;
const std::uint8_t kPlayAudio10 = 0x45;
const std::uint8_t kPlayAudioMsf = 0x47;
const std::uint8_t kPauseResume = 0x4B;
const std::uint8_t kReserveTrack = 0x53;
const std::uint8_t kCloseTrackSession = 0x5B;
const std::uint8_t kBlank = 0xA1;
const std::uint8_t kPlayAudio12 = 0xA5;
const std::uint8_t kLoadUnloadMedium = 0xA6;

const std::uint8_t kFormatCodeDefault = 0x01;  // FORMAT UNIT format code 001b

// Reading, writing and information.
const std::uint8_t kReadFormatCapacities = 0x23;
const std::uint8_t kReadCapacity = 0x25;
const std::uint8_t kRead10 = 0x28;
const std::uint8_t kWrite10 = 0x2A;
const std::uint8_t kReadTocPmaAtip = 0x43;
const std::uint8_t kReadDiscInformation = 0x51;
const std::uint8_t kReadTrackInformation = 0x52;
const std::uint8_t kModeSense10 = 0x5A;
const std::uint8_t kRead12 = 0xA8;
const std::uint8_t kWrite12 = 0xAA;
const std::uint8_t kGetPerformance = 0xAC;
const std::uint8_t kReadDiscStructure = 0xAD;
const std::uint8_t kSetStreaming = 0xB6;
const std::uint8_t kReadCdMsf = 0xB9;
const std::uint8_t kMechanismStatus = 0xBD;
const std::uint8_t kReadCd = 0xBE;

const std::uint32_t kCapacityAnswer = 8;
const std::uint32_t kCurrentProfileAnswer = 8;
const std::uint16_t kTrackInformationLength = sizeof(mmc_track_information_t);
// The Track Information Block starts with its 2-byte data length, which
// counts the bytes after itself, and 2 more header bytes.
const std::uint32_t kTrackInformationHeader = 4;
const std::uint32_t kTrackInformationLengthField = 2;
// MODE SENSE(10) asks for the mode parameter header (8 bytes) and room for
// block descriptors on top of the caller's length.
const std::uint32_t kModeSenseExtra = 16;
const std::uint32_t kModeHeader = 8;
// The largest area its 16-bit allocation length field can ask for.
const std::uint32_t kModeSenseMaxArea = 0xFFFF;
// Missing bytes a nominal performance answer may lack (one descriptor's
// padding) and still count as read.
const std::uint32_t kPerformanceShortfall = 8;
const std::uint8_t kPerformanceDataTypeTolerated = 0x10;

// Features and profiles.
const std::uint8_t kGetConfiguration = 0x46;

// GET CONFIGURATION answers: 8-byte header, the Profile List's own 4-byte
// header, and the feature list's working buffer with the largest total read.
const std::size_t kConfigurationHeader = 8;
const std::size_t kProfileListHead = 12;
const std::size_t kFeatureBufferSize = 65536;
const std::size_t kFeatureListMaxTotal = 0xFFFA;
// length + 8 must fit the 16-bit allocation length.
const std::uint16_t kFeatureMaxLength = 0xFFFF - 8;

typedef qln::Buffer<std::uint16_t> CodeList;

// Table of contents, performance and format capacities.
const std::uint8_t kReadSubChannel = 0x42;
const std::uint8_t kSetReadAhead = 0xA7;
const std::uint8_t kSetCdSpeed = 0xBB;

// READ TOC answers: a 2-byte data length that counts the bytes after itself,
// then 2 more header bytes. An answer up to 2 bytes short of its data length
// is still read, as far as whole descriptors arrived.
const std::size_t kTocHeader = 4;
const std::size_t kTocLengthField = 2;
const std::uint32_t kTocShortfallAccepted = 2;
// GET PERFORMANCE answers: an 8-byte header with a 4-byte data length.
const std::size_t kPerformanceHeader = 8;
const std::size_t kPerformanceDescriptor = 16;
// Nominal performance: tolerance 10b, Except 00b, Write as asked. Drives
// answer this data type up to 8 bytes short.
const std::uint8_t kNominalWrite = 0x04;
// READ FORMAT CAPACITIES: a 4-byte header, the capacity list length in byte 3.
const std::size_t kCapacityHeader = 4;

std::uint8_t bit(bool set, int position) {
    return static_cast<std::uint8_t>(set ? 1u << position : 0u);
}

unsigned int lengthOf(const qln::Buffer<unsigned char>& buffer) {
    return static_cast<unsigned int>(buffer.getLength());
}

// Bytes 1 and 9-10 of READ CD and READ CD MSF, whose selection fields are
// the same.
template <class Arg>
void putReadCdSelection(std::uint8_t* cdb, const Arg& arg) {
    cdb[1] = static_cast<std::uint8_t>(((unsigned(arg.sectorType) & 0x07) << 2) | bit(arg.dap, 1));
    cdb[9] = static_cast<std::uint8_t>(bit(arg.sync, 7) | ((unsigned(arg.headerCodes) & 0x03) << 5) |
                                       bit(arg.userData, 4) | bit(arg.edcEcc, 3) |
                                       ((unsigned(arg.c2Error) & 0x03) << 1));
    cdb[10] = static_cast<std::uint8_t>(unsigned(arg.subChannel) & 0x07);
}

bool listHolds(const CodeList& list, std::uint16_t code) {
    for (std::size_t i = 0; i < list.getLength(); ++i)
        if (list.getData()[i] == code)
            return true;
    return false;
}

template <class Code>
void copyCodes(const CodeList& list, qln::Array<Code>& codes) {
    for (std::size_t i = 0; i < list.getLength(); ++i)
        codes.append(static_cast<Code>(list.getData()[i]));
}

template <class Descriptor>
void appendDescriptors(qln::Array<Descriptor>& elements, const unsigned char* first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        Descriptor descriptor;
        std::memcpy(&descriptor, first + i * sizeof(Descriptor), sizeof(Descriptor));
        elements.append(descriptor);
    }
}

void logTocFailure(const char* line, _MMC_READ_TOC_FORMAT_CODE format, bool msf, std::size_t size) {
    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
            line + "ScsiMMCDevice::getTOCElementsImp : readTOCInformation(_MMC_READ_TOC_FORMAT_CODE:" +
                static_cast<int>(format) + ", Boolean msf:" + (msf ? 1 : 0) +
                ", ByteBuffer of size:" + static_cast<unsigned int>(size) + ") FAILED");
}

void logPerformanceFailure(const char* line, _MMC_PERFORMANCE_TYPE type, std::uint8_t dataType,
                           std::uint32_t startLba, int maxDescriptors) {
    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
            line + "ScsiMMCDevice::getPerformanceInfoImp : ERROR issuing" +
                " getPerformance(_MMC_PERFORMANCE_TYPE: " + static_cast<int>(type) + " , data_type: " +
                static_cast<unsigned int>(dataType) + " , lba: " +
                qln::SprintfFormat("0x%x", static_cast<unsigned int>(startLba)) + " , max_desc: " +
                maxDescriptors + " , buffer)");
}

}  // namespace

// --- construction, copying, destruction -------------------------------------

ScsiMMCDevice::ScsiMMCDevice(qln::SharedFileHandle& fileHandle)
    : ScsiSPCDevice(fileHandle), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(ScsiSPCDevice& device)
    : ScsiSPCDevice(device), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(const ScsiMMCDevice& other)
    : ScsiSPCDevice(other), featureList(other.featureList), profileList(other.profileList) {}

ScsiMMCDevice::ScsiMMCDevice(ScsiMMCDevice&& other)
    : ScsiSPCDevice(std::move(other)),
      featureList(std::move(other.featureList)),
      profileList(std::move(other.profileList)) {}

ScsiMMCDevice& ScsiMMCDevice::operator=(const ScsiMMCDevice& other) {
    ScsiSPCDevice::operator=(other);
    featureList = other.featureList;
    profileList = other.profileList;
    return *this;
}

ScsiMMCDevice& ScsiMMCDevice::operator=(ScsiMMCDevice&& other) {
    ScsiSPCDevice::operator=(std::move(other));
    featureList = std::move(other.featureList);
    profileList = std::move(other.profileList);
    return *this;
}

ScsiMMCDevice::~ScsiMMCDevice() {
    profileList.reset();
    featureList.reset();
}

// --- medium and drive control ----------------------------------------------

bool ScsiMMCDevice::blank(std::uint8_t blankingType, bool immediate, std::uint32_t startAddressOrTrack) {
    std::uint8_t cdb[12] = {kBlank};
    cdb[1] = static_cast<std::uint8_t>(bit(immediate, 4) | (blankingType & 0x07));
    putBE32(cdb + 2, startAddressOrTrack);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::closeTrack(std::uint8_t closeFunction, std::uint16_t trackOrSession, bool immediate) {
    std::uint8_t cdb[10] = {kCloseTrackSession};
    cdb[1] = bit(immediate, 0);
    cdb[2] = static_cast<std::uint8_t>(closeFunction & 0x07);
    putBE16(cdb + 4, trackOrSession);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::reserveTrack(bool arsv, std::uint32_t reservation) {
    std::uint8_t cdb[10] = {kReserveTrack};
    cdb[1] = bit(arsv, 0);
    putBE32(cdb + (arsv ? 2 : 5), reservation);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::formatUnit(bool fmtData, bool cmpList, qln::Buffer<unsigned char>& parameterList) {
    std::uint8_t cdb[6] = {kFormatUnit};
    cdb[1] = static_cast<std::uint8_t>(bit(fmtData, 4) | bit(cmpList, 3) | kFormatCodeDefault);
    return send_scsi_cmd(cdb, sizeof(cdb), parameterList.getData(), lengthOf(parameterList), DXFER_TO_DEVICE, 0);
}

bool ScsiMMCDevice::loadUnloadMedium(std::uint8_t loadUnload, std::uint8_t start, std::uint8_t slot,
                                     bool immediate) {
    std::uint8_t cdb[12] = {kLoadUnloadMedium};
    cdb[1] = bit(immediate, 0);
    cdb[4] = static_cast<std::uint8_t>(bit(loadUnload != 0, 1) | bit(start != 0, 0));
    cdb[8] = slot;
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::startStopUnit(_MMC_SSU_LOEJ_START loejStart, bool immediate,
                                  _MMC_SSU_POWER_CONDITION powerCondition) {
    std::uint8_t cdb[6] = {kStartStopUnit};
    cdb[1] = bit(immediate, 0);
    cdb[4] = static_cast<std::uint8_t>(((unsigned(powerCondition) & 0x0F) << 4) | (unsigned(loejStart) & 0x03));
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::loadMedium(bool immediate) {
    return startStopUnit(MMC_SSU_LOAD, immediate, MMC_SSU_POWER_NO_CHANGE);
}

bool ScsiMMCDevice::unloadMedium(bool immediate) {
    return startStopUnit(MMC_SSU_EJECT, immediate, MMC_SSU_POWER_NO_CHANGE);
}

bool ScsiMMCDevice::pauseResume(bool pause) {
    std::uint8_t cdb[10] = {kPauseResume};
    cdb[8] = bit(!pause, 0);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::playAudio10(std::uint32_t startLba, std::uint16_t blocks) {
    std::uint8_t cdb[10] = {kPlayAudio10};
    putBE32(cdb + 2, startLba);
    putBE16(cdb + 7, blocks);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::playAudio12(std::uint32_t startLba, std::uint32_t blocks) {
    std::uint8_t cdb[12] = {kPlayAudio12};
    putBE32(cdb + 2, startLba);
    putBE32(cdb + 6, blocks);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::playAudioMSF(std::uint8_t startMinute, std::uint8_t startSecond, std::uint8_t startFrame,
                                 std::uint8_t endMinute, std::uint8_t endSecond, std::uint8_t endFrame) {
    std::uint8_t cdb[10] = {kPlayAudioMsf, 0, 0, startMinute, startSecond, startFrame, endMinute, endSecond, endFrame,
                            0};
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::preventAllowMediumRemoval(bool prevent, bool persistent) {
    std::uint8_t cdb[6] = {kPreventAllowMediumRemoval};
    cdb[4] = static_cast<std::uint8_t>(bit(persistent, 1) | bit(prevent, 0));
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::synchronizeCache(std::uint32_t lba, std::uint16_t blocks, bool immediate) {
    return detail::synchronizeCache10(*this, lba, blocks, immediate);
}

bool ScsiMMCDevice::seek10(std::uint32_t lba) {
    std::uint8_t cdb[10] = {kSeek10};
    putBE32(cdb + 2, lba);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

// --- reading, writing and information ---------------------------------------

bool ScsiMMCDevice::read10(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint16_t blocks,
                           bool fua) {
    return detail::sendBlockRange(*this, kRead10, bit(fua, 3), 10, lba, blocks, data, dataLength,
                                  DXFER_FROM_DEVICE);
}

bool ScsiMMCDevice::read12(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint32_t blocks,
                           bool fua, bool streaming) {
    std::uint8_t cdb[12] = {kRead12, bit(fua, 3)};
    detail::putBlockRange(cdb, sizeof(cdb), lba, blocks);
    cdb[10] = bit(streaming, 7);
    return send_scsi_cmd(cdb, sizeof(cdb), data, dataLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::readMSF(void* data, std::uint32_t dataLength, const read_msf_arg_t& arg) {
    std::uint8_t cdb[12] = {kReadCdMsf,     0,           0,           arg.startMinute, arg.startSecond,
                            arg.startFrame, arg.endMinute, arg.endSecond, arg.endFrame};
    putReadCdSelection(cdb, arg);
    return send_scsi_cmd(cdb, sizeof(cdb), data, dataLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::readCD(void* data, std::uint32_t dataLength, const read_cd_arg_t& arg) {
    std::uint8_t cdb[12] = {kReadCd};
    putReadCdSelection(cdb, arg);
    putBE32(cdb + 2, arg.startLba);
    putBE24(cdb + 6, arg.transferLength & 0xFFFFFF);
    return send_scsi_cmd(cdb, sizeof(cdb), data, dataLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::write10(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint16_t blocks,
                            bool fua) {
    return detail::sendBlockRange(*this, kWrite10, bit(fua, 3), 10, lba, blocks, data, dataLength,
                                  DXFER_TO_DEVICE);
}

bool ScsiMMCDevice::write12(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint32_t blocks,
                            bool fua) {
    // WRITE(12) of the multimedia commands has no streaming bit.
    return detail::sendBlockRange(*this, kWrite12, bit(fua, 3), 12, lba, blocks, data, dataLength,
                                  DXFER_TO_DEVICE);
}

bool ScsiMMCDevice::readCapacity(std::uint32_t& lastLba, std::uint32_t& blockLength) {
    std::uint8_t cdb[10] = {kReadCapacity};
    std::uint8_t answer[kCapacityAnswer] = {0};
    if (!send_scsi_cmd(cdb, sizeof(cdb), answer, sizeof(answer), DXFER_FROM_DEVICE, 0))
        return false;
    if (bytesArrived(kCapacityAnswer) < kCapacityAnswer)
        return false;
    lastLba = getBE32(answer);
    blockLength = getBE32(answer + 4);
    return true;
}

bool ScsiMMCDevice::readFormatCapacities(qln::Buffer<unsigned char>& buffer) {
    std::uint8_t cdb[10] = {kReadFormatCapacities};
    putBE16(cdb + 7, lengthOf(buffer) & 0xFFFF);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), lengthOf(buffer), DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::readDiscInformation(_MMC_DISC_INFORMATION_DATA_TYPE dataType,
                                        mmc_disc_information_hdr_t* info, std::uint16_t allocationLength) {
    std::uint8_t cdb[10] = {kReadDiscInformation, static_cast<std::uint8_t>(unsigned(dataType) & 0x07)};
    putBE16(cdb + 7, allocationLength);
    return send_scsi_cmd(cdb, sizeof(cdb), info, allocationLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::modeSense10(_MMC_PAGE_CODES pageCode, void* buffer, std::uint16_t length,
                                _MMC_PAGE_CONTROL_FIELDS pageControl) {
    const std::uint32_t areaSize = std::uint32_t(length) + kModeSenseExtra;
    // Plain calloc: a scratch area that cannot be had fails the call before
    // anything is sent. Zeroed, because a transport may write only the bytes
    // that arrived, and an answer with RECOVERED ERROR does not tell how many
    // that were: the rest must not be old heap bytes.
    std::uint8_t* area = static_cast<std::uint8_t*>(std::calloc(areaSize, 1));
    if (area == nullptr)
        return false;
    struct Release {
        std::uint8_t* block;
        ~Release() { std::free(block); }
    } release = {area};

    std::uint8_t cdb[10] = {kModeSense10, 0,
                            static_cast<std::uint8_t>(((unsigned(pageControl) & 0x03) << 6) |
                                                      (unsigned(pageCode) & 0x3F))};
    putBE16(cdb + 7, areaSize & 0xFFFF);
    // The 16 bytes on top of the caller's length are room for the header and
    // one block descriptor; a drive without block descriptors sends 8 fewer,
    // so a short answer counts once its header came.
    const bool sent = send_scsi_cmd(cdb, sizeof(cdb), area, areaSize, DXFER_FROM_DEVICE, 0);
    // Above the field's reach the drive was asked for the wrapped amount, not
    // for the page: whatever it sent is not what the caller asked for.
    if (areaSize > kModeSenseMaxArea)
        return false;
    const std::uint32_t arrived = answerWithHeader(sent, areaSize, kModeHeader);
    if (arrived == 0)
        return false;

    const std::uint32_t total = getBE16(area) + 2;
    if (total > areaSize) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "283 " + "ScsiMMCDevice::modeSense6: the buffer size (" + static_cast<unsigned int>(areaSize) +
                    ") is smaller than the total returned bytes (" + static_cast<unsigned int>(total) +
                    "), some info maybe be truncated");
    }
    const std::uint32_t blockDescriptors = getBE16(area + 6);
    const std::int64_t remaining = std::int64_t(arrived) - kModeHeader - blockDescriptors;
    if (remaining < 1) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "288 " + "ScsiMMCDevice::modeSense6: invalid  blk_desc_len returned from device : " +
                    static_cast<unsigned int>(blockDescriptors));
        return false;
    }
    const std::uint32_t copied = remaining < length ? static_cast<std::uint32_t>(remaining) : length;
    if (copied != 0)
        std::memcpy(buffer, area + kModeHeader + blockDescriptors, copied);
    return true;
}

bool ScsiMMCDevice::mechanismStatus(mmc_mechanism_status_hdr_t* status, std::uint16_t allocationLength) {
    std::uint8_t cdb[12] = {kMechanismStatus};
    putBE16(cdb + 8, allocationLength);
    return send_scsi_cmd(cdb, sizeof(cdb), status, allocationLength, DXFER_FROM_DEVICE, 0);
}

_MMC_PROFILES ScsiMMCDevice::getCurrentProfile() {
    mmc_get_configuration_feature_list_hdr_t header = {};
    if (!getConfiguration(MMC_FEATURE_PROFILE_LIST, header, kCurrentProfileAnswer, MMC_GET_CONFIGURATION_RT_ONE))
        return MMC_PROFILE_INVALID;
    if (bytesArrived(kCurrentProfileAnswer) < kCurrentProfileAnswer)
        return MMC_PROFILE_INVALID;
    return static_cast<_MMC_PROFILES>(getBE16(header.current_profile));
}

bool ScsiMMCDevice::readDiscStructure(_MMC_MEDIA_TYPE_CODE mediaType, _MMC_MEDIA_TYPE_FORMAT_CODE formatCode,
                                      qln::Buffer<unsigned char>& buffer) {
    std::uint8_t cdb[12] = {kReadDiscStructure, static_cast<std::uint8_t>(unsigned(mediaType) & 0x0F)};
    cdb[7] = static_cast<std::uint8_t>(unsigned(formatCode) & 0xFF);
    putBE16(cdb + 8, lengthOf(buffer) & 0xFFFF);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), lengthOf(buffer), DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::readTOCInformation(_MMC_READ_TOC_FORMAT_CODE format, bool msf,
                                       qln::Buffer<unsigned char>& buffer, std::uint8_t trackOrSession) {
    std::uint8_t cdb[10] = {kReadTocPmaAtip, bit(msf, 1), static_cast<std::uint8_t>(unsigned(format) & 0x0F)};
    cdb[6] = trackOrSession;
    putBE16(cdb + 7, lengthOf(buffer) & 0xFFFF);
    return send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), lengthOf(buffer), DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::readTrackInformation(std::uint8_t addressType, bool open, std::uint32_t addressOrNumber,
                                         mmc_track_information_t& info) {
    std::uint8_t cdb[10] = {kReadTrackInformation,
                            static_cast<std::uint8_t>(bit(open, 2) | (addressType & 0x03))};
    putBE32(cdb + 2, addressOrNumber);
    putBE16(cdb + 7, kTrackInformationLength);
    // A drive sends its block and no more, and older drives hold a shorter
    // one (36 or 40 bytes): a short answer counts once it covers its own
    // data length. The bytes it did not send read zero, as they do after a
    // whole short form.
    std::uint8_t* block = reinterpret_cast<std::uint8_t*>(&info);
    const std::uint32_t arrived = answerWithHeader(
        send_scsi_cmd(cdb, sizeof(cdb), block, kTrackInformationLength, DXFER_FROM_DEVICE, 0),
        kTrackInformationLength, kTrackInformationHeader);
    if (arrived == 0)
        return false;
    if (arrived < kTrackInformationLength) {
        if (getBE16(block) + kTrackInformationLengthField > arrived)
            return false;
        std::memset(block + arrived, 0, kTrackInformationLength - arrived);
    }
    return true;
}

bool ScsiMMCDevice::getPerformance(_MMC_PERFORMANCE_TYPE type, std::uint8_t dataType, std::uint32_t startLba,
                                   std::uint16_t maxDescriptors, qln::Buffer<unsigned char>& buffer) {
    std::uint8_t cdb[12] = {kGetPerformance, static_cast<std::uint8_t>(dataType & 0x1F)};
    putBE32(cdb + 2, startLba);
    putBE16(cdb + 8, maxDescriptors);
    cdb[10] = static_cast<std::uint8_t>(unsigned(type) & 0xFF);
    if (send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), lengthOf(buffer), DXFER_FROM_DEVICE, 0))
        return true;
    const cmd_result_info& result = resultData.result;
    return type == MMC_PERFORMANCE_TYPE_PERFORMANCE && dataType == kPerformanceDataTypeTolerated &&
           result.code == CMD_RESULT_UNDERRUN && result.detail <= kPerformanceShortfall;
}

bool ScsiMMCDevice::setStreaming(_MMC_SET_PERFORMANCE_TYPE type, qln::Buffer<unsigned char>& parameters) {
    const unsigned int length = lengthOf(parameters) & 0xFFFF;
    std::uint8_t cdb[12] = {kSetStreaming};
    cdb[8] = static_cast<std::uint8_t>(unsigned(type) & 0xFF);
    putBE16(cdb + 9, length);
    return send_scsi_cmd(cdb, sizeof(cdb), parameters.getData(), length, DXFER_TO_DEVICE, 0);
}

// --- features, profiles and their caches ------------------------------------

bool ScsiMMCDevice::getConfiguration(_MMC_FEATURES startingFeature,
                                     mmc_get_configuration_feature_list_hdr_t& header,
                                     std::uint16_t allocationLength, _MMC_GET_CONFIGURATION_RT_FIELD rt) {
    std::uint8_t cdb[10] = {kGetConfiguration};
    cdb[1] = static_cast<std::uint8_t>(rt & 0x03);
    putBE16(cdb + 2, static_cast<std::uint32_t>(startingFeature) & 0xFFFF);
    putBE16(cdb + 7, allocationLength);
    return send_scsi_cmd(cdb, sizeof(cdb), &header, allocationLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::getFeature(_MMC_FEATURES feature, mmc_feature_generic_t& descriptor, std::uint16_t length,
                               _MMC_GET_CONFIGURATION_RT_FIELD rt) {
    if (length < 4) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "426 " + "The requested feature buffer is too small to store the generic feature descriptor");
        return false;
    }
    // The allocation length (length + 8) would not fit its 16-bit field.
    if (length > kFeatureMaxLength)
        return false;
    const std::uint16_t allocation = static_cast<std::uint16_t>(length + kConfigurationHeader);
    qln::Buffer<unsigned char> answer(allocation);
    unsigned char* bytes = answer.getData();
    // A drive sends no more than it has: with RT 2, or a descriptor shorter
    // than the record, the transfer ends short. What arrived counts once
    // the header is among it.
    const bool sent = getConfiguration(
        feature, *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes), allocation, rt);
    const std::uint32_t arrived = answerWithHeader(sent, allocation, kConfigurationHeader);
    if (arrived == 0)
        return false;
    const std::uint32_t dataLength = getBE32(bytes);
    if (dataLength < 4) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "441 " + qln::SprintfFormat("GET CONFIGURATION returned short buffer of size: %u bytes",
                                            static_cast<unsigned int>(dataLength)));
        return false;
    }
    // The data length counts from byte 4: one that ends inside the first
    // descriptor's 4-byte header, or a transfer that does, leaves bytes 8 on
    // outside the drive's answer, whatever they hold.
    const std::uint32_t received = arrived - static_cast<std::uint32_t>(kConfigurationHeader);
    if (dataLength - 4 < 4 || received < 4)
        return false;
    if (getBE16(bytes + kConfigurationHeader) != (static_cast<std::uint32_t>(feature) & 0xFFFF))
        return false;
    std::uint32_t copy = dataLength - 4 < length ? dataLength - 4 : length;
    if (received < copy)
        copy = received;
    std::memcpy(&descriptor, bytes + kConfigurationHeader, copy);
    return true;
}

bool ScsiMMCDevice::hasFeature(_MMC_FEATURES feature, bool current) {
    if (current) {
        mmc_feature_generic_t descriptor;
        return getFeature(feature, descriptor, 4, MMC_GET_CONFIGURATION_RT_CURRENT);
    }
    if (!updateFeaturesList(false))
        return false;
    return listHolds(*featureList.get(), static_cast<std::uint16_t>(feature & 0xFFFF));
}

bool ScsiMMCDevice::updateFeaturesList(bool force) {
    if (featureList.isValid() && !force)
        return true;
    featureList = CodeListHolder(new CodeList());
    qln::Buffer<unsigned char> work(kFeatureBufferSize);
    unsigned char* bytes = work.getData();
    mmc_get_configuration_feature_list_hdr_t& header =
        *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes);
    bool read = false;
    if (getConfiguration(MMC_FEATURE_PROFILE_LIST, header, kConfigurationHeader, MMC_GET_CONFIGURATION_RT_ALL)) {
        const std::uint64_t total = std::uint64_t(getBE32(bytes)) + 4;
        if (total <= kFeatureListMaxTotal &&
            getConfiguration(MMC_FEATURE_PROFILE_LIST, header, static_cast<std::uint16_t>(total),
                             MMC_GET_CONFIGURATION_RT_ALL) &&
            std::uint64_t(getBE32(bytes)) + 4 == total) {
            CodeList& list = *featureList.get();
            // Every descriptor takes at least its 4-byte header.
            const std::size_t after = total > kConfigurationHeader ? static_cast<std::size_t>(total) - kConfigurationHeader : 0;
            list.resize(after / 4, false);
            const std::size_t count = mmc_parse::featureCodes(bytes, static_cast<std::size_t>(total),
                                                              list.getData(), list.getLength());
            list.resize(count, false);
            read = true;
        }
    }
    // A read that fails leaves no list, so the next request reads again: a
    // first read often meets a UNIT ATTENTION after a medium change.
    if (!read)
        featureList.reset();
    return read;
}

bool ScsiMMCDevice::updateProfilesList(bool force) {
    if (profileList.isValid() && !force)
        return true;
    profileList = CodeListHolder(new CodeList());
    qln::Buffer<unsigned char> answer(kProfileListHead);
    bool read = false;
    if (getConfiguration(MMC_FEATURE_PROFILE_LIST,
                         *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(answer.getData()),
                         kProfileListHead, MMC_GET_CONFIGURATION_RT_ALL)) {
        const std::uint32_t dataLength = getBE32(answer.getData());
        if (dataLength < 8 || std::uint64_t(dataLength) + 4 > 0xFFFF) {
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "687 " + "Invalid buffer size returned: " + static_cast<unsigned int>(dataLength));
        } else {
            const std::uint16_t total = static_cast<std::uint16_t>(dataLength + 4);
            answer.resize(total, true);
            unsigned char* bytes = answer.getData();
            if (getConfiguration(MMC_FEATURE_PROFILE_LIST,
                                 *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes), total,
                                 MMC_GET_CONFIGURATION_RT_ALL)) {
                const std::uint32_t newLength = getBE32(bytes);
                if (newLength < 8 || newLength > dataLength) {
                    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                            "698 " + "Invalid buffer size returned: " + static_cast<unsigned int>(newLength));
                } else {
                    CodeList& list = *profileList.get();
                    list.resize(bytes[11] / 4u, false);
                    // Only the profile descriptors inside the answer are read.
                    const std::size_t count = mmc_parse::profileNumbersReversed(bytes, total, list.getData(),
                                                                                list.getLength());
                    list.resize(count, false);
                    read = true;
                }
            }
        }
    }
    // As for the feature list: no list after a failed read.
    if (!read)
        profileList.reset();
    return read;
}

bool ScsiMMCDevice::getFeatures(qln::Array<_MMC_FEATURES>& features) {
    const bool read = updateFeaturesList(false);
    features = qln::Array<_MMC_FEATURES>();
    if (read)
        copyCodes(*featureList.get(), features);
    return read;
}

bool ScsiMMCDevice::getProfiles(qln::Array<_MMC_PROFILES>& profiles) {
    const bool read = updateProfilesList(false);
    profiles = qln::Array<_MMC_PROFILES>();
    if (read)
        copyCodes(*profileList.get(), profiles);
    return read;
}

bool ScsiMMCDevice::hasProfile(_MMC_PROFILES profile) {
    if (!updateProfilesList(false))
        return false;
    return listHolds(*profileList.get(), static_cast<std::uint16_t>(profile & 0xFFFF));
}

const char* ScsiMMCDevice::getFeatureName(_MMC_FEATURES feature) {
    if (static_cast<std::int32_t>(feature) > 0xFFFF)
        return nullptr;
    const unsigned int code = static_cast<unsigned int>(feature) & 0xFFFF;
    const char* name = mmc_tables::featureName(static_cast<unsigned short>(code));
    if (name == nullptr)
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "597 " + qln::SprintfFormat("Unrecognized MMC feature: 0x%04X", code));
    return name;
}

const char* ScsiMMCDevice::getProfileName(_MMC_PROFILES profile) {
    if (static_cast<std::int32_t>(profile) > 0xFFFF)
        return nullptr;
    const unsigned int number = static_cast<unsigned int>(profile) & 0xFFFF;
    const char* name = mmc_tables::profileName(static_cast<unsigned short>(number));
    if (name == nullptr)
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "645 " + qln::SprintfFormat("Unrecognized MMC profile: 0x%04X", number));
    return name;
}

// --- table of contents, performance and format capacities -------------------

template <class Descriptor>
bool ScsiMMCDevice::getTOCElementsImp(_MMC_READ_TOC_FORMAT_CODE format, bool msf, std::uint8_t trackOrSession,
                                      qln::Array<Descriptor>& elements, mmc_toc_hdr_t* header) {
    qln::Buffer<unsigned char> answer(kTocHeader);
    if (!readTOCInformation(format, msf, answer, trackOrSession)) {
        logTocFailure("794 ", format, msf, answer.getLength());
        return false;
    }
    // The data length counts the bytes after its own 2; the whole answer
    // never reads less than the header.
    const std::size_t total = getBE16(answer.getData()) + kTocLengthField;
    answer.resize(total > kTocHeader ? total : kTocHeader, true);
    if (!readTOCInformation(format, msf, answer, trackOrSession)) {
        const cmd_result_info& result = getLastResult();
        if (result.code != CMD_RESULT_UNDERRUN || result.detail > kTocShortfallAccepted) {
            logTocFailure("821 ", format, msf, answer.getLength());
            return false;
        }
    }
    if (header != nullptr)
        std::memcpy(header, answer.getData(), sizeof(*header));
    // Only the descriptors that arrived whole, whatever the data length says.
    const std::size_t count =
        mmc_parse::tocDescriptorCount(answer.getData(), bytesArrived(lengthOf(answer)), sizeof(Descriptor));
    if (count == 0) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "838 " + "ScsiMMCDevice::getTOCElementsImp : zero elements returned");
        return false;
    }
    elements = qln::Array<Descriptor>();
    appendDescriptors(elements, answer.getData() + kTocHeader, count);
    return true;
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt0h_trk_descriptor_t>& tracks, bool msf,
                                   std::uint32_t track, mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_TOC, msf, static_cast<std::uint8_t>(track & 0xFF), tracks,
                             header);
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt1h_trk_descriptor_t>& sessions, bool msf,
                                   mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_SESSION_INFO, msf, 0, sessions, header);
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt2h_trk_descriptor_t>& entries, std::uint32_t session,
                                   mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_FULL_TOC, false, static_cast<std::uint8_t>(session & 0xFF),
                             entries, header);
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt3h_trk_descriptor_t>& entries, mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_PMA, true, 0, entries, header);
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt4h_trk_descriptor_t>& atip, mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_ATIP, false, 0, atip, header);
}

bool ScsiMMCDevice::getTOCElements(qln::Array<mmc_toc_fmt5h_trk_descriptor_t>& packs, mmc_toc_hdr_t* header) {
    return getTOCElementsImp(MMC_READ_TOC_FORMAT_CD_TEXT, false, 0, packs, header);
}

template <class Descriptor>
bool ScsiMMCDevice::getPerformanceInfoImp(_MMC_PERFORMANCE_TYPE type, std::uint8_t dataType,
                                          std::uint32_t startLba, std::uint32_t maxDescriptors,
                                          qln::Array<Descriptor>& elements) {
    static_assert(sizeof(Descriptor) == kPerformanceDescriptor, "GET PERFORMANCE descriptors are 16 bytes");
    qln::Buffer<unsigned char> answer(kPerformanceHeader);
    if (!getPerformance(type, dataType, startLba, 0, answer)) {
        logPerformanceFailure("886 ", type, dataType, startLba, 0);
        return false;
    }
    std::uint64_t expected = std::uint64_t(getBE32(answer.getData())) + 4;
    long count = mmc_parse::performanceAnnouncedCount(answer.getData(), bytesArrived(lengthOf(answer)));
    if (count < 0) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "898 " + "ScsiMMCDevice::getPerformanceInfoImp : computed number of desc < 0)");
        return false;
    }
    if (count == 0) {
        QLN_LOG(s_logger, kChannel, qln::LOG_INFO,
                "903 " + "ScsiMMCDevice::getPerformanceInfoImp : no information available for type code: " +
                    static_cast<int>(type) + " type_data " + static_cast<unsigned int>(dataType));
        elements = qln::Array<Descriptor>();
        return true;
    }
    if (maxDescriptors != 0 && maxDescriptors < static_cast<unsigned long>(count)) {
        count = static_cast<long>(maxDescriptors);
        expected = kPerformanceDescriptor * std::uint64_t(maxDescriptors) + kPerformanceHeader;
    }
    answer.resize(static_cast<std::size_t>(expected), true);
    if (!getPerformance(type, dataType, startLba, static_cast<std::uint16_t>(count), answer)) {
        logPerformanceFailure("918 ", type, dataType, startLba, static_cast<int>(count));
        return false;
    }
    const std::uint64_t returned = std::uint64_t(getBE32(answer.getData())) + 4;
    if (returned < expected) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "927 " + "ScsiMMCDevice::getPerformanceInfoImp : amount of data returned incorrect : " +
                    "expected size " + static_cast<unsigned long long>(expected) + " returned data size " +
                    static_cast<unsigned long long>(returned));
        return false;
    }
    // A length that is not 8 plus whole descriptors, or a short answer,
    // leaves the last announced descriptor incomplete: it is not read.
    const std::size_t whole =
        mmc_parse::performanceDescriptorCount(answer.getData(), bytesArrived(lengthOf(answer)));
    elements = qln::Array<Descriptor>();
    const std::size_t announced = static_cast<std::size_t>(count);
    appendDescriptors(elements, answer.getData() + kPerformanceHeader, announced < whole ? announced : whole);
    return true;
}

bool ScsiMMCDevice::getPerformanceInfo(qln::Array<mmc_write_speed_desc_t>& speeds) {
    return getPerformanceInfoImp(MMC_PERFORMANCE_TYPE_WRITE_SPEED, 0, 0, 0, speeds);
}

bool ScsiMMCDevice::getPerformanceInfo(qln::Array<mmc_performance_nom_desc_t>& performance,
                                       std::uint32_t maxDescriptors, std::uint32_t startLba, bool write) {
    const std::uint8_t dataType = static_cast<std::uint8_t>(kPerformanceDataTypeTolerated | (write ? kNominalWrite : 0));
    return getPerformanceInfoImp(MMC_PERFORMANCE_TYPE_PERFORMANCE, dataType, startLba, maxDescriptors, performance);
}

bool ScsiMMCDevice::getFormatCapacities(mmc_max_cap_desc_t& current, qln::Array<mmc_format_cap_desc_t>& formats) {
    qln::Buffer<unsigned char> answer(kCapacityHeader);
    if (!readFormatCapacities(answer))
        return false;
    answer.resize(answer[3] + kCapacityHeader, true);
    if (!readFormatCapacities(answer))
        return false;
    // The current/maximum descriptor and the formattable ones, as far as
    // both the list length and the answer hold them whole.
    const std::size_t received = bytesArrived(lengthOf(answer));
    if (!mmc_parse::hasCurrentCapacity(answer.getData(), received))
        return false;
    std::memcpy(&current, answer.getData() + kCapacityHeader, sizeof(current));
    appendDescriptors(formats, answer.getData() + kCapacityHeader + sizeof(current),
                      mmc_parse::formatCapacityCount(answer.getData(), received));
    return true;
}

bool ScsiMMCDevice::readSubChannel(_MMC_SUB_CHAN_PARM parameterList, qln::Buffer<unsigned char>& buffer, bool subQ,
                                   bool msf) {
    std::uint8_t cdb[10] = {kReadSubChannel};
    cdb[1] = bit(msf, 1);
    cdb[2] = bit(subQ, 6);
    cdb[3] = static_cast<std::uint8_t>(parameterList);
    putBE16(cdb + 7, lengthOf(buffer));
    return send_scsi_cmd(cdb, sizeof(cdb), buffer.getData(), lengthOf(buffer), DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::setCDSpeed(_MMC_ROT_CNTL rotationalControl, std::uint16_t readSpeed, std::uint16_t writeSpeed) {
    std::uint8_t cdb[12] = {kSetCdSpeed};
    cdb[1] = static_cast<std::uint8_t>(rotationalControl & 0x03);
    putBE16(cdb + 2, readSpeed);
    putBE16(cdb + 4, writeSpeed);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::setReadAhead(std::uint32_t triggerLba, std::uint32_t readAheadLba) {
    std::uint8_t cdb[12] = {kSetReadAhead};
    putBE32(cdb + 2, triggerLba);
    putBE32(cdb + 6, readAheadLba);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

}  // namespace scsi
