#include <unistd.h>

#include <climits>
#include <cstring>

#include "host/relay_link.h"

namespace tvx {

std::string RelayComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "Tavrix";
  return std::string(name, strnlen(name, sizeof name));
}

}  // namespace tvx
