// How many connections the relay can really hold. Every connection is one descriptor, and a few
// descriptors are needed for everything else; a limit above what the process may open would only
// turn into accepts that fail.
#pragma once

#include <cstddef>

namespace tvx::relay {

// Descriptors kept back for the listeners, the standard streams, the event loop and the log.
constexpr std::size_t kReservedDescriptors = 32;

// The connection limit to use when `requested` were asked for and the process may hold
// `descriptors` descriptors at once (0: no such limit). Never below 1.
std::size_t EffectiveConnectionLimit(std::size_t requested, std::size_t descriptors);

}  // namespace tvx::relay
