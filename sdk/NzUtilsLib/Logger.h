#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <string>

namespace NzUtilsLib {

// Where log lines go; the default writes them to stderr. Tests install their
// own sink to read what was logged.
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void Write(const std::string& channel, uint32_t level, const char* file, int line,
                       const char* function, const std::string& message) = 0;
};

// Logger of one channel. Levels: 20000 information, 40000 warning; a line is
// written when its level is at least the process threshold (40000 unless the
// environment variable KY_LOG_LEVEL says otherwise).
class Logger
{
public:
    enum : uint32_t { Information = 20000, Warning = 40000 };

    Logger(const std::string& channel, uint32_t configuration);

    bool IsPriorityEnabled(uint32_t level) const;
    void Log(uint32_t level, const char* file, int line, const char* function, const char* format, ...) const
        __attribute__((format(printf, 6, 7)));
    // Logs the formatted message as a warning and returns it as the result's description.
    Result LogResult(uint32_t code, const char* file, int line, const char* function, const char* format, ...) const
        __attribute__((format(printf, 6, 7)));

    // Process-wide settings; a null sink restores stderr.
    static void SetSink(LogSink* sink);
    static void SetThreshold(uint32_t level);
    static uint32_t GetThreshold();

    // "Ns::Class::Function" out of a compiler's pretty function signature.
    static std::string QualifiedName(const char* prettyFunction);

private:
    void Write(uint32_t level, const char* file, int line, const char* function, const std::string& message) const;

    std::string m_channel;
};

} // namespace NzUtilsLib

// Guarded logging with the source unit, line and qualified function name.
#define NZ_LOG(logger, level, ...)                                                                   \
    do {                                                                                             \
        if ((logger).IsPriorityEnabled(level))                                                       \
            (logger).Log(level, __FILE__, __LINE__,                                                  \
                         NzUtilsLib::Logger::QualifiedName(__PRETTY_FUNCTION__).c_str(), __VA_ARGS__); \
    } while (0)
#define NZ_LOG_RESULT(logger, code, ...)                                                             \
    (logger).LogResult(code, __FILE__, __LINE__,                                                     \
                       NzUtilsLib::Logger::QualifiedName(__PRETTY_FUNCTION__).c_str(), __VA_ARGS__)
