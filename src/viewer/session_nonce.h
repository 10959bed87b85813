// The number that pairs a viewer's two channels at the host.
#pragma once

#include <cstdint>

namespace tvx {

// Never zero: a zero draw becomes the fixed value 0x54564553 ("TVES").
constexpr std::uint64_t kFallbackSessionNonce = 0x54564553;

// Drawn from the system's cryptographic source so that no one can guess it and take over the
// other channel of someone else's session; The clock is used only if that source fails.
std::uint64_t DrawSessionNonce();

// The nonzero rule on its own (tests feed it zero).
constexpr std::uint64_t NonzeroNonce(std::uint64_t drawn) { return drawn == 0 ? kFallbackSessionNonce : drawn; }

}  // namespace tvx
