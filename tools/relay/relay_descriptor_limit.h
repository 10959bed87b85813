// The per-process limit on open descriptors (every socket is one), where the platform has one.
#pragma once

#include <cstddef>

namespace tvx::relay {

// How many descriptors this process may hold at once; 0 when the platform sets no such limit.
std::size_t DescriptorLimit();

// Raises the limit as far as the process is allowed to on its own (POSIX: the soft limit up to the
// hard one) and returns the limit now in force, as DescriptorLimit does.
std::size_t RaiseDescriptorLimit();

}  // namespace tvx::relay
