#pragma once

#include <cstddef>
#include <string>

// Plain text of the camera SDK layer: owns an ASCII/UTF-8 string and hands out
// a C string that stays valid until the NqString changes.
class NqString
{
public:
    NqString() = default;
    NqString(const char* text) : m_text(text ? text : "") {}
    NqString(const std::string& text) : m_text(text) {}

    const char* GetAscii() const { return m_text.c_str(); }
    const std::string& GetStd() const { return m_text; }
    size_t GetLength() const { return m_text.size(); }
    bool IsEmpty() const { return m_text.empty(); }
    operator const char*() const { return m_text.c_str(); }

    bool operator==(const NqString& other) const { return m_text == other.m_text; }
    bool operator!=(const NqString& other) const { return m_text != other.m_text; }

private:
    std::string m_text;
};
