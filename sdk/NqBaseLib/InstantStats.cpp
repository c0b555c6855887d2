#include "NqBaseLib/InstantStats.h"

namespace NqBaseLib {

constexpr uint64_t InstantStats::WindowUs;

void InstantStats::Report(uint64_t tickUs, uint64_t bytes)
{
    if (!m_started) {
        // The first report only opens the window: its bytes left before it began.
        m_started = true;
        m_windowStartUs = tickUs;
        return;
    }
    m_windowBytes += bytes;
    ++m_windowReports;
    const uint64_t elapsed = tickUs > m_windowStartUs ? tickUs - m_windowStartUs : 0;
    if (elapsed < WindowUs)
        return;
    m_throughput = float(double(m_windowBytes) * 8e6 / double(elapsed));
    m_rate = float(double(m_windowReports) * 1e6 / double(elapsed));
    m_windowStartUs = tickUs;
    m_windowBytes = 0;
    m_windowReports = 0;
}

void InstantStats::Reset()
{
    *this = InstantStats();
}

} // namespace NqBaseLib
