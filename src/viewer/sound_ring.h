// The short ring of 16-bit samples between the pointer-channel receiver and the playback thread.
// Not locked itself: the sound player guards it with its own mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvx {

class SoundRing {
 public:
  // How much sound the ring holds, so playback lags the host by at most this.
  static constexpr std::uint32_t kMillis = 200;

  // rate * channels * 200 / 1000 samples, computed without overflow.
  static std::size_t SamplesFor(std::uint32_t rate, std::uint16_t channels);

  // Allocates the ring for the format, all silence, nothing filled.
  void Allocate(std::uint32_t rate, std::uint16_t channels);
  // Forgets what is buffered (keeps the storage).
  void Reset();

  // Appends samples after the filled region; when they do not fit, the oldest buffered ones are
  // dropped first. Of a write larger than the whole ring only the newest ring-size samples are kept.
  void Write(const std::int16_t* samples, std::size_t count);
  // Copies up to `count` buffered samples in order and fills the rest of `out` with silence;
  // returns how many real samples were copied.
  std::size_t Read(std::int16_t* out, std::size_t count);

  std::size_t size() const { return buffer_.size(); }
  std::size_t filled() const { return filled_; }

 private:
  std::vector<std::int16_t> buffer_;
  std::size_t read_ = 0;
  std::size_t filled_ = 0;
};

}  // namespace tvx
