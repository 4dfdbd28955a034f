#include "qln/Log.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace qln {

namespace {

class DebugOutputSink : public LogSink {
public:
    void write(const String& channel, int level, const String& text) override {
        std::wstring line = channel.native();
        line += L" [";
        line += static_cast<wchar_t>(L'0' + (level >= 0 && level <= 9 ? level : 0));
        line += L"] ";
        line += text.native();
        line += L"\n";
        OutputDebugStringW(line.c_str());
    }
};

struct LogState {
    std::mutex lock;
    std::map<std::wstring, Logger*> loggers;
    std::atomic<int> priority{LOG_WARN};
    std::atomic<LogSink*> sink{nullptr};
    DebugOutputSink defaultSink;
};

LogState& state() {
    static LogState* s = new LogState;  // lives until the process ends
    return *s;
}

template <class T>
String decimal(T value) {
    return String(std::to_wstring(value).c_str());
}

}  // namespace

LogSink::~LogSink() {}

LoggerStream& LoggerStream::operator+(const char* text) {
    text_ += String(text);
    return *this;
}
LoggerStream& LoggerStream::operator+(const Char16* text) {
    text_ += String(text);
    return *this;
}
LoggerStream& LoggerStream::operator+(const String& text) {
    text_ += text;
    return *this;
}
LoggerStream& LoggerStream::operator+(char c) {
    text_ += static_cast<Char16>(static_cast<unsigned char>(c));
    return *this;
}
LoggerStream& LoggerStream::operator+(int value) {
    text_ += decimal(value);
    return *this;
}
LoggerStream& LoggerStream::operator+(unsigned int value) {
    text_ += decimal(value);
    return *this;
}
LoggerStream& LoggerStream::operator+(long value) {
    text_ += decimal(value);
    return *this;
}
LoggerStream& LoggerStream::operator+(unsigned long value) {
    text_ += decimal(value);
    return *this;
}
LoggerStream& LoggerStream::operator+(long long value) {
    text_ += decimal(value);
    return *this;
}
LoggerStream& LoggerStream::operator+(unsigned long long value) {
    text_ += decimal(value);
    return *this;
}

int Logger::resolvePriority() const {
    LogState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    int resolved = 0;
    std::wstring name = name_.native();
    for (;;) {
        std::size_t dot = name.rfind(L'.');
        if (dot == std::wstring::npos)
            break;
        name.resize(dot);
        auto it = s.loggers.find(name);
        if (it != s.loggers.end() && it->second->priority_ > resolved)
            resolved = it->second->priority_;
    }
    return resolved;
}

bool Logger::log(int level, const LoggerStream& message) { return log(level, message.getText()); }

bool Logger::log(int level, const String& text) {
    LogState& s = state();
    LogSink* sink = s.sink.load();
    if (sink == nullptr)
        sink = &s.defaultSink;
    sink->write(name_, level, text);
    return true;
}

int LogFactory::getPriority() { return state().priority.load(); }

void LogFactory::setPriority(int priority) { state().priority.store(priority); }

Logger* LogFactory::createLogger(const char* channel) { return createLogger(String(channel)); }

Logger* LogFactory::createLogger(const String& channel) {
    LogState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    Logger*& slot = s.loggers[channel.native()];
    if (slot == nullptr)
        slot = new Logger(channel);
    return slot;
}

LogSink* LogFactory::setSink(LogSink* sink) { return state().sink.exchange(sink); }

void LogFactory::resetPriorities(int globalPriority) {
    LogState& s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        for (auto& entry : s.loggers)
            entry.second->priority_ = 0;
    }
    s.priority.store(globalPriority);
}

TraceLogger::TraceLogger(Logger* logger, const char* operation, const char* path, int line)
    : logger_(logger), operation_(operation ? operation : "") {
    if (logger_ != nullptr) {
        LoggerStream text;
        text + "Enter " + operation_ + " (" + (path ? path : "") + ":" + line + ")";
        logger_->log(LOG_TRACE, text);
    }
}

TraceLogger::~TraceLogger() {
    if (logger_ != nullptr) {
        LoggerStream text;
        text + "Leave " + operation_;
        logger_->log(LOG_TRACE, text);
    }
}

}  // namespace qln
