// Turns a viewer's remote mouse, keyboard and text input into synthetic input events on the host,
// placed on the shared monitor inside the whole virtual desktop.
//
// It remembers which buttons and keys remote input holds down, so they can be released when control
// ends, and marks every event with kInjectedInputMarker. It has no lock of its own: the host calls it
// under its input lock, which also guards the control state kept here.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "media/input_platform.h"
#include "media/input_sink.h"
#include "media/monitor_info.h"
#include "net/pointer_messages.h"

namespace tvx {

// Buttons as a viewer numbers them (the actions are the control mouse message's kinds).
enum : std::uint8_t { kButtonLeft = 0, kButtonRight = 1, kButtonMiddle = 2, kButtonX1 = 3, kButtonX2 = 4 };

class InputInjector {
 public:
  // Where a viewer's position lands: the absolute event coordinates (0 .. 65535 across the virtual
  // desktop) and the pixel the cursor should end up on.
  struct Mapping {
    std::int32_t absX = 0;
    std::int32_t absY = 0;
    CursorPoint cursor;
  };

  // Who drives the mouse, decided by the host; kept here because it lives under the same lock.
  struct ControlState {
    CursorPoint expectedCursor;  // where the last injected position put the cursor
    bool expectedValid = false;
    CursorPoint lastSeenCursor;  // the cursor read at the last remote mouse event
    bool lastSeenValid = false;
    std::uint64_t lastLocalMoveTick = 0;  // ms: the local user's last mouse movement; 0: never
    std::uint32_t ownerId = 0;            // the viewer being injected; 0 for none
    std::uint64_t lastOwnerInputTick = 0;  // ms: the owner's last mouse event
  };

  static constexpr std::uint64_t kLocalMousePauseMs = 1500;

  // Both must outlive the injector.
  InputInjector(InputSink& sink, InputPlatform& platform);

  // Sets the shared monitor's rectangle, re-reads the virtual desktop and logs both; the next move
  // logs its mapping once.
  void SetRegion(const Rect& region);
  const Rect& region() const { return region_; }
  const Rect& virtualDesktop() const { return virtualDesktop_; }

  // Maps a position (0 .. 1 across the shared monitor; clamped, a non-number counts as 0) without
  // sending anything or touching any state.
  Mapping Map(float x, float y) const;

  // One mouse event at a viewer's position. Actions above 4 and buttons above 4 are ignored whole.
  // Returns true when an event was delivered.
  bool MouseEvent(float x, float y, std::uint8_t action, std::uint8_t button, std::int16_t wheel);

  // One key event; the scan code comes from the keyboard layout whenever vk is not 0.
  bool SendKey(std::uint16_t vk, std::uint16_t scan, bool down, bool extended);
  // Types one UTF-16 unit, lifting the modifiers remote input holds for the duration.
  bool TypeChar(std::uint16_t unit);
  // A viewer's key event: a down with a character is typed as text, and its up is then dropped.
  void KeyEvent(std::uint16_t vk, std::uint16_t scan, bool down, bool extended, std::uint16_t character);
  // A viewer's text: each unit typed in order.
  void TextEvent(std::u16string_view text);

  // Lifts every button remote input holds (events without a position).
  void ReleaseButtons();
  // Buttons, then keys in the order pressed; forgets the keys typed as text.
  void ReleaseAll();

  bool IsLocalMouseRecent(std::uint64_t nowMs) const;

  ControlState& control() { return control_; }
  const ControlState& control() const { return control_; }

  bool buttonHeld(std::uint8_t button) const { return button < heldButtons_.size() && heldButtons_[button]; }
  const std::vector<std::uint16_t>& heldKeys() const { return heldKeys_; }
  bool typedAsChar(std::uint16_t vk) const { return vk < typedAsChar_.size() && typedAsChar_[vk]; }

 private:
  bool SendMouse(std::int32_t dx, std::int32_t dy, std::uint32_t flags, std::uint32_t mouseData);
  void ReleaseKey(std::uint16_t vk);

  InputSink& sink_;
  InputPlatform& platform_;
  Rect region_;
  Rect virtualDesktop_{0, 0, 1, 1};
  bool logNextMapping_ = false;
  ControlState control_;
  std::array<bool, 5> heldButtons_{};
  std::vector<std::uint16_t> heldKeys_;
  std::array<bool, 256> typedAsChar_{};
};

}  // namespace tvx
