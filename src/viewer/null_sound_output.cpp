#include <algorithm>
#include <vector>

#include "foundation/clock.h"
#include "viewer/sound_output.h"

namespace tvx {
namespace {

// Plays into nowhere at the device rate through a 100 ms buffer, like a real device would.
class NullSoundOutput final : public SoundOutput {
 public:
  bool Open(std::uint32_t rate, std::uint16_t channels) override {
    rate_ = rate;
    channels_ = channels;
    bufferFrames_ = std::max<std::uint32_t>(rate / 10, 1);
    queued_ = 0;
    last_ = NowMicros();
    return rate_ != 0 && channels_ != 0;
  }

  bool FreeFrames(std::uint32_t& frames) override {
    Drain();
    frames = bufferFrames_ - static_cast<std::uint32_t>(queued_);
    return true;
  }

  bool Write(std::uint32_t frames, const Fill& fill) override {
    Drain();
    frames = std::min<std::uint32_t>(frames, bufferFrames_ - static_cast<std::uint32_t>(queued_));
    scratch_.resize(static_cast<std::size_t>(frames) * channels_);
    fill(scratch_.data(), scratch_.size());
    queued_ += frames;
    return true;
  }

  void Close() override { scratch_.clear(); }

 private:
  // Removes what the device would have played since the last look.
  void Drain() {
    const std::int64_t now = NowMicros();
    const std::uint64_t played = static_cast<std::uint64_t>(now - last_) * rate_ / 1'000'000;
    if (played == 0) return;
    last_ += static_cast<std::int64_t>(played * 1'000'000 / rate_);
    queued_ -= std::min<std::uint64_t>(played, queued_);
  }

  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t bufferFrames_ = 0;
  std::uint64_t queued_ = 0;
  std::int64_t last_ = 0;
  std::vector<std::int16_t> scratch_;
};

}  // namespace

std::unique_ptr<SoundOutput> CreateNullSoundOutput() { return std::make_unique<NullSoundOutput>(); }

}  // namespace tvx
