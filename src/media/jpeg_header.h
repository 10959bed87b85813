// Reads the picture size a JPEG file declares, from its frame header, without decoding anything.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

// Walks the markers from the start of image to the first frame header (SOF0 .. SOF15) and reads
// its width and height. False when the bytes end first, a marker is malformed, the scan starts
// before any frame header, or the declared width or height is 0.
bool ReadJpegFrameSize(const std::uint8_t* jpeg, std::size_t size, std::uint32_t& width, std::uint32_t& height);

}  // namespace tvx
