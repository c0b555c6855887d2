#include "camera/NqStreamCore.h"

void NqStreamCore::wakeAll()
{
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        ++wakeSequence;
    }
    wake.notify_all();
}

NqStreamCore::Counters NqStreamCore::readCounters() const
{
    Counters counters;
    if (!stream)
        return counters;
    guint64 completed = 0, failures = 0, underruns = 0;
    arv_stream_get_statistics(stream, &completed, &failures, &underruns);
    counters.failures = failures;
    counters.bytes = arv_stream_get_info_uint64_by_name(stream, "n_transferred_bytes");
    return counters;
}

void NqStreamCore::requeueCompleted()
{
    if (!stream)
        return;
    while (ArvBuffer* buffer = arv_stream_try_pop_buffer(stream))
        arv_stream_push_buffer(stream, buffer);
    losses.forgetPosition(); // the frames dropped here were received, not lost
}

void NqStreamCore::recordFailure(uint32_t code, const std::string& text)
{
    lastErrorCode = code;
    lastErrorText = text;
}
