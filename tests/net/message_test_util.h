// Small helpers shared by the message tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "net/message_types.h"

namespace tvx::testing {

template <class Record>
Record RoundTrip(const Record& record) {
  const Bytes bytes = Encode(record);
  Record back{};
  EXPECT_TRUE(Decode(ByteSpan(bytes), back));
  return back;
}

inline std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}
inline std::uint16_t U16At(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
inline std::string TextAt(const Bytes& bytes, std::size_t at, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at), size);
}
inline ByteSpan Prefix(const Bytes& bytes, std::size_t size) { return ByteSpan(bytes.data(), size); }

}  // namespace tvx::testing
