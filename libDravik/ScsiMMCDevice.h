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

// The code enumerations of this header and of ScsiMMCTypes.h have a fixed int
// type, so that any int a caller passes is a value of them: a method masks
// the value to the width of the field it goes into.

// LoEj (bit 1) and Start (bit 0) of START STOP UNIT as one value.
enum _MMC_SSU_LOEJ_START : int {
    MMC_SSU_STOP = 0,
    MMC_SSU_START = 1,
    MMC_SSU_EJECT = 2,
    MMC_SSU_LOAD = 3
};

// POWER CONDITION field of START STOP UNIT.
enum _MMC_SSU_POWER_CONDITION : int {
    MMC_SSU_POWER_NO_CHANGE = 0x0,
    MMC_SSU_POWER_IDLE = 0x2,
    MMC_SSU_POWER_STANDBY = 0x3,
    MMC_SSU_POWER_SLEEP = 0x5
};

// Read, write and information commands: the codes they place into command
// blocks and the answer records they fill. Each record is the drive's data as
// the multimedia command set lays it out (big-endian fields, unchanged).

// DATA TYPE of READ DISC INFORMATION.
enum _MMC_DISC_INFORMATION_DATA_TYPE : int {
    MMC_DISC_INFORMATION_STANDARD = 0,
    MMC_DISC_INFORMATION_TRACK_RESOURCES = 1,
    MMC_DISC_INFORMATION_POW_RESOURCES = 2
};

// Mode pages of optical drives.
enum _MMC_PAGE_CODES : int {
    MMC_PAGE_READ_WRITE_ERROR_RECOVERY = 0x01,
    MMC_PAGE_WRITE_PARAMETERS = 0x05,
    MMC_PAGE_CACHING = 0x08,
    MMC_PAGE_CD_AUDIO_CONTROL = 0x0E,
    MMC_PAGE_POWER_CONDITION = 0x1A,
    MMC_PAGE_INFORMATIONAL_EXCEPTIONS = 0x1C,
    MMC_PAGE_TIMEOUT_AND_PROTECT = 0x1D,
    MMC_PAGE_CAPABILITIES_AND_MECHANICAL_STATUS = 0x2A,
    MMC_PAGE_ALL = 0x3F
};

// PC field of MODE SENSE: which values of the page.
enum _MMC_PAGE_CONTROL_FIELDS : int {
    MMC_PAGE_CONTROL_CURRENT = 0,
    MMC_PAGE_CONTROL_CHANGEABLE = 1,
    MMC_PAGE_CONTROL_DEFAULT = 2,
    MMC_PAGE_CONTROL_SAVED = 3
};

// MEDIA TYPE of READ DISC STRUCTURE.
enum _MMC_MEDIA_TYPE_CODE : int {
    MMC_MEDIA_TYPE_DVD = 0x0,
    MMC_MEDIA_TYPE_BD = 0x1
};

// FORMAT CODE of READ DISC STRUCTURE (the structure asked for).
enum _MMC_MEDIA_TYPE_FORMAT_CODE : int {
    MMC_MEDIA_FORMAT_PHYSICAL = 0x00,
    MMC_MEDIA_FORMAT_COPYRIGHT = 0x01,
    MMC_MEDIA_FORMAT_DISC_KEY = 0x02,
    MMC_MEDIA_FORMAT_BCA = 0x03,
    MMC_MEDIA_FORMAT_DISC_MANUFACTURING = 0x04,
    MMC_MEDIA_FORMAT_COPYRIGHT_MANAGEMENT = 0x05,
    MMC_MEDIA_FORMAT_MEDIA_IDENTIFIER = 0x06,
    MMC_MEDIA_FORMAT_MEDIA_KEY_BLOCK = 0x07,
    MMC_MEDIA_FORMAT_DDS = 0x08,
    MMC_MEDIA_FORMAT_MEDIUM_STATUS = 0x09,
    MMC_MEDIA_FORMAT_SPARE_AREA = 0x0A,
    MMC_MEDIA_FORMAT_RECORDING_TYPE = 0x0B,
    MMC_MEDIA_FORMAT_RMD_BORDER_OUT = 0x0C,
    MMC_MEDIA_FORMAT_RMD = 0x0D,
    MMC_MEDIA_FORMAT_PRE_RECORDED_LEAD_IN = 0x0E,
    MMC_MEDIA_FORMAT_UNIQUE_DISC_ID = 0x0F,
    MMC_MEDIA_FORMAT_ADIP = 0x11,
    MMC_MEDIA_FORMAT_LAYER_CAPACITY = 0x20,
    MMC_MEDIA_FORMAT_MIDDLE_ZONE_START = 0x21,
    MMC_MEDIA_FORMAT_JUMP_INTERVAL = 0x22,
    MMC_MEDIA_FORMAT_MANUAL_LAYER_JUMP = 0x23,
    MMC_MEDIA_FORMAT_REMAPPING_ADDRESS = 0x24,
    MMC_MEDIA_FORMAT_DISC_CONTROL_BLOCKS = 0x30,
    MMC_MEDIA_FORMAT_WRITE_PROTECTION = 0xC0,
    MMC_MEDIA_FORMAT_STRUCTURE_LIST = 0xFF
};

// TYPE of SET STREAMING: the descriptor the parameter list holds.
enum _MMC_SET_PERFORMANCE_TYPE : int {
    MMC_SET_PERFORMANCE_DESCRIPTOR = 0x00,
    MMC_SET_PERFORMANCE_DBI_CACHE_ZONE = 0x05
};

// READ DISC INFORMATION, standard disc information (the OPC tables follow
// in the caller's memory when asked for).
struct mmc_disc_information_hdr_t {
    unsigned char data_length[2];
    unsigned char status;                 // erasable, state of last session, disc status
    unsigned char first_track;
    unsigned char sessions_lsb;
    unsigned char first_track_last_session_lsb;
    unsigned char last_track_last_session_lsb;
    unsigned char valid_flags;            // DID_V, DBC_V, URU, DAC_V, BG format status
    unsigned char disc_type;
    unsigned char sessions_msb;
    unsigned char first_track_last_session_msb;
    unsigned char last_track_last_session_msb;
    unsigned char disc_identification[4];
    unsigned char last_session_lead_in_start[4];
    unsigned char last_possible_lead_out_start[4];
    unsigned char disc_bar_code[8];
    unsigned char disc_application_code;
    unsigned char opc_tables;
};

// MECHANISM STATUS header; the slot tables follow in the caller's memory.
struct mmc_mechanism_status_hdr_t {
    unsigned char changer_state;          // fault, changer state, current slot (low bits)
    unsigned char mechanism_state;        // mechanism state, door open, current slot (high bits)
    unsigned char current_lba[3];
    unsigned char slots_available;
    unsigned char slot_table_length[2];
};

// READ TRACK INFORMATION answer, always asked for in full.
struct mmc_track_information_t {
    unsigned char data_length[2];
    unsigned char track_number_lsb;
    unsigned char session_number_lsb;
    unsigned char reserved4;
    unsigned char track_flags;            // damage, copy, track mode
    unsigned char data_flags;             // RT, blank, packet, FP, data mode
    unsigned char address_flags;          // LRA_V, NWA_V
    unsigned char track_start_address[4];
    unsigned char next_writable_address[4];
    unsigned char free_blocks[4];
    unsigned char fixed_packet_size[4];
    unsigned char track_size[4];
    unsigned char last_recorded_address[4];
    unsigned char track_number_msb;
    unsigned char session_number_msb;
    unsigned char reserved34[2];
    unsigned char read_compatibility_lba[4];
    unsigned char next_layer_jump_address[4];
    unsigned char last_layer_jump_address[4];
};

static_assert(sizeof(mmc_disc_information_hdr_t) == 34, "standard disc information");
static_assert(offsetof(mmc_disc_information_hdr_t, disc_identification) == 12, "disc identification");
static_assert(offsetof(mmc_disc_information_hdr_t, opc_tables) == 33, "number of OPC tables");
static_assert(sizeof(mmc_mechanism_status_hdr_t) == 8, "mechanism status header");
static_assert(offsetof(mmc_mechanism_status_hdr_t, slot_table_length) == 6, "slot table length");
static_assert(sizeof(mmc_track_information_t) == 48, "track information");
static_assert(offsetof(mmc_track_information_t, track_start_address) == 8, "track start address");
static_assert(offsetof(mmc_track_information_t, track_number_msb) == 32, "track number MSB");
static_assert(offsetof(mmc_track_information_t, last_layer_jump_address) == 44, "last layer jump address");

// (end of read, write and information codes and records)

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

    // Reading, writing and information. Each sends one command with the
    // device's default time-out; a reading command fails on an answer shorter
    // than its data length unless told otherwise.

    // Fields of READ CD and READ CD MSF; each is cut to its field's width.
    struct read_cd_arg_t {
        std::int32_t sectorType;    // expected sector type, 3 bits
        bool sync;
        std::int32_t headerCodes;   // 2 bits
        bool userData;
        bool edcEcc;
        std::int32_t subChannel;    // sub-channel data selection, 3 bits
        std::int32_t c2Error;       // C2 error information, 2 bits
        bool dap;
        std::uint32_t startLba;
        std::uint32_t transferLength;  // blocks, 24 bits
    };
    struct read_msf_arg_t {
        std::int32_t sectorType;
        bool sync;
        std::int32_t headerCodes;
        bool userData;
        bool edcEcc;
        std::int32_t subChannel;
        std::int32_t c2Error;
        bool dap;
        std::uint8_t startMinute;
        std::uint8_t startSecond;
        std::uint8_t startFrame;
        std::uint8_t endMinute;
        std::uint8_t endSecond;
        std::uint8_t endFrame;
    };

    bool read10(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint16_t blocks, bool fua);
    bool read12(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint32_t blocks, bool fua,
                bool streaming);
    bool readMSF(void* data, std::uint32_t dataLength, const read_msf_arg_t& arg);
    bool readCD(void* data, std::uint32_t dataLength, const read_cd_arg_t& arg);
    bool write10(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint16_t blocks, bool fua);
    bool write12(void* data, std::uint32_t dataLength, std::uint32_t lba, std::uint32_t blocks, bool fua);
    // The last logical block address as the drive reports it (not the count
    // of blocks) and the block length; both written on success only.
    bool readCapacity(std::uint32_t& lastLba, std::uint32_t& blockLength);
    // The buffer's length is the data length; its low 16 bits the allocation
    // length (buffers of these commands hold at most 65535 bytes).
    bool readFormatCapacities(qln::Buffer<unsigned char>& buffer);
    bool readDiscInformation(_MMC_DISC_INFORMATION_DATA_TYPE dataType, mmc_disc_information_hdr_t* info,
                             std::uint16_t allocationLength);
    // The mode page(s) without the mode parameter header and block
    // descriptors: at most `length` bytes into `buffer`. The drive is asked
    // for length + 16 bytes; a shorter answer counts once its 8-byte header
    // arrived, and only the bytes that arrived are copied. A length above
    // 65519 does not fit the allocation length field: the command goes out
    // with the field wrapped, and the call fails with nothing copied.
    bool modeSense10(_MMC_PAGE_CODES pageCode, void* buffer, std::uint16_t length,
                     _MMC_PAGE_CONTROL_FIELDS pageControl);
    bool mechanismStatus(mmc_mechanism_status_hdr_t* status, std::uint16_t allocationLength);
    // The current profile from GET CONFIGURATION (declared with the
    // features); MMC_PROFILE_INVALID when the drive cannot tell.
    _MMC_PROFILES getCurrentProfile();
    bool readDiscStructure(_MMC_MEDIA_TYPE_CODE mediaType, _MMC_MEDIA_TYPE_FORMAT_CODE formatCode,
                           qln::Buffer<unsigned char>& buffer);
    bool readTOCInformation(_MMC_READ_TOC_FORMAT_CODE format, bool msf, qln::Buffer<unsigned char>& buffer,
                            std::uint8_t trackOrSession);
    // Always asks for the record's 48 bytes. A drive whose block is shorter
    // sends only that: a short answer counts once it holds the 4-byte header
    // and the whole block its data length tells (the last result still shows
    // the underrun), and the record's bytes past it read zero.
    bool readTrackInformation(std::uint8_t addressType, bool open, std::uint32_t addressOrNumber,
                              mmc_track_information_t& info);
    // Nominal performance (type 0) asked for with data type 10h is accepted
    // when at most 8 bytes are missing from the answer.
    bool getPerformance(_MMC_PERFORMANCE_TYPE type, std::uint8_t dataType, std::uint32_t startLba,
                        std::uint16_t maxDescriptors, qln::Buffer<unsigned char>& buffer);
    // Sends the low 16 bits of the buffer's length.
    bool setStreaming(_MMC_SET_PERFORMANCE_TYPE type, qln::Buffer<unsigned char>& parameters);

    // (end of reading, writing and information)

    // Features, profiles and their caches

    // GET CONFIGURATION into the caller's memory, which must hold
    // allocationLength bytes.
    bool getConfiguration(_MMC_FEATURES startingFeature, mmc_get_configuration_feature_list_hdr_t& header,
                          std::uint16_t allocationLength, _MMC_GET_CONFIGURATION_RT_FIELD rt);

    // The drive's descriptor of `feature` (its first `length` bytes, 4 to
    // 65527, or as many as the drive sent); false when the drive lists
    // another feature first.
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
    // Read the lists from the drive the first time (or again with force); a
    // read that fails leaves no list, so the next request reads again.
    bool updateFeaturesList(bool force);
    bool updateProfilesList(bool force);

protected:
    CodeListHolder featureList;  // MMC feature codes, filled on first request
    CodeListHolder profileList;  // MMC profile numbers, filled on first request

    // --- Table of contents, performance and format capacities ---------------
public:
    // The lists below read through readTOCInformation, getPerformance and
    // readFormatCapacities of the reading and information commands.

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
