#include "foundation/stdio_file.h"
#include "foundation/text.h"

namespace tvx {

StdioFile OpenStdioFile(const std::string& utf8Path, const char* mode) {
  return StdioFile(::_wfopen(Utf8ToWide(utf8Path).c_str(), Utf8ToWide(mode).c_str()));
}

}  // namespace tvx
