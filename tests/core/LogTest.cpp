#include <gtest/gtest.h>

#include "LogCapture.h"
#include "qln/Exception.h"
#include "qln/Log.h"

using qln::LogFactory;
using qln::String;
using qln::test::LogCaptureTest;

namespace {

int g_formatted = 0;

String expensiveText() {
    ++g_formatted;
    return String(L"expensive");
}

struct Gate {
    int global;
    int own;
    int parent;
    int level;
    bool admitted;
};

class LogGate : public LogCaptureTest, public ::testing::WithParamInterface<Gate> {};

// Each of the three priorities blocks a message alone; a blocked message is
// never formatted.
TEST_P(LogGate, AllThreePrioritiesMustAdmitTheLevel) {
    const Gate& g = GetParam();
    LogFactory::setPriority(g.global);
    LogFactory::createLogger("test.gate")->setPriority(g.parent);
    qln::Logger* channel = LogFactory::createLogger("test.gate.channel");
    channel->setPriority(g.own);

    static qln::Logger* s_logger = nullptr;
    g_formatted = 0;
    QLN_LOG(s_logger, "test.gate.channel", g.level, "17 " + expensiveText() + " " + 5u);

    EXPECT_EQ(g_formatted, g.admitted ? 1 : 0);
    if (g.admitted) {
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_EQ(log.entries()[0].channel, L"test.gate.channel");
        EXPECT_EQ(log.entries()[0].level, g.level);
        EXPECT_EQ(log.entries()[0].text, L"17 expensive 5");
    } else {
        EXPECT_TRUE(log.entries().empty()) << log.dump();
    }
    EXPECT_EQ(s_logger, channel);
}

INSTANTIATE_TEST_SUITE_P(Priorities, LogGate,
                         ::testing::Values(Gate{1, 0, 0, 1, true},    // all open
                                           Gate{3, 3, 3, 3, true},    // equal to the level
                                           Gate{4, 0, 0, 3, false},   // global alone
                                           Gate{1, 4, 0, 3, false},   // channel alone
                                           Gate{1, 0, 4, 3, false},   // parent channel alone
                                           Gate{2, 2, 2, 4, true},
                                           Gate{2, 2, 2, 1, false}));

TEST_F(LogCaptureTest, ResolvePriorityIsTheHighestOfTheParents) {
    qln::Logger* leaf = LogFactory::createLogger("test.resolve.a.b");
    EXPECT_EQ(leaf->resolvePriority(), 0);
    LogFactory::createLogger("test.resolve")->setPriority(2);
    LogFactory::createLogger("test.resolve.a")->setPriority(3);
    leaf->setPriority(1);
    EXPECT_EQ(leaf->resolvePriority(), 3);
    EXPECT_EQ(LogFactory::createLogger(String(L"test.resolve.a.b")), leaf);
}

TEST_F(LogCaptureTest, TraceLoggerWritesEntryAndExit) {
    {
        qln::TraceLogger trace(LogFactory::createLogger("test.trace"), "Device::op",
                               "projects\\x\\Device", 245);
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_EQ(log.entries()[0].level, 1);
        EXPECT_NE(log.entries()[0].text.find(L"Device::op"), std::wstring::npos);
        EXPECT_NE(log.entries()[0].text.find(L"projects\\x\\Device:245"), std::wstring::npos);
    }
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_NE(log.entries()[1].text.find(L"Device::op"), std::wstring::npos);
    { qln::TraceLogger none(nullptr, "quiet", "p", 1); }
    EXPECT_EQ(log.entries().size(), 2u);
}

TEST_F(LogCaptureTest, StreamJoinsTextsAndNumbers) {
    qln::LoggerStream s;
    s + "232 " + String(L"x") + L"y" + 7 + " " + 4294967295u + " " + -2L + " " + 18446744073709551615ull;
    s << " " << 3u;
    EXPECT_EQ(s.getText(), String(L"232 xy7 4294967295 -2 18446744073709551615 3"));
}

TEST_F(LogCaptureTest, RaiseThrowsWithItsCode) {
    try {
        qln::RaiseExceptionImp(7, 0, 0, nullptr);
        FAIL();
    } catch (const qln::Exception& e) {
        EXPECT_EQ(e.getCode(), 7);
        EXPECT_STRNE(e.what(), "");
    }
}

}  // namespace
