#include "ScsiMMCDevice.h"

#include <cstring>
#include <utility>

#include "BigEndian.h"

namespace scsi {

namespace {

using detail::putBE16;
using detail::putBE32;

const std::uint8_t kFormatUnit = 0x04;
const std::uint8_t kStartStopUnit = 0x1B;
const std::uint8_t kPreventAllowMediumRemoval = 0x1E;
const std::uint8_t kSeek10 = 0x2B;
const std::uint8_t kSynchronizeCache10 = 0x35;
const std::uint8_t kPlayAudio10 = 0x45;
const std::uint8_t kPlayAudioMsf = 0x47;
const std::uint8_t kPauseResume = 0x4B;
const std::uint8_t kReserveTrack = 0x53;
const std::uint8_t kCloseTrackSession = 0x5B;
const std::uint8_t kBlank = 0xA1;
const std::uint8_t kPlayAudio12 = 0xA5;
const std::uint8_t kLoadUnloadMedium = 0xA6;

const std::uint8_t kFormatCodeDefault = 0x01;  // FORMAT UNIT format code 001b

std::uint8_t bit(bool set, int position) {
    return static_cast<std::uint8_t>(set ? 1u << position : 0u);
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
    return send_scsi_cmd(cdb, sizeof(cdb), parameterList.getData(),
                         static_cast<unsigned int>(parameterList.getLength()), DXFER_TO_DEVICE, 0);
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
    std::uint8_t cdb[10] = {kSynchronizeCache10};
    cdb[1] = bit(immediate, 1);
    putBE32(cdb + 2, lba);
    putBE16(cdb + 7, blocks);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

bool ScsiMMCDevice::seek10(std::uint32_t lba) {
    std::uint8_t cdb[10] = {kSeek10};
    putBE32(cdb + 2, lba);
    return send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

}  // namespace scsi
