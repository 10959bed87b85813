// Feeds arbitrary first frames to the relay's role decision. The first two bytes are the frame
// type, the rest its payload. A registration that is accepted must carry a well-formed ID.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "relay_first_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size - 2 > tvx::relay::kMaxFirstFrame) return 0;
  const auto type = static_cast<std::uint16_t>(data[0] | data[1] << 8);
  const tvx::relay::FirstFrame first = tvx::relay::ClassifyFirstFrame(type, std::span(data + 2, size - 2));
  if (first.role == tvx::relay::Role::Register && first.refusal.empty() && !tvx::relay::IsRelayId(first.id)) {
    std::abort();
  }
  if (first.role != tvx::relay::Role::Register && !first.refusal.empty()) std::abort();
  return 0;
}
