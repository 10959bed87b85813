#include "host/access_codes.h"

#include <cstdint>
#include <random>

#include "foundation/log.h"
#include "foundation/secure_random.h"

namespace tvx {
namespace {

static_assert(sizeof(kAccessCodeAlphabet) - 1 == 32, "an index is the low five bits of a random byte");

// Random bytes, fetched from the system in small batches.
class RandomBytes {
 public:
  std::uint8_t Next() {
    if (used_ == sizeof buffer_) Refill();
    return buffer_[used_++];
  }

  // A value below `bound` without modulo bias: bytes at or above the largest multiple of
  // `bound` are thrown away.
  unsigned Below(unsigned bound) {
    const unsigned limit = 256 - 256 % bound;
    for (;;) {
      const unsigned b = Next();
      if (b < limit) return b % bound;
    }
  }

 private:
  void Refill() {
    used_ = 0;
    if (SecureRandomBytes(buffer_, sizeof buffer_)) return;
    // The system source practically never fails; the library's device is the next best thing.
    Log(kLogError, L"The system random source failed; using the fallback generator");
    std::random_device device;
    for (auto& b : buffer_) b = static_cast<std::uint8_t>(device());
  }

  std::uint8_t buffer_[32] = {};
  std::size_t used_ = sizeof buffer_;
};

}  // namespace

std::string MakeAccessCode() {
  RandomBytes random;
  std::string code;
  for (std::size_t i = 0; i < kAccessCodeLength; ++i) code.push_back(kAccessCodeAlphabet[random.Below(32)]);
  return code;
}

std::string MakeRelayId() {
  RandomBytes random;
  std::string id;
  id.push_back(static_cast<char>('1' + random.Below(9)));
  while (id.size() < kRelayIdLength) id.push_back(static_cast<char>('0' + random.Below(10)));
  return id;
}

}  // namespace tvx
