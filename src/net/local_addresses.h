// The computer's own IPv4 addresses, best first, for the home window to show.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tvx {

// One network adapter as the platform lists it.
struct AdapterRecord {
  bool up = false;
  std::uint32_t interfaceType = 0;  // IF_TYPE_* numbering: 24 software loopback, 131 tunnel
  std::wstring friendlyName;
  bool knownVirtual = false;        // the platform lister recognised a virtual adapter by other means
  std::vector<std::array<std::uint8_t, 4>> ipv4;  // unicast addresses, in network byte order
};

inline constexpr std::uint32_t kInterfaceTypeLoopback = 24;
inline constexpr std::uint32_t kInterfaceTypeTunnel = 131;

// Private addresses of physical adapters first, then every other usable address; each group in
// adapter order. Adapters that are down, loopback or tunnels, and link-local and loopback
// addresses, are left out.
std::vector<std::wstring> ClassifyAddresses(const std::vector<AdapterRecord>& adapters);

// The platform's adapter list (empty when it cannot be read).
std::vector<AdapterRecord> ListAdapters();

inline std::vector<std::wstring> LocalAddresses() { return ClassifyAddresses(ListAdapters()); }

}  // namespace tvx
