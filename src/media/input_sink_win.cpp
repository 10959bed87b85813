#include <windows.h>

#include "media/input_sink.h"

namespace tvx {
namespace {

class SendInputSink final : public InputSink {
 public:
  bool Send(const InputEvent& event) override {
    INPUT input = {};
    if (event.type == InputEvent::Type::kMouse) {
      input.type = INPUT_MOUSE;
      input.mi.dx = event.dx;
      input.mi.dy = event.dy;
      input.mi.mouseData = event.mouseData;
      input.mi.dwFlags = event.flags;
      input.mi.dwExtraInfo = static_cast<ULONG_PTR>(event.extraInfo);
    } else {
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = event.vk;
      input.ki.wScan = event.scan;
      input.ki.dwFlags = event.flags;
      input.ki.dwExtraInfo = static_cast<ULONG_PTR>(event.extraInfo);
    }
    return SendInput(1, &input, sizeof(input)) == 1;
  }
};

}  // namespace

std::unique_ptr<InputSink> CreateSystemInputSink() { return std::make_unique<SendInputSink>(); }

bool SystemInputInjects() { return true; }

}  // namespace tvx
