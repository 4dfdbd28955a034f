// Codes and byte-image records of the multimedia (optical) command set: the
// feature and profile numbers, and the fixed-size descriptors that the TOC,
// performance and format-capacity reads copy out of the drive's answers.
// Every record holds the drive's bytes unchanged (multi-byte fields
// big-endian); the library reads none of their fields. The enumerations have
// a fixed int type: any int a caller passes is a value of them, and the
// methods take the bits of it that their field or code holds.
#ifndef DRAVIK_SCSIMMCTYPES_H
#define DRAVIK_SCSIMMCTYPES_H

#include "DravikConfig.h"

namespace scsi {

// Feature codes; any other 16-bit code is a valid value without a name.
enum _MMC_FEATURES : int {
    MMC_FEATURE_PROFILE_LIST = 0x0000,
    MMC_FEATURE_CORE = 0x0001,
    MMC_FEATURE_MORPHING = 0x0002,
    MMC_FEATURE_REMOVABLE_MEDIUM = 0x0003,
    MMC_FEATURE_WRITE_PROTECT = 0x0004,
    MMC_FEATURE_RANDOM_READABLE = 0x0010,
    MMC_FEATURE_MULTI_READ = 0x001D,
    MMC_FEATURE_CD_READ = 0x001E,
    MMC_FEATURE_DVD_READ = 0x001F,
    MMC_FEATURE_RANDOM_WRITABLE = 0x0020,
    MMC_FEATURE_INCREMENTAL_STREAMING_WRITABLE = 0x0021,
    MMC_FEATURE_FORMATTABLE = 0x0023,
    MMC_FEATURE_HARDWARE_DEFECT_MANAGEMENT = 0x0024,
    MMC_FEATURE_WRITE_ONCE = 0x0025,
    MMC_FEATURE_RESTRICTED_OVERWRITE = 0x0026,
    MMC_FEATURE_CD_RW_CAV_WRITE = 0x0027,
    MMC_FEATURE_MRW = 0x0028,
    MMC_FEATURE_ENHANCED_DEFECT_REPORTING = 0x0029,
    MMC_FEATURE_DVD_PLUS_RW = 0x002A,
    MMC_FEATURE_DVD_PLUS_R = 0x002B,
    MMC_FEATURE_RIGID_RESTRICTED_OVERWRITE = 0x002C,
    MMC_FEATURE_CD_TRACK_AT_ONCE = 0x002D,
    MMC_FEATURE_CD_MASTERING = 0x002E,
    MMC_FEATURE_DVD_R_RW_WRITE = 0x002F,
    MMC_FEATURE_LAYER_JUMP_RECORDING = 0x0033,
    MMC_FEATURE_LAYER_JUMP_RIGID_RESTRICTED_OVERWRITE = 0x0034,
    MMC_FEATURE_STOP_LONG_OPERATION = 0x0035,
    MMC_FEATURE_CD_RW_MEDIA_WRITE_SUPPORT = 0x0037,
    MMC_FEATURE_BD_R_POW = 0x0038,
    MMC_FEATURE_DVD_PLUS_RW_DUAL_LAYER = 0x003A,
    MMC_FEATURE_DVD_PLUS_R_DUAL_LAYER = 0x003B,
    MMC_FEATURE_BD_READ = 0x0040,
    MMC_FEATURE_BD_WRITE = 0x0041,
    MMC_FEATURE_TSR = 0x0042,
    MMC_FEATURE_HD_DVD_READ = 0x0050,
    MMC_FEATURE_HD_DVD_WRITE = 0x0051,
    MMC_FEATURE_HD_DVD_RW_FRAGMENT_RECORDING = 0x0052,
    MMC_FEATURE_HYBRID_DISC = 0x0080,
    MMC_FEATURE_POWER_MANAGEMENT = 0x0100,
    MMC_FEATURE_SMART = 0x0101,
    MMC_FEATURE_EMBEDDED_CHANGER = 0x0102,
    MMC_FEATURE_CD_AUDIO_EXT_PLAY = 0x0103,
    MMC_FEATURE_MICROCODE_UPGRADE = 0x0104,
    MMC_FEATURE_TIMEOUT = 0x0105,
    MMC_FEATURE_DVD_CSS = 0x0106,
    MMC_FEATURE_REAL_TIME_STREAMING = 0x0107,
    MMC_FEATURE_DRIVE_SERIAL_NUMBER = 0x0108,
    MMC_FEATURE_MEDIA_SERIAL_NUMBER = 0x0109,
    MMC_FEATURE_DCBS = 0x010A,
    MMC_FEATURE_DVD_CPRM = 0x010B,
    MMC_FEATURE_FIRMWARE_INFORMATION = 0x010C,
    MMC_FEATURE_AACS = 0x010D,
    MMC_FEATURE_DVD_CSS_MANAGED_RECORDING = 0x010E,
    MMC_FEATURE_VCPS = 0x0110,
    MMC_FEATURE_SECURDISC = 0x0113,
    MMC_FEATURE_OSSC = 0x0142,
    MMC_FEATURE_OBIST = 0xFFDF
};

// Profile numbers; getCurrentProfile answers MMC_PROFILE_INVALID on failure.
enum _MMC_PROFILES : int {
    MMC_PROFILE_NO_CURRENT = 0x0000,
    MMC_PROFILE_NON_REMOVABLE_DISK = 0x0001,
    MMC_PROFILE_REMOVABLE_DISK = 0x0002,
    MMC_PROFILE_OPTICAL_WRITE_ONCE = 0x0004,
    MMC_PROFILE_AS_MO = 0x0005,
    MMC_PROFILE_CD_ROM = 0x0008,
    MMC_PROFILE_CD_R = 0x0009,
    MMC_PROFILE_CD_RW = 0x000A,
    MMC_PROFILE_DVD_ROM = 0x0010,
    MMC_PROFILE_DVD_R_SEQUENTIAL = 0x0011,
    MMC_PROFILE_DVD_RAM = 0x0012,
    MMC_PROFILE_DVD_RW_RESTRICTED_OVERWRITE = 0x0013,
    MMC_PROFILE_DVD_RW_SEQUENTIAL = 0x0014,
    MMC_PROFILE_DVD_R_DL_SEQUENTIAL = 0x0015,
    MMC_PROFILE_DVD_R_DL_JUMP = 0x0016,
    MMC_PROFILE_DVD_RW_DL = 0x0017,
    MMC_PROFILE_DVD_DOWNLOAD = 0x0018,
    MMC_PROFILE_DVD_PLUS_RW = 0x001A,
    MMC_PROFILE_DVD_PLUS_R = 0x001B,
    MMC_PROFILE_DVD_PLUS_RW_DL = 0x002A,
    MMC_PROFILE_DVD_PLUS_R_DL = 0x002B,
    MMC_PROFILE_BD_ROM = 0x0040,
    MMC_PROFILE_BD_R_SRM = 0x0041,
    MMC_PROFILE_BD_R_RRM = 0x0042,
    MMC_PROFILE_BD_RE = 0x0043,
    MMC_PROFILE_HD_DVD_ROM = 0x0050,
    MMC_PROFILE_HD_DVD_R = 0x0051,
    MMC_PROFILE_HD_DVD_RAM = 0x0052,
    MMC_PROFILE_HD_DVD_RW = 0x0053,
    MMC_PROFILE_HD_DVD_R_DL = 0x0058,
    MMC_PROFILE_HD_DVD_RW_DL = 0x005A,
    MMC_PROFILE_NON_CONFORMING = 0xFFFF,
    MMC_PROFILE_INVALID = -1
};

// The RT field of GET CONFIGURATION.
enum _MMC_GET_CONFIGURATION_RT_FIELD : int {
    MMC_GET_CONFIGURATION_RT_ALL = 0,
    MMC_GET_CONFIGURATION_RT_CURRENT = 1,
    MMC_GET_CONFIGURATION_RT_ONE = 2
};

enum _MMC_READ_TOC_FORMAT_CODE : int {
    MMC_READ_TOC_FORMAT_TOC = 0,
    MMC_READ_TOC_FORMAT_SESSION_INFO = 1,
    MMC_READ_TOC_FORMAT_FULL_TOC = 2,
    MMC_READ_TOC_FORMAT_PMA = 3,
    MMC_READ_TOC_FORMAT_ATIP = 4,
    MMC_READ_TOC_FORMAT_CD_TEXT = 5
};

enum _MMC_PERFORMANCE_TYPE : int {
    MMC_PERFORMANCE_TYPE_PERFORMANCE = 0,
    MMC_PERFORMANCE_TYPE_WRITE_SPEED = 3
};

enum _MMC_SUB_CHAN_PARM : int {
    MMC_SUB_CHAN_PARM_CURRENT_POSITION = 1,
    MMC_SUB_CHAN_PARM_MCN = 2,
    MMC_SUB_CHAN_PARM_ISRC = 3
};

enum _MMC_ROT_CNTL : int {
    MMC_ROT_CNTL_CLV = 0,
    MMC_ROT_CNTL_CAV = 1
};

// One feature descriptor as the drive sends it: a 4-byte header (code,
// version/persistent/current, additional length) and the feature's bytes.
// Callers state how many bytes of the record a read may fill.
struct mmc_feature_generic_t {
    unsigned char code[2];
    unsigned char flags;
    unsigned char additional_length;
    unsigned char data[252];
};

// The 8-byte header of a GET CONFIGURATION answer; the feature descriptors
// follow it in the caller's memory.
struct mmc_get_configuration_feature_list_hdr_t {
    unsigned char data_length[4];
    unsigned char reserved[2];
    unsigned char current_profile[2];
};

struct mmc_toc_hdr_t {
    unsigned char data_length[2];
    unsigned char first;
    unsigned char last;
};

struct mmc_toc_fmt0h_trk_descriptor_t {
    unsigned char reserved0;
    unsigned char adr_control;
    unsigned char track_number;
    unsigned char reserved3;
    unsigned char start_address[4];
};

struct mmc_toc_fmt1h_trk_descriptor_t {
    unsigned char reserved0;
    unsigned char adr_control;
    unsigned char first_track_in_last_session;
    unsigned char reserved3;
    unsigned char start_address[4];
};

struct mmc_toc_fmt2h_trk_descriptor_t {
    unsigned char session_number;
    unsigned char adr_control;
    unsigned char tno;
    unsigned char point;
    unsigned char min;
    unsigned char sec;
    unsigned char frame;
    unsigned char zero;
    unsigned char pmin;
    unsigned char psec;
    unsigned char pframe;
};

struct mmc_toc_fmt3h_trk_descriptor_t {
    unsigned char reserved0;
    unsigned char adr_control;
    unsigned char tno;
    unsigned char point;
    unsigned char min;
    unsigned char sec;
    unsigned char frame;
    unsigned char zero;
    unsigned char pmin;
    unsigned char psec;
    unsigned char pframe;
};

// The ATIP descriptor: answer bytes 4-31.
struct mmc_toc_fmt4h_trk_descriptor_t {
    unsigned char writing_power;
    unsigned char disc_flags;
    unsigned char disc_type;
    unsigned char reserved3;
    unsigned char lead_in_start[4];
    unsigned char last_lead_out_start[4];
    unsigned char a1_values[4];
    unsigned char a2_values[4];
    unsigned char a3_values[4];
    unsigned char s4_values[4];
};

// One CD-TEXT pack.
struct mmc_toc_fmt5h_trk_descriptor_t {
    unsigned char pack_type;
    unsigned char track_number;
    unsigned char sequence_number;
    unsigned char block_char_position;
    unsigned char text[12];
    unsigned char crc[2];
};

struct mmc_write_speed_desc_t {
    unsigned char flags;
    unsigned char reserved[3];
    unsigned char end_lba[4];
    unsigned char read_speed[4];
    unsigned char write_speed[4];
};

struct mmc_performance_nom_desc_t {
    unsigned char start_lba[4];
    unsigned char start_performance[4];
    unsigned char end_lba[4];
    unsigned char end_performance[4];
};

struct mmc_max_cap_desc_t {
    unsigned char number_of_blocks[4];
    unsigned char descriptor_type;
    unsigned char block_length[3];
};

struct mmc_format_cap_desc_t {
    unsigned char number_of_blocks[4];
    unsigned char format_type;
    unsigned char type_parameter[3];
};

static_assert(sizeof(mmc_feature_generic_t) >= 4, "a descriptor header at least");
static_assert(sizeof(mmc_toc_hdr_t) == 4, "TOC header");
static_assert(sizeof(mmc_toc_fmt0h_trk_descriptor_t) == 8, "TOC track descriptor");
static_assert(sizeof(mmc_toc_fmt1h_trk_descriptor_t) == 8, "session descriptor");
static_assert(sizeof(mmc_toc_fmt2h_trk_descriptor_t) == 11, "full TOC descriptor");
static_assert(sizeof(mmc_toc_fmt3h_trk_descriptor_t) == 11, "PMA descriptor");
static_assert(sizeof(mmc_toc_fmt4h_trk_descriptor_t) == 28, "ATIP descriptor");
static_assert(sizeof(mmc_toc_fmt5h_trk_descriptor_t) == 18, "CD-TEXT pack");
static_assert(sizeof(mmc_write_speed_desc_t) == 16, "write speed descriptor");
static_assert(sizeof(mmc_performance_nom_desc_t) == 16, "nominal performance descriptor");
static_assert(sizeof(mmc_max_cap_desc_t) == 8, "current/maximum capacity descriptor");
static_assert(sizeof(mmc_format_cap_desc_t) == 8, "formattable capacity descriptor");

}  // namespace scsi

#endif  // DRAVIK_SCSIMMCTYPES_H
