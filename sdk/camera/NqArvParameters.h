#pragma once

#include "base/NqGenParameters.h"
#include "camera/NqDeviceCore.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

// The GenICam features of a connected camera as typed parameters. A parameter
// keeps only its name and looks its node up at every call, under the device
// mutex, so pointers handed out stay valid across reconnects (they simply
// fail with NOT_CONNECTED while no camera is connected).
class NqArvParameterArray : public NqGenParameterArray
{
public:
    explicit NqArvParameterArray(std::shared_ptr<NqDeviceCore> core);
    ~NqArvParameterArray() override;

    NqGenParameter* Get(const char* name) override;

private:
    std::shared_ptr<NqDeviceCore> m_core;
    std::mutex m_cacheMutex;
    // By name and type: a name may change type when another camera connects.
    std::map<std::pair<std::string, NqGenType>, std::unique_ptr<NqGenParameter>> m_cache;
};
