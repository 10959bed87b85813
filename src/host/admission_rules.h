// The checks admission makes on a viewer's greeting, apart from anything that needs the engine's
// state: version, access code, the viewer limit, and the name and colour a new viewer gets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvx {

inline constexpr std::uint32_t kMinViewerLimit = 1;
inline constexpr std::uint32_t kMaxViewerLimit = 8;

// Equal length and equal bytes once ASCII letters are upper-cased, so a code typed in lower case
// matches. An empty configured code accepts anything.
bool AccessCodeMatches(std::string_view configured, std::string_view given);

// The configured limit kept within 1..8.
std::uint32_t ClampViewerLimit(std::int32_t maxViewers);

// The colour of viewer `id` (ids start at 1): eight colours used in turn.
std::uint32_t ViewerColour(std::uint32_t id);

// The name the viewer gave (UTF-8), or "Viewer N" when it gave none.
std::wstring ViewerName(std::string_view helloName, std::uint32_t id);

}  // namespace tvx
