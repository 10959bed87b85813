#include "media/input_injector.h"

#include <algorithm>
#include <cmath>

#include "foundation/log.h"

namespace tvx {
namespace {

// Keys whose events need the extended flag whatever the viewer said: the navigation block, print
// screen, the Windows and menu keys, keypad divide, num lock and the right-hand control and alt.
bool IsAlwaysExtended(std::uint16_t vk) {
  switch (vk) {
    case 0x21: case 0x22: case 0x23: case 0x24:  // page up, page down, end, home
    case 0x25: case 0x26: case 0x27: case 0x28:  // arrows
    case 0x2C: case 0x2D: case 0x2E:             // print screen, insert, delete
    case 0x5B: case 0x5C: case 0x5D:             // left and right Windows keys, menu
    case 0x6F: case 0x90:                        // keypad divide, num lock
    case 0xA3: case 0xA5:                        // right control, right alt
      return true;
    default:
      return false;
  }
}

bool IsModifier(std::uint16_t vk) {
  switch (vk) {
    case 0x10: case 0x11: case 0x12:             // shift, control, alt
    case 0xA0: case 0xA1: case 0xA2: case 0xA3:  // left/right shift, left/right control
    case 0xA4: case 0xA5:                        // left/right alt
      return true;
    default:
      return false;
  }
}

double Clamp01(float value) {
  if (!(value > 0.0f)) return 0.0;  // also a non-number
  return value > 1.0f ? 1.0 : static_cast<double>(value);
}

std::int32_t ToAbsolute(double value) {
  return static_cast<std::int32_t>(std::round(std::clamp(value, 0.0, 65535.0)));
}

constexpr std::uint32_t kPositioned = kMouseMove | kMouseVirtualDesk | kMouseAbsolute;

// The up flag of a button and its mouseData (X buttons are told apart by number).
struct ButtonUp {
  std::uint32_t flag;
  std::uint32_t data;
};
constexpr ButtonUp kButtonUps[5] = {
    {kMouseLeftUp, 0}, {kMouseRightUp, 0}, {kMouseMiddleUp, 0}, {kMouseXUp, 1}, {kMouseXUp, 2}};
constexpr std::uint32_t kButtonDowns[5] = {kMouseLeftDown, kMouseRightDown, kMouseMiddleDown, kMouseXDown,
                                           kMouseXDown};

}  // namespace

InputInjector::InputInjector(InputSink& sink, InputPlatform& platform) : sink_(sink), platform_(platform) {}

void InputInjector::SetRegion(const Rect& region) {
  region_ = region;
  Rect desktop;
  bool any = false;
  for (const Rect& monitor : platform_.MonitorRects()) {
    if (!any) {
      desktop = monitor;
      any = true;
      continue;
    }
    desktop.left = std::min(desktop.left, monitor.left);
    desktop.top = std::min(desktop.top, monitor.top);
    desktop.right = std::max(desktop.right, monitor.right);
    desktop.bottom = std::max(desktop.bottom, monitor.bottom);
  }
  if (!any || desktop.Empty()) desktop = platform_.SystemVirtualScreen();
  // A system that reports no desktop at all: the shared monitor is all there is.
  if (desktop.Empty()) desktop = region;
  if (desktop.right <= desktop.left) desktop.right = desktop.left + 1;
  if (desktop.bottom <= desktop.top) desktop.bottom = desktop.top + 1;
  virtualDesktop_ = desktop;
  logNextMapping_ = true;
  Log(kLogInfo, L"Input region %ld,%ld %ldx%ld   virtual desktop %ld,%ld %ldx%ld", region.left, region.top,
      static_cast<std::int64_t>(region.right) - region.left, static_cast<std::int64_t>(region.bottom) - region.top,
      desktop.left, desktop.top, static_cast<std::int64_t>(desktop.right) - desktop.left,
      static_cast<std::int64_t>(desktop.bottom) - desktop.top);
}

InputInjector::Mapping InputInjector::Map(float x, float y) const {
  const double fx = Clamp01(x);
  const double fy = Clamp01(y);
  // 64-bit sizes: no rectangle can overflow the arithmetic.
  const std::int64_t rw = std::max<std::int64_t>(std::int64_t{region_.right} - region_.left, 1);
  const std::int64_t rh = std::max<std::int64_t>(std::int64_t{region_.bottom} - region_.top, 1);
  const std::int64_t vw = std::max<std::int64_t>(std::int64_t{virtualDesktop_.right} - virtualDesktop_.left, 1);
  const std::int64_t vh = std::max<std::int64_t>(std::int64_t{virtualDesktop_.bottom} - virtualDesktop_.top, 1);
  const double offsetX = static_cast<double>(std::int64_t{region_.left} - virtualDesktop_.left);
  const double offsetY = static_cast<double>(std::int64_t{region_.top} - virtualDesktop_.top);

  Mapping mapping;
  mapping.absX = ToAbsolute((static_cast<double>(rw - 1) * fx + offsetX) * 65535.0 /
                            static_cast<double>(std::max<std::int64_t>(vw - 1, 1)));
  mapping.absY = ToAbsolute((static_cast<double>(rh - 1) * fy + offsetY) * 65535.0 /
                            static_cast<double>(std::max<std::int64_t>(vh - 1, 1)));
  // The cursor pixel in single precision, as the system places it.
  const float px = std::round(static_cast<float>(rw - 1) * static_cast<float>(fx));
  const float py = std::round(static_cast<float>(rh - 1) * static_cast<float>(fy));
  mapping.cursor = {static_cast<std::int32_t>(px) + region_.left, static_cast<std::int32_t>(py) + region_.top};
  return mapping;
}

bool InputInjector::MouseEvent(float x, float y, std::uint8_t action, std::uint8_t button, std::int16_t wheel) {
  // Unknown actions and buttons are ignored whole: mapping them would move expectedCursor to a
  // place the cursor never went, which the host would take for the local user moving the mouse.
  if (action > kMouseActionHWheel || button > kButtonX2) return false;

  const Mapping mapping = Map(x, y);
  control_.expectedCursor = mapping.cursor;
  control_.expectedValid = true;
  if (logNextMapping_ && action == kMouseActionMove) {
    logNextMapping_ = false;
    CursorPoint cursor;
    platform_.CursorPosition(cursor);  // stays 0,0 when it cannot be read
    Log(kLogInfo, L"Input map: %.4f,%.4f -> abs %ld,%ld (cursor was %ld,%ld)", x, y, mapping.absX, mapping.absY,
        cursor.x, cursor.y);
  }

  std::uint32_t flags = kPositioned;
  std::uint32_t data = 0;
  switch (action) {
    case kMouseActionDown:
      flags |= kButtonDowns[button];
      data = kButtonUps[button].data;
      heldButtons_[button] = true;
      break;
    case kMouseActionUp:
      flags |= kButtonUps[button].flag;
      data = kButtonUps[button].data;
      heldButtons_[button] = false;
      break;
    case kMouseActionWheel:
      flags |= kMouseWheel;
      data = static_cast<std::uint32_t>(static_cast<std::int32_t>(wheel));
      break;
    case kMouseActionHWheel:
      flags |= kMouseHWheel;
      data = static_cast<std::uint32_t>(static_cast<std::int32_t>(wheel));
      break;
    default:
      break;
  }
  return SendMouse(mapping.absX, mapping.absY, flags, data);
}

bool InputInjector::SendMouse(std::int32_t dx, std::int32_t dy, std::uint32_t flags, std::uint32_t mouseData) {
  InputEvent event;
  event.type = InputEvent::Type::kMouse;
  event.dx = dx;
  event.dy = dy;
  event.flags = flags;
  event.mouseData = mouseData;
  return sink_.Send(event);
}

bool InputInjector::SendKey(std::uint16_t vk, std::uint16_t scan, bool down, bool extended) {
  InputEvent event;
  event.type = InputEvent::Type::kKeyboard;
  event.vk = vk;
  event.scan = vk != 0 ? platform_.ScanCodeForKey(vk) : scan;
  if (extended || IsAlwaysExtended(vk)) event.flags |= kKeyExtended;
  if (!down) event.flags |= kKeyUp;
  return sink_.Send(event);
}

bool InputInjector::TypeChar(std::uint16_t unit) {
  std::vector<std::uint16_t> modifiers;
  for (const std::uint16_t vk : heldKeys_) {
    if (IsModifier(vk)) modifiers.push_back(vk);
  }
  for (const std::uint16_t vk : modifiers) SendKey(vk, 0, false, false);

  InputEvent event;
  event.type = InputEvent::Type::kKeyboard;
  event.scan = unit;
  event.flags = kKeyUnicode;
  const bool pressed = sink_.Send(event);
  event.flags = kKeyUnicode | kKeyUp;
  const bool released = sink_.Send(event);

  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) SendKey(*it, 0, true, false);
  return pressed && released;
}

void InputInjector::KeyEvent(std::uint16_t vk, std::uint16_t scan, bool down, bool extended,
                             std::uint16_t character) {
  if (vk == 0 && scan == 0) return;
  if (down && character != 0) {
    if (vk < typedAsChar_.size()) typedAsChar_[vk] = true;
    TypeChar(character);
    return;
  }
  if (down) {
    if (std::find(heldKeys_.begin(), heldKeys_.end(), vk) == heldKeys_.end()) heldKeys_.push_back(vk);
    SendKey(vk, scan, true, extended);
    return;
  }
  if (vk < typedAsChar_.size() && typedAsChar_[vk]) {
    typedAsChar_[vk] = false;  // its down went out as text: there is no key to lift
    return;
  }
  heldKeys_.erase(std::remove(heldKeys_.begin(), heldKeys_.end(), vk), heldKeys_.end());
  SendKey(vk, scan, false, extended);
}

void InputInjector::TextEvent(std::u16string_view text) {
  for (const char16_t unit : text) TypeChar(static_cast<std::uint16_t>(unit));
}

void InputInjector::ReleaseButtons() {
  for (std::size_t b = 0; b < heldButtons_.size(); ++b) {
    if (!heldButtons_[b]) continue;
    SendMouse(0, 0, kButtonUps[b].flag, kButtonUps[b].data);
    heldButtons_[b] = false;
  }
}

void InputInjector::ReleaseAll() {
  ReleaseButtons();
  for (const std::uint16_t vk : heldKeys_) SendKey(vk, 0, false, false);
  heldKeys_.clear();
  typedAsChar_.fill(false);
}

bool InputInjector::IsLocalMouseRecent(std::uint64_t nowMs) const {
  // 0 means no local movement was ever seen: a clock that starts near 0 must not pause the first
  // 1.5 s of a session.
  return control_.lastLocalMoveTick != 0 && nowMs >= control_.lastLocalMoveTick &&
         nowMs - control_.lastLocalMoveTick < kLocalMousePauseMs;
}

}  // namespace tvx
