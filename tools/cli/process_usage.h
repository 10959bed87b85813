// What the benchmarks read about their own process: memory in use and CPU time.
#pragma once

#include <cstdint>

namespace tvx::cli {

// Resident memory of this process, in bytes (0 when it cannot be read).
std::uint64_t ResidentBytes();
// Lets this process open as many sockets as the system allows (benchmarks open thousands).
void RaiseOpenFileLimit();

}  // namespace tvx::cli
