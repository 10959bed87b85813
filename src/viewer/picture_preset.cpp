#include "viewer/picture_preset.h"

#include <cctype>

namespace tvx {
namespace {

struct Row {
  PicturePreset preset;
  const wchar_t* name;
  const char* ascii;
  PictureRequest request;
};

constexpr Row kRows[] = {
    {PicturePreset::Auto, L"Auto", "auto", {0, 0, 0}},
    {PicturePreset::Light, L"Light", "light", {45, 10, 960}},
    {PicturePreset::Balanced, L"Balanced", "balanced", {65, 30, 0}},
    {PicturePreset::Sharp, L"Sharp", "sharp", {85, 60, 1920}},
    {PicturePreset::Best, L"Best", "best", {100, 75, 0}},
};

}  // namespace

const wchar_t* PicturePresetName(PicturePreset preset) {
  for (const Row& row : kRows) {
    if (row.preset == preset) return row.name;
  }
  return L"Auto";
}

std::optional<PicturePreset> PicturePresetFromName(std::string_view name) {
  for (const Row& row : kRows) {
    const std::string_view ascii = row.ascii;
    if (ascii.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(name[i])) == ascii[i];
    }
    if (same) return row.preset;
  }
  return std::nullopt;
}

PictureRequest PictureRequestFor(PicturePreset preset) {
  for (const Row& row : kRows) {
    if (row.preset == preset) return row.request;
  }
  return {};
}

}  // namespace tvx
