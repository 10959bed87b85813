#include "ui/share_start.h"

#include <algorithm>

#include "foundation/text.h"

namespace tvx {

std::uint32_t DrawingLifetimeMs(int index) {
  if (index < 0 || index >= static_cast<int>(kDrawingLifetimesMs.size())) return 0;
  return kDrawingLifetimesMs[static_cast<std::size_t>(index)];
}

std::uint16_t PortFromText(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(text[i] - L'0'), 100000);
  }
  if (negative) value = 0;
  return static_cast<std::uint16_t>(std::clamp<std::uint32_t>(value, 1, 65535));
}

ShareOptions BuildShareOptions(const HomeSettings& s, std::size_t monitorCount) {
  ShareOptions o;
  o.port = PortFromText(s.port);
  if (s.requireCode) o.code = WideToUtf8(s.code);
  if (s.mode == 1 && !s.relayServer.empty() && !o.code.empty()) {
    o.relayServer = WideToUtf8(s.relayServer);
    o.relayPort = o.port;
    o.id = WideToUtf8(DigitsOnly(s.id));
  }
  o.quality = static_cast<std::uint8_t>(std::clamp(s.quality, 5, 100));
  o.frameRate = static_cast<std::uint8_t>(std::clamp(s.fps, 1, 75));
  o.halfResolution = s.halfResolution;
  o.compressColour = s.compressColour;
  o.monitor = s.monitor >= 0 && static_cast<std::size_t>(s.monitor) < monitorCount
                  ? static_cast<std::uint32_t>(s.monitor)
                  : 0;
  o.allowedMonitors = static_cast<std::uint32_t>(s.allowedMonitors);
  o.maxViewers = std::clamp(s.maxViewers, 1, 8);
  o.drawingLifetime = DrawingLifetimeMs(s.drawingLifetime);
  o.allowRemoteControl = s.allowRemoteControl;
  o.shareClipboard = s.shareClipboard;
  o.shareAudio = s.shareAudio;
  return o;
}

}  // namespace tvx
