#pragma once

#include <cstdint>
#include <vector>

namespace KyTransportLayerLib {

// First-in first-out queue of slot indexes with a fixed capacity, allocated
// once by Reset; no allocation while in use. Not locked: its owner is.
class IndexRing
{
public:
    void Reset(uint32_t capacity)
    {
        m_items.assign(capacity, 0);
        m_head = m_size = 0;
    }
    void Clear() { m_head = m_size = 0; }
    bool IsEmpty() const { return m_size == 0; }
    bool IsFull() const { return m_size == m_items.size(); }
    uint32_t GetSize() const { return m_size; }
    // Refused (false) when full.
    bool Push(uint32_t index)
    {
        if (IsFull())
            return false;
        m_items[(m_head + m_size) % m_items.size()] = index;
        ++m_size;
        return true;
    }
    // The oldest index; the ring must not be empty.
    uint32_t Pop()
    {
        const uint32_t index = m_items[m_head];
        m_head = (m_head + 1) % uint32_t(m_items.size());
        --m_size;
        return index;
    }

private:
    std::vector<uint32_t> m_items;
    uint32_t m_head = 0;
    uint32_t m_size = 0;
};

} // namespace KyTransportLayerLib
