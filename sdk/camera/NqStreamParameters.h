#pragma once

#include "base/NqGenParameters.h"
#include "camera/NqStreamCore.h"

#include <memory>

// The stream's own parameters, computed from Aravis's stream statistics:
// command "Reset" (statistics and completed-buffer queue), float "Bandwidth"
// (bits received per second), integer "ErrorCount", enumeration "LastError".
class NqStreamParameters : public NqGenParameterArray
{
public:
    explicit NqStreamParameters(std::shared_ptr<NqStreamCore> core);
    ~NqStreamParameters() override;

    NqGenParameter* Get(const char* name) override;

    struct Reset;
    struct Bandwidth;
    struct ErrorCount;
    struct LastError;

private:
    std::unique_ptr<Reset> m_reset;
    std::unique_ptr<Bandwidth> m_bandwidth;
    std::unique_ptr<ErrorCount> m_errorCount;
    std::unique_ptr<LastError> m_lastError;
};
