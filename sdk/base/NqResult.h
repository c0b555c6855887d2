#pragma once

#include "base/NqString.h"

#include <cstdint>

// Result of every operation of the camera SDK layer: a code and, for most
// failures, a description that callers may show to the user.
class NqResult
{
public:
    struct Code
    {
        enum : uint32_t {
            OK = 0,
            NOT_OK = 1,
            NOT_CONNECTED = 2,
            NOT_FOUND = 3,
            BUFFER_TOO_SMALL = 4,
            NOT_SUPPORTED = 5,
            INVALID_OPERATION = 6,
            CANNOT_OPEN_FILE = 7,
            OUT_OF_RANGE = 18,
            NETWORK_ERROR = 19,
            TIMEOUT = 20,
            NO_COMPLETION = 21,
            ABORTED = 22,
            NOT_OPENED = 23,
            NOT_ENOUGH_MEMORY = 24,
            MISSING_PACKETS = 25,
            ACCESS_DENIED = 26,
            STATE_ERROR = 256,
            INCOMPATIBLE_VERSION = 513,
            ABORT_RUNNING = 514,
            NOT_INITIALIZED = 1540,
            UNINITIALIZED = 1541,
            INVALID_PARAMETER = 16385,
            PENDING = 0xFFFF,
        };
    };

    NqResult() = default;
    NqResult(uint32_t code) : m_code(code), m_internalCode(code) {}
    NqResult(uint32_t code, const NqString& description)
        : m_code(code), m_internalCode(code), m_description(description) {}
    NqResult(uint32_t code, uint32_t internalCode, const NqString& description)
        : m_code(code), m_internalCode(internalCode), m_description(description) {}

    uint32_t GetCode() const { return m_code; }
    uint32_t GetInternalCode() const { return m_internalCode; }
    const NqString& GetDescription() const { return m_description; }
    bool IsOK() const { return m_code == Code::OK; }
    bool IsFailure() const { return m_code != Code::OK && m_code != Code::PENDING; }
    bool IsPending() const { return m_code == Code::PENDING; }

    bool operator==(uint32_t code) const { return m_code == code; }
    bool operator!=(uint32_t code) const { return m_code != code; }

private:
    uint32_t m_code = Code::OK;
    uint32_t m_internalCode = Code::OK;
    NqString m_description;
};
