// tavrix-cli: Tavrix's engines from the command line (settings, headless host and viewer, benchmarks).
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "foundation/command_line.h"
#include "foundation/log.h"

namespace tvx::cli {
namespace {

const Command kCommands[] = {
    {"settings", "show or rewrite a settings file", RunSettings},
    {"host", "share a screen without a window (headless host)", RunHost},
    {"view", "watch a sharing host headless, printing events as JSON lines", RunView},
    {"probe", "ask a relay server for its status", RunProbe},
    {"bench", "run a benchmark (tavrix-cli bench --help lists them)", RunBench},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: tavrix-cli COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'tavrix-cli COMMAND --help' describes a command.\n");
}

}  // namespace
}  // namespace tvx::cli

int main(int argc, char** argv) {
  using namespace tvx::cli;
  std::setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
  tvx::UseUtf8Console();
  const Args all = tvx::CommandLineArguments(argc, argv);
  if (all.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string& name = all[0];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (name == c.name) {
      const Args args(all.begin() + 1, all.end());
      return c.run(args);
    }
  }
  std::fprintf(stderr, "tavrix-cli: unknown command '%s' (try --help)\n", name.c_str());
  return 2;
}
