// The device end of sound capture: whatever the default playback device plays, read back as
// packets of the mix format. All calls come from the capture thread, which also creates and
// destroys the source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "media/sound_conversion.h"

namespace tvx {

class LoopbackSource {
 public:
  struct Packet {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;  // bytes at data
    std::uint32_t frames = 0;
    bool silent = false;  // the device says the packet is silence; data is not to be read
  };

  virtual ~LoopbackSource() = default;
  // Opens the device and starts capturing; logs its own failures ("Audio: ...").
  virtual bool Open(SoundSourceFormat& format) = 0;
  // Frames in the next packet (0: none yet); false when the device has failed.
  virtual bool NextPacketFrames(std::uint32_t& frames) = 0;
  virtual bool GetPacket(Packet& packet) = 0;
  // Gives back the packet GetPacket returned.
  virtual void ReleasePacket(std::uint32_t frames) = 0;
  // Stops capturing and releases the device.
  virtual void Close() = 0;
};

using LoopbackSourceFactory = std::function<std::unique_ptr<LoopbackSource>()>;

// Loopback capture of the default playback device on Windows; elsewhere a test tone.
std::unique_ptr<LoopbackSource> CreateDefaultLoopbackSource();

}  // namespace tvx
