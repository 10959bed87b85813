#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "foundation/app_data.h"
#include "foundation/text.h"

namespace tvx {
namespace {

// Creates every missing folder of an absolute path; existing ones are fine.
bool MakeFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      const std::string part = path.substr(0, i);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

}  // namespace

std::wstring AppDataFolder() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.config";
  }
  if (base.empty()) return L"./";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/Tavrix";
  if (!MakeFolders(folder)) return L"./";
  return Utf8ToWide(folder + "/");
}

}  // namespace tvx
