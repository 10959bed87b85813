// Plays the host's sound: the receiver writes packets into a 200 ms ring, a playback thread pulls
// from it into the output device every 5 ms, with silence when the ring runs dry.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "viewer/sound_output.h"
#include "viewer/sound_ring.h"

namespace tvx {

class SoundPlayer {
 public:
  // Rates above this are refused like a zero rate: no device plays them and the ring would be huge.
  static constexpr std::uint32_t kMaxRate = 384000;
  static constexpr std::uint16_t kMaxChannels = 8;

  explicit SoundPlayer(SoundOutputFactory outputs = CreateDefaultSoundOutput);
  ~SoundPlayer() { Stop(); }
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // A sound format arrived (receiver thread). The same format while playing changes nothing; any
  // other restarts playback, and a bad one leaves the player stopped with a warning.
  void OnFormat(std::uint32_t rate, std::uint16_t channels);
  // Interleaved samples of `frames` frames arrived; ignored unless the player is active.
  void OnSamples(const std::uint8_t* littleEndianSamples, std::uint32_t frames);
  // Stops and joins the playback thread and empties the ring. Not from the playback thread.
  void Stop();

  bool active() const { return active_.load(); }
  std::uint32_t rate() const { return rate_.load(); }
  std::uint16_t channels() const { return channels_.load(); }
  // For tests: how many samples the ring holds and could hold.
  std::size_t Buffered();
  std::size_t Capacity();

 private:
  void PlaybackLoop();
  void StopLocked();

  SoundOutputFactory outputs_;
  // Serialises starting and stopping (receiver thread and window thread); never taken by playback.
  std::mutex controlMutex_;
  std::thread thread_;
  std::atomic<bool> active_{false};
  std::atomic<bool> stop_{false};
  std::atomic<std::uint32_t> rate_{0};
  std::atomic<std::uint16_t> channels_{0};
  std::mutex ringMutex_;
  SoundRing ring_;
  std::vector<std::int16_t> incoming_;  // receiver-thread scratch for one packet
};

}  // namespace tvx
