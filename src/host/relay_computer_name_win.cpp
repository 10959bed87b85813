#include <windows.h>

#include "foundation/text.h"
#include "host/relay_link.h"

namespace tvx {

std::string RelayComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) return "Tavrix";
  return WideToUtf8(std::wstring_view(name, size));
}

}  // namespace tvx
