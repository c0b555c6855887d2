#include "NzUtilsLib/Result.h"

#include <cstdio>

namespace NzUtilsLib {

std::string Result::GetCodeString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X (%u)", m_code, m_code);
    return text;
}

uint32_t Result::GetPublicCode() const
{
    if (m_code == Success)
        return 0;
    if (m_code == Pending)
        return 0xFFFF;
    return m_code & 0xFFFF;
}

} // namespace NzUtilsLib
