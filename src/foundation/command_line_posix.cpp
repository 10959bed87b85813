#include "foundation/command_line.h"

namespace tvx {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void UseUtf8Console() {}

}  // namespace tvx
