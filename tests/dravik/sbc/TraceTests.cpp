// The entry and exit trace of sanitize and the defect-data reads, the command
// block dump of the defect-data reads, and the log gates that turn them off.
#include <functional>
#include <ostream>

#include "SbcTest.h"

using namespace scsi;
using namespace scsi::test;

namespace {

const std::wstring kTracePath = L"projects\\modules\\src\\multi\\common\\libDravik\\libDravik\\ScsiSBCDevice";

typedef std::function<bool(ScsiSBCDevice&, std::uint8_t*)> Call;

struct TraceCase {
    const char* name;
    Call call;
    const wchar_t* operation;
    const wchar_t* line;
    std::wstring dump;  // the level-1 block dump; empty when none
};

std::ostream& operator<<(std::ostream& out, const TraceCase& c) {
    return out << c.name;
}

std::vector<TraceCase> traceCases() {
    return {
        {"Sanitize",
         [](ScsiSBCDevice& d, std::uint8_t*) { return d.sanitize(SBC_SANITIZE_BLOCK_ERASE, nullptr, 0, false, false); },
         L"ScsiSBCDevice::sanitize", L"245", L""},
        {"SanitizeRefused",
         [](ScsiSBCDevice& d, std::uint8_t*) { return !d.sanitize(SBC_SANITIZE_OVERWRITE, nullptr, 1, false, false); },
         L"ScsiSBCDevice::sanitize", L"245", L""},
        {"ReadDefectData10",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData10(b, 0x1234, true, true, 5); },
         L"ScsiSBCDevice::readDefectData10", L"288",
         L"299 Sending CDB:0000: 37 00 1D 00 00 00 00 12 34 00                    |7.......4.|"},
        {"ReadDefectData12",
         [](ScsiSBCDevice& d, std::uint8_t* b) { return d.readDefectData12(b, 0x00012345, false, true, 4, 8); },
         L"ScsiSBCDevice::readDefectData12", L"305",
         L"316 Sending CDB:0000: B7 0C 00 00 00 08 00 01 23 45 00 00              |........#E..|"},
    };
}

class TraceTest : public SbcRoadTest<std::tuple<Road, TraceCase>> {};

TEST_P(TraceTest, TracesEntryDumpAndExit) {
    const TraceCase& c = std::get<1>(GetParam());
    ModelAnswer any = ModelAnswer::good({}, Bytes(0x12345, 0));
    model->on(any);
    std::vector<std::uint8_t> buffer(0x12345);

    EXPECT_TRUE(c.call(*device, buffer.data()));
    const std::vector<qln::test::LogEntry> entries = sbcEntries();
    ASSERT_EQ(c.dump.empty() ? 2u : 3u, entries.size()) << log.dump();
    for (const qln::test::LogEntry& e : entries)
        EXPECT_EQ(qln::LOG_TRACE, e.level);
    const std::wstring& enter = entries.front().text;
    EXPECT_EQ(0u, enter.find(L"Enter ")) << log.dump();
    EXPECT_NE(std::wstring::npos, enter.find(c.operation));
    EXPECT_NE(std::wstring::npos, enter.find(kTracePath + L":" + c.line));
    if (!c.dump.empty()) {
        EXPECT_EQ(c.dump, entries[1].text);
    }
    EXPECT_EQ(std::wstring(L"Leave ") + c.operation, entries.back().text);
}

INSTANTIATE_TEST_SUITE_P(Block, TraceTest, ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(traceCases())),
                         ParamNamer());

// --- the gates ------------------------------------------------------------------

struct GateCase {
    const char* name;
    int global;   // LogFactory priority
    int channel;  // "libDravik.ScsiSBCDevice"; 0 unset
    int parent;   // "libDravik"; 0 unset
    bool trace;
    bool dump;
};

std::ostream& operator<<(std::ostream& out, const GateCase& c) {
    return out << c.name;
}

std::vector<GateCase> gateCases() {
    return {
        {"AllOpen", qln::LOG_TRACE, 0, 0, true, true},
        {"ChannelAtTrace", qln::LOG_TRACE, qln::LOG_TRACE, 0, true, true},
        {"GlobalAboveTrace", qln::LOG_TRACE + 1, 0, 0, false, false},
        {"ChannelAboveTrace", qln::LOG_TRACE, qln::LOG_TRACE + 1, 0, false, false},
        // The trace asks the channel's own level alone; the dump asks its parents too.
        {"ParentAboveTrace", qln::LOG_TRACE, 0, qln::LOG_TRACE + 1, true, false},
    };
}

class GateTest : public SbcRoadTest<std::tuple<Road, GateCase>> {};

TEST_P(GateTest, TraceAndDumpFollowTheirGates) {
    const GateCase& c = std::get<1>(GetParam());
    qln::LogFactory::setPriority(c.global);
    qln::LogFactory::createLogger("libDravik.ScsiSBCDevice")->setPriority(c.channel);
    qln::LogFactory::createLogger("libDravik")->setPriority(c.parent);
    model->on(ModelAnswer::good({0x37}, Bytes(8, 0)));
    std::uint8_t buffer[8];

    EXPECT_TRUE(device->readDefectData10(buffer, sizeof(buffer), false, false, 0));
    const std::vector<qln::test::LogEntry> entries = sbcEntries();
    std::size_t traces = 0, dumps = 0;
    for (const qln::test::LogEntry& e : entries) {
        if (e.text.find(L"ScsiSBCDevice::readDefectData10") != std::wstring::npos)
            ++traces;
        else if (e.text.find(L"299 Sending CDB:") == 0)
            ++dumps;
    }
    EXPECT_EQ(c.trace ? 2u : 0u, traces) << log.dump();
    EXPECT_EQ(c.dump ? 1u : 0u, dumps) << log.dump();
    EXPECT_EQ(traces + dumps, entries.size()) << log.dump();
}

INSTANTIATE_TEST_SUITE_P(Block, GateTest, ::testing::Combine(SBC_BOTH_ROADS, ::testing::ValuesIn(gateCases())),
                         ParamNamer());

}  // namespace
