// Self-test results, background self-tests and their progress, the two
// temperatures and the ATA detection: what is asked of the device and how
// much of each answer is believed.
#include <algorithm>
#include <ostream>
#include <string>

#include "SpcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const Bytes kRequestSense = {0x03};
const Bytes kLogList = {0x4D, 0x00, 0x40};
const Bytes kSelfTestLog = {0x4D, 0x00, 0x50};
const Bytes kTemperatureLog = {0x4D, 0x00, 0x4D};
const Bytes kExceptionsLog = {0x4D, 0x00, 0x6F};
const Bytes kStandardInquiry = {0x12, 0x00};
const Bytes kAtaPassThrough = {0x85};

// SELF-TEST RESULTS page of `size` bytes: byte 0, PAGE LENGTH `length`, then
// parameters 0001h, 0002h, ... of 16 bytes each; the most recent one carries
// `mostRecent` in its code and results byte, the older ones a passed short
// test (code 1, result 0) unless `older` says otherwise.
Bytes selfTestPage(std::uint8_t byte0, std::uint16_t length, std::uint8_t mostRecent, std::size_t size = 404,
                   std::uint8_t older = 0x20) {
    Bytes data(size, 0);
    data[0] = byte0;
    data[2] = static_cast<std::uint8_t>(length >> 8);
    data[3] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < 20 && 4 + 20 * (i + 1) <= size; ++i) {
        std::uint8_t* p = data.data() + 4 + 20 * i;
        p[1] = static_cast<std::uint8_t>(i + 1);
        p[3] = 0x10;
        p[4] = i == 0 ? mostRecent : older;
        p[5] = static_cast<std::uint8_t>(40 - i);
        p[19] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return data;
}

// --- getSelfTestResults ---------------------------------------------------------

class SelfTestTest : public SpcTest {};

TEST_P(SelfTestTest, ResultsCopyTheTwentyParameters) {
    const Bytes page = selfTestPage(0x10, 0x0190, 0x2F);
    model->on(ModelAnswer::good(kSelfTestLog, page));
    self_test_log_parameter_t results[20];
    ASSERT_TRUE(device->getSelfTestResults(&results, false));
    EXPECT_EQ((Bytes{0x4D, 0x00, 0x50, 0x00, 0x00, 0x00, 0x00, 0x01, 0x94, 0x00}), model->lastCommand().cdb);
    EXPECT_EQ(Bytes(page.begin() + 4, page.end()),
              Bytes(reinterpret_cast<const std::uint8_t*>(results), reinterpret_cast<const std::uint8_t*>(results) + 400));
    EXPECT_EQ(0x14, results[19].parameterCode[1]);
    EXPECT_EQ(0xB3, results[19].vendorSpecific);
    EXPECT_TRUE(infoMessages().empty()) << log.dump();
}

struct BadPageCase {
    const char* name;
    Bytes page;
    const wchar_t* text;  // after the message number; null: no message
};

std::ostream& operator<<(std::ostream& out, const BadPageCase& c) {
    return out << c.name;
}

std::vector<BadPageCase> badPageCases() {
    return {
        // The DS bit makes the code byte 90h: the whole byte must be 10h.
        {"CodeByteWithDsBit", selfTestPage(0x90, 0x0190, 0x00),
         L"SELF TEST results log page is incorrect. Page Code: 0x90 Page Length: 400"},
        {"OtherPage", selfTestPage(0x0D, 0x0190, 0x00),
         L"SELF TEST results log page is incorrect. Page Code: 0x0D Page Length: 400"},
        {"PageLengthShort", selfTestPage(0x10, 0x018C, 0x00),
         L"SELF TEST results log page is incorrect. Page Code: 0x10 Page Length: 396"},
        // A page with fewer parameters ends the command short.
        {"AnswerShort", selfTestPage(0x10, 0x0190, 0x00, 304), nullptr},
    };
}

class BadSelfTestPageTest : public SpcRoadTest<std::tuple<Road, BadPageCase>> {};

TEST_P(BadSelfTestPageTest, IsRefusedAndTheResultsStay) {
    const BadPageCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good(kSelfTestLog, c.page));
    for (bool raise : {false, true}) {
        SCOPED_TRACE(raise);
        log.clear();
        self_test_log_parameter_t results[20];
        std::memset(results, 0xEE, sizeof(results));
        EXPECT_FALSE(device->getSelfTestResults(&results, raise));
        EXPECT_EQ(Bytes(400, 0xEE), Bytes(reinterpret_cast<const std::uint8_t*>(results),
                                          reinterpret_cast<const std::uint8_t*>(results) + 400));
        std::vector<std::wstring> expected;
        if (c.text) {
            expected.push_back((raise ? L"355 " : L"358 ") + std::wstring(c.text));
            EXPECT_EQ(raise ? 4 : 3, log.withPrefix(raise ? L"355 " : L"358 ", kSpcInfoChannel)[0].level);
        }
        EXPECT_EQ(expected, infoMessages()) << log.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, BadSelfTestPageTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(badPageCases())), ParamNamer());

// --- startBackgroundTest --------------------------------------------------------

TEST_P(SelfTestTest, BackgroundTestSendsTheShortOrExtendedCode) {
    model->on(ModelAnswer::good({0x1D}));
    ASSERT_TRUE(device->startBackgroundTest(false));
    ASSERT_TRUE(device->startBackgroundTest(true));
    ASSERT_EQ(2u, model->commands().size());
    EXPECT_EQ((Bytes{0x1D, 0x20, 0, 0, 0, 0}), model->commands()[0].cdb);
    EXPECT_EQ((Bytes{0x1D, 0x40, 0, 0, 0, 0}), model->commands()[1].cdb);
    for (const ModelCommand& c : model->commands()) {
        EXPECT_EQ(DXFER_NONE, c.direction);
        EXPECT_EQ(0u, c.dataLen);
        EXPECT_EQ(road->recordedTimeout(10000), c.timeout);
    }
    model->clearAnswers();
    model->on(ModelAnswer::checkCondition({0x1D}, fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(device->startBackgroundTest(true));
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, device->getLastResult().code);
}

// --- isSelfTestRunning from sense data ------------------------------------------

// ASC/ASCQ 04h/09h: LOGICAL UNIT NOT READY, SELF-TEST IN PROGRESS.
const std::uint8_t kNotReadyAsc = 0x04;
const std::uint8_t kSelfTestAscq = 0x09;

// Fixed sense data (VALID set) of `length` bytes: key, additional sense
// length, SKSV and the progress field, with a self-test in progress unless
// ASC and ASCQ say otherwise.
Bytes fixedProgress(std::uint8_t key, std::uint8_t additional, bool sksv, std::uint16_t progress,
                    std::size_t length = 18, std::uint8_t asc = kNotReadyAsc, std::uint8_t ascq = kSelfTestAscq) {
    Bytes s(18, 0);
    s[0] = 0xF0;
    s[2] = key;
    s[7] = additional;
    s[12] = asc;
    s[13] = ascq;
    s[15] = sksv ? 0x80 : 0x00;
    s[16] = static_cast<std::uint8_t>(progress >> 8);
    s[17] = static_cast<std::uint8_t>(progress);
    s.resize(length, 0);
    return s;
}

// Descriptor sense data: the 8-byte header with the given key and ADDITIONAL
// SENSE LENGTH (a self-test in progress unless ASC and ASCQ say otherwise),
// then the descriptors.
Bytes descriptors(std::uint8_t key, std::uint8_t additional, const Bytes& body,
                  std::uint8_t asc = kNotReadyAsc, std::uint8_t ascq = kSelfTestAscq) {
    Bytes s = {0x72, key, asc, ascq, 0, 0, 0, additional};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

// Sense-key-specific descriptor with SKSV and progress.
Bytes progressDescriptor(bool sksv, std::uint16_t progress) {
    return {0x02, 0x06, 0x00, 0x00, static_cast<std::uint8_t>(sksv ? 0x80 : 0x00),
            static_cast<std::uint8_t>(progress >> 8), static_cast<std::uint8_t>(progress), 0x00};
}

const Bytes kInformationDescriptor = {0x00, 0x0A, 0x80, 0x00, 1, 2, 3, 4, 5, 6, 7, 8};

// Another progress indication descriptor (type 0Ah): the progress of an
// operation other than the one the sense data report, here a format
// (NOT READY, 04h/04h). Its ADDITIONAL LENGTH is 06h like that of the
// sense-key-specific descriptor, and its byte 4 is the other ASCQ.
Bytes anotherProgressDescriptor(std::uint16_t progress) {
    return {0x0A, 0x06, 0x02, 0x04, 0x04, 0x00, static_cast<std::uint8_t>(progress >> 8),
            static_cast<std::uint8_t>(progress)};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes cut(const Bytes& bytes, std::size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + n);
}

struct RunningCase {
    const char* name;
    Bytes sense;  // REQUEST SENSE data
    bool running;
    int percent;
};

std::ostream& operator<<(std::ostream& out, const RunningCase& c) {
    return out << c.name;
}

std::vector<RunningCase> runningCases() {
    return {
        {"FixedHalfWay", fixedProgress(0x02, 10, true, 0x8000), true, 50},
        {"FixedDone", fixedProgress(0x02, 10, true, 0xFFFF), true, 100},
        {"FixedWithIli", fixedProgress(0x22, 10, true, 0x4000), true, 25},
        {"FixedSksvClear", fixedProgress(0x02, 10, false, 0x8000), true, -1},
        {"FixedAdditionalLength6", fixedProgress(0x02, 6, true, 0x8000), true, -1},
        {"FixedUnitAttention", fixedProgress(0x06, 10, true, 0x8000), false, -1},
        // NOT READY that is no self-test: no medium, becoming ready, and a
        // format whose progress is not the self-test's.
        {"FixedMediumNotPresent", fixedProgress(0x02, 10, false, 0, 18, 0x3A, 0x00), false, -1},
        {"FixedBecomingReady", fixedProgress(0x02, 10, false, 0, 18, 0x04, 0x01), false, -1},
        {"FixedFormatInProgress", fixedProgress(0x02, 10, true, 0x8000, 18, 0x04, 0x04), false, -1},
        // The additional sense length ends before ASC and ASCQ.
        {"FixedWithoutAsc", fixedProgress(0x02, 4, false, 0, 12), false, -1},
        // The length claims the progress field, but only 16 bytes came.
        {"FixedProgressNotArrived", fixedProgress(0x02, 10, true, 0x8000, 16), true, -1},
        {"DescriptorFirst", descriptors(0x02, 8, progressDescriptor(true, 0x8000)), true, 50},
        // Information descriptor at 8, the progress one at 20.
        {"DescriptorAfterInformation",
         descriptors(0x02, 20, kInformationDescriptor + progressDescriptor(true, 0xC000)), true, 75},
        {"DescriptorSksvClear", descriptors(0x02, 8, progressDescriptor(false, 0x8000)), false, -1},
        {"DescriptorFormatInProgress", descriptors(0x02, 8, progressDescriptor(true, 0x8000), 0x04, 0x04), false,
         -1},
        {"DescriptorMediumNotPresent", descriptors(0x02, 0, {}, 0x3A, 0x00), false, -1},
        // Another progress indication of length 06h before the
        // sense-key-specific descriptor: only the latter is the self-test's.
        {"DescriptorAfterAnotherProgress",
         descriptors(0x02, 16, anotherProgressDescriptor(0x4000) + progressDescriptor(true, 0xC000)), true, 75},
        {"DescriptorAnotherProgressOnly", descriptors(0x02, 8, anotherProgressDescriptor(0x4000)), true, -1},
        {"DescriptorNone", descriptors(0x02, 0, {}), true, -1},
        {"DescriptorBeyondTheLength", descriptors(0x02, 12, kInformationDescriptor + progressDescriptor(true, 0x8000)),
         true, -1},
        {"DescriptorUnitAttention", descriptors(0x06, 8, progressDescriptor(true, 0x8000)), false, -1},
        // The descriptor's length runs past the 14 bytes that came: it is
        // not read.
        {"DescriptorRunsPastTheAnswer", cut(descriptors(0x02, 8, progressDescriptor(true, 0x8080)), 14), true, -1},
        // A full answer whose second descriptor starts at 246 and would end
        // past the 252-byte sense area.
        {"DescriptorRunsPastTheSenseArea",
         cut(descriptors(0x02, 0xFF, Bytes{0x00, 0xEC} + Bytes(236, 0x11) + progressDescriptor(true, 0x8080)), 252),
         true, -1},
    };
}

class RunningTest : public SpcRoadTest<std::tuple<Road, RunningCase>> {};

TEST_P(RunningTest, SenseDataTellWhetherAndHowFar) {
    const RunningCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good(kRequestSense, c.sense));
    std::int8_t percent = 77;
    EXPECT_EQ(c.running, device->isSelfTestRunning(&percent));
    EXPECT_EQ(c.percent, percent);
    EXPECT_EQ(c.running, device->isSelfTestRunning(nullptr));
    // One REQUEST SENSE per call, no log page.
    ASSERT_EQ(2u, model->commands().size());
    EXPECT_EQ((Bytes{0x03, 0, 0, 0, 0xFC, 0}), model->commands()[1].cdb);
    EXPECT_TRUE(infoMessages().empty()) << log.dump();
}

INSTANTIATE_TEST_SUITE_P(Sense, RunningTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(runningCases())), ParamNamer());

TEST_P(SelfTestTest, FixedSenseNotValidIsNotedAndStillRead) {
    Bytes sense = fixedProgress(0x02, 10, true, 0x8000);
    sense[0] = 0x70;
    model->on(ModelAnswer::good(kRequestSense, sense));
    std::int8_t percent = 0;
    EXPECT_TRUE(device->isSelfTestRunning(&percent));
    EXPECT_EQ(50, percent);
    EXPECT_EQ(std::vector<std::wstring>{L"381 Fixed format sense data is not 'Valid'"}, infoMessages());
    EXPECT_EQ(3, log.withPrefix(L"381 ", kSpcInfoChannel)[0].level);
}

// --- isSelfTestRunning from the self-test log -----------------------------------

struct FallbackCase {
    const char* name;
    ModelAnswer sense;
    std::vector<ModelAnswer> log;
    bool running;
};

std::ostream& operator<<(std::ostream& out, const FallbackCase& c) {
    return out << c.name;
}

std::vector<FallbackCase> fallbackCases() {
    const ModelAnswer code7F = ModelAnswer::good(kRequestSense, Bytes{0x7F, 0x02, 0, 0, 0, 0, 0, 10});
    const ModelAnswer refused = ModelAnswer::checkCondition(kRequestSense, fixedSense(0x05, 0x20, 0x00));
    return {
        {"Code7FAndTestInProgress", code7F, {ModelAnswer::good(kSelfTestLog, selfTestPage(0x10, 0x0190, 0x2F))}, true},
        {"Code7FAndTestDone", code7F, {ModelAnswer::good(kSelfTestLog, selfTestPage(0x10, 0x0190, 0x20))}, false},
        // Only the most recent parameter counts.
        {"Code7FAndOlderParameterInProgress", code7F,
         {ModelAnswer::good(kSelfTestLog, selfTestPage(0x10, 0x0190, 0x20, 404, 0x2F))}, false},
        {"Code7FAndLogRefused", code7F, {}, false},
        {"Code7FAndLogWithDsBit", code7F, {ModelAnswer::good(kSelfTestLog, selfTestPage(0x90, 0x0190, 0x2F))}, false},
        {"NoSenseData", ModelAnswer::good(kRequestSense), {ModelAnswer::good(kSelfTestLog, selfTestPage(0x10, 0x0190, 0x2F))},
         true},
        {"RequestSenseRefused", refused, {ModelAnswer::good(kSelfTestLog, selfTestPage(0x10, 0x0190, 0x2F))}, true},
    };
}

class FallbackTest : public SpcRoadTest<std::tuple<Road, FallbackCase>> {};

TEST_P(FallbackTest, SelfTestLogDecides) {
    const FallbackCase& c = std::get<1>(GetParam());
    model->on(c.sense);
    for (const ModelAnswer& row : c.log)
        model->on(row);
    std::int8_t percent = 77;
    EXPECT_EQ(c.running, device->isSelfTestRunning(&percent));
    EXPECT_EQ(-1, percent);
    ASSERT_EQ(2u, model->commands().size());
    EXPECT_EQ(Bytes(kSelfTestLog), Bytes(model->commands()[1].cdb.begin(), model->commands()[1].cdb.begin() + 3));
    // A malformed page is a warning, not an error, here.
    for (const qln::test::LogEntry& e : log.entries())
        if (e.channel == kSpcInfoChannel) {
            EXPECT_NE(4, e.level) << log.dump();
        }
}

INSTANTIATE_TEST_SUITE_P(Log, FallbackTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(fallbackCases())), ParamNamer());

// --- temperatures -----------------------------------------------------------------

Bytes logList(const Bytes& codes) {
    Bytes data = {0x00, 0x00, 0x00, static_cast<std::uint8_t>(codes.size())};
    return data + codes;
}

// TEMPERATURE page: parameter 0000h with the temperature, then 0001h with the
// reference temperature; `size` cuts it.
Bytes temperaturePage(std::uint8_t current, std::uint8_t reference, std::size_t size = 16,
                      std::uint16_t secondCode = 0x0001) {
    Bytes page = {0x0D, 0x00, 0x00, static_cast<std::uint8_t>(size - 4), 0x00, 0x00, 0x03, 0x02, 0x00, current,
                  static_cast<std::uint8_t>(secondCode >> 8), static_cast<std::uint8_t>(secondCode), 0x03, 0x02,
                  0x00, reference};
    page.resize(size);
    return page;
}

// INFORMATIONAL EXCEPTIONS page: parameter 0000h of `parameterLength` bytes
// with the most recent temperature at byte 10.
Bytes exceptionsPage(std::uint8_t temperature, std::uint8_t parameterLength = 4) {
    return {0x2F, 0x00, 0x00, 0x08, 0x00, 0x00, 0x03, parameterLength, 0x00, 0x00, temperature, 0x00};
}

struct TemperatureCase {
    const char* name;
    Bytes listed;
    Bytes temperature;  // page 0Dh answer; empty: refused
    Bytes exceptions;   // page 2Fh answer; empty: refused
    int current;        // -1: getTemperature answers false
    int reference;      // -1: getMaxTemperature answers false
};

std::ostream& operator<<(std::ostream& out, const TemperatureCase& c) {
    return out << c.name;
}

std::vector<TemperatureCase> temperatureCases() {
    const Bytes both = {0x00, 0x0D, 0x2F};
    return {
        {"TemperaturePage", both, temperaturePage(35, 60), exceptionsPage(41), 35, 60},
        {"TemperatureFFUsesExceptions", both, temperaturePage(0xFF, 60), exceptionsPage(41), 41, 60},
        {"ReferenceFF", both, temperaturePage(35, 0xFF), exceptionsPage(41), 35, -1},
        // Ten bytes: the 16-byte request ends short.
        {"NoReferenceParameter", both, temperaturePage(35, 60, 10), exceptionsPage(41), 41, -1},
        {"SecondParameterNotReference", both, temperaturePage(35, 60, 16, 0x0002), exceptionsPage(41), 35, -1},
        {"TemperatureRefused", both, {}, exceptionsPage(41), 41, -1},
        {"OnlyExceptionsListed", {0x00, 0x2F}, temperaturePage(35, 60), exceptionsPage(41), 41, -1},
        {"ExceptionsParameterTooShort", {0x00, 0x2F}, temperaturePage(35, 60), exceptionsPage(41, 3), -1, -1},
        {"NeitherListed", {0x00, 0x10}, temperaturePage(35, 60), exceptionsPage(41), -1, -1},
        {"BothFail", both, temperaturePage(0xFF, 0xFF), {}, -1, -1},
    };
}

class TemperatureTest : public SpcRoadTest<std::tuple<Road, TemperatureCase>> {};

TEST_P(TemperatureTest, PagesAndFallBacks) {
    const TemperatureCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good(kLogList, logList(c.listed)));
    if (!c.temperature.empty())
        model->on(ModelAnswer::good(kTemperatureLog, c.temperature));
    if (!c.exceptions.empty())
        model->on(ModelAnswer::good(kExceptionsLog, c.exceptions));

    std::uint8_t current = 0xAA;
    EXPECT_EQ(c.current >= 0, device->getTemperature(current));
    EXPECT_EQ(c.current >= 0 ? c.current : 0xAA, current);
    std::uint8_t reference = 0xAA;
    EXPECT_EQ(c.reference >= 0, device->getMaxTemperature(reference));
    EXPECT_EQ(c.reference >= 0 ? c.reference : 0xAA, reference);

    for (const ModelCommand& command : model->commands()) {
        const std::uint8_t page = command.cdb[2] & 0x3F;
        if (page == 0x0D) {
            EXPECT_EQ(16u, command.dataLen);
        } else if (page == 0x2F) {
            EXPECT_EQ(12u, command.dataLen);
        }
        // Pages not on the list are not asked for.
        if (page != 0x00) {
            EXPECT_NE(c.listed.end(), std::find(c.listed.begin(), c.listed.end(), page)) << int(page);
        }
    }
    // The list is read once for both.
    std::size_t lists = 0;
    for (const ModelCommand& command : model->commands())
        lists += command.cdb[2] == 0x40;
    EXPECT_EQ(2u, lists);  // its length, then the list
}

INSTANTIATE_TEST_SUITE_P(Logs, TemperatureTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(temperatureCases())), ParamNamer());

// --- isATADevice --------------------------------------------------------------------

// IDENTIFY data whose word 0 is `word0`, stored little-endian.
Bytes identify(std::uint16_t word0) {
    Bytes data(512, 0x5A);
    data[0] = static_cast<std::uint8_t>(word0);
    data[1] = static_cast<std::uint8_t>(word0 >> 8);
    return data;
}

struct AtaCase {
    const char* name;
    std::uint8_t type;
    bool signature;
    std::vector<ModelAnswer> probe;  // answers to ATA PASS-THROUGH
    std::uint8_t command;            // ATA command sent; 0: none
    bool ata;
    const wchar_t* message;  // on the device channel; null: none
    int level;
};

std::ostream& operator<<(std::ostream& out, const AtaCase& c) {
    return out << c.name;
}

ModelAnswer identifyAnswer(std::uint16_t word0, const Bytes& sense = Bytes()) {
    ModelAnswer a = ModelAnswer::good(kAtaPassThrough, identify(word0));
    a.sense = sense;
    return a;
}

std::vector<AtaCase> ataCases() {
    const wchar_t* const k571 = L"571 Device is not MMC, RBC, or SBC and does not have the 'ATA     ' signature.";
    const wchar_t* const k543 = L"543 The device appears to be ATAPI.";
    const wchar_t* const k547 =
        L"547 This device claims to be ATAPI but has conflicting information about its peripheral device type.  It "
        L"also has a broken SCSI/ATA Translation (SAT)";
    const ModelAnswer refused = ModelAnswer::checkCondition(kAtaPassThrough, fixedSense(0x05, 0x20, 0x00));
    // ATA return descriptor: status GOOD, but sense information came back.
    const Bytes returned = descriptorSense(0x00, 0x00, 0x1D, 8);
    return {
        {"SequentialWithSignature", 0x01, true, {}, 0, true, nullptr, 0},
        {"SequentialWithoutSignature", 0x01, false, {}, 0, false, k571, 3},
        {"DiskIdentifies", 0x00, false, {identifyAnswer(0x0040)}, 0xEC, true, nullptr, 0},
        {"SimplifiedDiskIdentifies", 0x0E, false, {identifyAnswer(0x0040)}, 0xEC, true, nullptr, 0},
        {"DiskWithSenseInformation", 0x00, true, {identifyAnswer(0x0040, returned)}, 0xEC, false, nullptr, 0},
        {"DiskNotAta", 0x00, false, {identifyAnswer(0x8000)}, 0xEC, false, nullptr, 0},
        {"DiskNotAtaWithSignature", 0x00, true, {identifyAnswer(0x8000)}, 0xEC, true, nullptr, 0},
        {"DiskCompactFlash", 0x00, false, {identifyAnswer(0x848A)}, 0xEC, false, nullptr, 0},
        {"DiskProbeRefused", 0x00, true, {refused}, 0xEC, true, nullptr, 0},
        {"DiskProbeShort", 0x00, false, {ModelAnswer::good(kAtaPassThrough, Bytes(100, 0))}, 0xEC, false, nullptr, 0},
        {"CdAtapi", 0x05, false, {identifyAnswer(0x8580)}, 0xA1, true, k543, 3},
        {"CdAtapiWithSenseInformation", 0x05, true, {identifyAnswer(0x8580, returned)}, 0xA1, false, k543, 3},
        {"ChangerAtapi", 0x08, false, {identifyAnswer(0x8880)}, 0xA1, true, k543, 3},
        {"CdTypeMismatch", 0x05, false, {identifyAnswer(0x8180)}, 0xA1, false, k547, 4},
        {"CdNotAtapi", 0x05, true, {identifyAnswer(0x0040)}, 0xA1, true, nullptr, 0},
        {"CdCompactFlash", 0x05, false, {identifyAnswer(0x848A)}, 0xA1, false, nullptr, 0},
    };
}

class AtaTest : public SpcRoadTest<std::tuple<Road, AtaCase>> {};

TEST_P(AtaTest, ProbeAndSignatureDecide) {
    const AtaCase& c = std::get<1>(GetParam());
    Bytes inquiry = standardData(31);
    inquiry[0] = c.type;
    if (c.signature)
        std::memcpy(inquiry.data() + 8, "ATA     ", 8);
    model->on(ModelAnswer::good(kStandardInquiry, inquiry));
    for (const ModelAnswer& row : c.probe)
        model->on(row);

    EXPECT_EQ(c.ata, device->isATADevice());
    EXPECT_TRUE(onlySpcMessage(c.message, c.level));

    std::vector<ModelCommand> probes;
    for (const ModelCommand& command : model->commands())
        if (command.cdb[0] == 0x85)
            probes.push_back(command);
    if (c.command == 0) {
        EXPECT_TRUE(probes.empty());
        return;
    }
    ASSERT_EQ(1u, probes.size());
    EXPECT_EQ((Bytes{0x85, 0x08, 0x0E, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, c.command, 0}), probes[0].cdb);
    EXPECT_EQ(DXFER_FROM_DEVICE, probes[0].direction);
    EXPECT_EQ(512u, probes[0].dataLen);
    EXPECT_EQ(road->recordedTimeout(15000), probes[0].timeout);
}

INSTANTIATE_TEST_SUITE_P(Devices, AtaTest, ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(ataCases())),
                         ParamNamer());

TEST_P(SelfTestTest, AtaDetectionUsesTheCachedInquiryData) {
    Bytes inquiry = standardData(31);
    std::memcpy(inquiry.data() + 8, "ATA     ", 8);
    inquiry[0] = 0x01;
    model->on(ModelAnswer::good(kStandardInquiry, inquiry));
    EXPECT_TRUE(device->isATADevice());
    const std::size_t first = model->commands().size();
    EXPECT_TRUE(device->isATADevice());
    EXPECT_EQ(first, model->commands().size());

    std::unique_ptr<SpcDeviceProbe> fresh = road->make<SpcDeviceProbe>();
    model->clearAnswers();
    model->on(ModelAnswer::checkCondition(kStandardInquiry, fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(fresh->isATADevice());
}

INSTANTIATE_TEST_SUITE_P(Roads, SelfTestTest, SPC_BOTH_ROADS, ParamNamer());

}  // namespace
