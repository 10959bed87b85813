// The device end of sound playback: interleaved 16-bit PCM at the host's rate and channel count,
// pulled by the playback thread in small periods.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace tvx {

class SoundOutput {
 public:
  // Receives the device buffer to fill and its size in samples.
  using Fill = std::function<void(std::int16_t* samples, std::size_t count)>;

  virtual ~SoundOutput() = default;
  // Opens the default output for the format and starts it; logs its own failures. Runs on the
  // playback thread, which has initialised the component objects.
  virtual bool Open(std::uint32_t rate, std::uint16_t channels) = 0;
  // Frames the device can take now; false when the device has failed.
  virtual bool FreeFrames(std::uint32_t& frames) = 0;
  // Hands `frames` frames of device buffer to `fill`; false when none could be had.
  virtual bool Write(std::uint32_t frames, const Fill& fill) = 0;
  // Stops the device and releases it.
  virtual void Close() = 0;
};

using SoundOutputFactory = std::function<std::unique_ptr<SoundOutput>()>;

// The platform's default output: the shared-mode audio client on Windows; elsewhere an output with
// no device that consumes samples at the device rate, so the same ring logic runs everywhere.
std::unique_ptr<SoundOutput> CreateDefaultSoundOutput();

// The device-less output (also used where there is no sound device).
std::unique_ptr<SoundOutput> CreateNullSoundOutput();

}  // namespace tvx
