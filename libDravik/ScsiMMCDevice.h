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

private:
    // Read the lists from the drive the first time (or again with force).
    bool updateFeaturesList(bool force);
    bool updateProfilesList(bool force);

protected:
    CodeListHolder featureList;  // MMC feature codes, filled on first request
    CodeListHolder profileList;  // MMC profile numbers, filled on first request

    // --- Table of contents, performance and format capacities ---------------
public:
    // The raw reads behind the descriptor lists. Each transfers the whole
    // buffer; READ TOC and READ FORMAT CAPACITIES put its low 16 bits into
    // their allocation length, so buffers hold at most 65535 bytes.
    bool readTOCInformation(_MMC_READ_TOC_FORMAT_CODE format, bool msf, qln::Buffer<unsigned char>& buffer,
                            std::uint8_t trackOrSession);
    // Also true for nominal performance with data type exactly 10h when the
    // drive sent at most 8 bytes fewer than the buffer holds.
    bool getPerformance(_MMC_PERFORMANCE_TYPE type, std::uint8_t dataType, std::uint32_t startLba,
                        std::uint16_t maxDescriptors, qln::Buffer<unsigned char>& buffer);
    bool readFormatCapacities(qln::Buffer<unsigned char>& buffer);

    // READ TOC/PMA/ATIP, one overload per format: on success the array holds
    // exactly the descriptors of the answer; the header (when not null)
    // receives the answer's first 4 bytes once the full read succeeded.
    bool getTOCElements(qln::Array<mmc_toc_fmt0h_trk_descriptor_t>& tracks, bool msf, std::uint32_t track,
                        mmc_toc_hdr_t* header);
    bool getTOCElements(qln::Array<mmc_toc_fmt1h_trk_descriptor_t>& sessions, bool msf, mmc_toc_hdr_t* header);
    bool getTOCElements(qln::Array<mmc_toc_fmt2h_trk_descriptor_t>& entries, std::uint32_t session,
                        mmc_toc_hdr_t* header);
    bool getTOCElements(qln::Array<mmc_toc_fmt3h_trk_descriptor_t>& entries, mmc_toc_hdr_t* header);
    bool getTOCElements(qln::Array<mmc_toc_fmt4h_trk_descriptor_t>& atip, mmc_toc_hdr_t* header);
    bool getTOCElements(qln::Array<mmc_toc_fmt5h_trk_descriptor_t>& packs, mmc_toc_hdr_t* header);

    // GET PERFORMANCE: the write speeds, or the nominal performance from
    // startLba (at most maxDescriptors of them unless 0). A drive with
    // nothing to report gives an empty array and true.
    bool getPerformanceInfo(qln::Array<mmc_write_speed_desc_t>& speeds);
    bool getPerformanceInfo(qln::Array<mmc_performance_nom_desc_t>& performance, std::uint32_t maxDescriptors,
                            std::uint32_t startLba, bool write);

    // READ FORMAT CAPACITIES: the current/maximum descriptor, and the
    // formattable descriptors appended after what `formats` already holds.
    bool getFormatCapacities(mmc_max_cap_desc_t& current, qln::Array<mmc_format_cap_desc_t>& formats);

    // READ SUB-CHANNEL into the whole buffer (its length is the allocation).
    bool readSubChannel(_MMC_SUB_CHAN_PARM parameterList, qln::Buffer<unsigned char>& buffer, bool subQ, bool msf);
    bool setCDSpeed(_MMC_ROT_CNTL rotationalControl, std::uint16_t readSpeed, std::uint16_t writeSpeed);
    bool setReadAhead(std::uint32_t triggerLba, std::uint32_t readAheadLba);

private:
    template <class Descriptor>
    bool getTOCElementsImp(_MMC_READ_TOC_FORMAT_CODE format, bool msf, std::uint8_t trackOrSession,
                           qln::Array<Descriptor>& elements, mmc_toc_hdr_t* header);
    template <class Descriptor>
    bool getPerformanceInfoImp(_MMC_PERFORMANCE_TYPE type, std::uint8_t dataType, std::uint32_t startLba,
                               std::uint32_t maxDescriptors, qln::Array<Descriptor>& elements);
    // --- (end of table of contents, performance and format capacities) -----
};

}  // namespace scsi
