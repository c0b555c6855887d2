#include "camera/NqPipeline.h"
#include "camera/NqBufferResult.h"
#include "camera/NqStreamImpl.h"

#include <algorithm>
#include <vector>

namespace {

enum class SlotState { Idle, Queued, Held };

// One pipeline buffer: the public NqBuffer, and the Aravis buffer over the
// same memory. The pipeline keeps its own reference on the Aravis buffer, so
// the buffer survives the stream dropping its queues (stop, close).
struct Slot
{
    NqBuffer buffer;
    ArvBuffer* arv = nullptr;
    SlotState state = SlotState::Idle;

    ~Slot() { dropArv(); }

    void dropArv()
    {
        if (arv)
            g_object_unref(arv);
        arv = nullptr;
    }

    bool allocate(uint32_t size)
    {
        dropArv();
        if (!buffer.Alloc(size).IsOK())
            return false;
        arv = arv_buffer_new_full(size, buffer.GetDataPointer(), this, nullptr);
        buffer.GetInternal()->SetContext(this);
        return true;
    }

    bool hasSize(uint32_t size) const { return arv && buffer.GetSize() == size; }
};

} // namespace

struct NqPipeline::Impl
{
    std::shared_ptr<NqStreamCore> core;

    mutable std::mutex mutex;
    std::vector<std::unique_ptr<Slot>> slots; // guarded by mutex
    uint32_t requestedCount = 0;               // 0: the stream's queued-buffer maximum
    uint32_t size = 0;                         // 0: the camera's payload size at Start
    bool started = false;
    uint64_t generation = 0;                   // of the stream when started

    bool abortPending = false; // guarded by core->wakeMutex

    // With `mutex` held: still started on the same open stream? When the
    // stream went away, every queued buffer is simply idle again.
    bool live();
    void queue(Slot& slot); // mutex and core->mutex held
    uint32_t payloadSize();
    NqResult fill(Slot& slot, ArvBuffer* arv);
    Slot* find(NqBuffer* buffer) const;
};

bool NqPipeline::Impl::live()
{
    if (!started)
        return false;
    std::lock_guard<std::mutex> lock(core->mutex);
    if (core->stream && core->generation == generation)
        return true;
    started = false;
    for (auto& slot : slots)
        if (slot->state == SlotState::Queued)
            slot->state = SlotState::Idle;
    return false;
}

void NqPipeline::Impl::queue(Slot& slot)
{
    g_object_ref(slot.arv); // the stream's reference
    arv_stream_push_buffer(core->stream, slot.arv);
    slot.state = SlotState::Queued;
}

uint32_t NqPipeline::Impl::payloadSize()
{
    std::shared_ptr<NqDeviceCore> device;
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        device = core->deviceCore;
    }
    if (!device)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(device->mutex);
    if (!device->device)
        return 0;
    const gint64 payload = arv_device_get_integer_feature_value(device->device, "PayloadSize", nullptr);
    return payload > 0 && payload <= gint64(UINT32_MAX) ? uint32_t(payload) : 0;
}

NqResult NqPipeline::Impl::fill(Slot& slot, ArvBuffer* arv)
{
    NqBufferLib::Buffer& internal = *slot.buffer.GetInternal();
    const ArvBufferStatus status = arv_buffer_get_status(arv);
    const ArvBufferPayloadType type = arv_buffer_get_payload_type(arv);
    internal.SetBlockID(arv_buffer_get_frame_id(arv));
    internal.SetTimestamp(arv_buffer_get_timestamp(arv));
    // Aravis gives the image attributes of complete frames only.
    const bool image = status == ARV_BUFFER_STATUS_SUCCESS
                       && (type == ARV_BUFFER_PAYLOAD_TYPE_IMAGE || type == ARV_BUFFER_PAYLOAD_TYPE_EXTENDED_CHUNK_DATA)
                       && arv_buffer_get_n_parts(arv) > 0
                       && arv_buffer_get_part_data_type(arv, 0) == ARV_BUFFER_PART_DATA_TYPE_2D_IMAGE;
    if (image) {
        NqBufferLib::ImageAttributes attributes;
        gint x = 0, y = 0, width = 0, height = 0, paddingX = 0, paddingY = 0;
        arv_buffer_get_image_region(arv, &x, &y, &width, &height);
        arv_buffer_get_image_padding(arv, &paddingX, &paddingY);
        attributes.pixelType = arv_buffer_get_image_pixel_format(arv);
        attributes.width = uint32_t(std::max(width, 0));
        attributes.height = uint32_t(std::max(height, 0));
        attributes.offsetX = uint32_t(std::max(x, 0));
        attributes.offsetY = uint32_t(std::max(y, 0));
        attributes.paddingX = uint16_t(std::clamp(paddingX, 0, 0xFFFF));
        attributes.paddingY = uint16_t(std::clamp(paddingY, 0, 0xFFFF));
        internal.SetImage(attributes);
        size_t received = 0;
        arv_buffer_get_image_data(arv, &received);
        internal.SetPayloadSize(uint32_t(std::min<size_t>(received, internal.GetSize())));
    } else {
        internal.ClearImage();
        internal.SetPayloadSize(0);
    }
    const NqResult result = nqBufferResult(int(status));
    internal.SetOperationResult(result);
    return result;
}

Slot* NqPipeline::Impl::find(NqBuffer* buffer) const
{
    if (!buffer)
        return nullptr;
    auto* slot = static_cast<Slot*>(buffer->GetInternal()->GetContext());
    for (const auto& own : slots)
        if (own.get() == slot && &slot->buffer == buffer)
            return slot;
    return nullptr;
}

NqPipeline::NqPipeline(NqStream* stream) : m_impl(std::make_unique<Impl>())
{
    m_impl->core = stream ? stream->GetImpl()->core : std::make_shared<NqStreamCore>();
}

NqPipeline::~NqPipeline()
{
    Stop();
}

NqResult NqPipeline::SetBufferCount(uint32_t count)
{
    if (count == 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "A pipeline needs at least one buffer");
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (m_impl->live())
        return NqResult(NqResult::Code::STATE_ERROR, "The buffer count cannot change while the pipeline runs");
    for (const auto& slot : m_impl->slots)
        if (slot->state == SlotState::Held)
            return NqResult(NqResult::Code::STATE_ERROR, "Buffers are still held by the application");
    {
        std::lock_guard<std::mutex> coreLock(m_impl->core->mutex);
        if (m_impl->core->stream && count > m_impl->core->queuedMaximum)
            return NqResult(NqResult::Code::OUT_OF_RANGE, "More buffers than the stream can queue");
    }
    m_impl->requestedCount = count;
    m_impl->slots.clear();
    return NqResult::Code::OK;
}

uint32_t NqPipeline::GetBufferCount() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (m_impl->requestedCount)
        return m_impl->requestedCount;
    std::lock_guard<std::mutex> coreLock(m_impl->core->mutex);
    return m_impl->core->queuedMaximum;
}

NqResult NqPipeline::SetBufferSize(uint32_t size)
{
    if (size == 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "The buffer size must not be 0");
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (size == d.size)
        return NqResult::Code::OK;
    d.size = size;
    if (!d.live())
        return NqResult::Code::OK; // buffers are sized at Start (held ones on release)

    // The stream holds the queued buffers: take them back, resize, queue again.
    std::lock_guard<std::mutex> coreLock(d.core->mutex);
    arv_stream_stop_thread(d.core->stream, TRUE);
    NqResult result = NqResult::Code::OK;
    for (auto& slot : d.slots) {
        if (slot->state != SlotState::Queued)
            continue;
        slot->state = SlotState::Idle;
        if (!slot->allocate(size))
            result = NqResult(NqResult::Code::NOT_ENOUGH_MEMORY, "Unable to allocate the pipeline buffers");
        else
            d.queue(*slot);
    }
    arv_stream_start_thread(d.core->stream);
    d.core->threadRunning = true;
    d.core->losses.forgetPosition(); // completed frames were dropped, not lost
    return result;
}

uint32_t NqPipeline::GetBufferSize() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->size;
}

NqResult NqPipeline::Start()
{
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.live())
        return NqResult::Code::OK;
    if (d.size == 0)
        d.size = d.payloadSize();
    if (d.size == 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "The buffer size is not known");

    std::lock_guard<std::mutex> coreLock(d.core->mutex);
    if (!d.core->stream)
        return NqResult(NqResult::Code::NOT_OPENED, "The stream is not open");
    const uint32_t count = d.requestedCount ? d.requestedCount : d.core->queuedMaximum;
    while (d.slots.size() < count)
        d.slots.push_back(std::make_unique<Slot>());
    for (auto& slot : d.slots) {
        if (slot->state == SlotState::Held)
            continue; // queued when released
        slot->state = SlotState::Idle;
        if (!slot->hasSize(d.size) && !slot->allocate(d.size))
            return NqResult(NqResult::Code::NOT_ENOUGH_MEMORY, "Unable to allocate the pipeline buffers");
    }
    if (!d.core->threadRunning) {
        arv_stream_start_thread(d.core->stream);
        d.core->threadRunning = true;
    }
    for (auto& slot : d.slots)
        if (slot->state == SlotState::Idle)
            d.queue(*slot);
    d.generation = d.core->generation;
    d.core->losses.forgetPosition(); // frames before this start are not missing
    d.started = true;
    return NqResult::Code::OK;
}

NqResult NqPipeline::Stop()
{
    Impl& d = *m_impl;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (d.live()) {
            std::lock_guard<std::mutex> coreLock(d.core->mutex);
            // Takes every buffer back from the stream (the pipeline keeps its own reference).
            arv_stream_stop_thread(d.core->stream, TRUE);
            d.core->threadRunning = false;
        }
        d.started = false;
        for (auto& slot : d.slots)
            if (slot->state == SlotState::Queued)
                slot->state = SlotState::Idle;
    }
    d.core->wakeAll(); // a waiting retrieve sees the pipeline stopped
    return NqResult::Code::OK;
}

bool NqPipeline::IsStarted() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->live();
}

NqResult NqPipeline::Reset()
{
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!d.live())
        return NqResult::Code::OK;
    std::lock_guard<std::mutex> coreLock(d.core->mutex);
    d.core->requeueCompleted();
    return NqResult::Code::OK;
}

NqResult NqPipeline::RetrieveNextBuffer(NqBuffer** buffer, uint32_t timeoutMs, NqResult* operationResult)
{
    if (!buffer)
        return NqResult::Code::INVALID_PARAMETER;
    *buffer = nullptr;
    Impl& d = *m_impl;
    NqStreamCore& core = *d.core;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        uint64_t sequence;
        {
            std::lock_guard<std::mutex> wakeLock(core.wakeMutex);
            if (d.abortPending) {
                d.abortPending = false;
                return NqResult(NqResult::Code::ABORTED, "The wait was aborted");
            }
            sequence = core.wakeSequence;
        }
        {
            std::lock_guard<std::mutex> lock(d.mutex);
            if (!d.live())
                return NqResult(NqResult::Code::NOT_CONNECTED, "The pipeline is not started");
            ArvBuffer* arv = nullptr;
            {
                std::lock_guard<std::mutex> coreLock(core.mutex);
                arv = arv_stream_try_pop_buffer(core.stream);
                if (arv)
                    g_object_unref(arv); // the stream's reference; ours remains
            }
            if (arv) {
                auto* slot = static_cast<Slot*>(const_cast<void*>(arv_buffer_get_user_data(arv)));
                const NqResult result = d.fill(*slot, arv);
                {
                    std::lock_guard<std::mutex> coreLock(core.mutex);
                    core.losses.frame(slot->buffer.GetBlockID(), result.IsOK());
                    if (result.IsFailure())
                        core.recordFailure(result.GetCode(), result.GetDescription().GetStd());
                }
                slot->state = SlotState::Held;
                *buffer = &slot->buffer;
                if (operationResult)
                    *operationResult = result;
                return NqResult::Code::OK;
            }
        }
        std::unique_lock<std::mutex> wakeLock(core.wakeMutex);
        const bool woken = core.wake.wait_until(wakeLock, deadline, [&] {
            return core.wakeSequence != sequence || d.abortPending;
        });
        if (!woken)
            return NqResult(NqResult::Code::TIMEOUT, "No buffer arrived in time");
    }
}

NqResult NqPipeline::ReleaseBuffer(NqBuffer* buffer)
{
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    Slot* slot = d.find(buffer);
    if (!slot)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "The buffer is not one of this pipeline");
    if (slot->state != SlotState::Held)
        return NqResult(NqResult::Code::INVALID_OPERATION, "The buffer was not retrieved");
    slot->state = SlotState::Idle;
    // A size change while the buffer was out takes effect now.
    if (d.size && !slot->hasSize(d.size) && !slot->allocate(d.size))
        return NqResult(NqResult::Code::NOT_ENOUGH_MEMORY, "Unable to allocate the buffer memory");
    if (d.live()) {
        std::lock_guard<std::mutex> coreLock(d.core->mutex);
        d.queue(*slot);
    }
    return NqResult::Code::OK;
}

void NqPipeline::AbortRetrieve()
{
    {
        std::lock_guard<std::mutex> lock(m_impl->core->wakeMutex);
        m_impl->abortPending = true;
    }
    m_impl->core->wake.notify_all();
}
