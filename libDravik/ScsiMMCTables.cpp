// Names of the multimedia feature codes and profile numbers, in ascending
// code order for a binary search.
#include "ScsiMMCTables.h"

#include <cstddef>

namespace scsi {
namespace mmc_tables {

namespace {

struct NameRow {
    unsigned short code;
    const char* name;
};

template <class T, std::size_t N>
constexpr int countOf(const T (&)[N]) {
    return static_cast<int>(N);
}

const NameRow mmc_feature_table[] = {
    {0x0000, "Profile List"},
    {0x0001, "Core"},
    {0x0002, "Morphing"},
    {0x0003, "Removable Medium"},
    {0x0004, "Write Protect "},
    {0x0010, "Random Readable"},
    {0x001D, "Multi-Read"},
    {0x001E, "CD Read"},
    {0x001F, "DVD Read"},
    {0x0020, "Random Writable"},
    {0x0021, "Incremental Streaming Writable"},
    {0x0023, "Formattable"},
    {0x0024, "Hardware Defect Management"},
    {0x0025, "Write Once"},
    {0x0026, "Restricted Overwrite"},
    {0x0027, "CD-RW CAV Write"},
    {0x0028, "MRW"},
    {0x0029, "Enhanced Defect Reporting"},
    {0x002A, "DVD+RW"},
    {0x002B, "DVD+R"},
    {0x002C, "Rigid Restricted Overwrite"},
    {0x002D, "CD Track at Once"},
    {0x002E, "CD Mastering (Session at Once)"},
    {0x002F, "DVD-R/-RW Write"},
    {0x0033, "Layer Jump Recording"},
    {0x0034, "Layer Jump Rigid Restricted Overwrite"},
    {0x0035, "Stop Long Operation"},
    {0x0037, "CD-RW Media Write Support"},
    {0x0038, "BD-R Pseudo-Overwrite (POW)"},
    {0x003A, "DVD+RW Dual Layer"},
    {0x003B, "DVD+R Dual Layer"},
    {0x0040, "BD Read"},
    {0x0041, "BD Write"},
    {0x0042, "Timely Safe Recording (TSR)"},
    {0x0050, "HD DVD Read"},
    {0x0051, "HD DVD Write"},
    {0x0052, "HD DVD-RW Fragment Recording"},
    {0x0080, "Hybrid Disc"},
    {0x0100, "Power Management"},
    {0x0101, "S.M.A.R.T."},
    {0x0102, "Embedded Changer"},
    {0x0103, "CD Audio Ext. Play"},
    {0x0104, "Microcode Upgrade"},
    {0x0105, "Timeout"},
    {0x0106, "DVD CSS"},
    {0x0107, "Real Time Streaming"},
    {0x0108, "Drive Serial Number"},
    {0x0109, "Media Serial Number"},
    {0x010A, "Disc Control Blocks (DCBs)"},
    {0x010B, "DVD CPRM"},
    {0x010C, "Firmware Information"},
    {0x010D, "AACS"},
    {0x010E, "DVD CSS Managed Recording"},
    {0x0110, "VCPS"},
    {0x0113, "SecurDisc"},
    {0x0142, "Optical Security Subsystem Class (OSSC)"},
    {0xFFDF, "OBIST"},
};
static_assert(countOf(mmc_feature_table) == 57, "one row per named feature");

const NameRow mmc_profile_table[] = {
    {0x0000, "No Current"},
    {0x0001, "Non-Removable Disk"},
    {0x0002, "Removable Disk"},
    {0x0004, "Optical Write Once"},
    {0x0005, "AS-MO"},
    {0x0008, "CD-ROM"},
    {0x0009, "CD-R"},
    {0x000A, "CD-RW"},
    {0x0010, "DVD-ROM"},
    {0x0011, "DVD-R Sequential Recording"},
    {0x0012, "DVD-RAM"},
    {0x0013, "DVD-RW Restricted Overwrite"},
    {0x0014, "DVD-RW Sequential Recording"},
    {0x0015, "DVD-R Dual Layer Sequential Recording"},
    {0x0016, "DVD-R Dual Layer Jump Recording"},
    {0x0017, "DVD-RW Dual Layer"},
    {0x0018, "DVD-Download Disc Recording"},
    {0x001A, "DVD+RW"},
    {0x001B, "DVD+R"},
    {0x002A, "DVD+RW Dual Layer"},
    {0x002B, "DVD+R Dual Layer"},
    {0x0040, "BD-ROM"},
    {0x0041, "BD-R Sequential Recording (SRM)"},
    {0x0042, "BD-R Random Recording (RRM)"},
    {0x0043, "BD-RE"},
    {0x0050, "HD DVD-ROM"},
    {0x0051, "HD DVD-R"},
    {0x0052, "HD DVD-RAM"},
    {0x0053, "HD DVD-RW"},
    {0x0058, "HD DVD-R Dual Layer"},
    {0x005A, "HD DVD-RW Dual Layer"},
    {0xFFFF, "Drive Not Conforming to a Standard Profile"},
};
static_assert(countOf(mmc_profile_table) == 32, "one row per named profile");

// Signed bounds: a miss below row 0 leaves high at -1 and ends the search
// instead of wrapping to the far end of the table.
template <int N>
const char* findName(const NameRow (&table)[N], unsigned short code) {
    int low = 0;
    int high = N - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const unsigned short rowCode = table[middle].code;
        if (rowCode == code)
            return table[middle].name;
        if (rowCode > code)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return nullptr;
}

}  // namespace

const char* featureName(unsigned short code) {
    return findName(mmc_feature_table, code);
}

const char* profileName(unsigned short number) {
    return findName(mmc_profile_table, number);
}

int featureRowCount() {
    return countOf(mmc_feature_table);
}

int profileRowCount() {
    return countOf(mmc_profile_table);
}

}  // namespace mmc_tables
}  // namespace scsi
