#include "viewer/sound_player.h"

#include <chrono>
#include <system_error>

#include "foundation/log.h"
#include "foundation/com_apartment.h"

namespace tvx {

SoundPlayer::SoundPlayer(SoundOutputFactory outputs) : outputs_(std::move(outputs)) {}

void SoundPlayer::OnFormat(std::uint32_t rate, std::uint16_t channels) {
  std::lock_guard<std::mutex> control(controlMutex_);
  if (active_ && rate_ == rate && channels_ == channels) return;
  StopLocked();
  if (rate == 0 || rate > kMaxRate || channels == 0 || channels > kMaxChannels) {
    Log(kLogWarning, L"Audio: cannot play it here: %s", L"Bad audio format.");
    return;
  }
  rate_ = rate;
  channels_ = channels;
  {
    std::lock_guard<std::mutex> lock(ringMutex_);
    ring_.Allocate(rate, channels);
  }
  stop_ = false;
  active_ = true;
  try {
    thread_ = std::thread([this] { PlaybackLoop(); });
  } catch (const std::system_error&) {
    active_ = false;  // no sound this time; the session goes on
  }
}

void SoundPlayer::OnSamples(const std::uint8_t* littleEndianSamples, std::uint32_t frames) {
  if (!active_ || frames == 0) return;
  const std::size_t count = static_cast<std::size_t>(frames) * channels_;
  incoming_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = littleEndianSamples + i * 2;
    incoming_[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  }
  std::lock_guard<std::mutex> lock(ringMutex_);
  ring_.Write(incoming_.data(), incoming_.size());
}

void SoundPlayer::Stop() {
  std::lock_guard<std::mutex> control(controlMutex_);
  StopLocked();
}

void SoundPlayer::StopLocked() {
  stop_ = true;
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  active_ = false;
  std::lock_guard<std::mutex> lock(ringMutex_);
  ring_.Reset();
}

std::size_t SoundPlayer::Buffered() {
  std::lock_guard<std::mutex> lock(ringMutex_);
  return ring_.filled();
}

std::size_t SoundPlayer::Capacity() {
  std::lock_guard<std::mutex> lock(ringMutex_);
  return ring_.size();
}

void SoundPlayer::PlaybackLoop() {
  ComApartment com;
  std::unique_ptr<SoundOutput> output = outputs_ ? outputs_() : nullptr;
  const std::uint32_t rate = rate_;
  const std::uint16_t channels = channels_;
  if (!output || !output->Open(rate, channels)) {
    if (output) output->Close();
    active_ = false;
    return;
  }
  Log(kLogInfo, L"Audio: playing %u Hz, %u channel%s", rate, channels, channels == 1 ? L"" : L"s");
  while (!stop_) {
    std::uint32_t free = 0;
    if (!output->FreeFrames(free)) break;
    if (free > 0) {
      output->Write(free, [this](std::int16_t* samples, std::size_t count) {
        std::lock_guard<std::mutex> lock(ringMutex_);
        ring_.Read(samples, count);
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  output->Close();
  active_ = false;
  Log(kLogInfo, L"Audio: playback stopped");
}

}  // namespace tvx
