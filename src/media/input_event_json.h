// One synthetic input event as a single JSON line, for hosts that print input instead of injecting it.
#pragma once

#include <string>

#include "media/input_sink.h"

namespace tvx {

// {"input":"mouse","x":..,"y":..,"flags":..,"data":..,"extra":..} or
// {"input":"key","vk":..,"scan":..,"flags":..,"extra":..}; numbers in decimal, no line break.
std::string InputEventJson(const InputEvent& event);

}  // namespace tvx
