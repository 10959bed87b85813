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
int RunProbe(const Args& args);
int RunHost(const Args& args);
int RunView(const Args& args);
int RunBench(const Args& args);
int RunBenchFrames(const Args& args);
int RunBenchHash(const Args& args);
int RunBenchOverlay(const Args& args);
int RunBenchEncode(const Args& args);
int RunBenchRelay(const Args& args);
int RunBenchStream(const Args& args);

}  // namespace tvx::cli
