#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "media/input_injector.h"
#include "media/input_platform.h"
#include "media/input_sink.h"

namespace tvx {
namespace {

// Moves the real cursor, so it runs only when asked for (on a throw-away desktop such as Xvfb).
TEST(SystemInputSink, AbsoluteMovesPutTheCursorWhereTheInjectorExpects) {
  if (std::getenv("TVX_DESKTOP_INPUT_TEST") == nullptr) {
    GTEST_SKIP() << "set TVX_DESKTOP_INPUT_TEST=1 to move the desktop's cursor";
  }
  auto platform = CreateSystemInputPlatform();
  auto sink = CreateSystemInputSink();
  const auto monitors = platform->MonitorRects();
  ASSERT_FALSE(monitors.empty());
  InputInjector injector(*sink, *platform);
  injector.SetRegion(monitors.back());

  const float positions[][2] = {{0.25f, 0.75f}, {0.8f, 0.1f}, {0.0f, 0.0f}, {1.0f, 1.0f}};
  for (const auto& p : positions) {
    SCOPED_TRACE(::testing::Message() << p[0] << "," << p[1]);
    ASSERT_TRUE(injector.MouseEvent(p[0], p[1], kMouseActionMove, kButtonLeft, 0));
    Sleep(50);
    CursorPoint cursor;
    ASSERT_TRUE(platform->CursorPosition(cursor));
    const CursorPoint expected = injector.control().expectedCursor;
    EXPECT_LE(std::abs(cursor.x - expected.x), 1);
    EXPECT_LE(std::abs(cursor.y - expected.y), 1);
  }
}

}  // namespace
}  // namespace tvx
