#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "foundation/command_line.h"
#include "foundation/text.h"

namespace tvx {
namespace {

struct LocalFreer {
  void operator()(wchar_t** p) const { ::LocalFree(p); }
};

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  std::unique_ptr<wchar_t*, LocalFreer> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!wide) {
    // Out of memory at start-up: the ANSI arguments are better than none.
    if (argc < 1) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(wide.get()[i]));
  return arguments;
}

void UseUtf8Console() {
  // Only matters when the output is a console; pipes and files get the bytes as they are.
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tvx
