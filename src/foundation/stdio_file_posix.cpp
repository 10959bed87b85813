#include "foundation/stdio_file.h"

namespace tvx {

StdioFile OpenStdioFile(const std::string& utf8Path, const char* mode) {
  return StdioFile(std::fopen(utf8Path.c_str(), mode));
}

}  // namespace tvx
