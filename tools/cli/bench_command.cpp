// tavrix-cli bench: runs one of the benchmarks named in the table below.
#include <cstdio>
#include <string>

#include "commands.h"

namespace tvx::cli {

namespace {

const Command kBenchmarks[] = {
    {"frames", "loopback frame throughput (MB/s) and small-frame round trip (us)", RunBenchFrames},
    {"hash", "change detection (GB/s) beside memcpy", RunBenchHash},
    {"overlay", "overlay render time with 0..256 drawings, and the share of renders skipped", RunBenchOverlay},
    {"encode", "JPEG tiles per second per thread count and workload", RunBenchEncode},
    {"relay", "a session through the relay vs direct, and the relay's cost per host and session", RunBenchRelay},
    {"stream", "host and viewer over loopback: fps, kbit/s, CPU per frame, change-to-screen latency", RunBenchStream},
};

void PrintBenchUsage(std::FILE* out) {
  std::fprintf(out, "usage: tavrix-cli bench NAME [ARGS...]\n\nbenchmarks:\n");
  for (const Command& b : kBenchmarks) std::fprintf(out, "  %-10s %s\n", b.name, b.summary);
}

}  // namespace

int RunBench(const Args& args) {
  if (args.empty()) {
    PrintBenchUsage(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintBenchUsage(stdout);
    return 0;
  }
  for (const Command& b : kBenchmarks) {
    if (args[0] == b.name) return b.run(Args(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "tavrix-cli bench: unknown benchmark '%s' (try --help)\n", args[0].c_str());
  return 2;
}

}  // namespace tvx::cli
