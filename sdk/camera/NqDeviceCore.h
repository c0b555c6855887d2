#pragma once

#include "base/NqResult.h"

#include <arv.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What a connected camera shares with its feature array and its streams: the
// Aravis device and the one mutex taken around every access to it (the
// acquisition thread reads features while the GUI thread writes them).
// `device` is null once the camera is disconnected.
struct NqDeviceCore
{
    std::recursive_mutex mutex;
    ArvDevice* device = nullptr; // guarded by mutex
    std::string ip;
    gulong controlLostHandler = 0; // guarded by mutex
    // The camera is gone: set by Aravis's heartbeat thread when the camera
    // stops answering or gives the control channel to someone else, or by
    // the application when the camera's stream went silent.
    std::atomic<bool> lost{false};

    // The cores of the devices connected in this process, by camera IP.
    static void publish(const std::shared_ptr<NqDeviceCore>& core);
    static void withdraw(const NqDeviceCore* core);
    static std::shared_ptr<NqDeviceCore> find(const std::string& ip);

    // Drops our references to the Aravis objects of a lost camera, in order,
    // on a thread of their own: their finalizers still talk to the camera
    // and wait out its time-outs (seconds), which no caller should.
    static void releaseLater(std::vector<gpointer> objects);
};

// A GError as a result (and frees it); OK when there is none.
NqResult nqResultFromError(GError* error, uint32_t failureCode = NqResult::Code::NOT_OK);
