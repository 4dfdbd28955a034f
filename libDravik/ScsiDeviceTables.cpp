// The static code-to-text lookups of ScsiDevice: constant tables of the SCSI
// standards and of the T10 lists, searched without allocating or logging.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ScsiDevice.h"
#include "ScsiTexts.h"

namespace scsi {

extern const char NONE[] = "None";
extern const char NOTINSPEC[] = "Not in Specification";
extern const char RESERVED[] = "Reserved";
extern const char UNKNOWN[] = "Unknown";
extern const char VENDORSPECIFIC[] = "Vendor Specific";
extern const char emptystr[] = "";

namespace {

template <class T, std::size_t N>
constexpr std::size_t countOf(const T (&)[N]) {
    return N;
}

// Texts of their own that read like the shared ones; a caller comparing
// pointers with VENDORSPECIFIC or RESERVED does not take them for those.
const char kSenseVendorSpecific[] = "Vendor Specific";
const char kSenseReserved[] = "Reserved";
const char kVpdVendorSpecific[] = "Vendor Specific";

// ---------------------------------------------------------------------------
// Sense keys, INQUIRY versions, queue algorithm modifiers

const char* const sense_key_table[16] = {
    /* 0h */ "NO SENSE",
    /* 1h */ "Recovered Error",
    /* 2h */ "Not Ready",
    /* 3h */ "Medium Error",
    /* 4h */ "Hardware Error",
    /* 5h */ "Illegal Request",
    /* 6h */ "Unit Attention",
    /* 7h */ "Data Protect",
    /* 8h */ "Blank Check",
    /* 9h */ kSenseVendorSpecific,
    /* Ah */ "Copy Aborted",
    /* Bh */ "Aborted Command",
    /* Ch */ emptystr,
    /* Dh */ "Volume Overflow",
    /* Eh */ "Miscompare",
    /* Fh */ kSenseReserved,
};

const char* const inquiry_version_table[7] = {
    "This device does not claim conformance to any standard",
    "SCSI",
    "ISO (Obsolete)",
    "ANSI INCITS 301-1997 (SPC)",
    "ANSI INCITS 351-2001 (SPC-2)",
    "ANSI INCITS 408-2005 (SPC-3)",
    "SPC-4",
};

const char* const qam_table[16] = {
    "Restricted reordering", "Unrestricted reordering allowed",
    RESERVED,       RESERVED,       RESERVED,       RESERVED,
    RESERVED,       RESERVED,
    VENDORSPECIFIC, VENDORSPECIFIC, VENDORSPECIFIC, VENDORSPECIFIC,
    VENDORSPECIFIC, VENDORSPECIFIC, VENDORSPECIFIC, VENDORSPECIFIC,
};

// ---------------------------------------------------------------------------
// Log pages 00h..2Fh

const char* const log_page_table[0x30] = {
    /* 00h */ "Supported Log Pages",
    /* 01h */ "Buffer Over-Run/Under-Run",
    /* 02h */ "Write Error Counter",
    /* 03h */ "Read Error Counter",
    /* 04h */ "Read Reverse Error Counter",
    /* 05h */ "Verify Error Counter",
    /* 06h */ "Non-Medium Errors",
    /* 07h */ "Last n Error Events",
    /* 08h */ "Format Status",
    /* 09h */ emptystr,
    /* 0Ah */ emptystr,
    /* 0Bh */ "Last n Deferred Error or Asynchronous Events",
    /* 0Ch */ "Sequential-Access Device",
    /* 0Dh */ "Temperature",
    /* 0Eh */ "Start-Stop Cycle Counter",
    /* 0Fh */ "Application Client",
    /* 10h */ "Self-Test Results",
    /* 11h */ "DTD Status",
    /* 12h */ "TapeAlert Response",
    /* 13h */ "Requested Recovery",
    /* 14h */ "Device Statistics",
    /* 15h */ "Background Scan Results",
    /* 16h */ "Tape Diagnostic Data",
    /* 17h */ "Non-Volatile Cache",
    /* 18h */ "Protocol Specific Port",
    /* 19h */ "Statistics and Performance",
    /* 1Ah */ "Power Condition Transitions",
    /* 1Bh */ emptystr, emptystr, emptystr, emptystr, emptystr,  // 1Bh..1Fh
    /* 20h */ emptystr, emptystr, emptystr, emptystr,            // 20h..23h
    /* 24h */ emptystr, emptystr, emptystr, emptystr,            // 24h..27h
    /* 28h */ emptystr, emptystr, emptystr, emptystr,            // 28h..2Bh
    /* 2Ch */ emptystr, emptystr,                                // 2Ch..2Dh
    /* 2Eh */ "TapeAlert",
    /* 2Fh */ "Informational Exceptions",
};
static_assert(countOf(log_page_table) == 0x30, "one row per log page 00h..2Fh");

// ---------------------------------------------------------------------------
// Version descriptors. Row n names the standard owning the descriptors
// 32n..32n+31; runs of rows with one text are kept as one range, each range
// starting at its first row and ending where the next begins.

struct VersionRange {
    unsigned short firstRow;
    const char* text;
};

const unsigned int kVersionDescriptorRows = 271;

const VersionRange version_descriptor_table[] = {
    {  0, "Version Descriptor Not Supported"},
    {  1, "SAM"},
    {  2, "SAM-2"},
    {  3, "SAM-3"},
    {  4, "SAM-4"},
    {  5, "SAM-5"},
    {  6, "Unrecognized Architecture Model"},
    {  9, "SPC"},
    { 10, "MMC"},
    { 11, "SCC"},
    { 12, "SBC"},
    { 13, "SMC"},
    { 14, "SES"},
    { 15, "SCC-2"},
    { 16, "SSC"},
    { 17, "RBC"},
    { 18, "MMC-2"},
    { 19, "SPC-2"},
    { 20, "OCRW"},
    { 21, "MMC-3"},
    { 22, "obsolete"},
    { 23, "SMC-2"},
    { 24, "SPC-3"},
    { 25, "SBC-2"},
    { 26, "OSD"},
    { 27, "SSC-2"},
    { 28, "BCC (obsolete)"},
    { 29, "MMC-4"},
    { 30, "ADC"},
    { 31, "SES-2"},
    { 32, "SSC-3"},
    { 33, "MMC-5"},
    { 34, "OSD-2"},
    { 35, "SPC-4"},
    { 36, "SMC-3"},
    { 37, "ADC-2"},
    { 38, "SBC-3"},
    { 39, "MMC-6"},
    { 40, "ADC-3"},
    { 41, "SSC-4"},
    { 42, "Unrecognized Command Set"},
    { 43, "OSD-3"},
    { 44, "SES-3"},
    { 45, "Unrecognized Command Set"},
    { 65, "SSA-TL2"},
    { 66, "SSA-TL1"},
    { 67, "SSA-S3P"},
    { 68, "SSA-S2P"},
    { 69, "SIP"},
    { 70, "FCP"},
    { 71, "SBP-2"},
    { 72, "FCP-2"},
    { 73, "SST"},
    { 74, "SRP"},
    { 75, "iSCSI"},
    { 76, "SBP-3"},
    { 77, "obsolete"},
    { 78, "ADP"},
    { 79, "ADT"},
    { 80, "FCP-3"},
    { 81, "ADT-2"},
    { 82, "Unrecognized Physical Mapping Protocol"},
    { 85, "SPI and SPI Amendment"},
    { 86, "Fast-20"},
    { 87, "SPI-2"},
    { 88, "SPI-3"},
    { 89, "EPI"},
    { 90, "SPI-4"},
    { 91, "SPI-5"},
    { 92, "Unrecognized Parallel SCSI Physical"},
    { 95, "SAS"},
    { 96, "SAS-1.1"},
    { 97, "SAS-2"},
    { 98, "SAS-2.1"},
    { 99, "Unrecognized Serial Attached SCSI"},
    {105, "FC-PH and FC-PH Amendment"},
    {106, "FC-AL"},
    {107, "FC-AL-2"},
    {108, "FC-PH-3"},
    {109, "FC-FS"},
    {110, "FC-PI"},
    {111, "FC-PI-2"},
    {112, "FC-FS-2"},
    {113, "FC-LS"},
    {114, "FC-SP"},
    {115, "FC-PI-3"},
    {116, "FC-PI-4"},
    {117, "FC 10GFC"},
    {118, "FC-SP-2"},
    {119, "FC-FS-3"},
    {120, "FC-LS-2"},
    {121, "FC-PI-5"},
    {122, "Unrecognized Fibre Channel"},
    {150, "FC-DA-2"},
    {151, "FC-DA"},
    {152, "FC-Tape"},
    {153, "FC-FLA"},
    {154, "FC-PLDA"},
    {155, "SSA-PH2"},
    {156, "SSA-PH3"},
    {157, "Unrecognized SSA"},
    {165, "IEEE 1394:1995"},
    {166, "IEEE 1394a"},
    {167, "IEEE 1394b"},
    {168, "Unrecognized IEEE 1394"},
    {175, "ATA/ATAPI-6"},
    {176, "ATA/ATAPI-7"},
    {177, "ATA/ATAPI-8"},
    {178, "Unrecognized ATAPI or USB"},
    {185, "USB"},
    {186, "UAS"},
    {187, "Unrecognized ATAPI or USB"},
    {201, "Unrecognized Networking"},
    {225, "Unrecognized ATM"},
    {245, "SAT"},
    {246, "SAT-2"},
    {247, "SAT-3"},
    {248, "Unrecognized Translator"},
    {261, "SPL"},
    {262, "Unrecognized SAS Transport Protocol"},  // up to row 270
};

// ---------------------------------------------------------------------------
// Additional sense codes 00h..74h, expanded from the generated list: one flat
// run of entries and, per ASC, where its row starts and how many it has.

const unsigned char kLastAsc = 0x74;

const char* const asc_ascq_entries[] = {
#define SCSI_ASC_ROW(asc, first, count)
#define SCSI_ASC_TEXT(asc, ascq, text) text,
#define SCSI_ASC_UNASSIGNED(asc, ascq) NOTINSPEC,
#define SCSI_ASC_RANGE(asc, first, last, text)
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};

struct AscRow {
    unsigned short first;  // position of ASCQ 0 in asc_ascq_entries
    unsigned char count;   // ASCQ 0..count-1 are in the row
};

const AscRow asc_ascq_rows[] = {
#define SCSI_ASC_ROW(asc, first, count) {first, count},
#define SCSI_ASC_TEXT(asc, ascq, text)
#define SCSI_ASC_UNASSIGNED(asc, ascq)
#define SCSI_ASC_RANGE(asc, first, last, text)
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};
static_assert(countOf(asc_ascq_rows) == kLastAsc + 1u, "one row per ASC 00h..74h");

// Qualifiers from 80h on that the list assigns as a whole range (T10 writes
// them NNh, the range in the text); the rest from 80h on are vendor specific.
struct AscRange {
    unsigned char asc;
    unsigned char first;
    unsigned char last;
    const char* text;
};

const AscRange asc_ascq_ranges[] = {
#define SCSI_ASC_ROW(asc, first, count)
#define SCSI_ASC_TEXT(asc, ascq, text)
#define SCSI_ASC_UNASSIGNED(asc, ascq)
#define SCSI_ASC_RANGE(asc, first, last, text) {asc, first, last, text},
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};

// Pairs answered before the rows (assignments outside the rows' counts, and
// a qualifier of 5Dh above 7Fh).
struct AscPair {
    unsigned char asc;
    unsigned char ascq;
    const char* text;
};

const AscPair special_asc_pairs[] = {
    {0x44, 0x71, "ATA DEVICE FAILED SET FEATURES"},
    {0x47, 0x7F, "SOME COMMANDS CLEARED BY iSCSI PROTOCOL EVENT"},
    {0x5D, 0xFF, "FAILURE PREDICTION THRESHOLD EXCEEDED (FALSE)"},
    {0x5E, 0x41, "POWER STATE CHANGE TO ACTIVE"},
    {0x5E, 0x42, "POWER STATE CHANGE TO IDLE"},
    {0x5E, 0x43, "POWER STATE CHANGE TO STANDBY"},
    {0x5E, 0x45, "POWER STATE CHANGE TO SLEEP"},
    {0x5E, 0x47, "POWER STATE CHANGE TO DEVICE CONTROL"},
    {0x73, 0x10, "CURRENT POWER CALIBRATION AREA ALMOST FULL"},
    {0x73, 0x11, "CURRENT POWER CALIBRATION AREA IS FULL"},
    {0x73, 0x17, "RDZ IS FULL"},
    {0x74, 0x21, "DATA ENCRYPTION CONFIGURATION PREVENTED"},
    {0x74, 0x30, "SA CREATION PARAMETER NOT SUPPORTED"},
    {0x74, 0x40, "AUTHENTICATION FAILED"},
    {0x74, 0x61, "EXTERNAL DATA ENCRYPTION KEY MANAGER ACCESS ERROR"},
    {0x74, 0x62, "EXTERNAL DATA ENCRYPTION KEY MANAGER ERROR"},
    {0x74, 0x63, "EXTERNAL DATA ENCRYPTION KEY NOT FOUND"},
    {0x74, 0x64, "EXTERNAL DATA ENCRYPTION REQUEST NOT AUTHORIZED"},
    {0x74, 0x6E, "EXTERNAL DATA ENCRYPTION CONTROL TIMEOUT"},
    {0x74, 0x6F, "EXTERNAL DATA ENCRYPTION CONTROL ERROR"},
    {0x74, 0x71, "LOGICAL UNIT ACCESS NOT AUTHORIZED"},
    {0x74, 0x79, "SECURITY CONFLICT IN TRANSLATED DEVICE"},
};

// ---------------------------------------------------------------------------
// T10 vendor identifications, ascending by their 8 bytes as unsigned bytes.

const std::size_t kVendorIdLength = 8;

struct VendorRow {
    const char* id;  // exactly 8 bytes, blank-padded as in INQUIRY data
    const char* name;
};

const VendorRow vendor_id_table[] = {
#define SCSI_VENDOR(id, name) {id, name},
#include "ScsiVendorTable.inc"
#undef SCSI_VENDOR
};

}  // namespace

// ---------------------------------------------------------------------------

const char* ScsiDevice::getstatusstr(int status) {
    switch (status & 0x7E) {
    case 0x00: return "Good";
    case 0x02: return "Check Condition";
    case 0x04: return "Condition Met";
    case 0x08: return "Busy";
    case 0x10: return "Intermediate";
    case 0x14: return "Intermediate-Condition Met";
    case 0x18: return "Reservation Conflict";
    case 0x22: return "Command Terminated (obsolete)";
    case 0x28: return "Task set Full";
    case 0x30: return "ACA Active";
    case 0x40: return "Task Aborted";
    default: return "Unknown status";
    }
}

const char* ScsiDevice::getsensestr(unsigned char senseKey) {
    if (senseKey >= countOf(sense_key_table))
        return NOTINSPEC;
    return sense_key_table[senseKey];
}

const char* ScsiDevice::getASCerrstr(unsigned char asc, unsigned char ascq) {
    for (const AscPair& pair : special_asc_pairs) {
        if (pair.asc == asc && pair.ascq == ascq)
            return pair.text;
    }
    for (const AscRange& range : asc_ascq_ranges) {
        if (range.asc == asc && range.first <= ascq && ascq <= range.last)
            return range.text;
    }
    if (asc >= 0x80 || ascq >= 0x80)
        return VENDORSPECIFIC;
    if (asc > kLastAsc)
        return NOTINSPEC;
    const AscRow& row = asc_ascq_rows[asc];
    if (ascq >= row.count)
        return NOTINSPEC;
    return asc_ascq_entries[row.first + ascq];
}

const char* ScsiDevice::getstandardstr(unsigned int row) {
    if (row >= kVersionDescriptorRows)
        return NOTINSPEC;
    // The last range whose first row is not above `row`.
    const VersionRange* end = version_descriptor_table + countOf(version_descriptor_table);
    const VersionRange* after = std::upper_bound(
        version_descriptor_table, end, row,
        [](unsigned int r, const VersionRange& range) { return r < range.firstRow; });
    return (after - 1)->text;
}

const char* ScsiDevice::getperipheraldevicetype(int type) {
    switch (type) {
    case 0x00: return "Direct access block device";
    case 0x01: return "Sequential-access device";
    case 0x02: return "Printer device";
    case 0x03: return "Processor device";
    case 0x04: return "Write-once device";
    case 0x05: return "CD/DVD device";
    case 0x06: return "Scanner device";
    case 0x07: return "Optical memory device";
    case 0x08: return "Medium changer device";
    case 0x09: return "Communications device";
    case 0x0C: return "Storage array controller";
    case 0x0D: return "Enclosure services device";
    case 0x0E: return "Simplified direct-access device";
    case 0x0F: return "Optical card reader/writer device";
    case 0x10: return "Bridge Controller Commands";
    case 0x11: return "Object-based Storage device";
    case 0x12: return "Automation/Drive Interface";
    case 0x1E: return "Well known logical unit";
    default: return "Unrecognized Peripheral Device Type";
    }
}

const char* ScsiDevice::getlogpagestr(unsigned char page, _SPC_PERIPHERAL_DEVICE_TYPES type) {
    const unsigned int code = page & 0x3Fu;  // the top two bits are PC/SPF, not the code
    if (code == 0x15 && type == SPC_AUTOMATION_DRIVE_INTERFACE)
        return "Service Buffers Information";
    if (code >= 0x30 && code <= 0x3E)
        return VENDORSPECIFIC;
    if (code == 0x3F)
        return RESERVED;
    return log_page_table[code];
}

const char* ScsiDevice::getvpdpagestr(unsigned char page, _SPC_PERIPHERAL_DEVICE_TYPES type) {
    const char* const deviceTypeDependent = "[Device Type Dependant Interpretation]";
    if (page == 0x00)
        return "Supported VPD Pages";
    if (page <= 0x7F)
        return "ASCII Information";
    switch (page) {
    case 0x80: return "Unit Serial Number";
    case 0x81: return "Obsolete";
    case 0x82: return "ASCII Implemented Operating Definition";
    case 0x83: return "Device Identification";
    case 0x84: return "Software Interface Identification";
    case 0x85: return "Management Network Addresses";
    case 0x86: return "Extended INQUIRY Data";
    case 0x87: return "Mode Page Policy";
    case 0x88: return "SCSI Ports";
    case 0x89:
        return type == SPC_DIRECT_ACCESS_BLOCK_DEVICE ? "ATA Information" : NOTINSPEC;
    case 0x8A: return "Power Condition";
    case 0x90: return "Protocol Specific Logical Unit Information";
    case 0x91: return "Protocol Specific Port Information";
    case 0xB0:
        switch (type) {
        case SPC_DIRECT_ACCESS_BLOCK_DEVICE: return "Block Limits";
        case SPC_SEQUENTIAL_ACCESS_DEVICE: return "Sequential-access device capabilities";
        case SPC_OBJECT_BASED_STORAGE_DEVICE: return "OSD Information";
        default: return deviceTypeDependent;
        }
    case 0xB1:
        switch (type) {
        case SPC_DIRECT_ACCESS_BLOCK_DEVICE: return "Block Device Characteristics";
        case SPC_SEQUENTIAL_ACCESS_DEVICE:
        case SPC_AUTOMATION_DRIVE_INTERFACE: return "Manufacturer-assigned serial number";
        case SPC_OBJECT_BASED_STORAGE_DEVICE: return "Security token";
        default: return deviceTypeDependent;
        }
    case 0xB2:
        return type == SPC_SEQUENTIAL_ACCESS_DEVICE ? "TapeAlert supported flags"
                                                     : deviceTypeDependent;
    default:
        break;
    }
    if (page <= 0xAF)  // 8Bh..8Fh and 92h..AFh
        return RESERVED;
    if (page <= 0xBF)
        return deviceTypeDependent;
    return kVpdVendorSpecific;
}

const char* ScsiDevice::xlateVendorID(const char* id) {
    // Signed bounds: a search that ends below row 0 leaves high at -1 and stops,
    // instead of wrapping around to the far end of the table.
    if (id == nullptr)
        return emptystr;
    long low = 0;
    long high = static_cast<long>(countOf(vendor_id_table)) - 1;
    while (low <= high) {
        const long middle = low + (high - low) / 2;
        const int order = std::memcmp(vendor_id_table[middle].id, id, kVendorIdLength);
        if (order == 0)
            return vendor_id_table[middle].name;
        if (order > 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return emptystr;
}

const char* ScsiDevice::inqVersion(unsigned char version) {
    if (version >= countOf(inquiry_version_table))
        return NOTINSPEC;
    return inquiry_version_table[version];
}

const char* ScsiDevice::getQAMstr(unsigned char flags) {
    return qam_table[flags & 0x0F];
}

}  // namespace scsi
