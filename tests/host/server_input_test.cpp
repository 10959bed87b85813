// Remote input, control arbitration, screen choice, the host cursor and the viewers' pointers and
// drawings, driven by loopback viewers against an engine with a recording sink, a cursor and a
// clock the test sets.
#include <algorithm>
#include <atomic>
#include <optional>

#include "media/annotation_store.h"
#include "net/pointer_messages.h"
#include "server_fixture.h"
#include "support/input_events.h"

namespace tvx::testing {
namespace {

// A button-up without a position, as releasing sends it.
InputEvent LeftUpInPlace() { return Mouse(0, 0, 0x0004); }

Bytes MouseMessage(float x, float y, std::uint8_t kind, std::uint8_t button = 0, std::int16_t wheel = 0) {
  return Encode(ControlMouse{x, y, kind, button, wheel});
}

Bytes KeyMessage(std::uint16_t vk, std::uint16_t scan, bool down, char16_t character = 0) {
  return Encode(ControlKey{vk, scan, down, false, character});
}

MonitorInfo Monitor(std::uint32_t index, std::int32_t left) {
  MonitorInfo m;
  m.index = index;
  m.desktopRect = {left, 0, left + 512, 256};
  m.main = index == 0;
  m.deviceName = L"DISPLAY" + std::to_wstring(index + 1);
  return m;
}

class ServerInput : public ServerTest {
 protected:
  ServerInput() {
    platform_->SetScanCode(kVkShift, 0x2A);
    platform_->SetScanCode(kVkControl, 0x1D);
    platform_->SetScanCode(kVkA, 0x1E);
  }

  // Control on, the 512 x 256 synthetic screen as the whole desktop.
  void Start(ShareOptions options, std::vector<MonitorInfo> monitors = {}) {
    EngineSetup setup;
    setup.inputSink = sink_;
    setup.inputPlatform = platform_;
    setup.clockMs = [this] { return clock_.load(); };
    setup.timings.secondChannelMs = secondChannelMs_;
    if (!monitors.empty()) setup.monitors = [monitors] { return monitors; };
    StartEngine(options, setup);
  }
  ShareOptions ControlOptions() const {
    ShareOptions options = Options();
    options.allowRemoteControl = true;
    return options;
  }

  void Join(TestViewer& viewer, std::uint64_t nonce, const std::string& name) {
    ASSERT_TRUE(viewer.Join(port_, nonce, name));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, std::wstring(name.begin(), name.end())));
  }
  // Control on, with anna and then bo joined.
  void StartWithTwoViewers(TestViewer& anna, TestViewer& bo) {
    Start(ControlOptions());
    Join(anna, 1, "anna");
    Join(bo, 2, "bo");
  }

  // Waits until everything `viewer` sent so far has been handled, and returns the busy notices that
  // came meanwhile. Two heartbeat round trips: a notice queued before the first heartbeat goes out
  // at the latest right after the first echo.
  std::vector<PointerBusyNotice> Sync(TestViewer& viewer) {
    std::vector<PointerBusyNotice> notices;
    for (int round = 0; round < 2; ++round) {
      const std::uint64_t tick = ++heartbeat_;
      EXPECT_TRUE(viewer.pointer.Send(msg::kHeartbeat, Encode(Heartbeat{tick, 0})));
      for (;;) {
        FrameHeader header;
        Bytes payload;
        if (!viewer.pointer.Receive(header, payload)) {
          ADD_FAILURE() << "no heartbeat echo";
          return notices;
        }
        if (header.type == msg::kPointerBusy) {
          PointerBusyNotice notice;
          EXPECT_TRUE(Decode(payload, notice));
          notices.push_back(notice);
        }
        HeartbeatEcho echo;
        if (header.type == msg::kHeartbeatEcho && Decode(payload, echo) && echo.tick == tick) break;
      }
    }
    return notices;
  }

  // The next monitor list on the picture channel.
  MonitorList NextMonitorList(TestViewer& viewer) {
    Bytes payload;
    MonitorList list;
    EXPECT_TRUE(viewer.picture.WaitFor(msg::kMonitorList, payload));
    EXPECT_TRUE(Decode(payload, list));
    return list;
  }

  // True when a monitor list with these indices arrives soon (a reopened capture sends its own).
  bool ListArrives(TestViewer& viewer, const std::vector<std::uint32_t>& indices) {
    return Eventually([&] {
      Bytes payload;
      MonitorList list;
      return viewer.picture.WaitFor(msg::kMonitorList, payload, 1000) && Decode(payload, list) &&
             Indices(list) == indices;
    });
  }

  static std::vector<std::uint32_t> Indices(const MonitorList& list) {
    std::vector<std::uint32_t> indices;
    for (const MonitorEntry& entry : list.monitors) indices.push_back(entry.index);
    return indices;
  }

  std::shared_ptr<RecordingInputSink> sink_ = std::make_shared<RecordingInputSink>();
  std::shared_ptr<FixedInputPlatform> platform_ = std::make_shared<FixedInputPlatform>();
  std::atomic<std::uint64_t> clock_{10'000};
  std::uint32_t secondChannelMs_ = 12000;
  std::uint64_t heartbeat_ = 0;
};

TEST_F(ServerInput, ControlMessagesReachTheInjectorInOrderAtTheirPositions) {
  Start(ControlOptions());
  TestViewer viewer;
  Join(viewer, 1, "anna");
  auto& pointer = viewer.pointer;
  ASSERT_TRUE(pointer.Send(msg::kControlMouse, MouseMessage(0.25f, 0.75f, kMouseActionMove)));
  ASSERT_TRUE(pointer.Send(msg::kControlMouse, MouseMessage(0.25f, 0.75f, kMouseActionDown, kButtonLeft)));
  ASSERT_TRUE(pointer.Send(msg::kControlMouse, MouseMessage(0.25f, 0.75f, kMouseActionUp, kButtonLeft)));
  ASSERT_TRUE(pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionWheel, 0, -120)));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(kVkShift, 0x2A, true)));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(kVkA, 0x1E, true, u'A')));  // typed as text
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(kVkA, 0x1E, false, u'A')));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(kVkShift, 0x2A, false)));
  ASSERT_TRUE(pointer.Send(msg::kControlText, Encode(ControlText{u"hi"})));
  ASSERT_TRUE(pointer.Send(msg::kControlRelease, {}));  // nothing is held any more
  // Short or meaningless messages are set aside without harm.
  ASSERT_TRUE(pointer.Send(msg::kControlMouse, Bytes(11, 0)));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, Bytes(7, 1)));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(0, 0, true)));
  ASSERT_TRUE(pointer.Send(msg::kControlText, Bytes{3, 0, 0, 0, 'a', 0}));
  ASSERT_TRUE(pointer.Send(msg::kControlText, Bytes{0, 0, 0, 0}));
  Sync(viewer);

  // On the 512 x 256 desktop x = 0.25 is pixel 127.75 of 511 and y = 0.75 is 191.25 of 255.
  const std::vector<InputEvent> expected = {
      Mouse(16384, 49151, 0xC001),
      Mouse(16384, 49151, 0xC003),
      Mouse(16384, 49151, 0xC005),
      Mouse(32768, 32768, 0xC801, 0xFFFFFF88),
      Key(kVkShift, 0x2A, 0),
      Key(kVkShift, 0x2A, 2),  // lifted while 'A' is typed as text
      Unicode(u'A', false),
      Unicode(u'A', true),
      Key(kVkShift, 0x2A, 0),
      Key(kVkShift, 0x2A, 2),
      Unicode(u'h', false),
      Unicode(u'h', true),
      Unicode(u'i', false),
      Unicode(u'i', true),
  };
  EXPECT_EQ(sink_->Take(), expected);
  EXPECT_TRUE(log_.Contains(L"Input region 0,0 512x256   virtual desktop 0,0 512x256"));
}

TEST_F(ServerInput, TwoViewersTakeTurnsAndTheWaitingOneHearsWhyOnceASecond) {
  TestViewer anna;
  TestViewer bo;
  StartWithTwoViewers(anna, bo);

  ASSERT_TRUE(anna.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionDown, kButtonLeft)));
  EXPECT_TRUE(Sync(anna).empty());

  struct Step {
    std::uint64_t at;
    std::optional<std::uint32_t> noticeMs;  // the busy notice bo gets, if any
  };
  const Step steps[] = {{10'100, 1400}, {10'200, std::nullopt}, {11'099, std::nullopt}, {11'100, 400}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    clock_ = step.at;
    ASSERT_TRUE(bo.pointer.Send(msg::kControlMouse, MouseMessage(0.1f, 0.1f, kMouseActionMove)));
    const std::vector<PointerBusyNotice> notices = Sync(bo);
    if (!step.noticeMs) {
      EXPECT_TRUE(notices.empty());
      continue;
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], (PointerBusyNotice{*step.noticeMs, kHeldByViewer, "anna"}));
  }
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{Mouse(32768, 32768, 0xC003)}));

  // Anna has been silent for 1500 ms: bo takes over, and her button is let go before his move.
  clock_ = 11'500;
  ASSERT_TRUE(bo.pointer.Send(msg::kControlMouse, MouseMessage(0.0f, 0.0f, kMouseActionMove)));
  EXPECT_TRUE(Sync(bo).empty());
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{LeftUpInPlace(), Mouse(0, 0, 0xC001)}));

  clock_ = 11'600;
  ASSERT_TRUE(anna.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionMove)));
  EXPECT_EQ(Sync(anna), (std::vector<PointerBusyNotice>{{1400, kHeldByViewer, "bo"}}));
  EXPECT_TRUE(sink_->Take().empty());
}

TEST_F(ServerInput, TheHostUsersMouseHoldsRemoteInputBack) {
  platform_->SetCursor(CursorPoint{0, 0});
  Start(ControlOptions());
  TestViewer viewer;
  Join(viewer, 1, "anna");
  ASSERT_TRUE(viewer.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionMove)));
  Sync(viewer);
  EXPECT_EQ(sink_->Take().size(), 1u);

  platform_->SetCursor(CursorPoint{300, 128});  // 44 pixels from where remote input left it
  clock_ = 10'200;
  ASSERT_TRUE(viewer.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionMove)));
  EXPECT_EQ(Sync(viewer), (std::vector<PointerBusyNotice>{{1500, kHeldByHostUser, ""}}));
  EXPECT_TRUE(sink_->Take().empty());
  EXPECT_TRUE(log_.Contains(L"Local mouse in use - remote pointer input paused"));
}

TEST_F(ServerInput, ALeavingOwnerLetsGoOfItsButtonAndTheMouse) {
  TestViewer anna;
  TestViewer bo;
  StartWithTwoViewers(anna, bo);
  ASSERT_TRUE(anna.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionDown, kButtonLeft)));
  Sync(anna);
  sink_->Take();

  ASSERT_TRUE(anna.pointer.Send(msg::kViewerGoodbye, {}));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, L"anna"));
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{LeftUpInPlace()}));

  clock_ = 10'010;  // well within the owner hold, but the owner is gone
  ASSERT_TRUE(bo.pointer.Send(msg::kControlMouse, MouseMessage(0.0f, 0.0f, kMouseActionMove)));
  EXPECT_TRUE(Sync(bo).empty());
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{Mouse(0, 0, 0xC001)}));
}

TEST_F(ServerInput, AViewerDroppedForItsMissingChannelLetsGoOfWhatItHeld) {
  // Its pointer channel is read before the picture channel comes, so it may already hold a key.
  secondChannelMs_ = 400;
  Start(ControlOptions());
  TestChannel pointer;
  ASSERT_TRUE(pointer.Open(port_, MakeHello(kPointerChannel, 42, "lonely")));
  ASSERT_TRUE(pointer.Send(msg::kControlKey, KeyMessage(kVkShift, 0x2A, true)));
  std::vector<InputEvent> seen;
  EXPECT_TRUE(Eventually([&] {
    for (const InputEvent& event : sink_->Take()) seen.push_back(event);
    return seen.size() >= 2;
  }));
  EXPECT_EQ(seen, (std::vector<InputEvent>{Key(kVkShift, 0x2A, 0), Key(kVkShift, 0x2A, 2)}));
  EXPECT_TRUE(log_.Contains(L"Dropping lonely: only one channel arrived"));
  EXPECT_EQ(events_.Count(ServerEvent::ViewerLeft), 0u);
}

TEST_F(ServerInput, ControlOffReleasesWhatIsHeldAndDropsInputSilently) {
  TestViewer anna;
  TestViewer bo;
  StartWithTwoViewers(anna, bo);
  ASSERT_TRUE(anna.pointer.Send(msg::kControlKey, KeyMessage(kVkShift, 0x2A, true)));
  ASSERT_TRUE(anna.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionDown, kButtonLeft)));
  Sync(anna);
  sink_->Take();

  server_->SetPermissions(false, false, false);
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{LeftUpInPlace(), Key(kVkShift, 0x2A, 2)}));
  Bytes payload;
  ASSERT_TRUE(anna.picture.WaitFor(msg::kPermissions, payload));  // the welcome's
  ASSERT_TRUE(anna.picture.WaitFor(msg::kPermissions, payload));
  Permissions permissions;
  ASSERT_TRUE(Decode(payload, permissions));
  EXPECT_EQ(permissions.bits, 0);

  // Bo would be told anna holds the mouse if control were on; now nothing at all happens.
  clock_ = 10'100;
  ASSERT_TRUE(bo.pointer.Send(msg::kControlMouse, MouseMessage(0.5f, 0.5f, kMouseActionMove)));
  ASSERT_TRUE(bo.pointer.Send(msg::kControlKey, KeyMessage(kVkA, 0x1E, true)));
  ASSERT_TRUE(bo.pointer.Send(msg::kControlText, Encode(ControlText{u"x"})));
  ASSERT_TRUE(bo.pointer.Send(msg::kControlRelease, {}));
  EXPECT_TRUE(Sync(bo).empty());
  EXPECT_TRUE(sink_->Take().empty());

  // Back on, a release from any viewer lifts what another one holds.
  server_->SetPermissions(true, false, false);
  ASSERT_TRUE(anna.pointer.Send(msg::kControlKey, KeyMessage(kVkControl, 0x1D, true)));
  Sync(anna);
  ASSERT_TRUE(bo.pointer.Send(msg::kControlRelease, {}));
  Sync(bo);
  EXPECT_EQ(sink_->Take(), (std::vector<InputEvent>{Key(kVkControl, 0x1D, 0), Key(kVkControl, 0x1D, 2)}));
}

TEST_F(ServerInput, OnlySharedScreensCanBeChosen) {
  ShareOptions options = Options();
  options.allowedMonitors = 0b011;
  Start(options, {Monitor(0, 0), Monitor(1, 512), Monitor(2, 1024)});
  TestViewer viewer;
  Join(viewer, 1, "anna");
  EXPECT_EQ(Indices(NextMonitorList(viewer)), (std::vector<std::uint32_t>{0, 1}));

  for (const std::uint32_t index : {5u, 2u}) {
    ASSERT_TRUE(viewer.pointer.Send(msg::kChooseMonitor, Encode(ChooseMonitor{index})));
    EXPECT_EQ(Indices(NextMonitorList(viewer)), (std::vector<std::uint32_t>{0, 1}));  // sent again
    EXPECT_TRUE(log_.Contains(L"anna asked for screen " + std::to_wstring(index) + L", which is not shared"));
  }
  EXPECT_EQ(server_->Options().monitor, 0u);
  ASSERT_TRUE(viewer.pointer.Send(msg::kChooseMonitor, Bytes{1, 0, 0}));  // short: ignored
  ASSERT_TRUE(viewer.pointer.Send(msg::kChooseMonitor, Encode(ChooseMonitor{1})));
  EXPECT_TRUE(Eventually([&] { return server_->Options().monitor == 1; }));

  // A mask of 0 shares every monitor.
  server_->SetSharedScreens(0);
  EXPECT_TRUE(ListArrives(viewer, {0, 1, 2}));
  ASSERT_TRUE(viewer.pointer.Send(msg::kChooseMonitor, Encode(ChooseMonitor{2})));
  EXPECT_TRUE(Eventually([&] { return server_->Options().monitor == 2; }));

  // The monitor shown is no longer shared: the first shared one is shown instead.
  server_->SetSharedScreens(0b010);
  EXPECT_EQ(server_->Options().monitor, 1u);
  EXPECT_EQ(server_->Options().allowedMonitors, 0b010u);
  EXPECT_TRUE(ListArrives(viewer, {1}));
}

TEST_F(ServerInput, TheHostCursorIsReportedClampedWithWhetherItIsOnTheSharedScreen) {
  Start(Options());
  TestViewer viewer;
  Join(viewer, 1, "anna");
  struct Case {
    CursorPoint cursor;
    HostCursor expected;
  };
  const Case cases[] = {
      {{128, 64}, {0.25f, 0.25f, true}},
      {{511, 255}, {511.0f / 512, 255.0f / 256, true}},
      {{-100, 64}, {0.0f, 0.25f, false}},  // on a monitor to the left
      {{700, 300}, {1.0f, 1.0f, false}},
      {{512, 0}, {1.0f, 0.0f, false}},  // the right edge belongs to the next monitor
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.cursor.x << "," << c.cursor.y);
    platform_->SetCursor(c.cursor);
    EXPECT_TRUE(Eventually([&] {
      Bytes payload;
      HostCursor cursor;
      return viewer.pointer.WaitFor(msg::kHostCursor, payload, 1000) && Decode(payload, cursor) &&
             cursor == c.expected;
    }));
  }
}

TEST_F(ServerInput, PointersAndDrawingsOfTwoViewersLandInTheStoreAndLeaveWithThem) {
  ShareOptions options = Options();
  options.drawingLifetime = 5000;
  Start(options);
  TestViewer anna;
  TestViewer bo;
  Join(anna, 1, "anna");
  Join(bo, 2, "bo");

  DrawingRecord arrow;
  arrow.id = 7;
  arrow.shape = static_cast<std::uint8_t>(DrawingShape::kArrow);
  arrow.points = {{0.1f, 0.1f}, {0.9f, 0.9f}};
  DrawingRecord pen = arrow;
  pen.shape = static_cast<std::uint8_t>(DrawingShape::kPen);
  pen.colour = 0xFF112233;
  pen.lifetimeMs = kDrawingKeepForever;
  for (TestViewer* viewer : {&anna, &bo}) {
    ASSERT_TRUE(viewer->pointer.Send(msg::kViewerPointer, Encode(ViewerPointer{0.5f, 0.5f, true, 0})));
    ASSERT_TRUE(viewer->pointer.Send(msg::kDrawingFinished, Encode(viewer == &anna ? arrow : pen)));
  }
  ASSERT_TRUE(bo.pointer.Send(msg::kDrawingInProgress, Encode(arrow)));
  ASSERT_TRUE(anna.pointer.Send(msg::kPointPing, Encode(PointPing{0.3f, 0.3f, 0, 1})));
  ASSERT_TRUE(anna.pointer.Send(msg::kDrawingFinished, Bytes(23, 0)));  // too short: dropped
  Sync(anna);
  Sync(bo);

  const AnnotationCounts counts = server_->annotations().Counts();
  EXPECT_EQ(counts.pointers, 2u);
  EXPECT_EQ(counts.drawings, 2u);
  EXPECT_EQ(counts.previews, 1u);
  EXPECT_EQ(counts.pings, 1u);
  EXPECT_EQ(events_.Count(ServerEvent::DrawingsChanged), 6u);

  const AnnotationSnapshot snapshot = server_->annotations().Snapshot(clock_);
  ASSERT_EQ(snapshot.drawings.size(), 2u);
  const Drawing& first = snapshot.drawings[0].viewerId == 1 ? snapshot.drawings[0] : snapshot.drawings[1];
  const Drawing& second = snapshot.drawings[0].viewerId == 1 ? snapshot.drawings[1] : snapshot.drawings[0];
  EXPECT_EQ(first.colour, 0xFF25E07Au);  // colour 0: anna's palette colour
  EXPECT_EQ(first.lifetime, 5000u);      // lifetime 0: the host's
  EXPECT_EQ(first.created, 10'000u);     // on the engine's clock
  EXPECT_EQ(second.colour, 0xFF112233u);
  EXPECT_EQ(second.lifetime, 0u);  // kept until removed
  ASSERT_EQ(snapshot.pointers.size(), 2u);
  std::vector<std::wstring> names = {snapshot.pointers[0].name, snapshot.pointers[1].name};
  std::sort(names.begin(), names.end());  // the two readers run side by side
  EXPECT_EQ(names, (std::vector<std::wstring>{L"anna", L"bo"}));

  // Overlay preferences apply to the whole store.
  ASSERT_TRUE(bo.pointer.Send(msg::kOverlayPreferences, Encode(OverlayPreferences{false, true})));
  Sync(bo);
  EXPECT_TRUE(server_->annotations().Snapshot(clock_).pointers.empty());

  ASSERT_TRUE(anna.pointer.Send(msg::kViewerGoodbye, {}));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, L"anna"));
  const AnnotationCounts after = server_->annotations().Counts();
  EXPECT_EQ(after.pointers, 1u);
  EXPECT_EQ(after.drawings, 1u);
  EXPECT_EQ(after.previews, 1u);
  EXPECT_EQ(events_.Count(ServerEvent::DrawingsChanged), 8u);
}

}  // namespace
}  // namespace tvx::testing
