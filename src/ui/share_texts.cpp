#include "ui/share_texts.h"

#include <algorithm>

#include "foundation/format.h"
#include "foundation/text.h"

namespace tvx {

using ui::ThemeColour;

ColouredText HeaderText(bool sharing, std::wstring_view address, std::wstring_view port, bool requireCode,
                        std::wstring_view code) {
  if (!sharing) return {L"Tavrix", ThemeColour::Text};
  if (address.empty()) return {L"Sharing this screen.", ThemeColour::Accent};
  const bool showCode = requireCode && !code.empty();
  return {FormatText(L"Sharing.   They connect to  %s : %s%s%s", address, port, showCode ? L"   code " : L"",
                     showCode ? code : std::wstring_view()),
          ThemeColour::Accent};
}

ColouredText ShareStatusLine(bool sharing, const ServerStatistics& stats, std::wstring_view problem) {
  if (!sharing) return {L"Not sharing.", ThemeColour::TextSecondary};
  if (!problem.empty()) return {std::wstring(problem), ThemeColour::Danger};
  if (stats.viewers == 0) return {L"Waiting for someone to connect...", ThemeColour::Accent};
  const std::wstring latency =
      stats.largestLatencyMs > 0 ? FormatText(L"      %u ms", stats.largestLatencyMs) : std::wstring();
  const wchar_t* eased = stats.pictureLevel > 0 ? L"      picture eased back to fit the connection" : L"";
  return {FormatText(L"%d viewer%s connected      %u fps      %u kbit/s%s%s", stats.viewers,
                     stats.viewers == 1 ? L"" : L"s", stats.framesPerSecond, stats.kbps, latency, eased),
          ThemeColour::Accent};
}

ColouredText RelayStatusLine(std::wstring_view relayStatus, bool relayReady) {
  if (relayStatus.empty()) {
    return {L"First run: allow Tavrix on your network when Windows asks.", ThemeColour::TextDim};
  }
  return {std::wstring(relayStatus), relayReady ? ThemeColour::Accent : ThemeColour::TextSecondary};
}

std::wstring DetailsText(const ShareDetails& d) {
  const std::wstring code = d.requireCode && !d.code.empty() ? d.code : L"(none)";
  if (d.mode == 1) {
    return FormatText(L"Tavrix\r\nID: %s\r\nRelay: %s\r\nPort: %s\r\nCode: %s\r\n", GroupDigits(d.id),
                      d.relayServer.empty() ? std::wstring(L"<not set>") : d.relayServer, d.port, code);
  }
  return FormatText(L"Tavrix\r\nAddress: %s\r\nPort: %s\r\nCode: %s\r\n",
                    d.address.empty() ? std::wstring(L"<no network address>") : d.address, d.port, code);
}

std::vector<std::wstring> MonitorLabels(const std::vector<MonitorInfo>& monitors) {
  if (monitors.empty()) return {L"(no monitor found)"};
  std::vector<std::wstring> labels;
  labels.reserve(monitors.size());
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const MonitorInfo& m = monitors[i];
    labels.push_back(FormatText(L"Monitor %d   %d x %d%s", static_cast<int>(i + 1), m.desktopRect.Width(),
                                m.desktopRect.Height(), m.main ? L"   (main)" : L""));
  }
  return labels;
}

std::vector<std::wstring> NetworkLabels(const std::vector<std::wstring>& addresses) {
  if (addresses.empty()) return {L"(no network connection)"};
  return addresses;
}

int ClampIndex(int index, std::size_t count) {
  if (count == 0 || index < 0) return 0;
  return std::min(index, static_cast<int>(count) - 1);
}

}  // namespace tvx
