#include "camera/NqDeviceCore.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::weak_ptr<NqDeviceCore>>& registry()
{
    static std::vector<std::weak_ptr<NqDeviceCore>> cores;
    return cores;
}

} // namespace

void NqDeviceCore::publish(const std::shared_ptr<NqDeviceCore>& core)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().push_back(core);
}

void NqDeviceCore::withdraw(const NqDeviceCore* core)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    auto& cores = registry();
    cores.erase(std::remove_if(cores.begin(), cores.end(),
                               [core](const std::weak_ptr<NqDeviceCore>& entry) {
                                   auto locked = entry.lock();
                                   return !locked || locked.get() == core;
                               }),
                cores.end());
}

std::shared_ptr<NqDeviceCore> NqDeviceCore::find(const std::string& ip)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    for (const auto& entry : registry()) {
        auto core = entry.lock();
        if (core && core->ip == ip)
            return core;
    }
    return nullptr;
}

NqResult nqResultFromError(GError* error, uint32_t failureCode)
{
    if (!error)
        return NqResult::Code::OK;
    uint32_t code = failureCode;
    if (error->domain == arv_gc_error_quark()) {
        switch (error->code) {
        case ARV_GC_ERROR_OUT_OF_RANGE:
            code = NqResult::Code::OUT_OF_RANGE;
            break;
        case ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND:
        case ARV_GC_ERROR_INVALID_LENGTH:
            code = NqResult::Code::INVALID_PARAMETER;
            break;
        case ARV_GC_ERROR_READ_ONLY:
            code = NqResult::Code::ACCESS_DENIED;
            break;
        default:
            break;
        }
    } else if (error->domain == arv_device_error_quark()) {
        switch (error->code) {
        case ARV_DEVICE_ERROR_TIMEOUT:
            code = NqResult::Code::TIMEOUT;
            break;
        case ARV_DEVICE_ERROR_FEATURE_NOT_FOUND:
            code = NqResult::Code::NOT_FOUND;
            break;
        case ARV_DEVICE_ERROR_PROTOCOL_ERROR_ACCESS_DENIED:
            code = NqResult::Code::ACCESS_DENIED;
            break;
        default:
            break;
        }
    }
    NqResult result(code, uint32_t(error->code), NqString(error->message ? error->message : "Camera error"));
    g_error_free(error);
    return result;
}

void NqDeviceCore::releaseLater(std::vector<gpointer> objects)
{
    std::thread([objects = std::move(objects)] {
        for (gpointer object : objects)
            g_object_unref(object);
    }).detach();
}
