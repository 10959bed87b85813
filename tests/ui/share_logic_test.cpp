// The share panel's texts, its rules and how its settings become ShareOptions.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/share_rules.h"
#include "ui/share_start.h"
#include "ui/share_texts.h"
#include "ui/tray_menu.h"

namespace tvx {
namespace {

using ui::ThemeColour;

TEST(ShareTexts, HeaderSaysWhereToConnect) {
  EXPECT_EQ(HeaderText(false, L"192.168.1.5", L"7788", true, L"ABC123"),
            (ColouredText{L"Tavrix", ThemeColour::Text}));
  EXPECT_EQ(HeaderText(true, L"", L"7788", true, L"ABC123"),
            (ColouredText{L"Sharing this screen.", ThemeColour::Accent}));
  EXPECT_EQ(HeaderText(true, L"192.168.1.5", L"7788", true, L"ABC123").text,
            L"Sharing.   They connect to  192.168.1.5 : 7788   code ABC123");
  EXPECT_EQ(HeaderText(true, L"192.168.1.5", L"7788", false, L"ABC123").text,
            L"Sharing.   They connect to  192.168.1.5 : 7788");
}

TEST(ShareTexts, StatusLineFollowsTheViewers) {
  ServerStatistics none;
  EXPECT_EQ(ShareStatusLine(false, none, L""), (ColouredText{L"Not sharing.", ThemeColour::TextSecondary}));
  EXPECT_EQ(ShareStatusLine(true, none, L""),
            (ColouredText{L"Waiting for someone to connect...", ThemeColour::Accent}));

  ServerStatistics one;
  one.viewers = 1;
  one.framesPerSecond = 24;
  one.kbps = 850;
  EXPECT_EQ(ShareStatusLine(true, one, L"").text, L"1 viewer connected      24 fps      850 kbit/s");

  ServerStatistics two = one;
  two.viewers = 2;
  two.largestLatencyMs = 37;
  two.pictureLevel = 1;
  EXPECT_EQ(ShareStatusLine(true, two, L"").text,
            L"2 viewers connected      24 fps      850 kbit/s      37 ms"
            L"      picture eased back to fit the connection");

  EXPECT_EQ(ShareStatusLine(true, two, L"Capture failed"), (ColouredText{L"Capture failed", ThemeColour::Danger}));
  EXPECT_EQ(ShareStatusLine(false, two, L"Capture failed").text, L"Not sharing.");
}

TEST(ShareTexts, RelayLineOrFirstRunHint) {
  EXPECT_EQ(RelayStatusLine(L"", false),
            (ColouredText{L"First run: allow Tavrix on your network when Windows asks.", ThemeColour::TextDim}));
  EXPECT_EQ(RelayStatusLine(L"Registering...", false).colour, ThemeColour::TextSecondary);
  EXPECT_EQ(RelayStatusLine(L"Registered", true), (ColouredText{L"Registered", ThemeColour::Accent}));
}

TEST(ShareTexts, DetailsInBothModes) {
  ShareDetails d;
  d.address = L"10.0.0.7";
  d.port = L"7788";
  d.requireCode = true;
  d.code = L"XY7K2M";
  d.id = L"123456789";
  EXPECT_EQ(DetailsText(d), L"Tavrix\r\nAddress: 10.0.0.7\r\nPort: 7788\r\nCode: XY7K2M\r\n");
  d.address.clear();
  d.requireCode = false;
  EXPECT_EQ(DetailsText(d), L"Tavrix\r\nAddress: <no network address>\r\nPort: 7788\r\nCode: (none)\r\n");
  d.mode = 1;
  EXPECT_EQ(DetailsText(d), L"Tavrix\r\nID: 123 456 789\r\nRelay: <not set>\r\nPort: 7788\r\nCode: (none)\r\n");
  d.relayServer = L"relay.example.org";
  d.requireCode = true;
  EXPECT_EQ(DetailsText(d),
            L"Tavrix\r\nID: 123 456 789\r\nRelay: relay.example.org\r\nPort: 7788\r\nCode: XY7K2M\r\n");
}

TEST(ShareTexts, ListLabelsAndClamping) {
  MonitorInfo main{0, 0, 0, {0, 0, 1920, 1080}, true, 0, L"\\\\.\\DISPLAY1"};
  MonitorInfo side{1, 0, 1, {1920, 0, 3200, 1024}, false, 0, L"\\\\.\\DISPLAY2"};
  EXPECT_EQ(MonitorLabels({main, side}),
            (std::vector<std::wstring>{L"Monitor 1   1920 x 1080   (main)", L"Monitor 2   1280 x 1024"}));
  EXPECT_EQ(MonitorLabels({}), std::vector<std::wstring>{L"(no monitor found)"});
  EXPECT_EQ(NetworkLabels({}), std::vector<std::wstring>{L"(no network connection)"});
  EXPECT_EQ(NetworkLabels({L"10.0.0.7"}), std::vector<std::wstring>{L"10.0.0.7"});

  struct Case {
    int index;
    std::size_t count;
    int expected;
  };
  for (const Case& c : {Case{-3, 2, 0}, Case{0, 2, 0}, Case{1, 2, 1}, Case{5, 2, 1}, Case{4, 0, 0}}) {
    EXPECT_EQ(ClampIndex(c.index, c.count), c.expected) << c.index << " of " << c.count;
  }
}

TEST(ShareStart, PortFieldIsReadAndClamped) {
  struct Case {
    const wchar_t* text;
    std::uint16_t port;
  };
  const Case cases[] = {{L"7788", 7788}, {L"99999", 65535}, {L"0", 1},   {L"", 1},
                        {L"80abc", 80},  {L"  443", 443},   {L"-5", 1},  {L"65535", 65535},
                        {L"99999999999999999999", 65535}, {L"x12", 1}};
  for (const Case& c : cases) EXPECT_EQ(PortFromText(c.text), c.port) << std::wstring(c.text).size();
}

HomeSettings Panel() {
  HomeSettings s;
  s.port = L"7788";
  s.requireCode = true;
  s.code = L"ABC234";
  s.id = L"123 456 789";
  s.relayServer = L"relay.example.org";
  s.monitor = 1;
  s.allowedMonitors = -1;
  s.maxViewers = 3;
  s.quality = 70;
  s.fps = 24;
  s.drawingLifetime = 2;
  s.allowRemoteControl = true;
  s.shareAudio = true;
  return s;
}

TEST(ShareStart, OptionsCarryThePanel) {
  const ShareOptions o = BuildShareOptions(Panel(), 2);
  EXPECT_EQ(o.port, 7788);
  EXPECT_EQ(o.code, "ABC234");
  EXPECT_TRUE(o.relayServer.empty());  // this-network mode
  EXPECT_EQ(o.quality, 70);
  EXPECT_EQ(o.frameRate, 24);
  EXPECT_EQ(o.monitor, 1u);
  EXPECT_EQ(o.allowedMonitors, 0xFFFFFFFFu);
  EXPECT_EQ(o.maxViewers, 3);
  EXPECT_EQ(o.drawingLifetime, 10000u);
  EXPECT_TRUE(o.allowRemoteControl);
  EXPECT_FALSE(o.shareClipboard);
  EXPECT_TRUE(o.shareAudio);
  // A monitor index past the list shares the first monitor.
  EXPECT_EQ(BuildShareOptions(Panel(), 1).monitor, 0u);
}

TEST(ShareStart, RelayOnlyWithServerAndCode) {
  HomeSettings s = Panel();
  s.mode = 1;
  s.port = L"99999";
  ShareOptions o = BuildShareOptions(s, 2);
  EXPECT_EQ(o.relayServer, "relay.example.org");
  EXPECT_EQ(o.relayPort, 65535);
  EXPECT_EQ(o.id, "123456789");

  s.relayServer.clear();
  o = BuildShareOptions(s, 2);
  EXPECT_TRUE(o.relayServer.empty());
  EXPECT_TRUE(o.id.empty());

  s.relayServer = L"relay.example.org";
  s.requireCode = false;
  o = BuildShareOptions(s, 2);
  EXPECT_TRUE(o.code.empty());
  EXPECT_TRUE(o.relayServer.empty());
}

TEST(ShareRules, LastSharedScreenStays) {
  // Two monitors, every bit set: the first button clears, the second is then the last one.
  ScreenToggle t = ToggleSharedScreen(0xFFFFFFFFu, 0, 2, L"Screen 1");
  EXPECT_TRUE(t.changed);
  EXPECT_EQ(t.mask, 0xFFFFFFFEu);
  EXPECT_EQ(t.status, L"Screen 1 is no longer shared.");
  t = ToggleSharedScreen(t.mask, 1, 2, L"Screen 2");
  EXPECT_FALSE(t.changed);
  EXPECT_EQ(t.mask, 0xFFFFFFFEu);
  EXPECT_EQ(t.status, L"At least one screen has to stay shared.");
  t = ToggleSharedScreen(t.mask, 0, 2, L"Screen 1");
  EXPECT_EQ(t.mask, 0xFFFFFFFFu);
  EXPECT_EQ(t.status, L"Screen 1 is shared again.");
  // Buttons past the monitors, or past the 32 bits, change nothing.
  EXPECT_FALSE(ToggleSharedScreen(3, 5, 2, L"Screen 6").changed);
  EXPECT_FALSE(ToggleSharedScreen(3, 32, 40, L"Screen 33").changed);
  EXPECT_TRUE(ScreenShared(0, 33));
  // With 32 monitors the whole mask counts.
  EXPECT_TRUE(ToggleSharedScreen(0x80000001u, 0, 32, L"Screen 1").changed);
}

TEST(ShareRules, RelayModeTurnsTheCodeOn) {
  const auto code = [] { return std::string("NEW777"); };
  HomeSettings s;
  s.requireCode = false;
  s.code.clear();
  ApplyShareMode(s, 1, code);
  EXPECT_EQ(s.mode, 1);
  EXPECT_TRUE(s.requireCode);
  EXPECT_EQ(s.code, L"NEW777");

  HomeSettings kept;
  kept.requireCode = false;
  kept.code = L"OLD123";
  ApplyShareMode(kept, 1, code);
  EXPECT_TRUE(kept.requireCode);
  EXPECT_EQ(kept.code, L"OLD123");

  HomeSettings local;
  ApplyShareMode(local, 0, code);
  EXPECT_FALSE(local.requireCode);
  EXPECT_TRUE(local.code.empty());

  HomeSettings toggled;
  toggled.requireCode = true;
  ApplyRequireCode(toggled, code);
  EXPECT_EQ(toggled.code, L"NEW777");
}

TEST(TrayMenu, ItemsAndTip) {
  const std::vector<TrayMenuItem> idle = TrayMenuItems(false);
  ASSERT_EQ(idle.size(), 6u);
  EXPECT_EQ(idle[0], (TrayMenuItem{400, L"Open Tavrix", true}));
  EXPECT_EQ(idle[1].id, 0u);
  EXPECT_EQ(idle[2], (TrayMenuItem{401, L"Clear their drawings", false}));
  EXPECT_EQ(idle[3], (TrayMenuItem{402, L"Start sharing", true}));
  EXPECT_EQ(idle[5], (TrayMenuItem{403, L"Quit", true}));
  const std::vector<TrayMenuItem> sharing = TrayMenuItems(true);
  EXPECT_TRUE(sharing[2].enabled);
  EXPECT_EQ(sharing[3].label, L"Stop sharing");
  EXPECT_EQ(TrayTip(true), L"Tavrix - sharing this screen");
  EXPECT_EQ(TrayTip(false), L"Tavrix");
}

}  // namespace
}  // namespace tvx
