#pragma once

#include "camera/NqStream.h"
#include "camera/NqStreamCore.h"
#include "camera/NqStreamParameters.h"

#include <memory>
#include <string>

// The stream's state, seen by the pipelines built on it.
struct NqStream::Impl
{
    std::shared_ptr<NqStreamCore> core = std::make_shared<NqStreamCore>();
    NqStreamParameters parameters{core};
    std::string localIp;
    uint16_t localPort = 0;
};
