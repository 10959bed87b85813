#include "host/admission_rules.h"

#include <algorithm>

#include "foundation/format.h"
#include "foundation/text.h"

namespace tvx {
namespace {

constexpr std::uint32_t kViewerPalette[8] = {0xFF25E07A, 0xFF3FA9FF, 0xFFFFC533, 0xFFFF5C7A,
                                             0xFFB98CFF, 0xFF4FE3D2, 0xFFFF9A4D, 0xFFE8E36B};

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool AccessCodeMatches(std::string_view configured, std::string_view given) {
  if (configured.empty()) return true;
  if (configured.size() != given.size()) return false;
  for (std::size_t i = 0; i < configured.size(); ++i) {
    if (UpperAscii(configured[i]) != UpperAscii(given[i])) return false;
  }
  return true;
}

std::uint32_t ClampViewerLimit(std::int32_t maxViewers) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int32_t>(maxViewers, kMinViewerLimit, static_cast<std::int32_t>(kMaxViewerLimit)));
}

std::uint32_t ViewerColour(std::uint32_t id) { return kViewerPalette[(id - 1) % 8]; }

std::wstring ViewerName(std::string_view helloName, std::uint32_t id) {
  if (!helloName.empty()) return Utf8ToWide(helloName);
  return FormatText(L"Viewer %u", id);
}

}  // namespace tvx
