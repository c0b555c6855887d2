#pragma once

// Station settings keys of the pulse-generator link.
namespace TmxSettings {
constexpr char LastIpKey[] = "LAST_TMX_IP";   // generator address last confirmed
constexpr char LastExtKey[] = "LAST_TMX_EXT"; // externally triggered (written, never read back)
constexpr char DefaultIp[] = "192.168.";
} // namespace TmxSettings
