#include "media/input_event_json.h"

namespace tvx {

std::string InputEventJson(const InputEvent& event) {
  const std::string extra = std::to_string(event.extraInfo);
  if (event.type == InputEvent::Type::kMouse) {
    return "{\"input\":\"mouse\",\"x\":" + std::to_string(event.dx) + ",\"y\":" + std::to_string(event.dy) +
           ",\"flags\":" + std::to_string(event.flags) + ",\"data\":" +
           std::to_string(static_cast<std::int32_t>(event.mouseData)) + ",\"extra\":" + extra + "}";
  }
  return "{\"input\":\"key\",\"vk\":" + std::to_string(event.vk) + ",\"scan\":" + std::to_string(event.scan) +
         ",\"flags\":" + std::to_string(event.flags) + ",\"extra\":" + extra + "}";
}

}  // namespace tvx
