// Decides whose mouse input reaches the host: never while the person at the host is moving the
// mouse, and only one viewer at a time. Pure logic over the injector's control state, the cursor
// and a clock the caller passes in; the host calls it under its input lock.
#pragma once

#include <cstdint>

#include "media/input_injector.h"
#include "media/input_platform.h"
#include "net/pointer_messages.h"

namespace tvx {

// What a viewer is to be told after a control mouse message: nothing when remainingMs is 0.
struct ControlStatus {
  std::uint32_t remainingMs = 0;
  std::uint8_t holder = kHeldByHostUser;  // PointerHolder
  std::uint32_t holderId = 0;             // the viewer holding the mouse, when holder is kHeldByViewer

  bool operator==(const ControlStatus&) const = default;
};

class ControlArbiter {
 public:
  static constexpr std::uint64_t kLocalPauseMs = InputInjector::kLocalMousePauseMs;
  static constexpr std::uint64_t kOwnerHoldMs = 1500;
  // A cursor further than 8 pixels from where remote input left it was moved by the local user.
  static constexpr std::int64_t kLocalMoveDistanceSquared = 64;

  // Both must outlive the arbiter.
  ControlArbiter(InputInjector& injector, InputPlatform& platform);

  // One control mouse message of viewer `viewerId` (never 0) while remote control is allowed:
  // injects it when the mouse is free for this viewer, and says who holds it otherwise.
  ControlStatus OnMouse(std::uint32_t viewerId, const ControlMouse& mouse, std::uint64_t nowMs);

  // A viewer left: everything remote input holds is released, and the mouse is free at once if it
  // was the owner.
  void OnViewerLeft(std::uint32_t viewerId);

 private:
  // Notices the local user moving the mouse since the last remote event.
  void WatchLocalMouse(std::uint64_t nowMs);
  ControlStatus Status(std::uint32_t viewerId, std::uint64_t nowMs) const;
  bool OwnerHolds(std::uint32_t viewerId, std::uint64_t nowMs) const;

  InputInjector& injector_;
  InputPlatform& platform_;
};

}  // namespace tvx
