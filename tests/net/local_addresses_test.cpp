#include "net/local_addresses.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/text.h"

namespace tvx {
namespace {

AdapterRecord Adapter(std::wstring name, std::vector<std::array<std::uint8_t, 4>> addresses, bool up = true,
                      std::uint32_t type = 6) {
  AdapterRecord a;
  a.up = up;
  a.interfaceType = type;
  a.friendlyName = std::move(name);
  a.ipv4 = std::move(addresses);
  return a;
}

TEST(LocalAddressesTest, PhysicalPrivateAddressesComeFirst) {
  struct Case {
    const char* name;
    std::vector<AdapterRecord> adapters;
    std::vector<std::wstring> expected;
  };
  const Case cases[] = {
      {"physical, virtual and public",
       {Adapter(L"Wi-Fi", {{192, 168, 1, 20}}), Adapter(L"vEthernet (Default Switch)", {{172, 20, 0, 1}}),
        Adapter(L"Ethernet 2", {{203, 0, 113, 5}})},
       {L"192.168.1.20", L"172.20.0.1", L"203.0.113.5"}},
      {"virtual adapter first in the list",
       {Adapter(L"VirtualBox Host-Only Network", {{192, 168, 56, 1}}), Adapter(L"Ethernet", {{10, 1, 2, 3}})},
       {L"10.1.2.3", L"192.168.56.1"}},
      {"private range edges",
       {Adapter(L"Ethernet", {{172, 15, 0, 1}, {172, 16, 0, 1}, {172, 31, 255, 1}, {172, 32, 0, 1}, {192, 169, 0, 1}})},
       {L"172.16.0.1", L"172.31.255.1", L"172.15.0.1", L"172.32.0.1", L"192.169.0.1"}},
      {"unusable adapters and addresses",
       {Adapter(L"Down", {{192, 168, 0, 2}}, false), Adapter(L"Loop", {{10, 0, 0, 1}}, true, kInterfaceTypeLoopback),
        Adapter(L"Tunnel", {{10, 0, 0, 2}}, true, kInterfaceTypeTunnel),
        Adapter(L"Ethernet", {{169, 254, 3, 4}, {127, 0, 0, 1}, {192, 168, 0, 9}})},
       {L"192.168.0.9"}},
      {"names match exactly, case and all",
       {Adapter(L"vmware network", {{10, 0, 0, 5}}), Adapter(L"VMware Network Adapter VMnet8", {{10, 0, 0, 6}}),
        Adapter(L"Npcap Loopback Adapter", {{10, 0, 0, 7}})},
       {L"10.0.0.5", L"10.0.0.6", L"10.0.0.7"}},
      {"no usable adapter", {Adapter(L"Down", {{192, 168, 0, 2}}, false)}, {}},
      {"nothing at all", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyAddresses(c.adapters), c.expected) << c.name;

  AdapterRecord hinted = Adapter(L"docker0", {{172, 17, 0, 1}});
  hinted.knownVirtual = true;
  EXPECT_EQ(ClassifyAddresses({hinted, Adapter(L"eth0", {{192, 168, 2, 2}})}),
            (std::vector<std::wstring>{L"192.168.2.2", L"172.17.0.1"}));
}

TEST(LocalAddressesTest, ThisComputerListsOnlyUsableDottedAddresses) {
  for (const std::wstring& address : LocalAddresses()) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char tail = 0;
    const std::string text = WideToUtf8(address);
    EXPECT_EQ(std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail), 4) << text;
    EXPECT_NE(a, 127u) << text;
    EXPECT_FALSE(a == 169 && b == 254) << text;
  }
}

}  // namespace
}  // namespace tvx
