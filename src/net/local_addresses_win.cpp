#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "net/local_addresses.h"

namespace tvx {

std::vector<AdapterRecord> ListAdapters() {
  std::vector<AdapterRecord> adapters;
  const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  ULONG size = 16384;
  std::vector<std::uint8_t> buffer(size);
  ULONG result = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    buffer.assign(size, 0);
    result = GetAdaptersAddresses(AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                  &size);
  }
  if (result != NO_ERROR) return adapters;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
    AdapterRecord record;
    record.up = a->OperStatus == IfOperStatusUp;
    record.interfaceType = a->IfType;
    if (a->FriendlyName != nullptr) record.friendlyName = a->FriendlyName;
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      const sockaddr* address = u->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      std::array<std::uint8_t, 4> bytes{};
      std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
      record.ipv4.push_back(bytes);
    }
    adapters.push_back(std::move(record));
  }
  return adapters;
}

}  // namespace tvx
