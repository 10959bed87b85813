// The subcommands of tavrix-cli. Each takes the arguments after its own name and returns the
// process exit code: 0 success, 1 failure, 2 wrong usage.
#pragma once

#include <string>
#include <vector>

namespace tvx::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Args& args);
};

int RunSettings(const Args& args);

}  // namespace tvx::cli
