// A log sink that records every message (channel, level, text) while it is
// installed. It sets the global priority for its lifetime and restores the
// previous sink and priorities afterwards.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qln/Log.h"

namespace qln {
namespace test {

struct LogEntry {
    std::wstring channel;
    int level;
    std::wstring text;
};

class LogCapture : public LogSink {
public:
    explicit LogCapture(int globalPriority = LOG_TRACE);
    ~LogCapture() override;

    void write(const String& channel, int level, const String& text) override;

    const std::vector<LogEntry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }
    // Entries whose text starts with `prefix` (on `channel` when given).
    std::vector<LogEntry> withPrefix(const std::wstring& prefix, const wchar_t* channel = nullptr) const;
    bool contains(const std::wstring& text) const;
    // Every entry, one per line: "channel|level|text". For failure messages.
    std::string dump() const;

private:
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    LogSink* previous_;
    int previousPriority_;
    std::vector<LogEntry> entries_;
};

// Fixture with a capture installed for each test.
class LogCaptureTest : public ::testing::Test {
protected:
    LogCapture log;
};

}  // namespace test
}  // namespace qln
