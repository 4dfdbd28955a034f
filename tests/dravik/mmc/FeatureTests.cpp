// Features and profiles of the multimedia device against the model drive on
// both roads: the single-feature read and its length limits, the current
// test, the feature and profile lists read once per device, and hostile
// GET CONFIGURATION answers whose length fields claim more than arrived.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../spc/SpcTest.h"
#include "ScsiMMCDevice.h"

namespace scsi {
namespace test {
namespace {

const wchar_t* const kMmcChannel = L"libDravik.ScsiMMCDevice";
const std::uint8_t kGetConfiguration = 0x46;

void putBE32(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

// One feature descriptor: code, flags 03h, `extra` feature bytes counting up
// from `fill`.
Bytes featureDescriptor(std::uint16_t code, std::uint8_t extra, std::uint8_t fill = 0x40) {
    Bytes d(4u + extra);
    d[0] = static_cast<std::uint8_t>(code >> 8);
    d[1] = static_cast<std::uint8_t>(code);
    d[2] = 0x03;
    d[3] = extra;
    for (std::uint8_t i = 0; i < extra; ++i)
        d[4 + i] = static_cast<std::uint8_t>(fill + i);
    return d;
}

// A GET CONFIGURATION answer: the 8-byte header (data length counting what
// follows it, current profile 0010h) and the descriptors.
Bytes configuration(const std::vector<Bytes>& descriptors) {
    Bytes b(8, 0);
    for (const Bytes& d : descriptors)
        b.insert(b.end(), d.begin(), d.end());
    putBE32(b, 0, static_cast<std::uint32_t>(b.size() - 4));
    b[7] = 0x10;
    return b;
}

// The Profile List descriptor with these profile numbers, in drive order.
Bytes profileList(const std::vector<std::uint16_t>& numbers) {
    Bytes d(4, 0);
    d[2] = 0x03;
    d[3] = static_cast<std::uint8_t>(4 * numbers.size());
    for (std::uint16_t n : numbers) {
        const std::uint8_t p[4] = {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n), 0, 0};
        d.insert(d.end(), p, p + 4);
    }
    return d;
}

std::uint16_t allocationOf(const ModelCommand& c) {
    return static_cast<std::uint16_t>((c.cdb[7] << 8) | c.cdb[8]);
}

std::uint16_t startOf(const ModelCommand& c) {
    return static_cast<std::uint16_t>((c.cdb[2] << 8) | c.cdb[3]);
}

class MmcFeatureTest : public SpcTest {
protected:
    void SetUp() override {
        SpcTest::SetUp();
        mmc.reset(new ScsiMMCDevice(*device));
    }

    std::vector<std::wstring> mmcMessages() const { return messagesOn(kMmcChannel); }
    int mmcLevel(const std::wstring& prefix) const {
        std::vector<qln::test::LogEntry> found = log.withPrefix(prefix, kMmcChannel);
        return found.empty() ? 0 : found[0].level;
    }
    std::size_t sent() const { return model->commands().size(); }

    std::unique_ptr<ScsiMMCDevice> mmc;
};

// --- getFeature --------------------------------------------------------------

TEST_P(MmcFeatureTest, FeatureLengthBelowHeaderLogsAndSendsNothing) {
    mmc_feature_generic_t record;
    EXPECT_FALSE(mmc->getFeature(MMC_FEATURE_CORE, record, 3, MMC_GET_CONFIGURATION_RT_ONE));
    EXPECT_EQ(sent(), 0u);
    EXPECT_EQ(mmcLevel(L"426 The requested feature buffer is too small to store the generic feature descriptor"),
              qln::LOG_ERROR);
}

TEST_P(MmcFeatureTest, FeatureLengthWhoseAllocationWouldWrapSendsNothing) {
    mmc_feature_generic_t record;
    for (std::uint16_t length : {std::uint16_t(65528), std::uint16_t(65535)}) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(mmc->getFeature(MMC_FEATURE_CORE, record, length, MMC_GET_CONFIGURATION_RT_ONE));
    }
    EXPECT_EQ(sent(), 0u);
}

struct FeatureBlockCase {
    const char* name;
    std::uint16_t length;
    _MMC_GET_CONFIGURATION_RT_FIELD rt;
    std::uint16_t allocation;
};

TEST_P(MmcFeatureTest, FeatureBlockCarriesStartRtAndLengthPlusHeader) {
    const FeatureBlockCase cases[] = {
        {"smallest record", 4, MMC_GET_CONFIGURATION_RT_ONE, 12},
        {"all features", 100, MMC_GET_CONFIGURATION_RT_ALL, 108},
        {"largest record", 65527, MMC_GET_CONFIGURATION_RT_CURRENT, 65535},
    };
    model->on(ModelAnswer::good({kGetConfiguration}, configuration({featureDescriptor(0x010C, 4)})));
    mmc_feature_generic_t record;
    for (const FeatureBlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        model->clearCommands();
        mmc->getFeature(MMC_FEATURE_FIRMWARE_INFORMATION, record, c.length, c.rt);
        ASSERT_EQ(sent(), 1u);
        const ModelCommand& cmd = model->lastCommand();
        EXPECT_EQ(cmd.cdb[0], kGetConfiguration);
        EXPECT_EQ(cmd.cdb.size(), 10u);
        EXPECT_EQ(cmd.cdb[1], c.rt);
        EXPECT_EQ(startOf(cmd), 0x010C);
        EXPECT_EQ(allocationOf(cmd), c.allocation);
        EXPECT_EQ(cmd.dataLen, c.allocation);
        EXPECT_EQ(cmd.direction, DXFER_FROM_DEVICE);
        EXPECT_EQ(cmd.timeout, road->recordedTimeout(60000));
    }
}

// A feature or RT beyond its field is sent as the bits the field holds, and
// the drive's descriptor is matched against the same 16 bits.
TEST_P(MmcFeatureTest, FeatureAndRtBeyondTheirFieldsGoOutCut) {
    const Bytes answer = configuration({featureDescriptor(0x010C, 4)});
    model->on(ModelAnswer::good({kGetConfiguration}, answer));
    mmc_feature_generic_t record;
    std::memset(&record, 0xAB, sizeof(record));
    EXPECT_TRUE(mmc->getFeature(static_cast<_MMC_FEATURES>(0x3010C), record, 8,
                                static_cast<_MMC_GET_CONFIGURATION_RT_FIELD>(6)));
    ASSERT_EQ(sent(), 1u);
    EXPECT_EQ(model->lastCommand().cdb, Bytes({kGetConfiguration, 0x02, 0x01, 0x0C, 0, 0, 0, 0x00, 0x10, 0}));
    EXPECT_EQ(0, std::memcmp(&record, answer.data() + 8, 8));

    model->clearCommands();
    EXPECT_TRUE(mmc->hasFeature(static_cast<_MMC_FEATURES>(-0xFEF4), true));  // low 16 bits 010Ch
    ASSERT_EQ(sent(), 1u);
    EXPECT_EQ(model->lastCommand().cdb, Bytes({kGetConfiguration, 0x01, 0x01, 0x0C, 0, 0, 0, 0x00, 0x0C, 0}));
}

TEST_P(MmcFeatureTest, AnotherFeatureFirstLeavesRecordUntouched) {
    Bytes answer = configuration({featureDescriptor(0x0108, 8)});
    answer.resize(8 + 40, 0);  // the drive fills the allocation
    model->on(ModelAnswer::good({kGetConfiguration}, answer));
    mmc_feature_generic_t record;
    std::memset(&record, 0xAB, sizeof(record));
    EXPECT_FALSE(mmc->getFeature(MMC_FEATURE_REAL_TIME_STREAMING, record, 40, MMC_GET_CONFIGURATION_RT_ONE));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof(record); ++i)
        ASSERT_EQ(bytes[i], 0xAB) << i;
    EXPECT_TRUE(mmcMessages().empty());
}

TEST_P(MmcFeatureTest, FeatureCopiesAtMostTheRecordLength) {
    // Data length 500: the asked descriptor and the start of the next ones.
    std::vector<Bytes> descriptors = {featureDescriptor(0x0001, 8, 0x10)};
    while (configuration(descriptors).size() < 504)
        descriptors.push_back(featureDescriptor(0x0100, 4, 0x60));
    Bytes answer = configuration(descriptors);
    answer.resize(504);
    putBE32(answer, 0, 500);
    model->on(ModelAnswer::good({kGetConfiguration}, answer));
    mmc_feature_generic_t record;
    std::memset(&record, 0xAB, sizeof(record));
    ASSERT_TRUE(mmc->getFeature(MMC_FEATURE_CORE, record, 100, MMC_GET_CONFIGURATION_RT_ALL));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    EXPECT_EQ(0, std::memcmp(bytes, answer.data() + 8, 100));
    EXPECT_EQ(bytes[100], 0xAB);
}

TEST_P(MmcFeatureTest, FeatureCopiesOnlyWhatTheDataLengthCovers) {
    // Data length 16: the record takes the 12 bytes after the header, the
    // rest of the allocation stays as the caller left it.
    Bytes answer = configuration({featureDescriptor(0x0001, 8, 0x10)});
    answer.resize(108, 0xEE);
    model->on(ModelAnswer::good({kGetConfiguration}, answer));
    mmc_feature_generic_t record;
    std::memset(&record, 0xAB, sizeof(record));
    ASSERT_TRUE(mmc->getFeature(MMC_FEATURE_CORE, record, 100, MMC_GET_CONFIGURATION_RT_ALL));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    EXPECT_EQ(0, std::memcmp(bytes, answer.data() + 8, 12));
    EXPECT_EQ(bytes[12], 0xAB);
}

// A drive sends fewer bytes than the record can take (RT 2, or a descriptor
// shorter than the record): what arrived counts once the header came, and
// the record takes no byte beyond them.
TEST_P(MmcFeatureTest, FeatureShortTransferCopiesWhatArrived) {
    const Bytes core = configuration({featureDescriptor(0x0001, 8, 0x10)});  // 20 bytes, data length 16
    struct Case {
        const char* name;
        Bytes answer;
        bool found;
        std::size_t copied;
    };
    Bytes claimsMore = core;
    putBE32(claimsMore, 0, 100);
    const Case cases[] = {
        {"the 12-byte Core descriptor into a record of 256", core, true, 12},
        {"a data length beyond what arrived", claimsMore, true, 12},
        {"the descriptor header cut", Bytes(core.begin(), core.begin() + 10), false, 0},
        {"only the header", Bytes(core.begin(), core.begin() + 8), false, 0},
        {"the header cut", Bytes(core.begin(), core.begin() + 6), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->clearAnswers();
        log.clear();
        model->on(ModelAnswer::good({kGetConfiguration}, c.answer));
        mmc_feature_generic_t record;
        std::memset(&record, 0xAB, sizeof(record));
        EXPECT_EQ(mmc->getFeature(MMC_FEATURE_CORE, record, sizeof(record), MMC_GET_CONFIGURATION_RT_ONE), c.found);
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
        EXPECT_EQ(0, std::memcmp(bytes, c.answer.data() + 8, c.copied));
        for (std::size_t i = c.copied; i < sizeof(record); ++i)
            ASSERT_EQ(bytes[i], 0xAB) << i;
        // The last result still tells the transfer was short.
        EXPECT_EQ(mmc->getLastResult().code, CMD_RESULT_UNDERRUN);
        EXPECT_TRUE(mmcMessages().empty()) << log.dump();
    }
}

TEST_P(MmcFeatureTest, FeatureDataLengthBelowFourLogsShortBuffer) {
    Bytes answer(12, 0);
    answer[3] = 3;
    model->on(ModelAnswer::good({kGetConfiguration}, answer));
    mmc_feature_generic_t record;
    EXPECT_FALSE(mmc->getFeature(MMC_FEATURE_PROFILE_LIST, record, 4, MMC_GET_CONFIGURATION_RT_ALL));
    EXPECT_EQ(mmcLevel(L"441 GET CONFIGURATION returned short buffer of size: 3 bytes"), qln::LOG_WARN);
}

TEST_P(MmcFeatureTest, FeatureDescriptorMustLieInsideTheAnswer) {
    // The drive fills the whole allocation with zeros after its data: code
    // 0000h sits in bytes 8-9 whether or not the data length covers them.
    struct Case {
        std::uint32_t dataLength;
        bool found;
        std::size_t copied;
    };
    const Case cases[] = {{4, false, 0}, {5, false, 0}, {7, false, 0}, {8, true, 4}, {12, true, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataLength);
        model->clearAnswers();
        log.clear();
        Bytes answer(8 + 20, 0);
        putBE32(answer, 0, c.dataLength);
        for (std::size_t i = 10; i < answer.size(); ++i)
            answer[i] = static_cast<std::uint8_t>(i);
        model->on(ModelAnswer::good({kGetConfiguration}, answer));
        mmc_feature_generic_t record;
        std::memset(&record, 0xAB, sizeof(record));
        EXPECT_EQ(mmc->getFeature(MMC_FEATURE_PROFILE_LIST, record, 20, MMC_GET_CONFIGURATION_RT_ALL), c.found);
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
        EXPECT_EQ(0, std::memcmp(bytes, answer.data() + 8, c.copied));
        EXPECT_EQ(bytes[c.copied], 0xAB);
        EXPECT_TRUE(mmcMessages().empty()) << log.dump();
    }
}

// --- hasFeature with current --------------------------------------------------

TEST_P(MmcFeatureTest, CurrentFeatureAsksTheDriveEveryTime) {
    model->on(ModelAnswer::good({kGetConfiguration}, configuration({featureDescriptor(0x002F, 4)})));
    EXPECT_TRUE(mmc->hasFeature(MMC_FEATURE_DVD_R_RW_WRITE, true));
    EXPECT_TRUE(mmc->hasFeature(MMC_FEATURE_DVD_R_RW_WRITE, true));
    ASSERT_EQ(sent(), 2u);
    for (const ModelCommand& c : model->commands()) {
        EXPECT_EQ(c.cdb[1], MMC_GET_CONFIGURATION_RT_CURRENT);
        EXPECT_EQ(startOf(c), 0x002F);
        EXPECT_EQ(allocationOf(c), 12);
    }
    // The drive lists the next current feature: the asked one is not current.
    EXPECT_FALSE(mmc->hasFeature(MMC_FEATURE_DVD_PLUS_RW, true));
}

// --- the cached lists ---------------------------------------------------------

class MmcListTest : public MmcFeatureTest {
protected:
    void driveLists(const std::vector<std::uint16_t>& profiles, const std::vector<std::uint16_t>& features) {
        std::vector<Bytes> descriptors = {profileList(profiles)};
        for (std::uint16_t f : features)
            descriptors.push_back(featureDescriptor(f, 4));
        model->on(ModelAnswer::good({kGetConfiguration}, configuration(descriptors)));
    }
};

TEST_P(MmcListTest, ListsAreReadOncePerDevice) {
    driveLists({0x0012, 0x0011, 0x0010}, {0x0001, 0x0003, 0x001F, 0x0107});
    struct Query {
        const char* name;
        bool (*call)(ScsiMMCDevice&);
    };
    const Query queries[] = {
        {"hasFeature", [](ScsiMMCDevice& d) { return d.hasFeature(MMC_FEATURE_DVD_READ, false); }},
        {"getFeatures",
         [](ScsiMMCDevice& d) {
             qln::Array<_MMC_FEATURES> a;
             return d.getFeatures(a) && a.size() == 5;
         }},
        {"getProfiles",
         [](ScsiMMCDevice& d) {
             qln::Array<_MMC_PROFILES> a;
             return d.getProfiles(a) && a.size() == 3;
         }},
        {"hasProfile", [](ScsiMMCDevice& d) { return d.hasProfile(MMC_PROFILE_DVD_RAM); }},
    };
    for (const Query& q : queries) {
        SCOPED_TRACE(q.name);
        ScsiMMCDevice fresh(*device);
        model->clearCommands();
        EXPECT_TRUE(q.call(fresh));
        ASSERT_EQ(sent(), 2u);
        for (const ModelCommand& c : model->commands()) {
            EXPECT_EQ(c.cdb[1], MMC_GET_CONFIGURATION_RT_ALL);
            EXPECT_EQ(startOf(c), 0);
        }
        const bool features = q.name[3] == 'F';
        EXPECT_EQ(allocationOf(model->commands()[0]), features ? 8 : 12);
        EXPECT_EQ(allocationOf(model->commands()[1]), 8 + 4 + 12 + 4 * 8);
        EXPECT_TRUE(q.call(fresh));
        EXPECT_EQ(sent(), 2u);
    }
}

TEST_P(MmcListTest, FeatureListInDriveOrder) {
    driveLists({0x0008}, {0x0001, 0x0113, 0x0003, 0xFFDF});
    qln::Array<_MMC_FEATURES> features;
    features.append(MMC_FEATURE_AACS);
    ASSERT_TRUE(mmc->getFeatures(features));
    const std::vector<int> expected = {0x0000, 0x0001, 0x0113, 0x0003, 0xFFDF};
    ASSERT_EQ(features.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(features[static_cast<qln::Uint32>(i)], expected[i]);
    EXPECT_TRUE(mmc->hasFeature(static_cast<_MMC_FEATURES>(0xFFDF), false));
    EXPECT_TRUE(mmc->hasFeature(static_cast<_MMC_FEATURES>(0x10113), false));  // low 16 bits
    EXPECT_FALSE(mmc->hasFeature(MMC_FEATURE_DVD_READ, false));
}

TEST_P(MmcListTest, ProfileListReversesTheDriveOrder) {
    driveLists({0x0012, 0x0011, 0x0010}, {});
    qln::Array<_MMC_PROFILES> profiles;
    ASSERT_TRUE(mmc->getProfiles(profiles));
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_EQ(profiles[0], MMC_PROFILE_DVD_ROM);
    EXPECT_EQ(profiles[1], MMC_PROFILE_DVD_R_SEQUENTIAL);
    EXPECT_EQ(profiles[2], MMC_PROFILE_DVD_RAM);
    EXPECT_TRUE(mmc->hasProfile(MMC_PROFILE_DVD_R_SEQUENTIAL));
    EXPECT_TRUE(mmc->hasProfile(static_cast<_MMC_PROFILES>(0x20011)));  // low 16 bits
    EXPECT_FALSE(mmc->hasProfile(MMC_PROFILE_CD_ROM));
}

TEST_P(MmcListTest, FeatureListTotalLimit) {
    // Zero bytes after the header read as 4-byte descriptors of code 0000h.
    struct Case {
        std::uint32_t total;
        bool read;
        std::size_t codes;
        std::size_t commands;
    };
    const Case cases[] = {{65530, true, (65530 - 8) / 4, 2}, {65531, false, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        model->clearAnswers();
        model->clearCommands();
        log.clear();
        Bytes answer(c.total, 0);
        putBE32(answer, 0, c.total - 4);
        model->on(ModelAnswer::good({kGetConfiguration}, answer));
        ScsiMMCDevice fresh(*device);
        qln::Array<_MMC_FEATURES> features;
        EXPECT_EQ(fresh.getFeatures(features), c.read);
        EXPECT_EQ(features.size(), c.codes);
        EXPECT_EQ(sent(), c.commands);
        EXPECT_TRUE(mmcMessages().empty());
    }
}

// Hostile answers: every list holds only what lies inside the answer. One
// table for both lists; the profile list logs its size checks, the feature
// list fails silently.
enum class List { Profiles, Features };

struct HostileCase {
    const char* name;
    List list;
    Bytes first;   // answer to the header-sized read
    Bytes second;  // answer to the full read
    bool read;
    std::vector<int> entries;
    const wchar_t* message;  // expected message, or null for none
};

Bytes withDataLength(Bytes b, std::uint32_t dataLength) {
    putBE32(b, 0, dataLength);
    return b;
}

Bytes withByte(Bytes b, std::size_t at, std::uint8_t value) {
    b[at] = value;
    return b;
}

std::vector<HostileCase> hostileCases() {
    const Bytes two = configuration({profileList({0x0009, 0x0008})});  // data length 16
    const Bytes three = configuration({profileList({0x0008}), featureDescriptor(0x0001, 4),
                                       featureDescriptor(0x001E, 4)});  // data length 28
    const Bytes header = withDataLength(Bytes(8, 0), 4);
    const List P = List::Profiles;
    const List F = List::Features;
    return {
        {"profiles: well formed", P, two, two, true, {0x0008, 0x0009}, nullptr},
        {"profiles: additional length claims more profiles than arrived", P, withByte(two, 11, 0xFC),
         withByte(two, 11, 0xFC), true, {0x0008, 0x0009}, nullptr},
        {"profiles: additional length not a multiple of four", P, two, withByte(two, 11, 6), true, {0x0009},
         nullptr},
        {"profiles: additional length zero", P, two, withByte(two, 11, 0), true, {}, nullptr},
        {"profiles: second data length below the first", P, two, withByte(withDataLength(two, 12), 11, 8), true,
         {0x0009}, nullptr},
        {"profiles: first data length below 8", P, withDataLength(two, 7), two, false, {},
         L"687 Invalid buffer size returned: 7"},
        {"profiles: first total beyond 16 bits", P, withDataLength(two, 65532), two, false, {},
         L"687 Invalid buffer size returned: 65532"},
        {"profiles: second data length above the first", P, two, withDataLength(two, 17), false, {},
         L"698 Invalid buffer size returned: 17"},
        {"profiles: second data length below 8", P, two, withDataLength(two, 4), false, {},
         L"698 Invalid buffer size returned: 4"},
        {"features: well formed", F, three, three, true, {0x0000, 0x0001, 0x001E}, nullptr},
        {"features: second data length differs", F, three, withDataLength(three, 24), false, {}, nullptr},
        {"features: last descriptor claims bytes beyond the answer", F, three, withByte(three, 27, 0xFF), true,
         {0x0000, 0x0001, 0x001E}, nullptr},
        {"features: a descriptor skips past the answer", F, three, withByte(three, 19, 0xF0), true,
         {0x0000, 0x0001}, nullptr},
        {"features: header only", F, header, header, true, {}, nullptr},
        {"features: data length below the header", F, withDataLength(Bytes(8, 0), 0),
         withDataLength(Bytes(8, 0), 0), true, {}, nullptr},
    };
}

// The list of a device on the model, read through getProfiles or
// getFeatures into an array that held one stale entry; `read` receives the
// call's result.
std::vector<int> readList(ScsiMMCDevice& device, List list, bool& read) {
    std::vector<int> entries;
    if (list == List::Profiles) {
        qln::Array<_MMC_PROFILES> profiles;
        profiles.append(MMC_PROFILE_BD_RE);
        read = device.getProfiles(profiles);
        entries.assign(profiles.begin(), profiles.end());
    } else {
        qln::Array<_MMC_FEATURES> features;
        features.append(MMC_FEATURE_AACS);
        read = device.getFeatures(features);
        entries.assign(features.begin(), features.end());
    }
    return entries;
}

TEST_P(MmcListTest, HostileAnswers) {
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        model->clearAnswers();
        model->clearCommands();
        log.clear();
        model->on(ModelAnswer::good({kGetConfiguration}, c.first).times(1));
        model->on(ModelAnswer::good({kGetConfiguration}, c.second));
        ScsiMMCDevice fresh(*device);
        bool read = !c.read;
        EXPECT_EQ(readList(fresh, c.list, read), c.entries);
        EXPECT_EQ(read, c.read);
        if (c.message)
            EXPECT_EQ(mmcLevel(c.message), qln::LOG_ERROR) << log.dump();
        else
            EXPECT_TRUE(mmcMessages().empty()) << log.dump();
    }
}

// A read that fails leaves no list: the next request reads again. A UNIT
// ATTENTION after a medium change is the common first failure.
TEST_P(MmcListTest, FailedReadIsReadAgainByTheNextRequest) {
    struct Query {
        const char* name;
        List list;
        bool handsOut;  // gives the list to the caller
        std::function<bool(ScsiMMCDevice&, std::vector<int>&)> call;
    };
    auto whole = [](List list) {
        return [list](ScsiMMCDevice& d, std::vector<int>& entries) {
            bool read = false;
            entries = readList(d, list, read);
            return read;
        };
    };
    const Query queries[] = {
        {"hasFeature", List::Features, false,
         [](ScsiMMCDevice& d, std::vector<int>&) { return d.hasFeature(MMC_FEATURE_DVD_READ, false); }},
        {"getFeatures", List::Features, true, whole(List::Features)},
        {"getProfiles", List::Profiles, true, whole(List::Profiles)},
        {"hasProfile", List::Profiles, false,
         [](ScsiMMCDevice& d, std::vector<int>&) { return d.hasProfile(MMC_PROFILE_DVD_RAM); }},
    };
    const Bytes drive = configuration({profileList({0x0012, 0x0010}), featureDescriptor(0x0001, 4),
                                       featureDescriptor(0x001F, 4)});
    const ModelAnswer attention = ModelAnswer::checkCondition({kGetConfiguration}, fixedSense(0x06, 0x28, 0x00));
    struct Failure {
        const char* name;
        std::size_t good;  // answers before the one that fails
    };
    const Failure failures[] = {{"header read", 0}, {"full read", 1}};
    for (const Query& q : queries) {
        for (const Failure& f : failures) {
            SCOPED_TRACE(std::string(q.name) + ", " + f.name);
            model->clearAnswers();
            model->clearCommands();
            if (f.good != 0)
                model->on(ModelAnswer::good({kGetConfiguration}, drive).times(static_cast<unsigned int>(f.good)));
            model->on(attention.times(1));
            model->on(ModelAnswer::good({kGetConfiguration}, drive));
            ScsiMMCDevice fresh(*device);
            std::vector<int> entries;
            EXPECT_FALSE(q.call(fresh, entries));
            EXPECT_TRUE(entries.empty());
            EXPECT_EQ(sent(), f.good + 1);
            // The next request reads the list the drive now reports.
            EXPECT_TRUE(q.call(fresh, entries));
            EXPECT_EQ(sent(), f.good + 3);
            const std::vector<int> expected = q.list == List::Features ? std::vector<int>{0x0000, 0x0001, 0x001F}
                                                                         : std::vector<int>{0x0010, 0x0012};
            if (q.handsOut) {
                EXPECT_EQ(entries, expected);
            }
            // And once read, it is kept.
            EXPECT_TRUE(q.call(fresh, entries));
            EXPECT_EQ(sent(), f.good + 3);
        }
    }
}

TEST_P(MmcListTest, CopiedDeviceKeepsItsOwnLists) {
    driveLists({0x0010}, {0x0001});
    qln::Array<_MMC_PROFILES> profiles;
    ASSERT_TRUE(mmc->getProfiles(profiles));
    ScsiMMCDevice copy(*mmc);
    model->clearCommands();
    EXPECT_TRUE(copy.hasProfile(MMC_PROFILE_DVD_ROM));
    EXPECT_EQ(sent(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Roads, MmcFeatureTest, SPC_BOTH_ROADS, ParamNamer());
INSTANTIATE_TEST_SUITE_P(Roads, MmcListTest, SPC_BOTH_ROADS, ParamNamer());

// --- names --------------------------------------------------------------------

struct NameCase {
    const char* what;
    bool feature;
    std::int32_t value;
    const char* name;         // null: no name
    const wchar_t* message;   // the miss message, or null for none
};

const NameCase kNameCases[] = {
    {"feature 0113h", true, 0x0113, "SecurDisc", nullptr},
    {"feature 0004h keeps its trailing blank", true, 0x0004, "Write Protect ", nullptr},
    {"first feature row", true, 0x0000, "Profile List", nullptr},
    {"last feature row", true, 0xFFDF, "OBIST", nullptr},
    {"feature 0022h", true, 0x0022, nullptr, L"597 Unrecognized MMC feature: 0x0022"},
    {"feature above the last row", true, 0xFFE0, nullptr, L"597 Unrecognized MMC feature: 0xFFE0"},
    {"feature 10000h", true, 0x10000, nullptr, nullptr},
    {"negative feature, looked up by its low bits", true, -0xFFFF, "Core", nullptr},
    {"profile FFFFh", false, 0xFFFF, "Drive Not Conforming to a Standard Profile", nullptr},
    {"profile FFFFFFFFh", false, -1, "Drive Not Conforming to a Standard Profile", nullptr},
    {"first profile row", false, 0x0000, "No Current", nullptr},
    {"profile 0003h", false, 0x0003, nullptr, L"645 Unrecognized MMC profile: 0x0003"},
    {"profile 10008h", false, 0x10008, nullptr, nullptr},
};

class MmcNameTest : public qln::test::LogCaptureTest {};

TEST_F(MmcNameTest, LookupsAndMissMessages) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.what);
        log.clear();
        const char* name = c.feature ? ScsiMMCDevice::getFeatureName(static_cast<_MMC_FEATURES>(c.value))
                                     : ScsiMMCDevice::getProfileName(static_cast<_MMC_PROFILES>(c.value));
        if (c.name == nullptr)
            EXPECT_EQ(name, nullptr);
        else
            EXPECT_STREQ(name, c.name);
        const std::vector<qln::test::LogEntry> mine = log.withPrefix(L"", kMmcChannel);
        if (c.message == nullptr) {
            EXPECT_TRUE(mine.empty()) << log.dump();
        } else {
            ASSERT_EQ(mine.size(), 1u) << log.dump();
            EXPECT_EQ(mine[0].text, c.message);
            EXPECT_EQ(mine[0].level, qln::LOG_WARN);
        }
    }
}

}  // namespace
}  // namespace test
}  // namespace scsi
