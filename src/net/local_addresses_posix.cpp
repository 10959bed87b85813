#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "foundation/text.h"
#include "net/local_addresses.h"

namespace tvx {
namespace {

// Bridges, container and hypervisor links carry names rather than a type here.
bool IsVirtualInterfaceName(const std::string& name) {
  for (const char* prefix : {"docker", "veth", "virbr", "br-", "vmnet", "vboxnet", "lxc", "lxd", "cni", "flannel"}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<AdapterRecord> ListAdapters() {
  std::vector<AdapterRecord> adapters;
  std::vector<std::string> names;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return adapters;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_name == nullptr) continue;
    const std::string name = entry->ifa_name;
    std::size_t index = 0;
    while (index < names.size() && names[index] != name) ++index;
    if (index == names.size()) {
      names.push_back(name);
      AdapterRecord record;
      record.friendlyName = Utf8ToWide(name);
      record.up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
      if (entry->ifa_flags & IFF_LOOPBACK) {
        record.interfaceType = kInterfaceTypeLoopback;
      } else if (entry->ifa_flags & IFF_POINTOPOINT) {
        record.interfaceType = kInterfaceTypeTunnel;
      } else {
        record.interfaceType = 6;  // Ethernet
      }
      record.knownVirtual = IsVirtualInterfaceName(name);
      adapters.push_back(std::move(record));
    }
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &in->sin_addr, 4);
    adapters[index].ipv4.push_back(bytes);
  }
  freeifaddrs(list);
  return adapters;
}

}  // namespace tvx
