// The feature and profile name tables: exact texts at the edges that show
// search faults (first and last rows, misses between and beyond the rows).
#include <cstring>

#include <gtest/gtest.h>

#include "ScsiMMCTables.h"
#include "ScsiMMCTypes.h"

namespace {

using scsi::mmc_tables::featureName;
using scsi::mmc_tables::profileName;

struct NameCase {
    const char* what;
    const char* (*lookup)(unsigned short);
    unsigned short code;
    const char* name;  // null: no row
};

const NameCase kNameCases[] = {
    {"feature 0000h, first row", featureName, 0x0000, "Profile List"},
    {"feature 0004h keeps its trailing blank", featureName, 0x0004, "Write Protect "},
    {"feature 002Eh", featureName, 0x002E, "CD Mastering (Session at Once)"},
    {"feature 0101h", featureName, 0x0101, "S.M.A.R.T."},
    {"feature 0113h", featureName, 0x0113, "SecurDisc"},
    {"feature 0142h", featureName, 0x0142, "Optical Security Subsystem Class (OSSC)"},
    {"feature FFDFh, last row", featureName, 0xFFDF, "OBIST"},
    {"feature 0022h, a gap", featureName, 0x0022, nullptr},
    {"feature FFE0h, above the last row", featureName, 0xFFE0, nullptr},
    {"feature FFFFh", featureName, 0xFFFF, nullptr},
    {"profile 0000h, first row", profileName, 0x0000, "No Current"},
    {"profile 0003h, a gap near the start", profileName, 0x0003, nullptr},
    {"profile 0012h", profileName, 0x0012, "DVD-RAM"},
    {"profile 005Ah", profileName, 0x005A, "HD DVD-RW Dual Layer"},
    {"profile 005Bh, a gap", profileName, 0x005B, nullptr},
    {"profile FFFFh, last row", profileName, 0xFFFF, "Drive Not Conforming to a Standard Profile"},
    {"profile FFFEh, just below the last row", profileName, 0xFFFE, nullptr},
};

TEST(MmcNameTables, EdgeRowsAndMisses) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.what);
        const char* name = c.lookup(c.code);
        if (c.name == nullptr) {
            EXPECT_EQ(name, nullptr);
        } else {
            ASSERT_NE(name, nullptr);
            EXPECT_STREQ(name, c.name);
        }
    }
}

// Every named enumerator has a row, and the tables hold exactly those rows:
// a row left out or a code mistyped breaks the binary search for its
// neighbours, which a walk over all 16-bit codes shows.
TEST(MmcNameTables, EveryCodeOfTheTablesIsFoundAndNothingElse) {
    int features = 0;
    int profiles = 0;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        if (featureName(static_cast<unsigned short>(code)) != nullptr)
            ++features;
        if (profileName(static_cast<unsigned short>(code)) != nullptr)
            ++profiles;
    }
    EXPECT_EQ(features, 57);
    EXPECT_EQ(profiles, 32);
    EXPECT_EQ(scsi::mmc_tables::featureRowCount(), 57);
    EXPECT_EQ(scsi::mmc_tables::profileRowCount(), 32);
    EXPECT_STREQ(featureName(scsi::MMC_FEATURE_DVD_R_RW_WRITE), "DVD-R/-RW Write");
    EXPECT_STREQ(profileName(scsi::MMC_PROFILE_BD_RE), "BD-RE");
}

}  // namespace
