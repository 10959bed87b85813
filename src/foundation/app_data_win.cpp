#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "foundation/app_data.h"

namespace tvx {

std::wstring AppDataFolder() {
  PWSTR roaming = nullptr;
  const HRESULT hr = SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming);
  if (SUCCEEDED(hr) && roaming != nullptr) {
    std::wstring folder = std::wstring(roaming) + L"\\Tavrix\\";
    CoTaskMemFree(roaming);
    CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
    return folder;
  }
  if (roaming != nullptr) CoTaskMemFree(roaming);
  wchar_t path[520] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, 520);
  std::wstring exe(path, length < 520 ? length : 519);
  const std::size_t slash = exe.find_last_of(L'\\');
  if (exe.empty() || slash == std::wstring::npos) return L".\\";
  return exe.substr(0, slash + 1);
}

}  // namespace tvx
