// Synthetic input events as the injector is expected to send them, for tests that compare a
// recording sink's events with a list.
#pragma once

#include <cstdint>

#include "media/input_sink.h"

namespace tvx::testing {

inline constexpr std::uint16_t kVkShift = 0x10;
inline constexpr std::uint16_t kVkControl = 0x11;
inline constexpr std::uint16_t kVkLeft = 0x25;
inline constexpr std::uint16_t kVkA = 0x41;
inline constexpr std::uint16_t kVkRControl = 0xA3;

inline InputEvent Mouse(std::int32_t x, std::int32_t y, std::uint32_t flags, std::uint32_t data = 0) {
  InputEvent e;
  e.type = InputEvent::Type::kMouse;
  e.dx = x;
  e.dy = y;
  e.flags = flags;
  e.mouseData = data;
  return e;
}

inline InputEvent Key(std::uint16_t vk, std::uint16_t scan, std::uint32_t flags) {
  InputEvent e;
  e.type = InputEvent::Type::kKeyboard;
  e.vk = vk;
  e.scan = scan;
  e.flags = flags;
  return e;
}

// One UTF-16 unit typed as text: its key-down or key-up.
inline InputEvent Unicode(char16_t unit, bool up) {
  return Key(0, static_cast<std::uint16_t>(unit), up ? kKeyUnicode | kKeyUp : kKeyUnicode);
}

}  // namespace tvx::testing
