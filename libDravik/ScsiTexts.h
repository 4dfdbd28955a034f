// Constant texts of the code-to-text lookups and the peripheral device types
// they are asked about.
//
// The lookups of ScsiDevice answer these very arrays where a code has no
// text of its own, so a caller may compare the returned pointer with them.
// They are exported data: every module sees the one copy inside the library.
#pragma once

#include "DravikConfig.h"

namespace scsi {

extern DRAVIK_API const char NONE[];            // "None"
extern DRAVIK_API const char NOTINSPEC[];       // "Not in Specification"
extern DRAVIK_API const char RESERVED[];        // "Reserved"
extern DRAVIK_API const char UNKNOWN[];         // "Unknown"
extern DRAVIK_API const char VENDORSPECIFIC[];  // "Vendor Specific"
extern DRAVIK_API const char emptystr[];        // ""

// PERIPHERAL DEVICE TYPE of standard INQUIRY data (byte 0, bits 4..0).
enum _SPC_PERIPHERAL_DEVICE_TYPES {
    SPC_DIRECT_ACCESS_BLOCK_DEVICE = 0x00,
    SPC_SEQUENTIAL_ACCESS_DEVICE = 0x01,
    SPC_PRINTER_DEVICE = 0x02,
    SPC_PROCESSOR_DEVICE = 0x03,
    SPC_WRITE_ONCE_DEVICE = 0x04,
    SPC_CD_DVD_DEVICE = 0x05,
    SPC_SCANNER_DEVICE = 0x06,
    SPC_OPTICAL_MEMORY_DEVICE = 0x07,
    SPC_MEDIUM_CHANGER_DEVICE = 0x08,
    SPC_COMMUNICATIONS_DEVICE = 0x09,
    SPC_STORAGE_ARRAY_CONTROLLER = 0x0C,
    SPC_ENCLOSURE_SERVICES_DEVICE = 0x0D,
    SPC_SIMPLIFIED_DIRECT_ACCESS_DEVICE = 0x0E,
    SPC_OPTICAL_CARD_READER_WRITER = 0x0F,
    SPC_BRIDGE_CONTROLLER = 0x10,
    SPC_OBJECT_BASED_STORAGE_DEVICE = 0x11,
    SPC_AUTOMATION_DRIVE_INTERFACE = 0x12,
    SPC_WELL_KNOWN_LOGICAL_UNIT = 0x1E,
    SPC_UNKNOWN_DEVICE_TYPE = 0x1F  // no device type (also: nothing read yet)
};

}  // namespace scsi
