// The frame marker of the streaming benchmark: a frame number drawn into one tile of the host's
// picture as large black and white cells, which survive JPEG at any quality and colour
// subsampling, and read back from the viewer's framebuffer. With the time each number was drawn,
// the reading gives the delay from a tile changing on the host to it being applied in the viewer.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace tvx::cli {

// The tile that carries the marker, in picture pixels.
struct MarkerPlace {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t size = 0;  // one tile edge; 0: the picture is too small to carry a marker

  bool Valid() const { return size != 0; }
};

// A whole tile of the picture's own grid in a quiet part of the synthetic desktop (right of the
// page, below the video window, above the taskbar), so that the marker adds one tile per frame
// and hides nothing the workload changes.
MarkerPlace MarkerPlaceFor(std::uint32_t width, std::uint32_t height);

// 8 x 8 cells: the 32 bits of `sequence`, then their complement, so a tile that is not (or not
// yet) a marker, such as a fresh grey framebuffer, never reads as one.
void PaintMarker(std::uint8_t* bgra, std::uint32_t stride, const MarkerPlace& place, std::uint32_t sequence);
// False when the tile does not hold a whole marker.
bool ReadMarker(const std::uint8_t* bgra, std::uint32_t stride, const MarkerPlace& place, std::uint32_t& sequence);

// When each marker was drawn (NowMicros). Written by the host's streaming thread, read by the
// viewer's picture thread.
class MarkerLog {
 public:
  // Numbers the next marker (from 1) and remembers its time.
  std::uint32_t Stamp(std::int64_t micros);
  // False for a number never stamped.
  bool TimeOf(std::uint32_t sequence, std::int64_t& micros) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::int64_t> times_;  // index = sequence - 1
};

}  // namespace tvx::cli
