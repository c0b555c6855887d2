#pragma once

// What every benchmark shares: rows of the one table scripts/bench.sh prints,
// figures over repeats, and CPU pinning.
//
// A row goes to standard output as one tab-separated line beginning with
// "ROW": measurement, project figure, anchor figure, ratio, goal. The anchor is
// what the project is measured against, side by side in the same run.

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char* pattern, ...)
{
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

inline void row(const std::string& measurement, const std::string& project, const std::string& anchor,
                const std::string& ratio, const std::string& goal)
{
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\n", measurement.c_str(), project.c_str(), anchor.c_str(), ratio.c_str(),
                goal.c_str());
    std::fflush(stdout);
}

inline std::string ratio(double project, double anchor)
{
    return anchor > 0 ? format("%.2fx", project / anchor) : std::string("-");
}

// Minimum, median and maximum of repeated figures.
struct Spread
{
    double min = 0;
    double median = 0;
    double max = 0;
};

inline Spread spread(std::vector<double> values)
{
    Spread s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    const size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return s;
}

// "median (min-max) unit".
inline std::string spreadText(const Spread& s, const char* unit)
{
    return format("%.0f (%.0f-%.0f) %s", s.median, s.min, s.max, unit);
}

// The CPUs this process may run on.
inline std::vector<int> allowedCpus()
{
    std::vector<int> cpus;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &set))
                cpus.push_back(cpu);
    return cpus;
}

// Pins the calling thread to `cpu`; threads it creates afterwards inherit it.
inline bool pinThisThread(int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
}

// Lets the calling thread run on every allowed CPU again.
inline void unpinThisThread(const std::vector<int>& cpus)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu : cpus)
        CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

} // namespace bench
