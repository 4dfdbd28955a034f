// The device object of optical drives (multimedia commands): medium and
// drive control, reading and writing, disc and drive information. It keeps
// the drive's feature and profile lists once they are read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DravikConfig.h"
#include "ScsiDevice.h"
#include "ScsiMMCTypes.h"
#include "ScsiSPCDevice.h"
#include "qln/Array.h"
#include "qln/Buffer.h"
#include "qln/FileHandle.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"

namespace scsi {

// LoEj (bit 1) and Start (bit 0) of START STOP UNIT as one value.
enum _MMC_SSU_LOEJ_START {
    MMC_SSU_STOP = 0,
    MMC_SSU_START = 1,
    MMC_SSU_EJECT = 2,
    MMC_SSU_LOAD = 3
};

// POWER CONDITION field of START STOP UNIT.
enum _MMC_SSU_POWER_CONDITION {
    MMC_SSU_POWER_NO_CHANGE = 0x0,
    MMC_SSU_POWER_IDLE = 0x2,
    MMC_SSU_POWER_STANDBY = 0x3,
    MMC_SSU_POWER_SLEEP = 0x5
};

// Sole owner of a list of 16-bit feature codes or profile numbers.
typedef qln::TransferResource<qln::PointerStorage<qln::Buffer<std::uint16_t>, 0, 3>> CodeListHolder;

// A device of the multimedia command set. Copies share the transport; the
// feature and profile lists are the device's own and copied deeply. Like its
// bases it has no virtual operations.
class DRAVIK_API ScsiMMCDevice : public ScsiSPCDevice {
public:
    enum { MMC_DEFAULT_TIMEOUT_MS = 60000 };

    explicit ScsiMMCDevice(qln::SharedFileHandle& fileHandle);
    // Shares the device's transport and takes its cached INQUIRY data over;
    // the time-out is the multimedia default whatever the source's is.
    explicit ScsiMMCDevice(ScsiSPCDevice& device);
    ScsiMMCDevice(const ScsiMMCDevice& other);
    ScsiMMCDevice(ScsiMMCDevice&& other);
    ScsiMMCDevice& operator=(const ScsiMMCDevice& other);
    ScsiMMCDevice& operator=(ScsiMMCDevice&& other);
    ~ScsiMMCDevice();

    ScsiDevice& getScsiDevice() { return *this; }
    const ScsiDevice& getScsiDevice() const { return *this; }

    // Medium and drive control. Each sends one command with the device's
    // default time-out and answers the success rule.

    bool blank(std::uint8_t blankingType, bool immediate, std::uint32_t startAddressOrTrack);
    bool closeTrack(std::uint8_t closeFunction, std::uint16_t trackOrSession, bool immediate);
    // With arsv the value is the reservation's logical block address,
    // without it the reservation size in blocks.
    bool reserveTrack(bool arsv, std::uint32_t reservation);
    // Sends the parameter list as it is (format code 001b).
    bool formatUnit(bool fmtData, bool cmpList, qln::Buffer<unsigned char>& parameterList);
    // loadUnload and start count as set when non-zero.
    bool loadUnloadMedium(std::uint8_t loadUnload, std::uint8_t start, std::uint8_t slot, bool immediate);
    bool startStopUnit(_MMC_SSU_LOEJ_START loejStart, bool immediate, _MMC_SSU_POWER_CONDITION powerCondition);
    bool loadMedium(bool immediate);
    bool unloadMedium(bool immediate);
    bool pauseResume(bool pause);
    bool playAudio10(std::uint32_t startLba, std::uint16_t blocks);
    bool playAudio12(std::uint32_t startLba, std::uint32_t blocks);
    bool playAudioMSF(std::uint8_t startMinute, std::uint8_t startSecond, std::uint8_t startFrame,
                      std::uint8_t endMinute, std::uint8_t endSecond, std::uint8_t endFrame);
    bool preventAllowMediumRemoval(bool prevent, bool persistent);
    bool synchronizeCache(std::uint32_t lba, std::uint16_t blocks, bool immediate);
    bool seek10(std::uint32_t lba);

    // Features, profiles and their caches

    // GET CONFIGURATION into the caller's memory, which must hold
    // allocationLength bytes.
    bool getConfiguration(_MMC_FEATURES startingFeature, mmc_get_configuration_feature_list_hdr_t& header,
                          std::uint16_t allocationLength, _MMC_GET_CONFIGURATION_RT_FIELD rt);

    // The drive's descriptor of `feature` (its first `length` bytes, 4 to
    // 65527); false when the drive lists another feature first.
    bool getFeature(_MMC_FEATURES feature, mmc_feature_generic_t& descriptor, std::uint16_t length,
                    _MMC_GET_CONFIGURATION_RT_FIELD rt);
    // current: the drive reports the feature current now (asked every time);
    // otherwise: the feature is in the drive's feature list.
    bool hasFeature(_MMC_FEATURES feature, bool current);
    bool getFeatures(qln::Array<_MMC_FEATURES>& features);
    bool getProfiles(qln::Array<_MMC_PROFILES>& profiles);
    bool hasProfile(_MMC_PROFILES profile);

    // Constant English names; null for values without one.
    static const char* getFeatureName(_MMC_FEATURES feature);
    static const char* getProfileName(_MMC_PROFILES profile);

    // (end of features, profiles and their caches)

    // Table of contents, performance and format capacities

    // (end of table of contents, performance and format capacities)

private:
    // Read the lists from the drive the first time (or again with force).
    bool updateFeaturesList(bool force);
    bool updateProfilesList(bool force);

protected:
    CodeListHolder featureList;  // MMC feature codes, filled on first request
    CodeListHolder profileList;  // MMC profile numbers, filled on first request
};

}  // namespace scsi
