#include "viewer/session_nonce.h"

#include <atomic>

#include "foundation/clock.h"
#include "foundation/secure_random.h"

namespace tvx {

std::uint64_t DrawSessionNonce() {
  std::uint64_t x = 0;
  if (!SecureRandomBytes(&x, sizeof x)) {
    // Practically never: still give distinct values within the process.
    static std::atomic<std::uint64_t> counter{0};
    x = static_cast<std::uint64_t>(NowMicros()) * 0x9E3779B97F4A7C15ull ^ (++counter << 32);
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
  }
  return NonzeroNonce(x);
}

}  // namespace tvx
