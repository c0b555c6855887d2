#pragma once

#include "NqStream.h"
#include "NqStreamCore.h"
#include "NqStreamParameters.h"

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
