#pragma once

#include <cstdint>
#include <string>

namespace tvx {

// A rectangle in pixels; right and bottom are exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

// One monitor attached to the desktop.
struct MonitorInfo {
  uint32_t index = 0;         // position among attached outputs, adapters first
  uint32_t adapterIndex = 0;  // adapter in the factory's enumeration
  uint32_t outputIndex = 0;   // output on that adapter
  Rect desktopRect;           // virtual-desktop coordinates
  bool main = false;          // left and top are both 0
  uint8_t rotation = 0;       // quarter turns clockwise
  std::wstring deviceName;    // at most 32 characters
};

}  // namespace tvx
