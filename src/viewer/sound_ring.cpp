#include "viewer/sound_ring.h"

#include <algorithm>
#include <cstring>

namespace tvx {

std::size_t SoundRing::SamplesFor(std::uint32_t rate, std::uint16_t channels) {
  return static_cast<std::size_t>(static_cast<std::uint64_t>(rate) * channels * kMillis / 1000);
}

void SoundRing::Allocate(std::uint32_t rate, std::uint16_t channels) {
  buffer_.assign(SamplesFor(rate, channels), 0);
  Reset();
}

void SoundRing::Reset() {
  read_ = 0;
  filled_ = 0;
}

void SoundRing::Write(const std::int16_t* samples, std::size_t count) {
  const std::size_t size = buffer_.size();
  if (size == 0 || count == 0) return;
  if (count > size) {
    // Everything buffered and the start of this write would be overwritten anyway; keeping the
    // newest samples in order is what the listener should hear.
    samples += count - size;
    count = size;
  }
  if (filled_ + count > size) {
    const std::size_t overflow = filled_ + count - size;
    read_ = (read_ + overflow) % size;
    filled_ -= std::min(overflow, filled_);
  }
  std::size_t write = (read_ + filled_) % size;
  std::size_t left = count;
  while (left > 0) {
    const std::size_t chunk = std::min(left, size - write);
    std::memcpy(buffer_.data() + write, samples, chunk * sizeof(std::int16_t));
    samples += chunk;
    left -= chunk;
    write = (write + chunk) % size;
  }
  filled_ = std::min(filled_ + count, size);
}

std::size_t SoundRing::Read(std::int16_t* out, std::size_t count) {
  const std::size_t size = buffer_.size();
  const std::size_t take = std::min(filled_, count);
  std::size_t done = 0;
  while (done < take) {
    const std::size_t chunk = std::min(take - done, size - read_);
    std::memcpy(out + done, buffer_.data() + read_, chunk * sizeof(std::int16_t));
    done += chunk;
    read_ = (read_ + chunk) % size;
  }
  filled_ -= take;
  std::fill(out + take, out + count, std::int16_t{0});
  return take;
}

}  // namespace tvx
