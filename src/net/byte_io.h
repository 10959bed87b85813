// Explicit little-endian writing and bounded reading of message payloads, so no message code
// computes offsets by hand or reads past the bytes it was given.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

class ByteWriter {
 public:
  // Starting with room for a small message also keeps GCC 12's bounds warnings from misfiring on
  // the first growth of an empty vector.
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {
    if (out_.capacity() < 64) out_.reserve(64);
  }

  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) { Unsigned(v, 2); }
  void U32(std::uint32_t v) { Unsigned(v, 4); }
  void U64(std::uint64_t v) { Unsigned(v, 8); }
  void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
  void Zeros(std::size_t count) { out_.resize(out_.size() + count, 0); }
  void Bytes(std::span<const std::uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Bytes(std::string_view bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // A fixed-size text field: at most `maxBytes` (default: the whole field) of the UTF-8 bytes, then
  // zeros up to `fieldSize`. A multi-byte character cut at the limit stays cut.
  void FixedText(std::string_view utf8, std::size_t fieldSize, std::size_t maxBytes = SIZE_MAX) {
    const std::size_t used = std::min({utf8.size(), fieldSize, maxBytes});
    Bytes(utf8.substr(0, used));
    Zeros(fieldSize - used);
  }
  void Utf16(std::u16string_view text) {
    for (char16_t c : text) U16(static_cast<std::uint16_t>(c));
  }
  std::size_t size() const { return out_.size(); }

 private:
  void Unsigned(std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t>& out_;
};

// Reads fields in order. A read past the end yields zero and sets the reader failed for good, so a
// decoder may read a whole record and check ok() once.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t U8() { return static_cast<std::uint8_t>(Unsigned(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Unsigned(4)); }
  std::uint64_t U64() { return Unsigned(8); }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  float F32() { return std::bit_cast<float>(U32()); }
  void Skip(std::size_t count) { Take(count); }
  // `count` bytes in place (empty and failed when they are not all there).
  std::span<const std::uint8_t> Take(std::size_t count) {
    if (!ok_ || count > remaining()) {
      ok_ = false;
      return {};
    }
    auto part = bytes_.subspan(offset_, count);
    offset_ += count;
    return part;
  }
  // A fixed-size text field: the bytes up to the first zero or the end of the field.
  std::string FixedText(std::size_t fieldSize) {
    const auto field = Take(fieldSize);
    std::size_t length = 0;
    while (length < field.size() && field[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(field.data()), length);
  }
  std::u16string Utf16(std::size_t units) {
    const auto raw = Take(units * 2);
    std::u16string text(raw.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
    }
    return text;
  }

  bool ok() const { return ok_; }
  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return bytes_.size() - offset_; }

 private:
  std::uint64_t Unsigned(std::size_t width) {
    const auto raw = Take(width);
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) v |= static_cast<std::uint64_t>(raw[i]) << (8 * i);
    return v;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
  bool ok_ = true;
};

}  // namespace tvx
