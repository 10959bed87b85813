// Control arbitration step by step, on a recording sink with a cursor and a clock the test sets.
#include "host/control_arbiter.h"

#include <gtest/gtest.h>

#include <vector>

#include "media/fixed_input_platform.h"
#include "media/recording_input_sink.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

constexpr std::uint32_t kAnna = 1;
constexpr std::uint32_t kBo = 2;
constexpr std::uint64_t kStart = 10'000;

// x = 0.5, y = 0.5 on a single 1920 x 1080 monitor.
constexpr std::int32_t kMidX = 32768;
constexpr std::int32_t kMidY = 32768;
constexpr CursorPoint kMidCursor{960, 540};

ControlMouse Mouse(std::uint8_t kind, std::uint8_t button = kButtonLeft, float x = 0.5f, float y = 0.5f) {
  return ControlMouse{x, y, kind, button, 0};
}

class ArbiterTest : public ::testing::Test {
 protected:
  ArbiterTest() {
    platform_.SetMonitors({{0, 0, 1920, 1080}});
    injector_.SetRegion({0, 0, 1920, 1080});
  }

  // The flags of every event sent since the last call, in order.
  std::vector<std::uint32_t> TakeFlags() {
    std::vector<std::uint32_t> flags;
    for (const InputEvent& e : sink_.Take()) flags.push_back(e.flags);
    return flags;
  }

  testing::LogCapture log_;
  FixedInputPlatform platform_;
  RecordingInputSink sink_;
  InputInjector injector_{sink_, platform_};
  ControlArbiter arbiter_{injector_, platform_};
};

TEST_F(ArbiterTest, TheFirstViewerDrivesAtOnceAndOwnsTheMouse) {
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart), ControlStatus{});
  const std::vector<InputEvent> events = sink_.Take();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].dx, kMidX);
  EXPECT_EQ(events[0].dy, kMidY);
  EXPECT_EQ(events[0].flags, 0xC001u);
  EXPECT_EQ(injector_.control().ownerId, kAnna);
  EXPECT_EQ(injector_.control().lastOwnerInputTick, kStart);
  EXPECT_EQ(injector_.control().expectedCursor, kMidCursor);
}

// The person at the host moves the cursor away from where remote input left it.
TEST_F(ArbiterTest, MovingTheLocalMouseMoreThan8PixelsPausesRemoteInput) {
  struct Case {
    std::int32_t dx;
    std::int32_t dy;
    bool paused;
  };
  const Case cases[] = {{8, 0, false}, {0, -8, false}, {5, 6, false}, {9, 0, true}, {0, -9, true}, {6, 6, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dx << "," << c.dy);
    FixedInputPlatform platform;
    platform.SetMonitors({{0, 0, 1920, 1080}});
    RecordingInputSink sink;
    InputInjector injector(sink, platform);
    injector.SetRegion({0, 0, 1920, 1080});
    ControlArbiter arbiter(injector, platform);
    log_.Clear();

    platform.SetCursor(CursorPoint{0, 0});
    arbiter.OnMouse(kAnna, Mouse(kMouseActionDown), kStart);  // holds the left button at 960,540
    platform.SetCursor(CursorPoint{kMidCursor.x + c.dx, kMidCursor.y + c.dy});
    sink.Take();

    const ControlStatus status = arbiter.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 100);
    const std::vector<InputEvent> events = sink.Take();
    ASSERT_EQ(events.size(), 1u);
    if (!c.paused) {
      EXPECT_EQ(status, ControlStatus{});
      EXPECT_EQ(events[0].flags, 0xC001u);  // the move went out
      EXPECT_TRUE(injector.buttonHeld(kButtonLeft));
      EXPECT_FALSE(log_.Contains(L"Local mouse in use"));
      continue;
    }
    // The held button is let go (an up without a position) and the move is set aside.
    EXPECT_EQ(events[0].flags, 0x0004u);
    EXPECT_FALSE(injector.buttonHeld(kButtonLeft));
    EXPECT_EQ(status, (ControlStatus{1500, kHeldByHostUser, 0}));
    EXPECT_TRUE(log_.Contains(L"Local mouse in use - remote pointer input paused"));
  }
}

TEST_F(ArbiterTest, RemoteInputResumes1500MsAfterTheLastLocalMovement) {
  platform_.SetCursor(CursorPoint{0, 0});
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart);
  sink_.Take();

  // The local user moves at 10100 and again at 10900; remote events meanwhile are set aside.
  platform_.SetCursor(CursorPoint{1000, 540});
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 100).remainingMs, 1500u);
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 500).remainingMs, 1100u);  // still
  platform_.SetCursor(CursorPoint{1100, 600});
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 900), (ControlStatus{1500, kHeldByHostUser, 0}));
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 2399).remainingMs, 1u);
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(log_.Count(L"Local mouse in use - remote pointer input paused"), 1u);

  // The cursor rests where the local user left it: 1500 ms after the last movement remote input
  // drives again, and the cursor it moves is not taken for the local user.
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove, kButtonLeft, 0.25f, 0.25f), kStart + 2400),
            ControlStatus{});
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC001}));
  platform_.SetCursor(injector_.control().expectedCursor);
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 2450), ControlStatus{});
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC001}));
  EXPECT_EQ(log_.Count(L"Local mouse in use - remote pointer input paused"), 1u);
}

TEST_F(ArbiterTest, AnUnreadableCursorNeverPauses) {
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart);
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove, kButtonLeft, 0.9f, 0.9f), kStart + 10);
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC001, 0xC001}));
}

TEST_F(ArbiterTest, TheOwnerHoldsTheMouseUntilSilentFor1500Ms) {
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionDown), kStart);
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC003}));

  // Bo is told who holds the mouse and for how long; nothing of his goes out.
  EXPECT_EQ(arbiter_.OnMouse(kBo, Mouse(kMouseActionMove), kStart + 100), (ControlStatus{1400, kHeldByViewer, kAnna}));
  EXPECT_EQ(arbiter_.OnMouse(kBo, Mouse(kMouseActionDown, kButtonRight), kStart + 1499),
            (ControlStatus{1, kHeldByViewer, kAnna}));
  EXPECT_TRUE(sink_.Take().empty());
  // Anna keeps it by moving; her events never get a notice.
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 1000), ControlStatus{});
  EXPECT_EQ(arbiter_.OnMouse(kBo, Mouse(kMouseActionMove), kStart + 2499).remainingMs, 1u);
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC001}));

  // Silent for 1500 ms: Bo takes over, and Anna's held button is released before his event.
  EXPECT_EQ(arbiter_.OnMouse(kBo, Mouse(kMouseActionMove, kButtonLeft, 0.1f, 0.1f), kStart + 2500), ControlStatus{});
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0x0004, 0xC001}));
  EXPECT_FALSE(injector_.buttonHeld(kButtonLeft));
  EXPECT_EQ(injector_.control().ownerId, kBo);
  EXPECT_EQ(arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart + 2600), (ControlStatus{1400, kHeldByViewer, kBo}));
}

TEST_F(ArbiterTest, EventsTheInjectorWouldIgnoreClaimNothing) {
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionMove), kStart);
  sink_.Take();
  for (const ControlMouse& bad : {Mouse(kMouseActionDown, 5), Mouse(kMouseActionDown, 255), Mouse(5), Mouse(200)}) {
    // Still told who holds the mouse, but no event and no take-over even when the owner is silent.
    EXPECT_EQ(arbiter_.OnMouse(kBo, bad, kStart + 100), (ControlStatus{1400, kHeldByViewer, kAnna}));
    EXPECT_EQ(arbiter_.OnMouse(kBo, bad, kStart + 5000), ControlStatus{});
  }
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(injector_.control().ownerId, kAnna);
}

TEST_F(ArbiterTest, ALeavingOwnerFreesTheMouseAtOnce) {
  arbiter_.OnMouse(kAnna, Mouse(kMouseActionDown), kStart);
  injector_.KeyEvent(0x10, 0x2A, true, false, 0);
  sink_.Take();

  arbiter_.OnViewerLeft(kBo);  // not the owner: everything is released, Anna keeps the mouse
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0x0004, 0x0002}));
  EXPECT_EQ(injector_.control().ownerId, kAnna);

  arbiter_.OnViewerLeft(kAnna);
  EXPECT_EQ(injector_.control().ownerId, 0u);
  EXPECT_EQ(arbiter_.OnMouse(kBo, Mouse(kMouseActionMove), kStart + 10), ControlStatus{});
  EXPECT_EQ(TakeFlags(), (std::vector<std::uint32_t>{0xC001}));
}

}  // namespace
}  // namespace tvx
