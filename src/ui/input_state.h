// What the window learnt from its messages since the last frame, handed to the Surface per frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::ui {

// Virtual-key codes the surface reacts to (the Windows values, so the window passes them through).
namespace keys {
inline constexpr std::uint32_t kBackspace = 0x08;
inline constexpr std::uint32_t kTab = 0x09;
inline constexpr std::uint32_t kEnter = 0x0D;
inline constexpr std::uint32_t kEscape = 0x1B;
inline constexpr std::uint32_t kEnd = 0x23;
inline constexpr std::uint32_t kHome = 0x24;
inline constexpr std::uint32_t kLeft = 0x25;
inline constexpr std::uint32_t kUp = 0x26;
inline constexpr std::uint32_t kRight = 0x27;
inline constexpr std::uint32_t kDown = 0x28;
inline constexpr std::uint32_t kDelete = 0x2E;
inline constexpr std::uint32_t kA = 0x41;
inline constexpr std::uint32_t kC = 0x43;
inline constexpr std::uint32_t kV = 0x56;
inline constexpr std::uint32_t kX = 0x58;
inline constexpr std::uint32_t kF11 = 0x7A;
inline constexpr std::uint32_t kF12 = 0x7B;
}  // namespace keys

// One key-down (or system-key-down) with the modifier state sampled with it.
struct KeyEvent {
  std::uint32_t key = 0;  // virtual-key code
  bool ctrl = false;
  bool shift = false;
  bool operator==(const KeyEvent&) const = default;
};

struct InputState {
  // Mouse in client physical pixels; -1, -1 once it left the window.
  float mouse_x = -1;
  float mouse_y = -1;
  bool inside = false;  // over the client area

  bool button_down = false;  // left button held
  bool pressed = false;      // left button went down this frame
  bool released = false;     // left button went up this frame
  bool right_pressed = false;
  bool double_click = false;
  float wheel = 0;  // accumulated notches (120 units each), positive away from the user

  std::wstring typed;             // code units of character messages, in order
  std::vector<KeyEvent> key_events;  // in order
  bool shift = false;             // at the last key event
  bool ctrl = false;
  bool alt = false;  // ctrl + alt is AltGr, which types characters such as '@' on many layouts

  bool dirty = true;  // something changed since the last frame

  float scale = 1;          // DPI / 96
  std::int64_t now_ms = 0;  // a monotonic millisecond clock (caret blink)

  // The per-frame part is cleared after every frame, also one that failed to draw.
  void ClearFrameEvents() {
    pressed = false;
    released = false;
    right_pressed = false;
    double_click = false;
    wheel = 0;
    typed.clear();
    key_events.clear();
  }
};

}  // namespace tvx::ui
