// C stdio files opened by UTF-8 path.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace tvx {

struct StdioFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

// fopen for a UTF-8 path: on Windows through the wide function, so any file name opens.
StdioFile OpenStdioFile(const std::string& utf8Path, const char* mode);

}  // namespace tvx
