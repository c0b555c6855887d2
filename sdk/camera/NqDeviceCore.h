#pragma once

#include "base/NqResult.h"

#include <arv.h>

#include <memory>
#include <mutex>
#include <string>

// What a connected camera shares with its feature array and its streams: the
// Aravis device and the one mutex taken around every access to it (the
// acquisition thread reads features while the GUI thread writes them).
// `device` is null once the camera is disconnected.
struct NqDeviceCore
{
    std::recursive_mutex mutex;
    ArvDevice* device = nullptr; // guarded by mutex
    std::string ip;

    // The cores of the devices connected in this process, by camera IP.
    static void publish(const std::shared_ptr<NqDeviceCore>& core);
    static void withdraw(const NqDeviceCore* core);
    static std::shared_ptr<NqDeviceCore> find(const std::string& ip);
};

// A GError as a result (and frees it); OK when there is none.
NqResult nqResultFromError(GError* error, uint32_t failureCode = NqResult::Code::NOT_OK);
