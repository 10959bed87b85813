// The viewer's picture presets and the picture request each one sends.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "net/pointer_messages.h"

namespace tvx {

enum class PicturePreset : std::uint8_t { Auto = 0, Light = 1, Balanced = 2, Sharp = 3, Best = 4 };

// "Auto", "Light", "Balanced", "Sharp", "Best".
const wchar_t* PicturePresetName(PicturePreset preset);
// The preset with that name (ASCII case ignored), if any.
std::optional<PicturePreset> PicturePresetFromName(std::string_view name);
// The request a fixed preset sends; Auto sends the level it picks (Sharp or Balanced) instead.
PictureRequest PictureRequestFor(PicturePreset preset);

}  // namespace tvx
