#pragma once

#include "NzUtilsLib/Result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace KyTransportLayerLib {

// What answers the I/O controls of an open link: a kernel driver on the
// platforms that have one. Devices are registered in this process under a
// device path; nothing registers one in the shipped library, so every link
// fails to open there, as on a machine without the driver.
class LinkDevice
{
public:
    enum class Outcome { Done, Pending, Failed };

    virtual ~LinkDevice() = default;

    // One handle at a time; false refuses the open.
    virtual bool Open() = 0;
    // Ends everything still in the device for this handle.
    virtual void Close() = 0;
    // The block is read and written only during the call (inSize bytes in,
    // outSize bytes out); the context stays with the device until it
    // reports the operation completed.
    virtual Outcome IoControl(uint32_t code, uint8_t* block, uint32_t inSize, uint32_t outSize, void* context) = 0;
    // Whether the device serves the named network interface.
    virtual bool ServesInterface(const std::string& interfaceName) const = 0;
};

// The devices of this process by path.
class LinkRegistry
{
public:
    // False when the path is taken.
    static bool Register(const std::wstring& path, const std::shared_ptr<LinkDevice>& device);
    static void Unregister(const std::wstring& path);
    static std::shared_ptr<LinkDevice> Find(const std::wstring& path);
    static bool IsInterfaceServed(const std::string& interfaceName);
};

// A handle on a device. IoControl answers 0 when the device has done the
// operation, IoPending when it goes on asynchronously, and a code with
// non-zero low 16 bits when it failed.
class Link
{
public:
    enum : uint32_t {
        FileNotFound = 2,
        AccessDenied = 5,
        InvalidHandle = 6,
        DeviceFailure = 31,
        IoPending = 0xFFFF,
    };

    Link() = default;
    ~Link() { Close(); }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    NzUtilsLib::Result Open(const std::wstring& path);
    void Close();
    bool IsOpen() const { return m_device != nullptr; }
    NzUtilsLib::Result IoControl(uint32_t code, void* block, uint32_t inSize, uint32_t outSize, void* context);

private:
    std::shared_ptr<LinkDevice> m_device;
};

} // namespace KyTransportLayerLib
