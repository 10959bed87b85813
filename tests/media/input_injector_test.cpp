#include "media/input_injector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "media/fixed_input_platform.h"
#include "media/input_event_json.h"
#include "media/recording_input_sink.h"
#include "support/input_events.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

using namespace testing;  // the expected events and key codes

class InjectorTest : public ::testing::Test {
 protected:
  InjectorTest() {
    platform_.SetScanCode(kVkShift, 0x2A);
    platform_.SetScanCode(kVkControl, 0x1D);
    platform_.SetScanCode(kVkA, 0x1E);
    platform_.SetScanCode(kVkLeft, 0x4B);
    platform_.SetScanCode(kVkRControl, 0x1D);
    platform_.SetMonitors({{0, 0, 1920, 1080}});
    injector_.SetRegion({0, 0, 1920, 1080});
  }

  FixedInputPlatform platform_;
  RecordingInputSink sink_;
  InputInjector injector_{sink_, platform_};
};

struct MappingCase {
  const char* name;
  std::vector<Rect> monitors;
  Rect region;
  float x, y;
  std::int32_t absX, absY;
  CursorPoint cursor;
};

TEST(InputMapping, PlacesPositionsOnTheSharedMonitorInsideTheVirtualDesktop) {
  const Rect left{0, 0, 1920, 1080};
  const Rect right{1920, 0, 3840, 1080};
  const Rect leftOfMain{-1920, 0, 0, 1080};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const MappingCase cases[] = {
      {"second of two, left edge", {left, right}, right, 0.0f, 0.0f, 32776, 0, {1920, 0}},
      {"second of two, right edge", {left, right}, right, 1.0f, 1.0f, 65535, 65535, {3839, 1079}},
      {"second of two, middle", {left, right}, right, 0.5f, 0.5f, 49156, 32768, {2880, 540}},
      {"one monitor, middle", {left}, left, 0.5f, 0.5f, 32768, 32768, {960, 540}},
      {"below zero clamps to 0", {left}, left, -0.2f, -5.0f, 0, 0, {0, 0}},
      {"above one clamps to 1", {left}, left, 1.7f, 9.0f, 65535, 65535, {1919, 1079}},
      {"not a number counts as 0", {left}, left, nan, nan, 0, 0, {0, 0}},
      {"main monitor with one to its left", {leftOfMain, left}, left, 0.0f, 0.0f, 32776, 0, {0, 0}},
  };
  for (const MappingCase& c : cases) {
    SCOPED_TRACE(c.name);
    FixedInputPlatform platform;
    platform.SetMonitors(c.monitors);
    RecordingInputSink sink;
    InputInjector injector(sink, platform);
    injector.SetRegion(c.region);
    ASSERT_TRUE(injector.MouseEvent(c.x, c.y, kMouseActionMove, kButtonLeft, 0));
    const auto events = sink.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Mouse(c.absX, c.absY, 0xC001));
    EXPECT_TRUE(injector.control().expectedValid);
    EXPECT_EQ(injector.control().expectedCursor, c.cursor);
  }
}

TEST(InputMapping, VirtualDesktopFallsBackToSystemMetricsThenToTheRegion) {
  testing::LogCapture capture;
  FixedInputPlatform platform;
  RecordingInputSink sink;
  InputInjector injector(sink, platform);

  platform.SetSystemVirtualScreen({-100, -50, 1820, 1030});
  injector.SetRegion({0, 0, 1920, 1080});
  EXPECT_EQ(injector.virtualDesktop(), (Rect{-100, -50, 1820, 1030}));
  EXPECT_TRUE(capture.Contains(L"Input region 0,0 1920x1080   virtual desktop -100,-50 1920x1080"));

  // Nothing from the system at all: the shared monitor is the desktop.
  platform.SetSystemVirtualScreen({});
  injector.SetRegion({10, 20, 810, 620});
  EXPECT_EQ(injector.virtualDesktop(), (Rect{10, 20, 810, 620}));

  // An empty region on such a system still gives a desktop at least one pixel wide and high.
  injector.SetRegion({5, 5, 5, 5});
  EXPECT_EQ(injector.virtualDesktop(), (Rect{5, 5, 6, 6}));
  injector.MouseEvent(0.5f, 0.5f, kMouseActionMove, kButtonLeft, 0);
  EXPECT_EQ(sink.Events().back(), Mouse(0, 0, 0xC001));
}

TEST_F(InjectorTest, LogsTheMappingOfTheFirstMoveAfterEachRegionChange) {
  testing::LogCapture capture;
  platform_.SetCursor(CursorPoint{100, 200});
  injector_.SetRegion({0, 0, 1920, 1080});
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonLeft, 0);  // not a move: no log yet
  EXPECT_EQ(capture.Count(L"Input map"), 0u);
  injector_.MouseEvent(0.5f, 0.25f, kMouseActionMove, kButtonLeft, 0);
  injector_.MouseEvent(0.75f, 0.25f, kMouseActionMove, kButtonLeft, 0);
  EXPECT_EQ(capture.Count(L"Input map"), 1u);
  EXPECT_TRUE(capture.Contains(L"Input map: 0.5000,0.2500 -> abs 32768,16384 (cursor was 100,200)"));

  injector_.SetRegion({0, 0, 1920, 1080});
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionMove, kButtonLeft, 0);
  EXPECT_EQ(capture.Count(L"Input map"), 2u);
}

struct MouseCase {
  std::uint8_t action;
  std::uint8_t button;
  std::int16_t wheel;
  std::uint32_t flags;
  std::uint32_t data;
};

TEST_F(InjectorTest, MouseActionsAndButtonsBecomeTheirEventFlags) {
  const MouseCase cases[] = {
      {kMouseActionMove, kButtonRight, 120, 0xC001, 0},
      {kMouseActionDown, kButtonLeft, 0, 0xC003, 0},
      {kMouseActionUp, kButtonLeft, 0, 0xC005, 0},
      {kMouseActionDown, kButtonRight, 0, 0xC009, 0},
      {kMouseActionUp, kButtonRight, 0, 0xC011, 0},
      {kMouseActionDown, kButtonMiddle, 0, 0xC021, 0},
      {kMouseActionUp, kButtonMiddle, 0, 0xC041, 0},
      {kMouseActionDown, kButtonX1, 0, 0xC081, 1},
      {kMouseActionUp, kButtonX1, 0, 0xC101, 1},
      {kMouseActionDown, kButtonX2, 0, 0xC081, 2},
      {kMouseActionUp, kButtonX2, 0, 0xC101, 2},
      {kMouseActionWheel, kButtonLeft, 120, 0xC801, 120},
      {kMouseActionWheel, kButtonLeft, -120, 0xC801, 0xFFFFFF88},  // sign-extended
      {kMouseActionHWheel, kButtonLeft, -240, 0xD001, 0xFFFFFF10},
  };
  for (const MouseCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "action " << int{c.action} << " button " << int{c.button});
    sink_.Take();
    EXPECT_TRUE(injector_.MouseEvent(0.5f, 0.5f, c.action, c.button, c.wheel));
    const auto events = sink_.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Mouse(32768, 32768, c.flags, c.data));
    EXPECT_EQ(events[0].extraInfo, 0x54565821u);
    if (c.action == kMouseActionDown) {
      EXPECT_TRUE(injector_.buttonHeld(c.button));
    }
    if (c.action == kMouseActionUp) {
      EXPECT_FALSE(injector_.buttonHeld(c.button));
    }
  }
}

TEST_F(InjectorTest, UnknownActionsAndButtonsAreIgnoredWhole) {
  injector_.MouseEvent(0.1f, 0.1f, kMouseActionMove, kButtonLeft, 0);
  const CursorPoint expected = injector_.control().expectedCursor;
  sink_.Take();
  EXPECT_FALSE(injector_.MouseEvent(0.9f, 0.9f, 5, kButtonLeft, 0));
  EXPECT_FALSE(injector_.MouseEvent(0.9f, 0.9f, kMouseActionDown, 5, 0));
  EXPECT_FALSE(injector_.MouseEvent(0.9f, 0.9f, 255, 255, 0));
  EXPECT_TRUE(sink_.Events().empty());
  EXPECT_EQ(injector_.control().expectedCursor, expected);
}

TEST_F(InjectorTest, ReleaseButtonsLiftsHeldButtonsWithoutAPosition) {
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonLeft, 0);
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonX1, 0);
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonX2, 0);
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionUp, kButtonX1, 0);
  sink_.Take();
  injector_.ReleaseButtons();
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Mouse(0, 0, 0x0004), Mouse(0, 0, 0x0100, 2)}));
  injector_.ReleaseButtons();  // nothing held any more
  EXPECT_TRUE(sink_.Events().empty());
}

TEST_F(InjectorTest, SendKeyTakesTheLayoutsScanCodeAndExtendsTheListedKeys) {
  EXPECT_TRUE(injector_.SendKey(kVkA, 0x99, true, false));
  EXPECT_TRUE(injector_.SendKey(kVkA, 0x99, false, true));
  EXPECT_TRUE(injector_.SendKey(kVkLeft, 0, true, false));  // arrows are always extended
  EXPECT_TRUE(injector_.SendKey(0, 0x5B, false, false));    // no virtual key: the given scan code
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Key(kVkA, 0x1E, 0), Key(kVkA, 0x1E, 3), Key(kVkLeft, 0x4B, 1),
                                                   Key(0, 0x5B, 2)}));
}

TEST_F(InjectorTest, KeyDownWithACharacterIsTypedAndItsKeyUpDropped) {
  injector_.KeyEvent(kVkA, 0x1E, true, false, u'a');
  EXPECT_TRUE(injector_.typedAsChar(kVkA));
  EXPECT_TRUE(injector_.heldKeys().empty());
  injector_.KeyEvent(kVkA, 0x1E, false, false, u'a');
  EXPECT_FALSE(injector_.typedAsChar(kVkA));
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Unicode(u'a', false), Unicode(u'a', true)}));

  // With the mark gone, a second up is an ordinary key release.
  injector_.KeyEvent(kVkA, 0x1E, false, false, 0);
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Key(kVkA, 0x1E, 2)}));
  // vk 0 and scan 0 together mean nothing.
  injector_.KeyEvent(0, 0, true, false, u'x');
  EXPECT_TRUE(sink_.Events().empty());
}

TEST_F(InjectorTest, TypingLiftsHeldModifiersAndPressesThemAgainInReverse) {
  injector_.KeyEvent(kVkControl, 0x1D, true, false, 0);
  injector_.KeyEvent(kVkA, 0x1E, true, false, 0);  // not a modifier: stays down while typing
  injector_.KeyEvent(kVkShift, 0x2A, true, false, 0);
  sink_.Take();

  injector_.KeyEvent(kVkA, 0x1E, true, false, u'A');
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Key(kVkControl, 0x1D, 2), Key(kVkShift, 0x2A, 2),
                                                   Unicode(u'A', false), Unicode(u'A', true),
                                                   Key(kVkShift, 0x2A, 0), Key(kVkControl, 0x1D, 0)}));
  EXPECT_EQ(injector_.heldKeys(), (std::vector<std::uint16_t>{kVkControl, kVkA, kVkShift}));
}

TEST_F(InjectorTest, PressingAKeyTwiceHoldsItOnceAndReleaseAllLiftsItOnce) {
  injector_.KeyEvent(kVkRControl, 0x1D, true, false, 0);
  injector_.KeyEvent(kVkA, 0x1E, true, false, 0);
  injector_.KeyEvent(kVkA, 0x1E, true, false, 0);
  EXPECT_EQ(injector_.heldKeys(), (std::vector<std::uint16_t>{kVkRControl, kVkA}));
  injector_.KeyEvent(0x42, 0x30, true, false, u'b');  // typed: marked, not held
  injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonRight, 0);
  sink_.Take();

  injector_.ReleaseAll();
  // Buttons first, then keys in the order pressed; the right control key is extended.
  EXPECT_EQ(sink_.Take(),
            (std::vector<InputEvent>{Mouse(0, 0, 0x0010), Key(kVkRControl, 0x1D, 3), Key(kVkA, 0x1E, 2)}));
  EXPECT_TRUE(injector_.heldKeys().empty());
  EXPECT_FALSE(injector_.typedAsChar(0x42));
  EXPECT_FALSE(injector_.buttonHeld(kButtonRight));
}

TEST_F(InjectorTest, TextIsTypedUnitByUnit) {
  injector_.TextEvent(u"h\U0001F600");  // a surrogate pair goes out as its two units
  EXPECT_EQ(sink_.Take(), (std::vector<InputEvent>{Unicode(u'h', false), Unicode(u'h', true),
                                                   Unicode(u'\xD83D', false), Unicode(u'\xD83D', true),
                                                   Unicode(u'\xDE00', false), Unicode(u'\xDE00', true)}));
}

TEST_F(InjectorTest, RejectedEventsStillUpdateTheHoldState) {
  sink_.SetDelivers(false);
  EXPECT_FALSE(injector_.MouseEvent(0.5f, 0.5f, kMouseActionDown, kButtonMiddle, 0));
  EXPECT_TRUE(injector_.buttonHeld(kButtonMiddle));
  injector_.KeyEvent(kVkShift, 0x2A, true, false, 0);
  EXPECT_EQ(injector_.heldKeys(), (std::vector<std::uint16_t>{kVkShift}));
  EXPECT_FALSE(injector_.TypeChar(u'x'));
  sink_.SetDelivers(true);
  EXPECT_TRUE(injector_.TypeChar(u'x'));
}

TEST_F(InjectorTest, LocalMouseIsRecentFor1500Ms) {
  EXPECT_FALSE(injector_.IsLocalMouseRecent(0));  // never moved, even on a clock that starts at 0
  EXPECT_FALSE(injector_.IsLocalMouseRecent(700));
  injector_.control().lastLocalMoveTick = 10000;
  EXPECT_TRUE(injector_.IsLocalMouseRecent(10000));
  EXPECT_TRUE(injector_.IsLocalMouseRecent(11499));
  EXPECT_FALSE(injector_.IsLocalMouseRecent(11500));
}

TEST(InputEventJson, WritesOneLineOfEachKind) {
  InputEvent wheel = Mouse(100, 200, 0xC801, 0xFFFFFF88);
  EXPECT_EQ(InputEventJson(wheel),
            R"({"input":"mouse","x":100,"y":200,"flags":51201,"data":-120,"extra":1414944801})");
  EXPECT_EQ(InputEventJson(Key(0x41, 0x1E, 3)),
            R"({"input":"key","vk":65,"scan":30,"flags":3,"extra":1414944801})");
}

TEST(RecordingInputSink, KeepsOnlyTheNewestEventsAndShowsEachToItsObserver) {
  int seen = 0;
  RecordingInputSink sink(2, [&](const InputEvent&) { ++seen; });
  for (int i = 0; i < 3; ++i) sink.Send(Mouse(i, 0, 1));
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(sink.Events(), (std::vector<InputEvent>{Mouse(1, 0, 1), Mouse(2, 0, 1)}));
}

}  // namespace
}  // namespace tvx
