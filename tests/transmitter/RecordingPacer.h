#pragma once

#include "KyTransportLayerLib/Pacer.h"

#include <cstdint>
#include <mutex>
#include <vector>

// Stands between an engine and the pacer: records every reservation (the
// record's payload bytes and the rate asked for) and schedules it in
// simulated time, as if the engine woke exactly at each deadline. The engine
// is told to go on at once, so the rate it keeps shows in the simulated
// schedule on any machine, however slow or loaded.
class RecordingPacer : public KyTransportLayerLib::Pacer
{
public:
    struct Reservation
    {
        uint64_t payloadBytes = 0;
        uint64_t bitsPerSecond = 0;
        // When the record may leave, in simulated time since the first one.
        Clock::duration at{};
    };

    Clock::time_point Reserve(uint64_t payloadBytes, uint64_t bitsPerSecond, Clock::time_point now) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_simulatedNow = Pacer::Reserve(payloadBytes, bitsPerSecond, m_simulatedNow);
        m_reservations.push_back({payloadBytes, bitsPerSecond, m_simulatedNow - Clock::time_point()});
        return now;
    }

    std::vector<Reservation> Reservations()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reservations;
    }

private:
    std::mutex m_mutex;
    Clock::time_point m_simulatedNow{};
    std::vector<Reservation> m_reservations;
};
