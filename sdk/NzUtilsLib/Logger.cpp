#include "NzUtilsLib/Logger.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace NzUtilsLib {

namespace {

uint32_t InitialThreshold()
{
    const char* text = std::getenv("KY_LOG_LEVEL");
    if (!text || !*text)
        return Logger::Warning;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return *end ? Logger::Warning : uint32_t(value);
}

std::atomic<uint32_t> g_threshold{InitialThreshold()};
std::mutex g_sinkMutex;
LogSink* g_sink = nullptr;

std::string Format(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(size_t(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(size_t(length));
    return text;
}

} // namespace

Logger::Logger(const std::string& channel, uint32_t) : m_channel(channel) {}

bool Logger::IsPriorityEnabled(uint32_t level) const
{
    return level >= g_threshold.load(std::memory_order_relaxed);
}

void Logger::Log(uint32_t level, const char* file, int line, const char* function, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const std::string message = Format(format, args);
    va_end(args);
    Write(level, file, line, function, message);
}

Result Logger::LogResult(uint32_t code, const char* file, int line, const char* function, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const std::string message = Format(format, args);
    va_end(args);
    if (IsPriorityEnabled(Warning))
        Write(Warning, file, line, function, message);
    return Result(code, message);
}

void Logger::Write(uint32_t level, const char* file, int line, const char* function, const std::string& message) const
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_sink) {
        g_sink->Write(m_channel, level, file, line, function, message);
        return;
    }
    std::fprintf(stderr, "[%s] %s %s:%d %s: %s\n", m_channel.c_str(), level >= Warning ? "W" : "I", file, line,
                 function, message.c_str());
}

void Logger::SetSink(LogSink* sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    g_sink = sink;
}

void Logger::SetThreshold(uint32_t level)
{
    g_threshold.store(level);
}

uint32_t Logger::GetThreshold()
{
    return g_threshold.load();
}

std::string Logger::QualifiedName(const char* prettyFunction)
{
    std::string name(prettyFunction);
    const size_t open = name.find('(');
    if (open != std::string::npos)
        name.erase(open);
    const size_t space = name.rfind(' ');
    if (space != std::string::npos)
        name.erase(0, space + 1);
    while (!name.empty() && (name[0] == '*' || name[0] == '&'))
        name.erase(0, 1);
    return name;
}

} // namespace NzUtilsLib
