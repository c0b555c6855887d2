#include "PacketDropper.h"

PacketDropper::PacketDropper(double fraction, uint32_t seed)
    : m_fraction(fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction))
    , m_state(seed == 0 ? 0x9E3779B9u : seed) // xorshift must not start at 0
{
}

bool PacketDropper::dropNext()
{
    if (m_fraction <= 0.0)
        return false;
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return double(m_state) / 4294967296.0 < m_fraction;
}
