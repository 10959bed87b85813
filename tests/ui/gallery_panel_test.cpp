#include <algorithm>
#include <set>

#include "surface_fixture.h"
#include "ui/gallery_panel.h"

namespace tvx::ui {
namespace {

using testing::SurfaceTest;

TEST_F(SurfaceTest, GalleryDrawsEveryWidgetKindAndSwitchesTheAccent) {
  width = 1000;
  height = 800;
  GalleryPanel gallery;
  surface.EnableTrace(true);
  const Rect area{0, 0, width, height};
  Frame([&] { gallery.Draw(surface, area); });
  std::set<std::string> kinds;
  const TraceEntry* light = nullptr;
  for (const TraceEntry& e : surface.trace().entries()) {
    kinds.insert(e.kind);
    if (e.label == L"Light accent") light = &e;
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"button", "tab", "toggle", "slider", "dropdown", "textfield",
                                          "colorpicker"}));
  EXPECT_EQ(canvas.clip_depth(), 0u);
  ASSERT_NE(light, nullptr);
  // Click "Light accent".
  MoveTo(light->x + 5.0f, light->y + 5.0f);
  Press();
  Frame([&] { gallery.Draw(surface, area); });
  Release();
  Frame([&] { gallery.Draw(surface, area); });
  EXPECT_TRUE(gallery.light_accent());
  EXPECT_EQ(surface.Colour(ThemeColour::Accent), GalleryPanel::kLightAccent);
  EXPECT_EQ(surface.Colour(ThemeColour::OnAccent), 0xFF0C1210u);
  // The held-open preview popup is drawn: its rows appear twice (box list and popup).
  EXPECT_NE(canvas.FindText(L"Light on the network"), nullptr);
}

}  // namespace
}  // namespace tvx::ui
