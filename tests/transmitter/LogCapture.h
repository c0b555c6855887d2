#pragma once

#include "NzUtilsLib/Logger.h"

#include <mutex>
#include <string>
#include <vector>

// Collects the library's log lines (every level) for the scope.
class LogCapture : public NzUtilsLib::LogSink
{
public:
    struct Line
    {
        uint32_t level;
        std::string function;
        std::string message;
    };

    LogCapture() : m_threshold(NzUtilsLib::Logger::GetThreshold())
    {
        NzUtilsLib::Logger::SetThreshold(0);
        NzUtilsLib::Logger::SetSink(this);
    }
    ~LogCapture() override
    {
        NzUtilsLib::Logger::SetSink(nullptr);
        NzUtilsLib::Logger::SetThreshold(m_threshold);
    }

    void Write(const std::string&, uint32_t level, const char*, int, const char* function,
               const std::string& message) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back({level, function, message});
    }
    std::vector<Line> Lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    uint32_t m_threshold;
    std::mutex m_mutex;
    std::vector<Line> m_lines;
};
