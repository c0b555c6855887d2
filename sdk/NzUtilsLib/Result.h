#pragma once

#include <cstdint>
#include <string>

namespace NzUtilsLib {

// Internal result of the transmitter layers: a 32-bit code and, for the
// failures that carry a message, its text. Code 0 is success.
class Result
{
public:
    enum : uint32_t {
        Success = 0,
        Pending = 259,
        Unset = 1541,
    };

    Result() = default;
    Result(uint32_t code) : m_code(code) {}
    Result(uint32_t code, const std::string& description) : m_code(code), m_description(description) {}

    uint32_t GetCode() const { return m_code; }
    const std::string& GetDescription() const { return m_description; }
    // A readable name of the code for logs ("0x00000013 (19)").
    std::string GetCodeString() const;

    bool IsSuccess() const { return m_code == Success; }
    // Only codes whose low 16 bits say something count as failures; pending
    // (259) counts too, because nothing was done yet.
    bool IsFailure() const { return m_code != Success && (m_code == Pending || (m_code & 0xFFFF) != 0); }
    // The 16-bit code the exported interface gives: 259 becomes 0xFFFF.
    uint32_t GetPublicCode() const;

private:
    uint32_t m_code = Success;
    std::string m_description;
};

} // namespace NzUtilsLib
