#include "camera/NqStream.h"
#include "camera/NqGvcp.h"
#include "camera/NqReceiverTuning.h"
#include "camera/NqStreamImpl.h"

namespace {

// Runs on Aravis's receiving thread, right after a buffer entered the output queue.
void onNewBuffer(ArvStream*, gpointer data)
{
    static_cast<NqStreamCore*>(data)->wakeAll();
}

std::string interfaceAddress(ArvDevice* device)
{
    GSocketAddress* address = arv_gv_device_get_interface_address(ARV_GV_DEVICE(device));
    if (!address || !G_IS_INET_SOCKET_ADDRESS(address))
        return std::string();
    gchar* text = g_inet_address_to_string(g_inet_socket_address_get_address(G_INET_SOCKET_ADDRESS(address)));
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

} // namespace

NqStream::NqStream() : m_impl(std::make_unique<Impl>()) {}

NqStream::~NqStream()
{
    Close();
}

NqResult NqStream::Open(const NqString& deviceIp, uint16_t localPort, uint32_t channel, const NqString& localIp,
                        uint32_t bufferCount)
{
    Close();
    if (channel != 0)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "Only stream channel 0 is supported");
    if (localPort != 0)
        return NqResult(NqResult::Code::NOT_SUPPORTED, "The local port is chosen by the system");
    std::shared_ptr<NqDeviceCore> deviceCore = NqDeviceCore::find(deviceIp.GetStd());
    if (!deviceCore)
        return NqResult(NqResult::Code::NOT_CONNECTED,
                        NqString("No camera is connected at " + deviceIp.GetStd() + " in this program"));

    NqStreamCore& core = *m_impl->core;
    std::lock_guard<std::mutex> lock(core.mutex);
    std::lock_guard<std::recursive_mutex> deviceLock(deviceCore->mutex);
    ArvDevice* device = deviceCore->device;
    if (!device)
        return NqResult(NqResult::Code::NOT_CONNECTED, "The camera is not connected");
    const std::string local = interfaceAddress(device);
    if (!localIp.IsEmpty() && localIp.GetStd() != local)
        return NqResult(NqResult::Code::INVALID_PARAMETER, "The camera is not reached through that local address");

    // Always receive through the stream's UDP socket. With privileges Aravis
    // would capture from a packet socket instead, which only listens once the
    // receiving thread runs: the start of the first frame after opening or
    // restarting the pipeline would be lost, and root would behave unlike a user.
    arv_gv_device_set_stream_options(ARV_GV_DEVICE(device), ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
    GError* error = nullptr;
    ArvStream* stream = nqCreateStream(device, &error);
    if (!stream)
        return nqResultFromError(error, NqResult::Code::NOT_OPENED);
    if (error)
        g_error_free(error);
    core.signalHandler = g_signal_connect(stream, "new-buffer", G_CALLBACK(onNewBuffer), &core);
    arv_stream_set_emit_signals(stream, TRUE);

    core.stream = stream;
    core.device = device;
    g_object_ref(device);
    core.deviceCore = deviceCore;
    core.threadRunning = true; // Aravis starts it with the stream
    core.queuedMaximum = bufferCount ? bufferCount : 64;
    ++core.generation;
    core.baseline = NqStreamCore::Counters();
    core.lastErrorCode = 0;
    core.lastErrorText.clear();
    core.losses.clear();
    core.bandwidthTime = std::chrono::steady_clock::now();
    core.bandwidthBytes = 0;
    core.bandwidthBitsPerSecond = 0.0;
    m_impl->localIp = local;
    m_impl->localPort = arv_gv_stream_get_port(ARV_GV_STREAM(stream));
    return NqResult::Code::OK;
}

NqResult NqStream::Close()
{
    NqStreamCore& core = *m_impl->core;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        if (!core.stream)
            return NqResult::Code::OK;
        arv_stream_set_emit_signals(core.stream, FALSE);
        g_signal_handler_disconnect(core.stream, core.signalHandler);
        core.signalHandler = 0;
        {
            // Destroying the stream joins its thread and may talk to the camera.
            std::lock_guard<std::recursive_mutex> deviceLock(core.deviceCore->mutex);
            // Aravis stops the receiving thread when it destroys the stream and
            // complains if a stopped pipeline stopped it already.
            if (!core.threadRunning)
                arv_stream_start_thread(core.stream);
            if (core.deviceCore->lost) {
                NqDeviceCore::releaseLater({core.stream, core.device});
            } else {
                g_object_unref(core.stream);
                g_object_unref(core.device);
            }
        }
        core.stream = nullptr;
        core.device = nullptr;
        core.deviceCore.reset();
        core.threadRunning = false;
        ++core.generation;
    }
    m_impl->localIp.clear();
    m_impl->localPort = 0;
    core.wakeAll();
    return NqResult::Code::OK;
}

bool NqStream::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_impl->core->mutex);
    return m_impl->core->stream != nullptr;
}

NqString NqStream::GetLocalIPAddress() const
{
    return m_impl->localIp;
}

uint16_t NqStream::GetLocalPort() const
{
    return m_impl->localPort;
}

uint32_t NqStream::GetQueuedBufferMaximum() const
{
    std::lock_guard<std::mutex> lock(m_impl->core->mutex);
    return m_impl->core->queuedMaximum;
}

NqReceiverPriority NqStream::GetReceiverPriority() const
{
    std::lock_guard<std::mutex> lock(m_impl->core->mutex);
    return nqReceiverPriority(m_impl->core->stream);
}

NqGenParameterArray* NqStream::GetParameters()
{
    return &m_impl->parameters;
}
