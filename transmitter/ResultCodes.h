#pragma once

#include <cstdint>

// Result codes of the transmitter library and the messages it attaches.
// The exported interface gives the low 16 bits, with 259 as 0xFFFF.
namespace NqTransmitterRawLib {

namespace Code {
enum : uint32_t {
    Success = 0,
    Failed = 1,
    OutOfRange = 18,
    NetworkError = 19,
    Timeout = 20,
    NoCompletion = 21,
    NotOpened = 23,
    NotEnoughMemory = 24,
    AccessDenied = 26,
    NoFreeRecord = 27,
    PoolInUse = 32,
    StateError = 256,
    Pending = 259,
    IncompatibleVersion = 513,
    AbortRunning = 514,
    NotInitialized = 1540,
    Uninitialized = 1541,
    InvalidParameter = 16385,
    Accepted = 0xFFFF,
};
} // namespace Code

namespace Message {
constexpr const char* BuffersQueued = "Cannot load a new memory pool if buffers are already queued";
constexpr const char* CapabilityRange = "The buffers capability must be between 2 and 256";
constexpr const char* CreateSocket = "Fail to create a socket. Error = %d";
constexpr const char* BindSocket = "Fail to bind a socket. Error = %d";
constexpr const char* Multicast = "Fail to configure the socket for multicasting. Error = %d";
constexpr const char* DontFragment = "Fail to set the DONTFRAG flag. Error = %d";
constexpr const char* SendBuffer = "Fail to increase the socket TX buffer size to %d. Error = %d";
constexpr const char* Connect = "Socket connectin fail. Error = %d";
constexpr const char* ArpFailed = "Unable to get the MAC address. Error = %d";
constexpr const char* WrapPointerList = "Unable to allocate memory to wrap the pointer list";
constexpr const char* PoolNotCreated = "Temporary memory cannot be allocated";
constexpr const char* NoSender = "The GVSP sender internal wrapper cannot be created";
constexpr const char* CreateSemaphore = "Unable to create the semaphore";
constexpr const char* StoreBuffers = "Unable to allocate memory to store the buffers";
constexpr const char* SocketWrapper = "Unable to allocate the socket wrapper";
constexpr const char* DriverPriority =
    "The priority of the transmitter thread cannot be set when using the Kyvo Stratoline driver";
constexpr const char* PoolInUse = "New buffer pool cannot be loaded when the old one is still in usage";
constexpr const char* DriverTooOld = "Cannot connect to older version of the driver";
constexpr const char* DriverInterfaceTooOld =
    "Cannot connect to older version of the driver interface. DIS = %d/%d, PIT = %d/%d";
constexpr const char* EmptyDestination = "The Destination ip address cannot be empty or unitialized";
constexpr const char* PriorityRange = "The priority %u is out of range. The value must be between %u and %u.";
constexpr const char* InvalidDestination = "Invalid destination ip address value";
constexpr const char* InvalidSource = "Invalid source ip address value";
constexpr const char* SenderOpen = "The GVSp send cannot be opened for transmission";
constexpr const char* EngineOpen = "Unable to load the internal GVSP transmitter";
constexpr const char* PlugIn = "Cannot initialize the plug-in";
constexpr const char* InterfaceVersion = "Unable to read the interface version.";
constexpr const char* NoBestInterface = "Unable to find a suitable best interface for the communication";
constexpr const char* TransmitterPriority = "**** The priority of the transmitter thread has been changed to %u ****";
constexpr const char* PoolPriority = "**** The priority of the buffer pool thread has been changed to %u ****";
} // namespace Message

// Channel of every logger of the library.
constexpr const char* LogChannel = "KyTransmitterRaw";

} // namespace NqTransmitterRawLib
