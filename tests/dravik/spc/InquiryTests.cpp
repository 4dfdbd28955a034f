// INQUIRY: the standard data's length negotiation and cache, the VPD page
// check and the residual rule of the general form, and the identification
// getters.
#include <ostream>

#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

Bytes inquiryOf(std::uint16_t length) {
    return {0x12, 0x00, 0x00, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

Bytes firstBytes(const Bytes& data, std::size_t n) {
    return Bytes(data.begin(), data.begin() + n);
}

const wchar_t* const k130 =
    L"130 initial inquiry w/min alloc bytes (5) failed, try default data return size instead (36)";
const wchar_t* const k150 = L"150 More inquiry data than capable of handling with this method";
const wchar_t* const k156 = L"156 INQUIRY command was truncated when padded to a WORD boundary.";
const wchar_t* const k159 =
    L"159 The additional length field was off-by-one, allowing the inquiry command to return successfully";

std::wstring m165(unsigned int length) {
    return L"165 The return inquiry result is minimally correct, allowing the inquiry command to return "
           L"successfully with the Additional length modified to " +
           std::to_wstring(length);
}

std::wstring m168(unsigned int requested) {
    return L"168 INQUIRY command was not successful when requesting " + std::to_wstring(requested) + L" bytes";
}

// --- the standard INQUIRY ------------------------------------------------------

struct InquiryScenario {
    const char* name;
    std::vector<ModelAnswer> before;  // rows tried before the device's data
    Bytes data;                       // what the device returns to any INQUIRY (cut to the request)
    std::vector<std::uint32_t> lengths;  // data lengths of the INQUIRY commands sent
    bool result;
    int cachedLength;      // ADDITIONAL LENGTH of the cached data; -1: nothing cached
    std::uint32_t held;    // bytes of `data` the cache holds; the rest is zero
    int code;
    std::uint32_t detail;
    std::vector<std::wstring> messages;
};

std::ostream& operator<<(std::ostream& out, const InquiryScenario& s) {
    return out << s.name;
}

// A device of ADDITIONAL LENGTH 95 asked for 100 bytes that returns `got`.
InquiryScenario hundred(const char* name, std::uint32_t got, bool accepted) {
    InquiryScenario s{name, {}, standardData(95, got), {6, 100}, accepted, -1, 0, CMD_RESULT_UNDERRUN,
                      100 - got, {}};
    if (accepted) {
        s.cachedLength = static_cast<int>(got - 5);
        s.held = got;
        s.messages = {m165(got - 5)};
    } else {
        s.messages = {m168(100)};
    }
    return s;
}

std::vector<InquiryScenario> inquiryScenarios() {
    const Bytes sense = fixedSense(0x05, 0x24, 0x00);
    return {
        {"AdditionalLength0", {}, standardData(0, 36), {6}, false, -1, 0, CMD_RESULT_OK, 0, {}},
        {"AdditionalLength31", {}, standardData(31), {6, 36}, true, 31, 36, CMD_RESULT_OK, 0, {}},
        {"AdditionalLength32RaisedToEven", {}, standardData(32, 38), {6, 38}, true, 32, 38, CMD_RESULT_OK, 0, {}},
        {"AdditionalLength251", {}, standardData(251), {6, 256}, true, 251, 256, CMD_RESULT_OK, 0, {}},
        // 257 raised to 258, limited to 256; the cache keeps the length as sent.
        {"AdditionalLength252", {}, standardData(252), {6, 256}, true, 252, 256, CMD_RESULT_OK, 0, {k150}},
        // The raised-to-even note survives the limit: one byte short is 7a.
        {"AdditionalLength252OneShort", {}, standardData(252, 255), {6, 256}, true, 252, 255,
         CMD_RESULT_UNDERRUN, 1, {k150, k156}},
        {"ShortRequestRefused", {ModelAnswer::checkCondition(inquiryOf(6), sense).times(1)}, standardData(31),
         {6, 36, 36}, true, 31, 36, CMD_RESULT_OK, 0, {k130}},
        {"BothShortRequestsRefused", {ModelAnswer::checkCondition({0x12}, sense)}, standardData(31), {6, 36},
         false, -1, 0, CMD_RESULT_SCSI_ERROR, 0, {k130}},
        {"RaisedAndOneShort", {}, standardData(32, 37), {6, 38}, true, 32, 37, CMD_RESULT_UNDERRUN, 1, {k156}},
        {"NotRaisedAndOneShort", {}, standardData(31, 35), {6, 36}, true, 31, 35, CMD_RESULT_UNDERRUN, 1, {k159}},
        {"RaisedAndTwoShort", {}, standardData(32, 36), {6, 38}, true, 32, 36, CMD_RESULT_UNDERRUN, 2, {k159}},
        {"RaisedAndThreeShort", {}, standardData(32, 35), {6, 38}, false, -1, 0, CMD_RESULT_UNDERRUN, 3,
         {m168(38)}},
        hundred("Returns60Of100", 60, true),
        hundred("Returns61Of100", 61, false),
        hundred("Returns56Of100", 56, false),
        hundred("Returns58Of100", 58, true),
        hundred("Returns74Of100", 74, true),
        hundred("Returns76Of100", 76, false),
        hundred("Returns95Of100", 95, false),
        hundred("Returns96Of100", 96, true),
        hundred("Returns97Of100", 97, true),
        // A failed transport whose error code would put the count in 58..74.
        {"TransportFailure", {ModelAnswer::transportFailure(inquiryOf(100), 3, 40)}, standardData(95), {6, 100},
         false, -1, 0, CMD_RESULT_DRIVER_ERROR, 40, {m168(100)}},
        // CHECK CONDITION on the full request, with detail 2 left over from
        // the short first answer: 62 - 2 = 60 must not pass.
        {"CheckConditionWithStaleDetail",
         {ModelAnswer::good(inquiryOf(6), firstBytes(standardData(57), 4)).times(1),
          ModelAnswer::checkCondition(inquiryOf(62), sense)},
         standardData(57), {6, 36, 62}, false, -1, 0, CMD_RESULT_SCSI_ERROR, 2, {k130, m168(62)}},
    };
}

class StandardInquiryTest : public SpcRoadTest<std::tuple<Road, InquiryScenario>> {};

TEST_P(StandardInquiryTest, NegotiatesTheLengthAndCachesWhatCame) {
    const InquiryScenario& s = std::get<1>(GetParam());
    for (const ModelAnswer& row : s.before)
        model->on(row);
    model->on(ModelAnswer::good({0x12}, s.data));
    device->setDefaultTimeoutMs(7000);

    scsi_inquiry_t out;
    std::memset(&out, 0xEE, sizeof(out));
    EXPECT_EQ(s.result, device->inquiry(&out, false));
    EXPECT_EQ(s.lengths, dataLengths());
    // Every request: standard data (EVPD clear, page 0), read with the device's time-out.
    for (const ModelCommand& c : model->commands()) {
        Bytes cdb = inquiryOf(static_cast<std::uint16_t>(c.dataLen));
        cdb.push_back(0x00);
        EXPECT_EQ(cdb, c.cdb);
        EXPECT_EQ(DXFER_FROM_DEVICE, c.direction);
        EXPECT_EQ(road->recordedTimeout(7000), c.timeout);
    }
    EXPECT_EQ(s.messages, spcMessages()) << log.dump();
    EXPECT_EQ(s.code, device->getLastResult().code);
    EXPECT_EQ(s.detail, device->getLastResult().detail);

    if (s.cachedLength < 0) {
        EXPECT_EQ(nullptr, device->cached());
        EXPECT_EQ(0xEE, reinterpret_cast<std::uint8_t*>(&out)[4]);  // untouched
        return;
    }
    ASSERT_NE(nullptr, device->cached());
    Bytes expected = firstBytes(s.data, s.held);
    expected[4] = static_cast<std::uint8_t>(s.cachedLength);
    expected.resize(256, 0);
    const std::uint8_t* cached = reinterpret_cast<const std::uint8_t*>(device->cached());
    EXPECT_EQ(expected, Bytes(cached, cached + 256));
    EXPECT_EQ(0, std::memcmp(cached, &out, 256));
}

INSTANTIATE_TEST_SUITE_P(Negotiation, StandardInquiryTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(inquiryScenarios())),
                         ParamNamer());

TEST(InquiryMessageLevels, AreAsDocumented) {
    // Checked once on the scenarios that produce them.
    struct Level {
        const wchar_t* prefix;
        int level;
    } levels[] = {{L"130 ", 2}, {L"150 ", 3}, {L"156 ", 2}, {L"159 ", 3}, {L"165 ", 3}, {L"168 ", 4}};
    struct Run {
        std::vector<ModelAnswer> before;
        Bytes data;
    } runs[] = {
        {{ModelAnswer::checkCondition(inquiryOf(6), fixedSense(5, 0x24, 0)).times(1)}, standardData(252, 255)},
        {{}, standardData(31, 35)},
        {{}, standardData(95, 60)},
        {{}, standardData(95, 61)},
    };
    qln::test::LogCapture log;
    for (const Run& run : runs) {
        ModelDevicePtr model = std::make_shared<ModelScsiDevice>();
        for (const ModelAnswer& row : run.before)
            model->on(row);
        model->on(ModelAnswer::good({0x12}, run.data));
        ScsiSPCDevice device(ModelAccessor::transfer(model));
        device.inquiry(nullptr, false);
    }
    for (const Level& l : levels) {
        std::vector<qln::test::LogEntry> found = log.withPrefix(l.prefix, kSpcChannel);
        ASSERT_EQ(1u, found.size()) << log.dump();
        EXPECT_EQ(l.level, found[0].level) << found[0].text;
    }
}

class InquiryCacheTest : public SpcTest {};

TEST_P(InquiryCacheTest, UseCacheSendsNothingOnceCached) {
    model->on(ModelAnswer::good({0x12}, standardData(31)));
    EXPECT_EQ(SPC_UNKNOWN_DEVICE_TYPE, device->deviceType());
    EXPECT_TRUE(device->inquiry(nullptr, true));
    EXPECT_EQ(2u, model->commands().size());
    scsi_inquiry_t out;
    EXPECT_TRUE(device->inquiry(&out, true));
    EXPECT_EQ(2u, model->commands().size());
    EXPECT_EQ(0, std::memcmp(&out, device->cached(), sizeof(out)));
    // Without the cache flag the data are read again.
    EXPECT_TRUE(device->inquiry(nullptr, false));
    EXPECT_EQ(4u, model->commands().size());
}

TEST_P(InquiryCacheTest, FailedRereadLeavesNothingCached) {
    model->on(ModelAnswer::good({0x12}, standardData(31)).times(2));
    model->on(ModelAnswer::checkCondition({0x12}, fixedSense(0x02, 0x04, 0x00)));
    EXPECT_TRUE(device->inquiry(nullptr, true));
    ASSERT_NE(nullptr, device->cached());
    scsi_inquiry_t out;
    std::memset(&out, 0xEE, sizeof(out));
    EXPECT_FALSE(device->inquiry(&out, false));
    EXPECT_EQ(nullptr, device->cached());
    EXPECT_EQ(0xEE, out.additionalLength);
    EXPECT_EQ(SPC_UNKNOWN_DEVICE_TYPE, device->deviceType());
    EXPECT_TRUE(device->getVendorId().isEmpty());
}

TEST_P(InquiryCacheTest, DeviceTypeComesFromTheCachedData) {
    Bytes data = standardData(31);
    data[0] = 0x65;  // qualifier 3, CD/DVD device
    model->on(ModelAnswer::good({0x12}, data));
    ASSERT_TRUE(device->inquiry(nullptr, false));
    const std::size_t sent = model->commands().size();
    EXPECT_EQ(SPC_CD_DVD_DEVICE, device->deviceType());
    EXPECT_EQ(sent, model->commands().size());
}

TEST_P(InquiryCacheTest, RevisionFollowsTheLengthAsSentWhenAByteIsMissing) {
    // ADDITIONAL LENGTH 31 but one byte short (accepted as off by one): the
    // cache keeps 31, so the revision is its 4 bytes, the missing one zero.
    model->on(ModelAnswer::good({0x12}, standardData(31, 35)));
    EXPECT_EQ(std::wstring(L"1.2\0", 4), device->getProductRevision().native());
    ASSERT_NE(nullptr, device->cached());
    EXPECT_EQ(31, device->cached()->additionalLength);
}

INSTANTIATE_TEST_SUITE_P(Roads, InquiryCacheTest, SPC_BOTH_ROADS, ParamNamer());

// --- the general form: VPD pages -----------------------------------------------

Bytes vpdPage(std::uint8_t page, std::uint16_t pageLength) {
    Bytes data(pageLength + 4u);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x30 + i);
    data[0] = 0x00;
    data[1] = page;
    data[2] = static_cast<std::uint8_t>(pageLength >> 8);
    data[3] = static_cast<std::uint8_t>(pageLength);
    return data;
}

struct VpdCase {
    const char* name;
    std::uint8_t page;
    bool evpd;
    std::uint16_t length;
    Bytes answer;
    bool result;
    int code;
    std::uint32_t detail;
    std::vector<std::wstring> messages;
};

std::ostream& operator<<(std::ostream& out, const VpdCase& c) {
    return out << c.name;
}

const wchar_t* const k197 =
    L"197 Device reported residual data of 232 bytes, but the entire INQUIRY data (20) bytes was returned";

std::wstring m205(const wchar_t* asked, const wchar_t* got) {
    return std::wstring(L"205 The inquiry cmd completed successfully, but the req VPD pagecode (") + asked +
           L"h) does not match the returned VPD pagecode in the CDB (" + got + L"h)";
}

std::vector<VpdCase> vpdCases() {
    return {
        {"PageAsAsked", 0x80, true, 24, vpdPage(0x80, 20), true, CMD_RESULT_OK, 0, {}},
        {"OtherPage", 0x80, true, 24, vpdPage(0x83, 20), false, CMD_RESULT_VPD_MISMATCH, 0, {m205(L"80", L"83")}},
        {"WholePageShorterThanAsked", 0x80, true, 252, vpdPage(0x80, 16), true, CMD_RESULT_OK, 0, {k197}},
        {"WholeOtherPageShorterThanAsked", 0x80, true, 252, vpdPage(0x83, 16), false, CMD_RESULT_VPD_MISMATCH, 0,
         {k197, m205(L"80", L"83")}},
        // Page length 26, but only 20 bytes came.
        {"PartOfThePage", 0x80, true, 252, firstBytes(vpdPage(0x80, 26), 20), false, CMD_RESULT_UNDERRUN, 232, {}},
        // PAGE LENGTH takes both bytes 2-3: the ATA Information page holds 572 bytes.
        {"WholePageOfTwoLengthBytes", 0x89, true, 1024, vpdPage(0x89, 0x0238), true, CMD_RESULT_OK, 0,
         {L"197 Device reported residual data of 452 bytes, but the entire INQUIRY data (572) bytes was returned"}},
        // Page length 0104h: 8 bytes are no whole page, whatever the low byte says.
        {"PartOfAPageOfTwoLengthBytes", 0x80, true, 300, firstBytes(vpdPage(0x80, 0x0104), 8), false,
         CMD_RESULT_UNDERRUN, 292, {}},
        // Standard data keep no page length in byte 3: a short answer stays a failure.
        {"ShortStandardAnswer", 0x00, false, 252, vpdPage(0x00, 16), false, CMD_RESULT_UNDERRUN, 232, {}},
        // One byte asked: the page code never arrives, there is nothing to compare.
        {"OneByte", 0xB1, true, 1, {0x00}, true, CMD_RESULT_OK, 0, {}},
        {"NothingAsked", 0xB1, true, 0, {}, true, CMD_RESULT_OK, 0, {}},
        {"PageCodeF0", 0xF0, true, 8, vpdPage(0x0F, 4), false, CMD_RESULT_VPD_MISMATCH, 0, {m205(L"F0", L"F")}},
    };
}

class VpdInquiryTest : public SpcRoadTest<std::tuple<Road, VpdCase>> {};

TEST_P(VpdInquiryTest, ChecksThePageAndAcceptsAWholeShortPage) {
    const VpdCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good({0x12}, c.answer));
    std::uint8_t buffer[1024];
    std::memset(buffer, 0x55, sizeof(buffer));
    EXPECT_EQ(c.result, device->inquiry(c.page, buffer, c.length, c.evpd));
    EXPECT_EQ(c.code, device->getLastResult().code);
    EXPECT_EQ(c.detail, device->getLastResult().detail);
    EXPECT_EQ(c.messages, spcMessages()) << log.dump();
    for (const std::wstring& m : c.messages)
        EXPECT_EQ(3, levelOf(m.substr(0, 4)));
    ASSERT_EQ(1u, model->commands().size());
    const std::size_t came = std::min<std::size_t>(c.answer.size(), c.length);
    EXPECT_EQ(firstBytes(c.answer, came), Bytes(buffer, buffer + came));
    EXPECT_EQ(nullptr, device->cached());
}

INSTANTIATE_TEST_SUITE_P(Pages, VpdInquiryTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(vpdCases())), ParamNamer());

// --- identification getters ---------------------------------------------------

struct GetterCase {
    const char* name;
    std::uint8_t n;
    const char* vendor;  // null: "QUILLON "
    const wchar_t* vendorId;
    const wchar_t* productId;
    const wchar_t* revision;
    const wchar_t* vendorName;
};

std::ostream& operator<<(std::ostream& out, const GetterCase& c) {
    return out << c.name;
}

std::vector<GetterCase> getterCases() {
    return {
        {"Length4", 4, nullptr, L"", L"", L"", L""},
        {"Length5", 5, nullptr, L"QUILLON ", L"", L"", L""},
        {"Length12", 12, nullptr, L"QUILLON ", L"", L"", L""},
        {"Length13", 13, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"", L""},
        {"Length28", 28, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"", L""},
        {"Length29", 29, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"1.", L""},
        {"Length30", 30, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"1.2", L""},
        {"Length31", 31, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"1.23", L""},
        {"Length40", 40, nullptr, L"QUILLON ", L"MODEL DISK 0001 ", L"1.23", L""},
        {"KnownVendor", 31, "SEAGATE ", L"SEAGATE ", L"MODEL DISK 0001 ", L"1.23", L"Seagate"},
        {"KnownVendorLength5", 5, "SEAGATE ", L"SEAGATE ", L"", L"", L"Seagate"},
        {"KnownVendorLength4", 4, "SEAGATE ", L"", L"", L"", L""},
    };
}

class GetterTest : public SpcRoadTest<std::tuple<Road, GetterCase>> {};

TEST_P(GetterTest, ReadFieldsWithinTheReportedLengthFromOneInquiry) {
    const GetterCase& c = std::get<1>(GetParam());
    // The device pads short data to the 36 bytes every device returns.
    Bytes data = standardData(c.n, std::max<std::size_t>(c.n + 5u, 36));
    if (c.vendor)
        std::memcpy(data.data() + 8, c.vendor, 8);
    model->on(ModelAnswer::good({0x12}, data));
    EXPECT_EQ(std::wstring(c.vendorId), device->getVendorId().native());
    EXPECT_EQ(std::wstring(c.productId), device->getProductId().native());
    EXPECT_EQ(std::wstring(c.revision), device->getProductRevision().native());
    EXPECT_EQ(std::wstring(c.vendorName), device->getVendorName().native());
    EXPECT_EQ(2u, model->commands().size());  // read once, then from the cache
}

INSTANTIATE_TEST_SUITE_P(Lengths, GetterTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(getterCases())), ParamNamer());

class GetterFailureTest : public SpcTest {};

TEST_P(GetterFailureTest, FailedInquiryGivesEmptyTextsAndIsRetried) {
    model->on(ModelAnswer::checkCondition({0x12}, fixedSense(0x02, 0x04, 0x01)).times(8));
    model->on(ModelAnswer::good({0x12}, standardData(31)));
    EXPECT_TRUE(device->getVendorId().isEmpty());
    EXPECT_TRUE(device->getProductId().isEmpty());
    EXPECT_TRUE(device->getProductRevision().isEmpty());
    EXPECT_TRUE(device->getVendorName().isEmpty());
    EXPECT_EQ(8u, model->commands().size());  // each getter tried 6 and 36 bytes
    EXPECT_EQ(L"1.23", device->getProductRevision().native());
}

INSTANTIATE_TEST_SUITE_P(Roads, GetterFailureTest, SPC_BOTH_ROADS, ParamNamer());

}  // namespace
