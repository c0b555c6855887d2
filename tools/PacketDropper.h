#pragma once

#include <cstdint>

// Decides, packet by packet, which stream packets the simulated camera leaves
// out: a fixed fraction, chosen by a seeded generator (xorshift32) so a run
// with the same seed drops the same packets.
class PacketDropper
{
public:
    PacketDropper(double fraction, uint32_t seed);

    bool dropNext();
    double fraction() const { return m_fraction; }

private:
    double m_fraction;
    uint32_t m_state;
};
