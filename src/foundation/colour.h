// Colours as 32-bit 0xAARRGGBB values and their text form in the settings file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvx {

// Accepts an optional leading "#", then exactly 6 hexadecimal digits (RRGGBB, alpha 255) or 8
// (AARRGGBB). Anything else is rejected and leaves `argb` untouched.
bool ParseColour(std::wstring_view text, std::uint32_t& argb);

// "#RRGGBB" when alpha is 255, otherwise "#AARRGGBB"; upper-case digits.
std::wstring FormatColour(std::uint32_t argb);

}  // namespace tvx
