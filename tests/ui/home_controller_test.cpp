// The home window's behaviour on a real engine over 127.0.0.1: sharing on and off, the events and
// prompts, the tick, closing and the tray, clipboard sharing, the connect checks and the relay list.
#include <fstream>
#include <iterator>

#include "home_fixture.h"
#include "foundation/text.h"
#include "net/message_types.h"
#include "ui/tray_menu.h"

namespace tvx::testing {
namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HomeControllerTest : public HomeTest {
 protected:
  // Sharing on a free loopback-checked port with the code "ABC234".
  void StartShare() {
    home_->settings().port = std::to_wstring(FreePort());
    home_->settings().requireCode = true;
    home_->settings().code = L"ABC234";
    home_->StartSharing();
    ASSERT_TRUE(home_->sharing()) << WideToUtf8(home_->VisibleStatus());
  }
  bool Joined(std::uint32_t viewers) {
    return PumpUntil([&] { return home_->server().Statistics().viewers == viewers; });
  }
  std::filesystem::path SettingsPath() const { return folder_.path() / "settings.json"; }
};

TEST_F(HomeControllerTest, StartingWritesThePortBackAndShowsTheShare) {
  MakeHome();
  const std::uint16_t port = FreePort();
  home_->settings().port = L"  " + std::to_wstring(port) + L"abc";
  home_->StartSharing();
  ASSERT_TRUE(home_->sharing());
  EXPECT_EQ(home_->settings().port, std::to_wstring(port));
  EXPECT_EQ(home_->server().port(), port);
  EXPECT_EQ(home_->VisibleStatus(), L"Sharing started.");
  EXPECT_TRUE(overlay_.shown);
  EXPECT_EQ(overlay_.placed, (Rect{0, 0, 320, 200}));
  EXPECT_TRUE(shell_.keepAwake);
  EXPECT_EQ(shell_.trayTip, L"Tavrix - sharing this screen");
  EXPECT_NE(FileText(SettingsPath()).find("\"share.port\": \"" + std::to_string(port) + "\""), std::string::npos)
      << FileText(SettingsPath());
  EXPECT_EQ(home_->Header().text, L"Sharing.   They connect to  127.0.0.1 : " + std::to_wstring(port) +
                                      L"   code " + home_->settings().code);
  EXPECT_EQ(home_->StatusLine().text, L"Waiting for someone to connect...");

  home_->StopSharing();
  EXPECT_FALSE(home_->sharing());
  EXPECT_FALSE(overlay_.shown);
  EXPECT_FALSE(shell_.keepAwake);
  EXPECT_EQ(shell_.trayTip, L"Tavrix");
  EXPECT_EQ(home_->VisibleStatus(), L"Sharing stopped.");
  EXPECT_EQ(home_->StatusLine().text, L"Not sharing.");
}

TEST_F(HomeControllerTest, StartFailureSaysWhyAndChangesNothing) {
  MakeHome();
  Listener taken;
  ASSERT_TRUE(ListenLoopback(taken, false));
  home_->settings().port = std::to_wstring(taken.Port());
  home_->StartSharing();
  EXPECT_FALSE(home_->sharing());
  EXPECT_EQ(home_->VisibleStatus().rfind(L"Could not start: ", 0), 0u) << WideToUtf8(home_->VisibleStatus());
  EXPECT_FALSE(overlay_.shown);
  EXPECT_FALSE(shell_.keepAwake);
}

TEST_F(HomeControllerTest, ViewerLeavingOpensTheNobodyWatchingPromptOnlyWhenNobodyStays) {
  MakeHome();
  StartShare();
  TestWatcher& ana = Watch("ABC234", L"Ana");
  ASSERT_TRUE(Joined(1));
  EXPECT_TRUE(PumpUntil([&] { return home_->VisibleStatus() == L"Ana joined."; }));
  TestWatcher& ben = Watch("ABC234", L"Ben");
  ASSERT_TRUE(Joined(2));
  EXPECT_EQ(home_->StatusLine().text.rfind(L"2 viewers connected", 0), 0u);

  ana.client->Stop();
  ASSERT_TRUE(PumpUntil([&] { return home_->VisibleStatus() == L"Ana left."; }));
  EXPECT_FALSE(home_->nobodyWatching().shown);

  shell_.hidden = true;
  ben.client->Stop();
  ASSERT_TRUE(PumpUntil([&] { return home_->nobodyWatching().shown; }));
  EXPECT_EQ(home_->nobodyWatching().name, L"Ben");
  EXPECT_EQ(home_->VisibleStatus(), L"Ben left.");
  EXPECT_FALSE(shell_.hidden);  // brought to the front
  EXPECT_TRUE(home_->AnyModal());

  home_->KeepSharing();
  EXPECT_FALSE(home_->nobodyWatching().shown);
  EXPECT_TRUE(home_->sharing());
}

TEST_F(HomeControllerTest, StopSharingEndsTheViewerWithTheGoodbye) {
  MakeHome();
  StartShare();
  TestWatcher& ana = Watch("ABC234", L"Ana");
  ASSERT_TRUE(Joined(1));
  home_->StopSharing();
  EXPECT_TRUE(PumpUntil([&] { return ana.Saw(ClientEvent::EndedByHost); }));
  // No prompt: the share itself is over.
  EXPECT_FALSE(home_->nobodyWatching().shown);
}

TEST_F(HomeControllerTest, ControlRequestPromptAndAllowControl) {
  MakeHome();
  StartShare();
  TestWatcher& ana = Watch("ABC234", L"Ana");
  ASSERT_TRUE(Joined(1));
  ana.client->Send(msg::kControlRequest, {});
  ASSERT_TRUE(PumpUntil([&] { return home_->controlRequest().shown; }));
  EXPECT_EQ(home_->controlRequest().name, L"Ana");
  EXPECT_EQ(home_->VisibleStatus(), L"Ana is asking for control.");
  EXPECT_EQ(shell_.flashes, 1);

  home_->AllowControl();
  EXPECT_FALSE(home_->controlRequest().shown);
  EXPECT_TRUE(home_->settings().allowRemoteControl);
  EXPECT_TRUE(home_->server().Options().allowRemoteControl);
  EXPECT_EQ(home_->VisibleStatus(), L"Ana can now use this PC.");
  EXPECT_NE(FileText(SettingsPath()).find("\"share.allowRemoteControl\": true"), std::string::npos);
  EXPECT_TRUE(PumpUntil([&] { return (ana.client->Permissions() & 1) != 0; }));
}

TEST_F(HomeControllerTest, DecliningKeepsControlOff) {
  MakeHome();
  StartShare();
  TestWatcher& ana = Watch("ABC234", L"Ana");
  ASSERT_TRUE(Joined(1));
  ana.client->Send(msg::kControlRequest, {});
  ASSERT_TRUE(PumpUntil([&] { return home_->controlRequest().shown; }));
  home_->DeclineControl();
  EXPECT_FALSE(home_->controlRequest().shown);
  EXPECT_EQ(home_->VisibleStatus(), L"Control request declined.");
  EXPECT_FALSE(home_->server().Options().allowRemoteControl);
}

TEST_F(HomeControllerTest, ClipboardGoesOutOnceAndReceivedTextIsNotSentBack) {
  MakeHome();
  home_->settings().shareClipboard = true;
  StartShare();
  TestWatcher& ana = Watch("ABC234", L"Ana");
  ASSERT_TRUE(Joined(1));
  ASSERT_TRUE(PumpUntil([&] { return ana.Saw(ClientEvent::Frame); }));

  clipboard_.text = L"copied here";
  home_->OnClipboardUpdate();
  home_->OnClipboardUpdate();  // a second notice of the same text
  ASSERT_TRUE(PumpUntil([&] { return ana.Saw(ClientEvent::Clipboard); }));
  EXPECT_EQ(ana.TextOf(ClientEvent::Clipboard), L"copied here");

  ASSERT_TRUE(home_->HandleServerEvent(ServerEvent::ClipboardReceived, L"from Ana"));
  EXPECT_EQ(clipboard_.text, L"from Ana");
  EXPECT_EQ(home_->VisibleStatus(), L"Clipboard received.");
  const std::uint64_t hashBefore = home_->clipboardWatcher().lastHash();
  home_->OnClipboardUpdate();  // the notice of our own write
  EXPECT_EQ(home_->clipboardWatcher().lastHash(), hashBefore);

  // Sharing copy and paste switched off: received text is not written.
  home_->settings().shareClipboard = false;
  home_->HandleServerEvent(ServerEvent::ClipboardReceived, L"ignored");
  EXPECT_EQ(clipboard_.text, L"from Ana");
}

TEST_F(HomeControllerTest, TickRepaintsWhileSharingAndClearsOldStatus) {
  MakeHome();
  home_->SetStatus(L"Hello");
  EXPECT_FALSE(home_->Tick());
  Advance(3999);
  EXPECT_FALSE(home_->Tick());
  EXPECT_EQ(home_->VisibleStatus(), L"Hello");
  Advance(1);
  EXPECT_TRUE(home_->Tick());
  EXPECT_EQ(home_->VisibleStatus(), L"");
  EXPECT_FALSE(home_->Tick());

  StartShare();
  EXPECT_TRUE(home_->Tick());
  Advance(100);
  const int renders = overlay_.renders;
  EXPECT_FALSE(home_->Tick() && false);
  Advance(499);
  home_->Tick();
  EXPECT_GT(overlay_.renders, renders);  // the overlay refreshes at most every 5 ms, and did

  // A viewer's picture request changed the engine's settings: the panel takes them over.
  home_->server().SetPicture(40, 12, true, false);
  Advance(10);
  EXPECT_TRUE(home_->Tick());
  EXPECT_EQ(home_->settings().quality, 40);
  EXPECT_EQ(home_->settings().fps, 12);
  EXPECT_TRUE(home_->settings().halfResolution);

  home_->StopSharing();
  overlay_.shown = true;
  home_->Tick();
  EXPECT_FALSE(overlay_.shown);
}

TEST_F(HomeControllerTest, ClosingHidesWhileSharingAndTrayQuitEnds) {
  MakeHome();
  EXPECT_TRUE(home_->OnClose());
  StartShare();
  EXPECT_FALSE(home_->OnClose());
  EXPECT_TRUE(shell_.hidden);
  home_->TrayCommand(tray::kOpen);
  EXPECT_FALSE(shell_.hidden);
  home_->TrayCommand(tray::kStartStop);
  EXPECT_FALSE(home_->sharing());
  home_->TrayCommand(tray::kStartStop);
  EXPECT_TRUE(home_->sharing());
  home_->TrayCommand(tray::kQuit);
  EXPECT_TRUE(home_->quitRequested());
  EXPECT_EQ(shell_.calls.back(), "Destroy");
  EXPECT_TRUE(home_->OnClose());
}

TEST_F(HomeControllerTest, TeardownRunsInOrderAndSavesEverything) {
  MakeHome();
  StartShare();
  home_->settings().quality = 77;
  shell_.calls.clear();
  home_->Teardown(WindowPlacement{40, 50, 900, 700, true});
  EXPECT_FALSE(home_->sharing());
  EXPECT_TRUE(overlay_.tornDown);
  EXPECT_EQ(shell_.calls,
            (std::vector<std::string>{"RemoveClipboardListener", "RemoveTrayIcon", "ReleaseAwake"}));
  const std::string saved = FileText(SettingsPath());
  EXPECT_NE(saved.find("\"share.quality\": 77"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"window.w\": 900"), std::string::npos);
  EXPECT_NE(saved.find("\"window.maximised\": true"), std::string::npos);
  home_.reset();

  SettingsStore again;
  again.Load(SettingsPath().wstring());
  const HomeSettings restored = LoadHomeSettings(again);
  EXPECT_EQ(restored.quality, 77);
  EXPECT_EQ(restored.window.x, 40);
  EXPECT_EQ(restored.window.h, 700);
}

TEST_F(HomeControllerTest, PanelChangesReachTheEngine) {
  MakeHome(2);
  StartShare();
  home_->settings().maxViewers = 2;
  home_->MaxViewersChanged();
  EXPECT_EQ(home_->server().Options().maxViewers, 2);
  home_->settings().drawingLifetime = 3;
  home_->LifetimeChanged();
  EXPECT_EQ(home_->server().Options().drawingLifetime, 30000u);
  home_->settings().shareAudio = true;
  home_->settings().showPointer = false;
  home_->PermissionsChanged();
  EXPECT_TRUE(home_->server().Options().shareAudio);

  home_->ToggleScreen(0);
  EXPECT_EQ(home_->VisibleStatus(), L"Screen 1 is no longer shared.");
  home_->ToggleScreen(1);
  EXPECT_EQ(home_->VisibleStatus(), L"At least one screen has to stay shared.");
  EXPECT_EQ(static_cast<std::uint32_t>(home_->settings().allowedMonitors), 0xFFFFFFFEu);

  home_->ClearDrawings();
  EXPECT_EQ(home_->VisibleStatus(), L"Cleared.");
  home_->CopyDetails();
  EXPECT_EQ(shell_.clipboard.rfind(L"Tavrix\r\nAddress: 127.0.0.1\r\n", 0), 0u);
  EXPECT_EQ(home_->VisibleStatus(), L"Details copied.");
}

TEST_F(HomeControllerTest, RelayModeWithoutServerSharesLocally) {
  MakeHome();
  home_->settings().requireCode = false;
  home_->settings().code.clear();
  home_->ModeChanged(1);
  EXPECT_TRUE(home_->settings().requireCode);
  EXPECT_EQ(home_->settings().code, L"NEWC0D");
  home_->settings().relayServer.clear();
  home_->settings().port = std::to_wstring(FreePort());
  home_->StartSharing();
  ASSERT_TRUE(home_->sharing());
  EXPECT_TRUE(home_->server().Options().relayServer.empty());
  EXPECT_EQ(home_->RelayLine().text, L"First run: allow Tavrix on your network when Windows asks.");
}

TEST_F(HomeControllerTest, ConnectChecksWhatWasTyped) {
  MakeHome();
  HomeSettings& s = home_->settings();
  s.connectMode = 1;
  s.relayServer.clear();
  home_->ConnectToPeer();
  EXPECT_EQ(home_->VisibleStatus(), L"Type the relay server address the other PC is using.");
  s.relayServer = L"127.0.0.1";
  s.connectPeerId = L"123 456 78";
  home_->ConnectToPeer();
  EXPECT_EQ(home_->VisibleStatus(), L"An ID is 9 digits.");
  s.connectPeerId = L"123 456 789";
  s.connectPort = L"99999";
  home_->ConnectToPeer();
  EXPECT_EQ(s.connectPort, L"65535");
  EXPECT_EQ(home_->VisibleStatus().rfind(L"Could not open the remote window: ", 0), 0u);
  s.connectMode = 0;
  s.connectAddress.clear();
  home_->ConnectToPeer();
  EXPECT_EQ(home_->VisibleStatus(), L"Type the address the other Tavrix is showing.");
}

TEST_F(HomeControllerTest, RelayListAddRemoveAndSheet) {
  MakeHome();
  EXPECT_FALSE(home_->CanAddRelay(L""));
  home_->settings().port = std::to_wstring(FreePort());  // nothing listens: every probe fails fast
  home_->AddRelay(L"127.0.0.1");
  EXPECT_EQ(home_->settings().relayServer, L"127.0.0.1");
  EXPECT_FALSE(home_->CanAddRelay(L"127.0.0.1"));
  home_->AddRelay(L"127.0.0.2");
  ASSERT_EQ(home_->settings().relaySaved.size(), 2u);
  home_->OpenRelaySheet();
  EXPECT_TRUE(home_->relaySheetShown());
  EXPECT_TRUE(home_->HandleEscape());
  EXPECT_FALSE(home_->relaySheetShown());
  EXPECT_FALSE(home_->RelayProbesRunning());
  home_->RemoveRelay(0);
  EXPECT_EQ(home_->settings().relaySaved, std::vector<std::wstring>{L"127.0.0.2"});
  home_->ShowAbout(true);
  EXPECT_TRUE(home_->HandleEscape());
  EXPECT_FALSE(home_->aboutShown());
  EXPECT_FALSE(home_->HandleEscape());
}

}  // namespace
}  // namespace tvx::testing
