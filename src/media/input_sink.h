// Where the injector's synthetic input events go: the system's input queue on Windows, a recording
// elsewhere and in tests.
#pragma once

#include <cstdint>
#include <memory>

namespace tvx {

// Every synthetic event of the host carries this in its extra-information field ("TVX!" read from
// the most significant byte down), so the program's own windows can tell it from real input.
inline constexpr std::uint32_t kInjectedInputMarker = 0x54565821;

// Mouse event flags (the platform's MOUSEEVENTF_* values).
inline constexpr std::uint32_t kMouseMove = 0x0001;
inline constexpr std::uint32_t kMouseLeftDown = 0x0002;
inline constexpr std::uint32_t kMouseLeftUp = 0x0004;
inline constexpr std::uint32_t kMouseRightDown = 0x0008;
inline constexpr std::uint32_t kMouseRightUp = 0x0010;
inline constexpr std::uint32_t kMouseMiddleDown = 0x0020;
inline constexpr std::uint32_t kMouseMiddleUp = 0x0040;
inline constexpr std::uint32_t kMouseXDown = 0x0080;
inline constexpr std::uint32_t kMouseXUp = 0x0100;
inline constexpr std::uint32_t kMouseWheel = 0x0800;
inline constexpr std::uint32_t kMouseHWheel = 0x1000;
inline constexpr std::uint32_t kMouseVirtualDesk = 0x4000;
inline constexpr std::uint32_t kMouseAbsolute = 0x8000;

// Keyboard event flags (the platform's KEYEVENTF_* values).
inline constexpr std::uint32_t kKeyExtended = 0x0001;
inline constexpr std::uint32_t kKeyUp = 0x0002;
inline constexpr std::uint32_t kKeyUnicode = 0x0004;

// One synthetic input event, laid out like the platform's INPUT record.
struct InputEvent {
  enum class Type : std::uint8_t { kMouse, kKeyboard };

  Type type = Type::kMouse;
  std::int32_t dx = 0;          // mouse: absolute position 0 .. 65535
  std::int32_t dy = 0;
  std::uint32_t mouseData = 0;  // mouse: wheel delta (sign-extended) or X button number
  std::uint16_t vk = 0;         // keyboard: virtual key
  std::uint16_t scan = 0;       // keyboard: scan code, or the UTF-16 unit with kKeyUnicode
  std::uint32_t flags = 0;
  std::uint64_t extraInfo = kInjectedInputMarker;

  bool operator==(const InputEvent&) const = default;
};

class InputSink {
 public:
  virtual ~InputSink() = default;
  // True when the event was delivered.
  virtual bool Send(const InputEvent& event) = 0;
};

// The system's input queue (SendInput) on Windows; elsewhere, where the host has no input queue of
// its own, a recording sink that keeps the most recent events.
std::unique_ptr<InputSink> CreateSystemInputSink();
// True where the system's sink really delivers input to the desktop (Windows), false where it only
// records.
bool SystemInputInjects();

}  // namespace tvx
