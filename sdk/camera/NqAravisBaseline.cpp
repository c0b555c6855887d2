#include "camera/NqAravisBaseline.h"
#include "camera/NqReceiverTuning.h"

#include <arv.h>

#include <chrono>

NqAravisBaselineResult nqAravisBaseline(const std::string& cameraIp, uint32_t bufferCount, uint32_t packetSize,
                                        double seconds, uint32_t drainMs)
{
    NqAravisBaselineResult result;
    GError* error = nullptr;
    GInetAddress* address = g_inet_address_new_from_string(cameraIp.c_str());
    if (!address) {
        result.error = "invalid camera address";
        return result;
    }
    // Loopback cameras are reached from 127.0.0.1.
    GInetAddress* local = g_inet_address_new_from_string("127.0.0.1");
    ArvDevice* device = arv_gv_device_new(local, address, &error);
    g_object_unref(local);
    g_object_unref(address);
    if (!device) {
        result.error = error ? error->message : "no device";
        g_clear_error(&error);
        return result;
    }
    arv_device_set_integer_feature_value(device, "GevSCPSPacketSize", packetSize, &error);
    if (error || arv_device_get_integer_feature_value(device, "GevSCPSPacketSize", nullptr) != gint64(packetSize)) {
        result.error = "the camera did not accept the packet size";
        g_clear_error(&error);
        g_object_unref(device);
        return result;
    }
    // Received as NqStream receives, so the comparison is fair.
    arv_gv_device_set_stream_options(ARV_GV_DEVICE(device), ARV_GV_STREAM_OPTION_PACKET_SOCKET_DISABLED);
    ArvStream* stream = nqCreateStream(device, &error);
    if (!stream) {
        result.error = error ? error->message : "no stream";
        g_clear_error(&error);
        g_object_unref(device);
        return result;
    }
    const gint64 payload = arv_device_get_integer_feature_value(device, "PayloadSize", nullptr);
    for (uint32_t i = 0; i < bufferCount; ++i)
        arv_stream_push_buffer(stream, arv_buffer_new_allocate(size_t(payload)));

    const auto take = [&](ArvBuffer* buffer) {
        if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
            size_t size = 0;
            arv_buffer_get_image_data(buffer, &size);
            ++result.frames;
            result.bytes += size;
        } else {
            ++result.incomplete;
        }
        arv_stream_push_buffer(stream, buffer);
    };
    arv_device_execute_command(device, "AcquisitionStart", nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end)
        if (ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 200000))
            take(buffer);
    arv_device_execute_command(device, "AcquisitionStop", nullptr);
    while (ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, guint64(drainMs) * 1000))
        take(buffer);
    g_object_unref(stream);
    g_object_unref(device);
    result.ok = true;
    return result;
}
