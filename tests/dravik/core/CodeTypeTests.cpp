// The code enumerations that command methods mask into a field of the block:
// each has a fixed int type, so that whatever int a caller passes is a value
// of the type before the method cuts it to its field.
#include <type_traits>

#include <gtest/gtest.h>

#include "ScsiMMCDevice.h"
#include "ScsiMMCTypes.h"
#include "ScsiSBCDevice.h"
#include "ScsiSPCDevice.h"

using namespace scsi;

namespace {

// Braces make an enumeration from an int only when its type is fixed.
template <class E, class = void>
struct TakesAnyInt : std::false_type {};
template <class E>
struct TakesAnyInt<E, decltype(void(E{0}))> : std::true_type {};

template <class E>
class CodeType : public ::testing::Test {};

typedef ::testing::Types<
    // primary commands
    _SPC_MEDIUM_REMOVAL_MODES, _SPC_REPORT_LUNS_SELECT, _SPC_DIAGNOSTIC_TYPES,
    // block commands
    _SBC_POWER_CONDITIONS, _SBC_SANITIZE_SERVICEACTIONS,
    // multimedia commands
    _MMC_SSU_LOEJ_START, _MMC_SSU_POWER_CONDITION, _MMC_DISC_INFORMATION_DATA_TYPE, _MMC_PAGE_CODES,
    _MMC_PAGE_CONTROL_FIELDS, _MMC_MEDIA_TYPE_CODE, _MMC_MEDIA_TYPE_FORMAT_CODE, _MMC_SET_PERFORMANCE_TYPE,
    _MMC_FEATURES, _MMC_PROFILES, _MMC_GET_CONFIGURATION_RT_FIELD, _MMC_READ_TOC_FORMAT_CODE,
    _MMC_PERFORMANCE_TYPE, _MMC_SUB_CHAN_PARM, _MMC_ROT_CNTL>
    MaskedCodes;
TYPED_TEST_SUITE(CodeType, MaskedCodes);

TYPED_TEST(CodeType, IsFixedToInt) {
    EXPECT_TRUE(TakesAnyInt<TypeParam>::value);
    EXPECT_TRUE((std::is_same<typename std::underlying_type<TypeParam>::type, int>::value));
    EXPECT_EQ(sizeof(int), sizeof(TypeParam));
}

}  // namespace
