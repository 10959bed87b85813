#include "relay_connection_limit.h"

#include <algorithm>

namespace tvx::relay {

std::size_t EffectiveConnectionLimit(std::size_t requested, std::size_t descriptors) {
  if (descriptors == 0) return std::max<std::size_t>(requested, 1);
  // A tiny budget keeps a quarter back rather than all of it.
  const std::size_t reserved = std::min(kReservedDescriptors, descriptors / 4);
  return std::max<std::size_t>(std::min(requested, descriptors - reserved), 1);
}

}  // namespace tvx::relay
