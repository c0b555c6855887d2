#pragma once

#include "base/NqBuffer.h"

#include <cstdint>
#include <memory>

class NqStream;

// Buffers of a stream: Start queues them to the stream, RetrieveNextBuffer
// hands out the next completed one. A retrieved buffer stays valid, and is not
// refilled, until it is released. Reset, SetBufferSize and AbortRetrieve may be
// called while another thread waits in RetrieveNextBuffer.
class NqPipeline
{
public:
    explicit NqPipeline(NqStream* stream);
    ~NqPipeline();
    NqPipeline(const NqPipeline&) = delete;
    NqPipeline& operator=(const NqPipeline&) = delete;

    NqResult SetBufferCount(uint32_t count);
    uint32_t GetBufferCount() const;
    NqResult SetBufferSize(uint32_t size);
    uint32_t GetBufferSize() const;

    NqResult Start();
    NqResult Stop();
    bool IsStarted() const;
    // Drops every completed buffer not yet retrieved and queues it again.
    NqResult Reset();

    // Waits up to `timeoutMs` for the next buffer. OK with the buffer: the
    // buffer's own result (OK, or MISSING_PACKETS...) goes to
    // *operationResult. TIMEOUT, ABORTED, NOT_CONNECTED otherwise.
    NqResult RetrieveNextBuffer(NqBuffer** buffer, uint32_t timeoutMs,
                                NqResult* operationResult = nullptr);
    NqResult ReleaseBuffer(NqBuffer* buffer);
    // Makes a waiting (or the next) RetrieveNextBuffer return ABORTED at once.
    void AbortRetrieve();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
