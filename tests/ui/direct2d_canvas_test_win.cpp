// The Windows canvas's text without a window: families that exist, the fallback for ones that do
// not (a missing family would draw nothing), and caret positions from cluster metrics.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/direct2d_canvas_win.h"

namespace tvx::ui {
namespace {

class Direct2DCanvasText : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring error;
    ASSERT_TRUE(canvas_.Init(error)) << std::string(error.begin(), error.end());
  }
  Direct2DCanvas canvas_;
};

TEST_F(Direct2DCanvasText, MissingFamiliesFallBackToInstalledOnes) {
  const std::wstring fallback = canvas_.ResolveFamily(L"Tavrix No Such Family");
  EXPECT_NE(fallback, L"Tavrix No Such Family");
  EXPECT_FALSE(fallback.empty());
  // The fallback resolves to itself: it is installed.
  EXPECT_EQ(canvas_.ResolveFamily(fallback.c_str()), fallback);
  const std::wstring mono = canvas_.ResolveFamily(L"Tavrix No Such Mono");
  EXPECT_FALSE(mono.empty());
  EXPECT_EQ(canvas_.ResolveFamily(mono.c_str()), mono);
}

TEST_F(Direct2DCanvasText, MeasuresTextWithTrailingSpaces) {
  const float word = canvas_.MeasureText(L"hello", TextStyle::Body);
  EXPECT_GT(word, 10.0f);
  EXPECT_GT(canvas_.MeasureText(L"hello  ", TextStyle::Body), word + 2.0f);
  EXPECT_EQ(canvas_.MeasureText(L"", TextStyle::Body), 0.0f);
  canvas_.SetTextScale(1.5f);
  EXPECT_NEAR(canvas_.MeasureText(L"hello", TextStyle::Body), word * 1.5f, word * 0.1f);
}

TEST_F(Direct2DCanvasText, CaretPositionsFollowTheClusters) {
  std::vector<float> x;
  canvas_.CaretPositions(L"abc d", TextStyle::Body, x);
  ASSERT_EQ(x.size(), 6u);
  EXPECT_EQ(x[0], 0.0f);
  for (std::size_t i = 1; i < x.size(); ++i) EXPECT_GT(x[i], x[i - 1]) << i;
  EXPECT_NEAR(x.back(), canvas_.MeasureText(L"abc d", TextStyle::Body), 0.5f);

  // A surrogate pair is one cluster: the position between its halves is its leading edge.
  canvas_.CaretPositions(L"a\xD83D\xDE00" L"b", TextStyle::Body, x);
  ASSERT_EQ(x.size(), 5u);
  EXPECT_EQ(x[2], x[1]);
  EXPECT_GT(x[3], x[1]);
  EXPECT_GE(x[4], x[3]);

  canvas_.CaretPositions(L"", TextStyle::Body, x);
  EXPECT_EQ(x, std::vector<float>{0.0f});
}

}  // namespace
}  // namespace tvx::ui
