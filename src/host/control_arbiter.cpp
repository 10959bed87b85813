#include "host/control_arbiter.h"

#include "foundation/log.h"

namespace tvx {
namespace {

std::uint64_t Elapsed(std::uint64_t nowMs, std::uint64_t thenMs) { return nowMs > thenMs ? nowMs - thenMs : 0; }

std::int64_t DistanceSquared(const CursorPoint& a, const CursorPoint& b) {
  const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
  const std::int64_t dy = static_cast<std::int64_t>(a.y) - b.y;
  return dx * dx + dy * dy;
}

}  // namespace

ControlArbiter::ControlArbiter(InputInjector& injector, InputPlatform& platform)
    : injector_(injector), platform_(platform) {}

ControlStatus ControlArbiter::OnMouse(std::uint32_t viewerId, const ControlMouse& mouse, std::uint64_t nowMs) {
  // An event the injector would ignore claims nothing: no cursor check, no ownership.
  if (mouse.button > kControlMaxButton || mouse.kind > kMouseActionHWheel) return Status(viewerId, nowMs);

  WatchLocalMouse(nowMs);
  if (injector_.IsLocalMouseRecent(nowMs) || OwnerHolds(viewerId, nowMs)) return Status(viewerId, nowMs);

  InputInjector::ControlState& state = injector_.control();
  if (state.ownerId != viewerId) {
    // The old owner's buttons must not stay down under the new owner's pointer.
    if (state.ownerId != 0) injector_.ReleaseButtons();
    state.ownerId = viewerId;
  }
  state.lastOwnerInputTick = nowMs;
  injector_.MouseEvent(mouse.x, mouse.y, mouse.kind, mouse.button, mouse.wheelDelta);
  return Status(viewerId, nowMs);
}

void ControlArbiter::WatchLocalMouse(std::uint64_t nowMs) {
  CursorPoint cursor;
  if (!platform_.CursorPosition(cursor)) return;
  InputInjector::ControlState& state = injector_.control();
  const bool recent = injector_.IsLocalMouseRecent(nowMs);
  // While the local user is moving, compare with where the cursor was last seen; otherwise with
  // where remote input put it.
  const bool referenceValid = recent ? state.lastSeenValid : state.expectedValid;
  const CursorPoint& reference = recent ? state.lastSeenCursor : state.expectedCursor;
  if (referenceValid && DistanceSquared(cursor, reference) > kLocalMoveDistanceSquared) {
    if (!recent) {
      Log(kLogInfo, L"Local mouse in use - remote pointer input paused");
      injector_.ReleaseButtons();
    }
    state.lastLocalMoveTick = nowMs;
    // Remote input no longer decides where the cursor is: measured from where the local user left
    // it, a cursor at rest lets remote input resume after the pause instead of pausing it again.
    state.expectedCursor = cursor;
    state.expectedValid = true;
  }
  state.lastSeenCursor = cursor;
  state.lastSeenValid = true;
}

bool ControlArbiter::OwnerHolds(std::uint32_t viewerId, std::uint64_t nowMs) const {
  const InputInjector::ControlState& state = injector_.control();
  return state.ownerId != 0 && state.ownerId != viewerId && Elapsed(nowMs, state.lastOwnerInputTick) < kOwnerHoldMs;
}

ControlStatus ControlArbiter::Status(std::uint32_t viewerId, std::uint64_t nowMs) const {
  const InputInjector::ControlState& state = injector_.control();
  ControlStatus status;
  if (injector_.IsLocalMouseRecent(nowMs)) {
    status.remainingMs = static_cast<std::uint32_t>(kLocalPauseMs - Elapsed(nowMs, state.lastLocalMoveTick));
    status.holder = kHeldByHostUser;
  } else if (OwnerHolds(viewerId, nowMs)) {
    status.remainingMs = static_cast<std::uint32_t>(kOwnerHoldMs - Elapsed(nowMs, state.lastOwnerInputTick));
    status.holder = kHeldByViewer;
    status.holderId = state.ownerId;
  }
  return status;
}

void ControlArbiter::OnViewerLeft(std::uint32_t viewerId) {
  injector_.ReleaseAll();
  InputInjector::ControlState& state = injector_.control();
  if (state.ownerId == viewerId) {
    state.ownerId = 0;
    state.lastOwnerInputTick = 0;
  }
}

}  // namespace tvx
