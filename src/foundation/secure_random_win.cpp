#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdint>

#include "foundation/secure_random.h"

namespace tvx {

bool SecureRandomBytes(void* buffer, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (size > 0) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
    out += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace tvx
