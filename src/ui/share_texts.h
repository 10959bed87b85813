// The texts of the share panel and the header: what the user reads about the share, built from
// plain values so they can be checked without a window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/server.h"
#include "media/monitor_info.h"
#include "ui/theme.h"

namespace tvx {

// A line of text and the theme colour it is drawn in.
struct ColouredText {
  std::wstring text;
  ui::ThemeColour colour = ui::ThemeColour::Text;
  bool operator==(const ColouredText&) const = default;
};

// The header's title: "Tavrix" while not sharing; while sharing, where viewers connect to (the
// address is empty when this PC has none).
ColouredText HeaderText(bool sharing, std::wstring_view address, std::wstring_view port, bool requireCode,
                        std::wstring_view code);

// The line under "Start sharing" / "Stop sharing". A non-empty `problem` replaces it while sharing.
ColouredText ShareStatusLine(bool sharing, const ServerStatistics& stats, std::wstring_view problem);

// The second line: the relay link's status when there is one, else the first-run hint.
ColouredText RelayStatusLine(std::wstring_view relayStatus, bool relayReady);

// What "Copy details" puts on the clipboard. Same network: the address (empty when there is none),
// port and code; relay: the ID (grouped), the relay server, port and code.
struct ShareDetails {
  int mode = 0;  // 0 this network, 1 relay
  std::wstring address;
  std::wstring port;
  bool requireCode = false;
  std::wstring code;
  std::wstring id;
  std::wstring relayServer;
};
std::wstring DetailsText(const ShareDetails& details);

// "Monitor %d   %d x %d%s" per monitor, or the one label "(no monitor found)".
std::vector<std::wstring> MonitorLabels(const std::vector<MonitorInfo>& monitors);
// The addresses, or the one label "(no network connection)".
std::vector<std::wstring> NetworkLabels(const std::vector<std::wstring>& addresses);
// `index` kept within a list of `count` entries (0 for an empty list).
int ClampIndex(int index, std::size_t count);

}  // namespace tvx
