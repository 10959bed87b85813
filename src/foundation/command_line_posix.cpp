#include "foundation/command_line.h"

namespace tvx {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void UseUtf8Console() {}

StdioFile OpenStdioFile(const std::string& utf8Path, const char* mode) {
  return StdioFile(std::fopen(utf8Path.c_str(), mode));
}

}  // namespace tvx
