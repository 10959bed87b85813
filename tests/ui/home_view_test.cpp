// The home window's panels drawn with the widget surface into a recording canvas and driven with
// scripted mouse and keys, on a real engine with viewer engines over 127.0.0.1.
#include <fstream>
#include <iterator>

#include "foundation/text.h"
#include "home_fixture.h"
#include "net/message_types.h"
#include "ui/home_view.h"
#include "ui/recording_canvas.h"

namespace tvx::testing {
namespace {

namespace ids = home_ids;

class HomeViewTest : public HomeTest {
 protected:
  void Build(std::size_t monitors = 1) {
    MakeHome(monitors);
    view_ = std::make_unique<HomeView>(*home_);
    surface_.EnableTrace(true);
    Frame();
  }

  void Frame() {
    canvas_.ClearOps();
    surface_.BeginFrame(canvas_, input_, width_, height_);
    view_->Draw(surface_, width_, height_, 38);
    surface_.EndFrame();
    input_.ClearFrameEvents();
    input_.now_ms += 16;
  }

  const ui::TraceEntry* Entry(ui::WidgetId id) const {
    for (const ui::TraceEntry& e : surface_.trace().entries()) {
      if (e.id == id) return &e;
    }
    return nullptr;
  }
  const ui::TraceEntry* Item(const std::wstring& label) const {
    for (const ui::TraceEntry& e : surface_.trace().entries()) {
      if (e.kind == "dropdown-item" && e.label == label) return &e;
    }
    return nullptr;
  }

  void ClickAt(const ui::TraceEntry& e) {
    input_.mouse_x = e.x + e.width / 2.0f;
    input_.mouse_y = e.y + e.height / 2.0f;
    input_.inside = true;
    input_.pressed = input_.button_down = true;
    Frame();
    input_.released = true;
    input_.button_down = false;
    Frame();
    Frame();  // the frame after shows the result
  }
  void Click(ui::WidgetId id) {
    const ui::TraceEntry* e = Entry(id);
    ASSERT_NE(e, nullptr) << "widget " << id << " is not drawn";
    ClickAt(*e);
  }
  void Pick(ui::WidgetId dropdown, const std::wstring& item) {
    Click(dropdown);
    const ui::TraceEntry* e = Item(item);
    ASSERT_NE(e, nullptr) << WideToUtf8(item);
    ClickAt(*e);
  }
  // Selects the field's whole text and types `text` over it.
  void TypeInto(ui::WidgetId id, const std::wstring& text) {
    Click(id);
    input_.key_events.push_back({ui::keys::kA, true, false});
    input_.ctrl = true;
    Frame();
    input_.ctrl = false;
    input_.typed = text;
    Frame();
  }
  bool Drawn(const std::wstring& text) const { return canvas_.FindText(text) != nullptr; }
  bool DrawnStartingWith(const std::wstring& prefix) const {
    for (const ui::DrawOp* op : canvas_.Find(ui::DrawOp::Kind::Text)) {
      if (op->text.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  // Pumps engine events and draws until `done` holds.
  template <class Predicate>
  bool DrawUntil(Predicate done) {
    return PumpUntil([&] {
      Frame();
      return done();
    });
  }
  std::string SettingsText() const {
    std::ifstream in(folder_.path() / "settings.json", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  ui::RecordingCanvas canvas_;
  ui::Surface surface_;
  ui::InputState input_;
  float width_ = 1060;
  float height_ = 980;
  std::unique_ptr<HomeView> view_;
};

TEST_F(HomeViewTest, StartSharingAViewerJoinsAndLeavingOpensThePrompt) {
  Build();
  TypeInto(ids::kSharePort, std::to_wstring(FreePort()));
  ASSERT_TRUE(Drawn(L"Start sharing"));
  EXPECT_TRUE(Drawn(L"Not sharing."));
  Click(ids::kStartStop);
  ASSERT_TRUE(home_->sharing()) << WideToUtf8(home_->VisibleStatus());
  EXPECT_TRUE(Drawn(L"Stop sharing"));
  EXPECT_TRUE(Drawn(L"Waiting for someone to connect..."));
  EXPECT_TRUE(DrawnStartingWith(L"Sharing.   They connect to  127.0.0.1 : "));
  // The connection controls stand still while sharing; the rest stays usable.
  EXPECT_FALSE(Entry(ids::kShareMode)->enabled);
  EXPECT_FALSE(Entry(ids::kSharePort)->enabled);
  EXPECT_FALSE(Entry(ids::kCode)->enabled);
  EXPECT_TRUE(Entry(ids::kMaxViewers)->enabled);
  EXPECT_TRUE(Entry(ids::kMonitor)->enabled);

  TestWatcher& ana = Watch(WideToUtf8(home_->settings().code), L"Ana");
  ASSERT_TRUE(DrawUntil([&] { return DrawnStartingWith(L"1 viewer connected      "); }));
  // The engine counts the viewer a moment before its joined event reaches the window.
  EXPECT_TRUE(DrawUntil([&] { return Drawn(L"Ana joined."); })) << WideToUtf8(home_->VisibleStatus());

  ana.client->Stop();
  ASSERT_TRUE(DrawUntil([&] { return Drawn(L"Ana disconnected"); }));
  EXPECT_TRUE(Drawn(L"Nobody is watching this screen now."));
  EXPECT_TRUE(Drawn(L"You are still sharing, so they can connect again."));
  // The prompt blocks the panel behind it: its own "Stop sharing" ends the share.
  ASSERT_NE(Entry(ids::kPromptKeep), nullptr);
  Click(ids::kPromptStop);
  EXPECT_FALSE(home_->sharing());
  EXPECT_FALSE(home_->nobodyWatching().shown);
  EXPECT_TRUE(Drawn(L"Not sharing."));
}

TEST_F(HomeViewTest, PortIsClampedAndWrittenBackIntoTheField) {
  Build();
  struct Case {
    const wchar_t* typed;
    const wchar_t* shown;
  };
  for (const Case& c : {Case{L"99999", L"65535"}, Case{L"0", L"1"}}) {
    TypeInto(ids::kSharePort, c.typed);
    EXPECT_EQ(Entry(ids::kSharePort)->value, c.typed);
    Click(ids::kStartStop);
    EXPECT_EQ(home_->settings().port, c.shown);
    EXPECT_EQ(Entry(ids::kSharePort)->value, c.shown);
    if (home_->sharing()) Click(ids::kStartStop);  // the port may be free (or, as an administrator, allowed)
  }
}

TEST_F(HomeViewTest, AllowControlInThePromptSetsThePermissionAndSaves) {
  Build();
  TypeInto(ids::kSharePort, std::to_wstring(FreePort()));
  Click(ids::kStartStop);
  ASSERT_TRUE(home_->sharing());
  EXPECT_TRUE(Drawn(L"Off - they can point at things, but not touch them."));
  TestWatcher& ben = Watch(WideToUtf8(home_->settings().code), L"Ben");
  ASSERT_TRUE(DrawUntil([&] { return home_->server().Statistics().viewers == 1; }));
  ben.client->Send(msg::kControlRequest, {});
  ASSERT_TRUE(DrawUntil([&] { return Drawn(L"Hand over the keyboard?"); }));
  EXPECT_TRUE(Drawn(L"Ben is asking to use this PC's mouse and keyboard."));
  EXPECT_TRUE(Drawn(L"You can take it back at any time from the toggle underneath."));

  // While the prompt is up the toggle behind it does not react.
  Click(ids::kAllowControl);
  EXPECT_FALSE(home_->settings().allowRemoteControl);

  Click(ids::kPromptAllow);
  EXPECT_TRUE(home_->settings().allowRemoteControl);
  EXPECT_TRUE(home_->server().Options().allowRemoteControl);
  EXPECT_NE(SettingsText().find("\"share.allowRemoteControl\": true"), std::string::npos);
  EXPECT_TRUE(Drawn(L"Ben can now use this PC."));
  EXPECT_TRUE(Drawn(L"They can click and type on this PC right now."));
  EXPECT_EQ(Entry(ids::kAllowControl)->value, L"on");
  EXPECT_TRUE(DrawUntil([&] { return (ben.client->Permissions() & 1) != 0; }));

  // The toggle takes it back.
  Click(ids::kAllowControl);
  EXPECT_FALSE(home_->server().Options().allowRemoteControl);
}

TEST_F(HomeViewTest, RelayModeTurnsTheCodeOnAndShowsTheId) {
  home_.reset();
  store_.SetBool(L"share.requireCode", false);
  store_.SetString(L"share.code", L"");
  Build();
  EXPECT_EQ(Entry(ids::kRequireCode)->value, L"off");
  EXPECT_FALSE(Entry(ids::kCode)->enabled);
  EXPECT_FALSE(Entry(ids::kNewCode)->enabled);
  Pick(ids::kShareMode, L"Relay server");
  EXPECT_EQ(home_->settings().mode, 1);
  EXPECT_EQ(Entry(ids::kRequireCode)->value, L"on");
  EXPECT_EQ(Entry(ids::kCode)->value, L"NEWC0D");
  EXPECT_TRUE(Entry(ids::kNewCode)->enabled);
  ASSERT_NE(Entry(ids::kRelayServer), nullptr);
  EXPECT_EQ(Entry(ids::kAddress), nullptr);
  EXPECT_TRUE(Drawn(L"Your ID"));
  EXPECT_TRUE(Drawn(GroupDigits(home_->settings().id)));
  Click(ids::kCopyId);
  EXPECT_EQ(shell_.clipboard, GroupDigits(home_->settings().id));
  EXPECT_TRUE(Drawn(L"ID copied."));
  EXPECT_NE(SettingsText().find("\"share.mode\": 1"), std::string::npos);
}

TEST_F(HomeViewTest, TheLastSharedScreenStaysShared) {
  Build(2);
  ASSERT_NE(Entry(ids::kScreenButtons), nullptr);
  EXPECT_TRUE(Drawn(L"They may see"));
  EXPECT_EQ(Entry(ids::kScreenButtons)->value, L"selected");
  Click(ids::kScreenButtons);
  EXPECT_EQ(Entry(ids::kScreenButtons)->value, L"");
  EXPECT_TRUE(Drawn(L"Screen 1 is no longer shared."));
  Click(ids::kScreenButtons + 1);
  EXPECT_EQ(Entry(ids::kScreenButtons + 1)->value, L"selected");
  EXPECT_TRUE(Drawn(L"At least one screen has to stay shared."));
  Pick(ids::kMonitor, L"Monitor 2   320 x 200");
  EXPECT_EQ(home_->settings().monitor, 1);
}

TEST_F(HomeViewTest, PictureAndPermissionCardsReachTheEngine) {
  Build();
  Pick(ids::kLifetime, L"Fade after 30 seconds");
  EXPECT_EQ(home_->settings().drawingLifetime, 3);
  EXPECT_EQ(home_->server().Options().drawingLifetime, 30000u);
  Pick(ids::kMaxViewers, L"Just one person");
  EXPECT_EQ(home_->settings().maxViewers, 1);
  Click(ids::kHalfResolution);
  EXPECT_TRUE(home_->server().Options().halfResolution);
  Click(ids::kShareAudio);
  EXPECT_TRUE(home_->server().Options().shareAudio);
  Click(ids::kClear);
  EXPECT_TRUE(Drawn(L"Cleared."));
  EXPECT_TRUE(Drawn(L"62%"));
  EXPECT_TRUE(Drawn(L"18 fps"));
  const std::string saved = SettingsText();
  EXPECT_NE(saved.find("\"share.halfResolution\": true"), std::string::npos);
  EXPECT_NE(saved.find("\"share.maxViewers\": 1"), std::string::npos);
}

TEST_F(HomeViewTest, AboutCardOpensFromTheHeaderAndCloses) {
  Build();
  Click(ids::kAbout);
  EXPECT_TRUE(Drawn(L"Tavrix 6.4.1"));
  EXPECT_TRUE(Drawn(L"HOW IT IS BUILT"));
  EXPECT_TRUE(Drawn(L"No account, no sign in, nothing kept anywhere."));
  for (const std::wstring& line : AboutLines()) {
    if (!line.empty()) EXPECT_TRUE(Drawn(line)) << WideToUtf8(line);
  }
  Click(ids::kAboutClose);
  EXPECT_FALSE(home_->aboutShown());
  EXPECT_FALSE(Drawn(L"Tavrix 6.4.1"));
}

TEST_F(HomeViewTest, RelaySheetAddsOnlyNewAddressesAndShowsTheirState) {
  Build();
  Pick(ids::kConnectMode, L"By ID");
  const ui::TraceEntry* picker = Entry(ids::kConnectPicker);
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->value, L"(nothing saved yet)");
  EXPECT_FALSE(picker->enabled);
  home_->settings().port = std::to_wstring(FreePort());  // probes of a closed loopback port
  Click(ids::kConnectPicker + 1);  // "Browse..."
  ASSERT_TRUE(home_->relaySheetShown());
  EXPECT_TRUE(Drawn(L"RELAY SERVERS"));
  EXPECT_TRUE(Drawn(L"Nothing saved yet. Add a relay address below."));
  EXPECT_FALSE(Entry(ids::kSheetAdd)->enabled);
  TypeInto(ids::kSheetField, L"127.0.0.1");
  EXPECT_TRUE(Entry(ids::kSheetAdd)->enabled);
  Click(ids::kSheetAdd);
  EXPECT_EQ(home_->settings().relaySaved, std::vector<std::wstring>{L"127.0.0.1"});
  EXPECT_EQ(home_->settings().relayServer, L"127.0.0.1");
  EXPECT_EQ(Entry(ids::kSheetField)->value, L"");
  TypeInto(ids::kSheetField, L"127.0.0.1");
  EXPECT_FALSE(Entry(ids::kSheetAdd)->enabled);  // already saved
  EXPECT_TRUE(DrawUntil([&] { return Drawn(L"cannot be reached"); }));
  EXPECT_EQ(Entry(ids::kSheetRows)->value, L"selected");
  Click(ids::kSheetClose);
  EXPECT_FALSE(home_->relaySheetShown());
  EXPECT_EQ(Entry(ids::kConnectPicker)->value, L"127.0.0.1");
}

TEST_F(HomeViewTest, ConnectPanelChecksTheIdAndSaysTheViewerIsNotHereYet) {
  Build();
  Pick(ids::kConnectMode, L"By ID");
  TypeInto(ids::kConnectRelay, L"127.0.0.1");
  TypeInto(ids::kPeerId, L"123 456 78");
  Click(ids::kConnect);
  EXPECT_TRUE(Drawn(L"An ID is 9 digits."));
  TypeInto(ids::kPeerId, L"123 456 789");
  Click(ids::kConnect);
  EXPECT_TRUE(DrawnStartingWith(L"Could not open the remote window: "));
  EXPECT_TRUE(Drawn(L"Not connected."));
  EXPECT_TRUE(Drawn(L"The picture opens in its own window. Both directions can run at once."));
  EXPECT_NE(SettingsText().find("\"connect.peerId\": \"123 456 789\""), std::string::npos);
}

TEST_F(HomeViewTest, OneOrTwoColumnsAndTheContentScrolls) {
  Build();
  const ui::TraceEntry two = *Entry(ids::kConnectMode);
  const ui::TraceEntry share = *Entry(ids::kShareMode);
  EXPECT_GT(two.x, share.x + 300);  // the connect panel has a column of its own
  width_ = 700;
  height_ = 500;
  Frame();
  Frame();
  const ui::TraceEntry one = *Entry(ids::kConnectMode);
  EXPECT_EQ(one.x, Entry(ids::kShareMode)->x);
  EXPECT_GT(one.y, Entry(ids::kStartStop)->y);
  ASSERT_GT(view_->contentHeight(), height_);
  // The wheel scrolls by 60 a notch and stops at the end.
  input_.mouse_x = 300;
  input_.mouse_y = 300;
  input_.inside = true;
  input_.wheel = -2;
  Frame();
  EXPECT_EQ(view_->scroll(), 120);
  input_.wheel = -1000;
  Frame();
  const float end = view_->scroll();
  EXPECT_GT(end, 120);
  EXPECT_LT(end, view_->contentHeight());
  input_.wheel = 1000;
  Frame();
  EXPECT_EQ(view_->scroll(), 0);
}

}  // namespace
}  // namespace tvx::testing
