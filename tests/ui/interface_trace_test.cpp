#include <string>
#include <vector>

#include "surface_fixture.h"

namespace tvx::ui {
namespace {

using testing::SurfaceTest;

TEST_F(SurfaceTest, TraceIsOffByDefault) {
  Frame([&] { surface.Button(1, {0, 0, 10, 10}, L"A"); });
  EXPECT_TRUE(surface.trace().entries().empty());
  EXPECT_FALSE(surface.TakeTraceLine(0, 0).has_value());
}

TEST_F(SurfaceTest, TraceLineListsTheFramesWidgetsOnceUntilTheyChange) {
  surface.EnableTrace(true);
  surface.SetTraceWindowName(L"Tavrix");
  std::vector<std::wstring> items{L"Arrow", L"Pen"};
  int tool = 1;
  bool sound = true;
  std::wstring address = L"10.0.0.\"2\"";
  auto draw = [&](bool enabled) {
    surface.Button(404, {10.4f, 20, 72.4f, 50}, L"Undo", false, enabled);
    surface.Toggle(417, {100, 20, 200, 50}, L"Sound", sound);
    surface.Dropdown(400, {210, 20, 310, 50}, items, tool);
    surface.TextField(419, {320, 20, 420, 50}, address, L"address");
  };
  Frame([&] { draw(true); });
  const auto line = surface.TakeTraceLine(1000, 500);
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(*line,
            "{\"widgets\": [{\"enabled\": true, \"h\": 30, \"id\": 404, \"kind\": \"button\", \"label\": \"Undo\", "
            "\"value\": \"\", \"w\": 62, \"x\": 1010, \"y\": 520}, "
            "{\"enabled\": true, \"h\": 30, \"id\": 417, \"kind\": \"toggle\", \"label\": \"Sound\", \"value\": "
            "\"on\", \"w\": 100, \"x\": 1100, \"y\": 520}, "
            "{\"enabled\": true, \"h\": 30, \"id\": 400, \"kind\": \"dropdown\", \"label\": \"\", \"value\": "
            "\"Pen\", \"w\": 100, \"x\": 1210, \"y\": 520}, "
            "{\"enabled\": true, \"h\": 30, \"id\": 419, \"kind\": \"textfield\", \"label\": \"address\", "
            "\"value\": \"10.0.0.\\\"2\\\"\", \"w\": 100, \"x\": 1320, \"y\": 520}], \"window\": \"Tavrix\"}");
  EXPECT_EQ(line->find('\n'), std::string::npos);

  Frame([&] { draw(true); });
  EXPECT_FALSE(surface.TakeTraceLine(1000, 500).has_value()) << "nothing changed";
  EXPECT_TRUE(surface.TakeTraceLine(1001, 500).has_value()) << "the window moved";
  Frame([&] { draw(false); });
  const auto disabled = surface.TakeTraceLine(1001, 500);
  ASSERT_TRUE(disabled.has_value());
  EXPECT_NE(disabled->find("\"enabled\": false"), std::string::npos);
}

TEST_F(SurfaceTest, TraceShowsTheRowsOfAnOpenDropdown) {
  surface.EnableTrace(true);
  std::vector<std::wstring> items{L"Thin", L"Medium", L"Thick"};
  int width = 0;
  const Rect box{100, 100, 200, 130};
  MoveTo(150, 115);
  Press();
  Frame([&] { surface.Dropdown(402, box, items, width); });
  Release();
  Frame([&] { surface.Dropdown(402, box, items, width); });
  const auto& entries = surface.trace().entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].kind, "dropdown-item");
  EXPECT_EQ(entries[3].label, L"Thick");
  EXPECT_EQ(entries[3].y, 134 + 56);
  EXPECT_EQ(entries[1].value, L"selected");
}

}  // namespace
}  // namespace tvx::ui
