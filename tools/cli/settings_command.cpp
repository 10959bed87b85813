// Placeholder until the settings command lands.
#include <cstdio>

#include "commands.h"

namespace tvx::cli {
int RunSettings(const Args&) {
  std::fprintf(stderr, "settings: not available yet\n");
  return 1;
}
}  // namespace tvx::cli
