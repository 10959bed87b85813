#include "net/local_addresses.h"

#include "foundation/format.h"

namespace tvx {
namespace {

bool IsVirtualName(const std::wstring& name) {
  for (const wchar_t* marker : {L"vEthernet", L"VMware", L"VirtualBox", L"Loopback"}) {
    if (name.find(marker) != std::wstring::npos) return true;
  }
  return false;
}

bool IsPrivate(const std::array<std::uint8_t, 4>& a) {
  return a[0] == 10 || (a[0] == 172 && (a[1] & 0xF0) == 16) || (a[0] == 192 && a[1] == 168);
}

}  // namespace

std::vector<std::wstring> ClassifyAddresses(const std::vector<AdapterRecord>& adapters) {
  std::vector<std::wstring> best;
  std::vector<std::wstring> rest;
  for (const AdapterRecord& adapter : adapters) {
    if (!adapter.up) continue;
    if (adapter.interfaceType == kInterfaceTypeLoopback || adapter.interfaceType == kInterfaceTypeTunnel) continue;
    const bool isVirtual = adapter.knownVirtual || IsVirtualName(adapter.friendlyName);
    for (const auto& a : adapter.ipv4) {
      if ((a[0] == 169 && a[1] == 254) || a[0] == 127) continue;
      std::wstring text = FormatText(L"%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
      (IsPrivate(a) && !isVirtual ? best : rest).push_back(std::move(text));
    }
  }
  best.insert(best.end(), rest.begin(), rest.end());
  return best;
}

}  // namespace tvx
