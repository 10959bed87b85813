#include "relay_descriptor_limit.h"

namespace tvx::relay {

// Windows limits sockets by memory, not by a count per process.
std::size_t DescriptorLimit() { return 0; }

std::size_t RaiseDescriptorLimit() { return 0; }

}  // namespace tvx::relay
