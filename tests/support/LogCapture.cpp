#include "LogCapture.h"

namespace qln {
namespace test {

LogCapture::LogCapture(int globalPriority)
    : previous_(LogFactory::setSink(this)), previousPriority_(LogFactory::getPriority()) {
    LogFactory::resetPriorities(globalPriority);
}

LogCapture::~LogCapture() {
    LogFactory::setSink(previous_);
    LogFactory::resetPriorities(previousPriority_);
}

void LogCapture::write(const String& channel, int level, const String& text) {
    entries_.push_back(LogEntry{channel.native(), level, text.native()});
}

std::vector<LogEntry> LogCapture::withPrefix(const std::wstring& prefix, const wchar_t* channel) const {
    std::vector<LogEntry> found;
    for (const LogEntry& e : entries_)
        if (e.text.compare(0, prefix.size(), prefix) == 0 && (channel == nullptr || e.channel == channel))
            found.push_back(e);
    return found;
}

bool LogCapture::contains(const std::wstring& text) const {
    for (const LogEntry& e : entries_)
        if (e.text.find(text) != std::wstring::npos)
            return true;
    return false;
}

std::string LogCapture::dump() const {
    std::string out;
    for (const LogEntry& e : entries_) {
        for (wchar_t c : e.channel)
            out.push_back(c < 0x80 ? char(c) : '?');
        out += "|" + std::to_string(e.level) + "|";
        for (wchar_t c : e.text)
            out.push_back(c < 0x80 ? char(c) : '?');
        out += "\n";
    }
    return out;
}

}  // namespace test
}  // namespace qln
