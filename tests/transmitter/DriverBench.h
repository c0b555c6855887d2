#pragma once

// What the tests of the filter-driver sender share: addresses from text and
// a sender opened on the in-process test device.
#include "GSVPSenderStratolinePro.h"
#include "ResultCodes.h"
#include "TestFilterDriver.h"
#include "base/NqBuffer.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

inline KyNetworkLib::IpAddress Ip(const char* text)
{
    KyNetworkLib::IpAddress address;
    address.Set(text);
    return address;
}

inline KyNetworkLib::EthernetAddress Mac(const char* text)
{
    KyNetworkLib::EthernetAddress mac;
    mac.Set(text);
    return mac;
}

// A sender on the test device, as the transmitter would open it for 127.0.0.1.
struct Bench
{
    explicit Bench(TestFilterDriver::Mode mode = TestFilterDriver::Mode::Hold)
        : device(std::make_shared<TestFilterDriver>(mode)), registration(device),
          sender(Mac("02:11:22:33:44:55"), Ip("127.0.0.1"))
    {
        for (NqBuffer& buffer : buffers)
            buffer.Alloc(1000);
    }
    NzUtilsLib::Result Open(uint32_t capability = 8, const char* destination = "127.0.0.1", bool headerFlag = false)
    {
        const KyNetworkLib::IpAddress to = Ip(destination);
        const KyNetworkLib::IpAddress from = Ip("127.0.0.1");
        return sender.Open(&to, 5000, &from, 0, false, headerFlag, capability, 64, false);
    }
    // Queues buffers[0] .. buffers[count - 1]: true when the sender took each.
    bool QueueFirst(int count)
    {
        for (int i = 0; i < count; ++i)
            if (sender.QueueBuffer(buffers[i].GetInternal()).GetCode() != NqTransmitterRawLib::Code::Accepted)
                return false;
        return true;
    }

    // The sender goes first: its Close completes the buffers still queued.
    std::shared_ptr<TestFilterDriver> device;
    ScopedDevice registration;
    NqBuffer buffers[8];
    NqTransmitterRawLib::GSVPSenderStratolinePro sender;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    return std::vector<uint8_t>(values.begin(), values.end());
}

inline void Put(std::vector<uint8_t>& block, size_t offset, const std::vector<uint8_t>& bytes)
{
    std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
}
