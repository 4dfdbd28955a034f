// The logging facility: channels with their own priorities, a global priority
// and a pluggable sink.
//
// A message of level L is built only when all three gates admit it:
// LogFactory::getPriority() <= L, the channel logger's own getPriority() <= L
// and its resolvePriority() <= L. resolvePriority() is the highest priority
// set on any parent channel of the dotted name ("libDravik" for
// "libDravik.ScsiDevice"), 0 when none is set; a priority of 0 means unset.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

// Text of one message, assembled piece by piece.
class AMBREL_API LoggerStream {
public:
    LoggerStream() {}
    LoggerStream& operator+(const char* text);
    LoggerStream& operator+(const Char16* text);
    LoggerStream& operator+(const String& text);
    LoggerStream& operator+(char c);
    LoggerStream& operator+(int value);
    LoggerStream& operator+(unsigned int value);
    LoggerStream& operator+(long value);
    LoggerStream& operator+(unsigned long value);
    LoggerStream& operator+(long long value);
    LoggerStream& operator+(unsigned long long value);
    template <class T>
    LoggerStream& operator<<(const T& value) { return *this + value; }
    const String& getText() const { return text_; }

private:
    String text_;
};

// Receives every message that a logger writes.
class AMBREL_API LogSink {
public:
    virtual ~LogSink();
    virtual void write(const String& channel, int level, const String& text) = 0;
};

class AMBREL_API Logger {
public:
    const String& getName() const { return name_; }
    int getPriority() const { return priority_; }
    void setPriority(int priority) { priority_ = priority; }
    int resolvePriority() const;
    // Writes the message to the installed sink. True when a sink took it.
    bool log(int level, const LoggerStream& message);
    bool log(int level, const String& text);

private:
    friend class LogFactory;
    explicit Logger(const String& name) : name_(name), priority_(0) {}
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    String name_;
    int priority_;
};

class AMBREL_API LogFactory {
public:
    // The global priority; LOG_WARN unless set otherwise.
    static int getPriority();
    static void setPriority(int priority);
    // The logger of a channel, made on first request; loggers live until the
    // process ends and are never freed by their users.
    static Logger* createLogger(const char* channel);
    static Logger* createLogger(const String& channel);
    // Installs a sink; null restores the default sink (OutputDebugStringW).
    // Answers the sink installed before.
    static LogSink* setSink(LogSink* sink);
    // Forgets every channel priority (loggers stay valid) and sets the global one.
    static void resetPriorities(int globalPriority);
};

// The channel logger for `level`, made on first use through `cache`, or null
// when one of the three gates refuses the level.
inline Logger* admittingLogger(Logger*& cache, const char* channel, int level) {
    if (LogFactory::getPriority() > level)
        return nullptr;
    if (cache == nullptr)
        cache = LogFactory::createLogger(channel);
    if (cache->getPriority() > level || cache->resolvePriority() > level)
        return nullptr;
    return cache;
}

// Traces entry (on construction) and exit (on destruction) of an operation at
// level 1 on the given logger; a null logger traces nothing.
class AMBREL_API TraceLogger {
public:
    TraceLogger(Logger* logger, const char* operation, const char* path, int line);
    ~TraceLogger();

private:
    TraceLogger(const TraceLogger&) = delete;
    TraceLogger& operator=(const TraceLogger&) = delete;
    Logger* logger_;
    const char* operation_;
};

}  // namespace qln

// Logs `pieces` (joined with LoggerStream::operator+) at `level` on `channel`
// when the gates admit it; nothing of the message is evaluated otherwise.
// `cache` is the caller's static Logger* for the channel.
#define QLN_LOG(cache, channel, level, pieces)                                      \
    do {                                                                            \
        if (::qln::Logger* qlnLogger_ = ::qln::admittingLogger(cache, channel, level)) { \
            ::qln::LoggerStream qlnStream_;                                         \
            qlnStream_ + pieces;                                                    \
            qlnLogger_->log(level, qlnStream_);                                     \
        }                                                                           \
    } while (0)
