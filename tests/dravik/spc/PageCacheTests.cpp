// The supported log, VPD and mode page lists read once from the device, the
// page names and the unit serial number: what is asked for, what is kept and
// how much of each answer is read.
#include <algorithm>
#include <ostream>

#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const Bytes kLogList = {0x4D, 0x00, 0x40, 0x00};
const Bytes kVpdList = {0x12, 0x01, 0x00};
const Bytes kSerialPage = {0x12, 0x01, 0x80};
const Bytes kModeAll6 = {0x1A, 0x08, 0x3F, 0xFF};
const Bytes kModeAll10 = {0x5A, 0x08, 0x3F, 0xFF};

// Supported log pages page: PAGE LENGTH `claimed`, then `codes`.
Bytes logList(std::uint16_t claimed, const Bytes& codes) {
    Bytes data = {0x00, 0x00, static_cast<std::uint8_t>(claimed >> 8), static_cast<std::uint8_t>(claimed)};
    data.insert(data.end(), codes.begin(), codes.end());
    return data;
}

Bytes vpdList(const Bytes& codes, int pageLength = -1) {
    Bytes data = {0x00, 0x00, 0x00,
                  static_cast<std::uint8_t>(pageLength < 0 ? codes.size() : static_cast<std::size_t>(pageLength))};
    data.insert(data.end(), codes.begin(), codes.end());
    return data;
}

// Mode parameter data: the header (4 or 8 bytes) whose MODE DATA LENGTH
// claims `extra` bytes more than `pages` holds, then the pages.
Bytes modeAnswer(bool tenByte, const Bytes& pages, int extra = 0) {
    const int header = tenByte ? 8 : 4;
    const int m = header - (tenByte ? 2 : 1) + static_cast<int>(pages.size()) + extra;
    Bytes data(static_cast<std::size_t>(header), 0);
    if (tenByte) {
        data[0] = static_cast<std::uint8_t>(m >> 8);
        data[1] = static_cast<std::uint8_t>(m);
    } else {
        data[0] = static_cast<std::uint8_t>(m);
    }
    data.insert(data.end(), pages.begin(), pages.end());
    return data;
}

// A page_0 format page of `length` parameter bytes, and a sub-page format one.
Bytes page0(std::uint8_t code, std::uint8_t length) {
    Bytes page(length + 2u, 0x11);
    page[0] = code;
    page[1] = length;
    return page;
}
Bytes subPage(std::uint8_t code, std::uint8_t sub, std::uint16_t length) {
    Bytes page(length + 4u, 0x22);
    page[0] = static_cast<std::uint8_t>(0x40 | code);
    page[1] = sub;
    page[2] = static_cast<std::uint8_t>(length >> 8);
    page[3] = static_cast<std::uint8_t>(length);
    return page;
}
Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kRejected = fixedSense(0x05, 0x24, 0x00);

class PageCacheTest : public SpcTest {
protected:
    std::size_t sent() const { return model->commands().size(); }
};

// --- log pages ------------------------------------------------------------------

TEST_P(PageCacheTest, LogListOfSeventyEntriesKeepsTheFirst63Codes) {
    Bytes codes;
    for (std::uint8_t i = 0; i < 63; ++i)
        codes.push_back(i);
    codes.insert(codes.end(), 7, 0x3F);  // entries 64 to 70 name 3Fh
    model->on(ModelAnswer::good(kLogList, logList(70, codes)));

    EXPECT_TRUE(device->hasLogPage(0x00));
    EXPECT_TRUE(device->hasLogPage(0x3E));
    EXPECT_FALSE(device->hasLogPage(0x3F));
    EXPECT_EQ((std::vector<std::uint32_t>{4, 67}), dataLengths());
    EXPECT_EQ(1u, device->flags() & 1u);
    // Codes past 3Fh are no log pages, whatever their low bits say.
    EXPECT_FALSE(device->hasLogPage(0x40));
    EXPECT_FALSE(device->hasLogPage(0x8D));
    EXPECT_EQ(2u, sent());
}

TEST_P(PageCacheTest, LogListSecondAnswerIsReadOnlyAsFarAsTheFirstLength) {
    // The first answer names 3 codes; the second claims 10, but only the
    // 3 asked for arrive.
    model->on(ModelAnswer::good(kLogList, logList(3, {0x00, 0x0D, 0x2F})).times(1));
    model->on(ModelAnswer::good(kLogList, logList(10, {0x00, 0x0D, 0x2F, 0x10, 0x15, 0x01, 0x02, 0x03, 0x04, 0x05})));
    EXPECT_TRUE(device->hasLogPage(0x2F));
    EXPECT_EQ((std::vector<std::uint32_t>{4, 7}), dataLengths());
    for (std::uint8_t code : {0x10, 0x15, 0x01, 0x05})
        EXPECT_FALSE(device->hasLogPage(code)) << int(code);
    EXPECT_EQ(std::uint32_t((1u << 0x00) | (1u << 0x0D)), device->logPageSet()[0]);
    EXPECT_EQ(std::uint32_t(1u << (0x2F - 32)), device->logPageSet()[1]);
}

TEST_P(PageCacheTest, LogListSecondAnswerFailingLeavesAnEmptyListMarkedRead) {
    model->on(ModelAnswer::good(kLogList, logList(2, {0x00, 0x0D})).times(1));
    model->on(ModelAnswer::checkCondition(kLogList, kRejected).times(1));
    model->on(ModelAnswer::good(kLogList, logList(2, {0x00, 0x0D})));
    for (std::uint8_t code : {0x00, 0x0D, 0x00})
        EXPECT_FALSE(device->hasLogPage(code));
    EXPECT_EQ(2u, sent());
    EXPECT_EQ(1u, device->flags() & 1u);

    // A new device starts with nothing read.
    std::unique_ptr<SpcDeviceProbe> fresh = road->make<SpcDeviceProbe>();
    EXPECT_TRUE(fresh->hasLogPage(0x0D));
    EXPECT_EQ(4u, sent());
}

struct LogRetryCase {
    const char* name;
    ModelAnswer first;
};

std::ostream& operator<<(std::ostream& out, const LogRetryCase& c) {
    return out << c.name;
}

class LogRetryTest : public SpcRoadTest<std::tuple<Road, LogRetryCase>> {};

// A list that could not be read is asked for again on each query.
TEST_P(LogRetryTest, UnreadListIsAskedForAgain) {
    const LogRetryCase& c = std::get<1>(GetParam());
    model->on(c.first.times(3));
    model->on(ModelAnswer::good(kLogList, logList(1, {0x0D})));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(device->hasLogPage(0x0D));
    EXPECT_EQ(0u, device->flags() & 1u);
    EXPECT_EQ((std::vector<std::uint32_t>{4, 4, 4}), dataLengths());
    EXPECT_TRUE(device->hasLogPage(0x0D));
    EXPECT_EQ((std::vector<std::uint32_t>{4, 4, 4, 4, 5}), dataLengths());
}

INSTANTIATE_TEST_SUITE_P(First, LogRetryTest,
                         ::testing::Combine(SPC_BOTH_ROADS,
                                            ::testing::Values(LogRetryCase{"Rejected", ModelAnswer::checkCondition(
                                                                                           kLogList, kRejected)},
                                                              LogRetryCase{"EmptyList", ModelAnswer::good(
                                                                                            kLogList, logList(0, {}))})),
                         ParamNamer());

TEST_P(PageCacheTest, AvailLogPagesNamesEachListedPage) {
    model->on(ModelAnswer::good(kLogList, logList(4, {0x2F, 0x00, 0x0D, 0x09})));
    qln::Array<qln::String> pages;
    pages.append("old");
    ASSERT_TRUE(device->availLogPages(pages));
    ASSERT_EQ(4u, pages.size());
    EXPECT_EQ(std::wstring(L"0x00 Supported Log Pages"), pages[0].native());
    EXPECT_EQ(std::wstring(L"0x09 Unknown"), pages[1].native());
    EXPECT_EQ(std::wstring(L"0x0D Temperature"), pages[2].native());
    EXPECT_EQ(L"0x2F " + device->getLogPageString(0x2F).native(), pages[3].native());
}

TEST_P(PageCacheTest, AvailLogPagesWithoutPage00LeavesTheArray) {
    model->on(ModelAnswer::good(kLogList, logList(2, {0x0D, 0x2F})));
    qln::Array<qln::String> pages;
    pages.append("old");
    EXPECT_FALSE(device->availLogPages(pages));
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(std::wstring(L"old"), pages[0].native());
}

TEST_P(PageCacheTest, PageNamesFollowTheCachedDeviceType) {
    EXPECT_EQ(std::wstring(L"Background Scan Results"), device->getLogPageString(0x15).native());
    EXPECT_EQ(std::wstring(L"Unknown"), device->getLogPageString(0x0A).native());
    EXPECT_EQ(std::wstring(L"Unit Serial Number"), device->getVPDPageString(0x80).native());
    EXPECT_EQ(0u, sent());  // names never ask the device

    Bytes data = standardData(31);
    data[0] = 0x12;  // automation/drive interface
    model->on(ModelAnswer::good({0x12, 0x00}, data));
    ASSERT_TRUE(device->inquiry(nullptr, false));
    EXPECT_EQ(std::wstring(L"Service Buffers Information"), device->getLogPageString(0x15).native());
    EXPECT_EQ(std::wstring(L"Temperature"), device->getLogPageString(0x0D).native());
}

// --- VPD pages ------------------------------------------------------------------

struct VpdCase {
    const char* name;
    std::vector<ModelAnswer> rows;
    std::vector<std::uint32_t> lengths;
    Bytes present;
    const wchar_t* message;  // on the info channel, level 3; null: none
};

std::ostream& operator<<(std::ostream& out, const VpdCase& c) {
    return out << c.name;
}

std::vector<VpdCase> vpdCases() {
    return {
        {"Listed", {ModelAnswer::good(kVpdList, vpdList({0x00, 0x80, 0x83}))}, {5, 7}, {0x00, 0x80, 0x83}, nullptr},
        {"FirstRequestFails", {ModelAnswer::checkCondition(kVpdList, kRejected)}, {5}, {},
         L"230 VPD data is not available on this device"},
        {"FirstEntryNot00", {ModelAnswer::good(kVpdList, vpdList({0x80, 0x00, 0x83}))}, {5}, {},
         L"210 This device does not respond properly when requested to return VPD data"},
        {"OneEntryOnly", {ModelAnswer::good(kVpdList, vpdList({0x00}))}, {5}, {},
         L"210 This device does not respond properly when requested to return VPD data"},
        {"SecondRequestFails",
         {ModelAnswer::good(kVpdList, vpdList({0x00, 0x80})).times(1), ModelAnswer::checkCondition(kVpdList, kRejected)},
         {5, 6}, {}, nullptr},
        {"SecondLengthDiffers",
         {ModelAnswer::good(kVpdList, vpdList({0x00, 0x80})).times(1),
          ModelAnswer::good(kVpdList, vpdList({0x00, 0x80, 0x83}))},
         {5, 6}, {}, L"225 Inconsistent VPD data"},
        {"SecondFirstEntryNot00",
         {ModelAnswer::good(kVpdList, vpdList({0x00, 0x80})).times(1), ModelAnswer::good(kVpdList, vpdList({0x80, 0x00}))},
         {5, 6}, {}, L"225 Inconsistent VPD data"},
    };
}

class VpdListTest : public SpcRoadTest<std::tuple<Road, VpdCase>> {};

TEST_P(VpdListTest, ListIsReadOnceWhateverTheAnswer) {
    const VpdCase& c = std::get<1>(GetParam());
    for (const ModelAnswer& row : c.rows)
        model->on(row);
    for (unsigned int code = 0; code < 0x100; ++code) {
        const bool listed = std::find(c.present.begin(), c.present.end(), code) != c.present.end();
        EXPECT_EQ(listed, device->hasVPDPage(static_cast<std::uint8_t>(code), false)) << code;
    }
    EXPECT_EQ(c.lengths, dataLengths());
    EXPECT_EQ(2u, device->flags() & 2u);
    std::vector<std::wstring> expected;
    if (c.message)
        expected.push_back(c.message);
    EXPECT_EQ(expected, infoMessages()) << log.dump();
    if (c.message) {
        EXPECT_EQ(3, log.withPrefix(std::wstring(c.message).substr(0, 4), kSpcInfoChannel)[0].level);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, VpdListTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(vpdCases())), ParamNamer());

TEST_P(PageCacheTest, MalformedVpdListIsReadAgainOnlyOnRefresh) {
    model->on(ModelAnswer::good(kVpdList, vpdList({0x83, 0x00, 0x80})).times(1));
    model->on(ModelAnswer::good(kVpdList, vpdList({0x00, 0x80, 0x83})));
    EXPECT_FALSE(device->hasVPDPage(0x83, false));
    EXPECT_FALSE(device->hasVPDPage(0x80, false));
    EXPECT_EQ(1u, sent());
    EXPECT_TRUE(device->hasVPDPage(0x80, true));
    EXPECT_EQ((std::vector<std::uint32_t>{5, 5, 7}), dataLengths());
    EXPECT_TRUE(device->hasVPDPage(0x83, false));
    EXPECT_EQ(3u, sent());
}

TEST_P(PageCacheTest, VpdRefreshForgetsPagesNoLongerListed) {
    model->on(ModelAnswer::good(kVpdList, vpdList({0x00, 0x80, 0x83})).times(2));
    model->on(ModelAnswer::checkCondition(kVpdList, kRejected));
    EXPECT_TRUE(device->hasVPDPage(0x83, false));
    EXPECT_FALSE(device->hasVPDPage(0x83, true));
    EXPECT_FALSE(device->hasVPDPage(0x80, false));
    EXPECT_EQ(3u, sent());
}

// --- mode pages -----------------------------------------------------------------

struct ModeWalkCase {
    const char* name;
    bool tenByte;
    Bytes pages;
    int extra;  // MODE DATA LENGTH claims this much more than the pages hold
    std::vector<std::pair<std::uint8_t, std::uint8_t>> entries;
};

std::ostream& operator<<(std::ostream& out, const ModeWalkCase& c) {
    return out << c.name;
}

std::vector<ModeWalkCase> modeWalkCases() {
    const Bytes both = join({page0(0x01, 0x0A), subPage(0x0A, 0x01, 0x1C)});
    return {
        {"Sense6Page0AndSubPage", false, both, 0, {{0x01, 0}, {0x0A, 1}}},
        {"Sense10Page0AndSubPage", true, both, 0, {{0x01, 0}, {0x0A, 1}}},
        // The walk stops at a page_0 page of length 0 and at a sub-page of
        // length 0, whatever follows.
        {"StopsAtEmptyPage0", false, join({page0(0x01, 0x0A), Bytes{0x08, 0x00}, page0(0x1C, 0x0A)}), 0, {{0x01, 0}}},
        {"StopsAtEmptySubPage", true, join({subPage(0x1C, 0x01, 8), Bytes{0x4A, 0x01, 0x00, 0x00}, page0(0x08, 0x12)}), 0,
         {{0x1C, 1}}},
        {"SamePageTwice", false, join({page0(0x08, 0x12), page0(0x08, 0x12)}), 0, {{0x08, 0}, {0x08, 0}}},
        // The header claims more than came: the last page's head arrived,
        // its body did not, and it is not entered.
        {"Sense6PageRunsPastTheAnswer", false, join({page0(0x01, 0x0A), Bytes{0x08, 0x12, 0x11, 0x11}}), 16,
         {{0x01, 0}}},
        {"Sense10PageRunsPastTheAnswer", true, join({page0(0x01, 0x0A), Bytes{0x5C, 0x02, 0x00, 0x40, 0x22}}), 64,
         {{0x01, 0}}},
        // The header itself claims less than the pages: the walk stops there.
        {"PageRunsPastTheModeDataLength", false, join({page0(0x01, 0x0A), page0(0x08, 0x12)}), -16, {{0x01, 0}}},
    };
}

class ModeWalkTest : public SpcRoadTest<std::tuple<Road, ModeWalkCase>> {};

TEST_P(ModeWalkTest, EntersEachPageThatArrivedWhole) {
    const ModeWalkCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good(c.tenByte ? kModeAll10 : kModeAll6, modeAnswer(c.tenByte, c.pages, c.extra)));

    EXPECT_FALSE(device->hasModePage(0x3F, 0xFF, c.tenByte, false));
    std::multimap<std::uint8_t, std::uint8_t> expected(c.entries.begin(), c.entries.end());
    EXPECT_EQ(expected, device->modePageList());
    EXPECT_EQ(4u, device->flags() & 4u);
    EXPECT_EQ(2u, model->commands().size());  // the header, then the whole answer
    EXPECT_EQ(c.tenByte ? 0x5A : 0x1A, model->commands()[1].cdb[0]);
    for (const auto& e : c.entries)
        EXPECT_TRUE(device->hasModePage(e.first, e.second, c.tenByte, false));
    EXPECT_EQ(2u, model->commands().size());
}

INSTANTIATE_TEST_SUITE_P(Walks, ModeWalkTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(modeWalkCases())), ParamNamer());

TEST_P(PageCacheTest, ModePageNeedsItsOwnSubpage) {
    model->on(ModelAnswer::good(kModeAll6, modeAnswer(false, join({page0(0x01, 0x0A), subPage(0x0A, 0x01, 0x1C)}))));
    EXPECT_FALSE(device->hasModePage(0x0A, 0x00, false, false));
    EXPECT_TRUE(device->hasModePage(0x0A, 0x01, false, false));
    EXPECT_TRUE(device->hasModePage(0x01, 0x00, false, false));
    EXPECT_FALSE(device->hasModePage(0x01, 0x01, false, false));
    EXPECT_FALSE(device->hasModePage(0x41, 0x00, false, false));  // 41h is no page code
    EXPECT_EQ((std::vector<std::uint32_t>{4, 51}), dataLengths());
}

TEST_P(PageCacheTest, ModeRefreshReplacesTheListAndAFailedOneKeepsIt) {
    model->on(ModelAnswer::good(kModeAll6, modeAnswer(false, join({page0(0x01, 0x0A), subPage(0x0A, 0x01, 0x1C)})))
                  .times(2));
    model->on(ModelAnswer::good(kModeAll6, modeAnswer(false, join({page0(0x01, 0x0A), page0(0x08, 0x12)})))
                  .times(2));
    model->on(ModelAnswer::checkCondition(kModeAll6, kRejected));
    ASSERT_TRUE(device->hasModePage(0x0A, 0x01, false, false));
    // The device no longer reports 0Ah/01h but now 08h: the list is the new one.
    EXPECT_FALSE(device->hasModePage(0x0A, 0x01, false, true));
    EXPECT_EQ(4u, model->commands().size());
    const std::multimap<std::uint8_t, std::uint8_t> reread = {{0x01, 0}, {0x08, 0}};
    EXPECT_EQ(reread, device->modePageList());
    // The failed re-read answers false even for a page on the list...
    EXPECT_FALSE(device->hasModePage(0x01, 0x00, false, true));
    EXPECT_EQ(5u, model->commands().size());
    EXPECT_EQ(4u, device->flags() & 4u);
    // ...and leaves the list as the last read made it.
    EXPECT_EQ(reread, device->modePageList());
    EXPECT_TRUE(device->hasModePage(0x01, 0x00, false, false));
    EXPECT_TRUE(device->hasModePage(0x08, 0x00, false, false));
    EXPECT_FALSE(device->hasModePage(0x0A, 0x01, false, false));
    EXPECT_EQ(5u, model->commands().size());
}

TEST_P(PageCacheTest, ModeRefreshesDoNotGrowTheList) {
    const Bytes pages = join({page0(0x01, 0x0A), subPage(0x0A, 0x01, 0x1C), page0(0x1C, 0x0A)});
    model->on(ModelAnswer::good(kModeAll10, modeAnswer(true, pages)));
    const std::multimap<std::uint8_t, std::uint8_t> expected = {{0x01, 0}, {0x0A, 1}, {0x1C, 0}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(device->hasModePage(0x1C, 0x00, true, true));
        EXPECT_EQ(expected, device->modePageList());
    }
    EXPECT_EQ(10u, model->commands().size());
}

TEST_P(PageCacheTest, ModeListFailingFirstIsNotReadAgainWithoutRefresh) {
    model->on(ModelAnswer::checkCondition(kModeAll10, kRejected).times(1));
    model->on(ModelAnswer::good(kModeAll10, modeAnswer(true, page0(0x1C, 0x0A))));
    EXPECT_FALSE(device->hasModePage(0x1C, 0x00, true, false));
    EXPECT_FALSE(device->hasModePage(0x1C, 0x00, true, false));
    EXPECT_EQ(1u, model->commands().size());
    EXPECT_TRUE(device->hasModePage(0x1C, 0x00, true, true));
}

// --- unit serial number ---------------------------------------------------------

// VPD page 80h: the 2-byte page length `claimed`, then `text`; zeros up to
// the 252 bytes asked for unless `whole` is false.
Bytes serialPage(std::uint16_t claimed, const std::string& text, bool whole = true) {
    Bytes data = {0x00, 0x80, static_cast<std::uint8_t>(claimed >> 8), static_cast<std::uint8_t>(claimed)};
    data.insert(data.end(), text.begin(), text.end());
    if (whole && data.size() < 252)
        data.resize(252, 0);
    return data;
}

std::string letters(std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text.push_back(static_cast<char>('A' + i % 26));
    return text;
}

struct SerialCase {
    const char* name;
    bool force;
    Bytes list;  // supported VPD pages
    std::vector<ModelAnswer> rows;
    std::size_t commands;
    std::wstring serial;
    const wchar_t* message;  // on the device channel; null: none
    int level;
};

std::ostream& operator<<(std::ostream& out, const SerialCase& c) {
    return out << c.name;
}

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::vector<SerialCase> serialCases() {
    const Bytes with80 = {0x00, 0x80};
    const Bytes without80 = {0x00, 0x83};
    const wchar_t* const claimed =
        L"645 VPD Unit Serial Number request failed even though the page was claimed to be present.";
    return {
        {"Trimmed", false, with80, {ModelAnswer::good(kSerialPage, serialPage(11, "  SN 0042  "))}, 3, L"SN 0042",
         nullptr, 0},
        {"PageNotListed", false, without80, {ModelAnswer::good(kSerialPage, serialPage(4, "SN01"))}, 2, L"", nullptr, 0},
        {"PageNotListedForced", true, without80, {ModelAnswer::good(kSerialPage, serialPage(4, "SN01"))}, 1, L"SN01",
         nullptr, 0},
        // A page length past the 252-byte area: 248 characters.
        {"LengthCutTo248", false, with80, {ModelAnswer::good(kSerialPage, serialPage(250, letters(250)))}, 3,
         wide(letters(248)), nullptr, 0},
        // The page length is both bytes 2-3: a low byte of 00h or 2Ch is no
        // short serial.
        {"Length0100hCutTo248", false, with80, {ModelAnswer::good(kSerialPage, serialPage(0x0100, letters(248)))}, 3,
         wide(letters(248)), nullptr, 0},
        {"Length012ChCutTo248", true, with80, {ModelAnswer::good(kSerialPage, serialPage(0x012C, letters(248)))}, 1,
         wide(letters(248)), nullptr, 0},
        // A page length of 250 with 20 characters: the answer is short of what
        // it claims, nothing past the 20 is taken.
        {"Length250With20Characters", false, with80,
         {ModelAnswer::good(kSerialPage, serialPage(250, letters(20), false))}, 3, L"", claimed, 3},
        // A device that returns just its page.
        {"WholeShortPage", true, with80, {ModelAnswer::good(kSerialPage, serialPage(6, " SN01 ", false))}, 1, L"SN01",
         L"197 Device reported residual data of 242 bytes, but the entire INQUIRY data (10) bytes was returned", 3},
        {"Rejected", false, with80, {ModelAnswer::checkCondition(kSerialPage, kRejected)}, 3, L"", claimed, 3},
        {"RejectedForced", true, with80, {ModelAnswer::checkCondition(kSerialPage, kRejected)}, 1, L"",
         L"647 Could not query VPD unit serial number.", 1},
        // The page length byte names only the characters that count.
        {"LengthShorterThanTheText", true, with80, {ModelAnswer::good(kSerialPage, serialPage(4, "SN01XXXX"))}, 1,
         L"SN01", nullptr, 0},
    };
}

class SerialNumberTest : public SpcRoadTest<std::tuple<Road, SerialCase>> {};

TEST_P(SerialNumberTest, ReadsPage80WithinWhatArrived) {
    const SerialCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good(kVpdList, vpdList(c.list)));
    for (const ModelAnswer& row : c.rows)
        model->on(row);
    EXPECT_EQ(c.serial, device->getSerialNumber(c.force).native());
    ASSERT_EQ(c.commands, model->commands().size());
    if (c.commands % 2 == 1) {
        EXPECT_EQ((Bytes{0x12, 0x01, 0x80, 0x00, 0xFC, 0x00}), model->lastCommand().cdb);
        EXPECT_EQ(252u, model->lastCommand().dataLen);
    }
    EXPECT_TRUE(onlySpcMessage(c.message, c.level));
}

INSTANTIATE_TEST_SUITE_P(Pages, SerialNumberTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(serialCases())), ParamNamer());

INSTANTIATE_TEST_SUITE_P(Roads, PageCacheTest, SPC_BOTH_ROADS, ParamNamer());

}  // namespace
