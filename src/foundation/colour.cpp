#include "foundation/colour.h"

namespace tvx {

bool ParseColour(std::wstring_view text, std::uint32_t& argb) {
  if (!text.empty() && text.front() == L'#') text.remove_prefix(1);
  if (text.size() != 6 && text.size() != 8) return false;
  std::uint32_t value = 0;
  for (const wchar_t c : text) {
    std::uint32_t digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<std::uint32_t>(c - L'0');
    } else if (c >= L'a' && c <= L'f') {
      digit = static_cast<std::uint32_t>(c - L'a' + 10);
    } else if (c >= L'A' && c <= L'F') {
      digit = static_cast<std::uint32_t>(c - L'A' + 10);
    } else {
      return false;
    }
    value = (value << 4) | digit;
  }
  argb = text.size() == 6 ? (0xFF000000u | value) : value;
  return true;
}

std::wstring FormatColour(std::uint32_t argb) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  const bool opaque = (argb >> 24) == 0xFF;
  std::wstring out = L"#";
  for (int shift = opaque ? 20 : 28; shift >= 0; shift -= 4) out.push_back(kHex[(argb >> shift) & 0xF]);
  return out;
}

}  // namespace tvx
