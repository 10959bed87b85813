// Buttons, toggle, slider, dropdown and colour picker: behaviour and the looks that carry meaning.
#include <array>
#include <vector>

#include "surface_fixture.h"
#include "ui/hsv.h"

namespace tvx::ui {
namespace {

using testing::SurfaceTest;

TEST_F(SurfaceTest, ButtonLooks) {
  const Rect r{100, 100, 200, 130};
  struct Case {
    const char* name;
    bool primary, enabled, hover, held;
    std::uint32_t fill;
    std::uint32_t label;
  };
  const std::uint32_t accent = surface.Colour(ThemeColour::Accent);  // the default green: dark labels
  const Case cases[] = {
      {"normal", false, true, false, false, surface.Colour(ThemeColour::Control), surface.Colour(ThemeColour::Text)},
      {"hovered", false, true, true, false, surface.Colour(ThemeColour::ControlHover),
       surface.Colour(ThemeColour::Text)},
      {"held", false, true, true, true, surface.Colour(ThemeColour::Control), surface.Colour(ThemeColour::Text)},
      {"disabled", false, false, true, false, surface.Colour(ThemeColour::Inset), surface.Colour(ThemeColour::TextDim)},
      {"primary", true, true, false, false, accent, 0xFF0C1210},
      {"primary hovered", true, true, true, false, MixColour(accent, 0.15f), 0xFF0C1210},
      {"primary held", true, true, true, true, MixColour(accent, -0.15f), 0xFFFFFFFF},  // darker: white label
      {"primary disabled", true, false, false, false, MixColour(accent, -0.55f), 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    if (c.hover) MoveTo(150, 115); else LeaveWindow();
    input.pressed = c.held;
    input.button_down = c.held;
    Frame([&] { surface.Button(9, r, L"Go", c.primary, c.enabled); });
    const auto fills = canvas.Find(DrawOp::Kind::FillRoundedRect);
    ASSERT_EQ(fills.size(), 1u) << c.name;
    EXPECT_EQ(fills[0]->colour, c.fill) << c.name;
    EXPECT_EQ(fills[0]->radius_x, 6) << c.name;
    ASSERT_NE(canvas.FindText(L"Go"), nullptr);
    EXPECT_EQ(canvas.FindText(L"Go")->colour, c.label) << c.name;
    EXPECT_EQ(canvas.Find(DrawOp::Kind::StrokeRoundedRect).size(), c.primary ? 0u : 1u) << c.name;
    input.button_down = false;
    input.released = true;
    Frame([] {});
  }
}

TEST_F(SurfaceTest, PrimaryButtonColourOverrideIsOpaque) {
  Frame([&] { surface.Button(9, {0, 0, 100, 30}, L"Stop", true, true, 0x00FF5C6B); });
  EXPECT_EQ(canvas.Find(DrawOp::Kind::FillRoundedRect)[0]->colour, 0xFFFF5C6Bu);
}

TEST_F(SurfaceTest, ToggleFlipsOnClick) {
  const Rect r{10, 10, 200, 36};
  bool value = false;
  MoveTo(150, 20);  // over the label, not the track: the whole rect is the target
  Press();
  bool flipped = true;
  Frame([&] { flipped = surface.Toggle(3, r, L"Sound", value); });
  EXPECT_FALSE(flipped);
  Release();
  Frame([&] { flipped = surface.Toggle(3, r, L"Sound", value); });
  EXPECT_TRUE(flipped);
  EXPECT_TRUE(value);
  // On: the knob sits 3 in from the track's right end (track 10..44, knob radius 6.5).
  const auto knobs = canvas.Find(DrawOp::Kind::FillEllipse);
  ASSERT_EQ(knobs.size(), 1u);
  EXPECT_FLOAT_EQ(knobs[0]->from.x, 44 - 3 - 6.5f);
  EXPECT_FLOAT_EQ(knobs[0]->from.y, 23);
  EXPECT_EQ(knobs[0]->colour, 0xFF10141Au) << "dark knob on a light accent";
  // Disabled: no flip.
  Press();
  Frame([&] { flipped = surface.Toggle(3, r, L"Sound", value, false); });
  Release();
  Frame([&] { flipped = surface.Toggle(3, r, L"Sound", value, false); });
  EXPECT_FALSE(flipped);
  EXPECT_TRUE(value);
  EXPECT_EQ(canvas.Find(DrawOp::Kind::FillEllipse)[0]->colour, surface.Colour(ThemeColour::TextDim));
}

TEST_F(SurfaceTest, SliderFollowsTheDragWithRounding) {
  // Track from 18 to 218 (200 wide) for min 0, max 7: each step is 28.57 px.
  const Rect r{10, 100, 226, 130};
  struct Case {
    float x;
    int min, max;
    int expected;
  } cases[] = {
      {18, 0, 7, 0},      {218, 0, 7, 7},      {-50, 0, 7, 0},       {900, 0, 7, 7},
      {118, 0, 7, 4},     // 3.5 rounds away from zero
      {118, -7, 0, -4},   // -3.5 rounds away from zero
      {117.9f, 0, 7, 3},  {60, 0, 100, 21},
  };
  for (const Case& c : cases) {
    int value = c.min == 0 ? 1 : -1;
    MoveTo(100, 115);
    Press();
    Frame([&] { surface.Slider(4, r, value, c.min, c.max); });
    MoveTo(c.x, 115);
    bool changed = false;
    const int before = value;
    Frame([&] { changed = surface.Slider(4, r, value, c.min, c.max); });
    EXPECT_EQ(value, c.expected) << c.x << " in " << c.min << ".." << c.max;
    EXPECT_EQ(changed, before != value);
    Release();
    Frame([&] { surface.Slider(4, r, value, c.min, c.max); });
  }
}

TEST_F(SurfaceTest, SliderWithMinEqualMaxDoesNothing) {
  int value = 5;
  MoveTo(100, 115);
  Press();
  bool changed = true;
  Frame([&] { changed = surface.Slider(4, {10, 100, 226, 130}, value, 3, 3); });
  EXPECT_FALSE(changed);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(canvas.ops().size(), 1u) << "nothing but the frame's clear";
  EXPECT_EQ(surface.active_id(), 0u);
}

TEST_F(SurfaceTest, SliderClampsAStoredValue) {
  int value = 250;
  Frame([&] { surface.Slider(4, {10, 100, 226, 130}, value, 10, 100); });
  EXPECT_EQ(value, 100);
  // The knob is drawn at the track's right end.
  EXPECT_FLOAT_EQ(canvas.Find(DrawOp::Kind::FillEllipse)[0]->from.x, 218);
}

class DropdownTest : public SurfaceTest {
 protected:
  bool Draw(int& selected, bool enabled = true) {
    bool changed = false;
    Frame([&] { changed = surface.Dropdown(20, box, items, selected, enabled); });
    return changed;
  }
  void Click(float x, float y, int& selected) {
    MoveTo(x, y);
    Press();
    Draw(selected);
    Release();
    Draw(selected);
  }
  Rect box{100, 100, 300, 132};
  std::vector<std::wstring> items{L"One", L"Two", L"Three"};
};

TEST_F(DropdownTest, OpensBelowAndPicksARow) {
  int selected = 0;
  Click(150, 110, selected);
  EXPECT_EQ(surface.capture_id(), 20u);
  EXPECT_EQ(surface.DropdownPopupRect(box, 3), (Rect{100, 136, 300, 220}));
  // Row 2 starts at 136 + 56.
  MoveTo(150, 136 + 56 + 1);
  Press();
  bool changed = false;
  Frame([&] { changed = surface.Dropdown(20, box, items, selected); });
  EXPECT_TRUE(changed);
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(surface.capture_id(), 0u);
  EXPECT_EQ(surface.focus_id(), 0u);
}

TEST_F(DropdownTest, PickingTheSelectedRowClosesWithoutChange) {
  int selected = 1;
  Click(150, 110, selected);
  MoveTo(150, 136 + 28 + 5);
  Press();
  EXPECT_FALSE(Draw(selected));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(surface.capture_id(), 0u);
}

TEST_F(DropdownTest, ClickOnTheBoxAgainCloses) {
  int selected = 0;
  Click(150, 110, selected);
  Click(150, 110, selected);
  EXPECT_EQ(surface.capture_id(), 0u);
}

TEST_F(DropdownTest, OpensAboveNearTheBottomEdge) {
  Resize(800, 300);
  box = {100, 230, 300, 262};  // below: 266 + 84 = 350 > 292
  EXPECT_EQ(surface.DropdownPopupRect(box, 3), (Rect{100, 142, 300, 226}));
  box = {100, 200, 300, 232};  // below ends at 320 - 4 = 236 + 84 = 320: too close
  EXPECT_EQ(surface.DropdownPopupRect(box, 3).bottom, 196);
  box = {100, 100, 300, 132};  // room below
  EXPECT_EQ(surface.DropdownPopupRect(box, 3), (Rect{100, 136, 300, 220}));
  // Never above y = 8.
  Resize(800, 100);
  box = {100, 40, 300, 72};
  EXPECT_EQ(surface.DropdownPopupRect(box, 3), (Rect{100, 8, 300, 92}));
  // Long lists stop at 280 high.
  Resize(800, 1000);
  EXPECT_EQ(surface.DropdownPopupRect(box, 50).Height(), 280);
}

TEST_F(DropdownTest, PopupIsDrawnLastAndOnTop) {
  Resize(800, 300);
  box = {100, 230, 300, 262};
  int selected = 1;
  Click(150, 240, selected);
  MoveTo(150, 142 + 3);  // over row 0
  Frame([&] {
    surface.Dropdown(20, box, items, selected);
    surface.Card({0, 0, 800, 300}, L"drawn after the dropdown");
  });
  const auto& ops = canvas.ops();
  const DrawOp* card_title = canvas.FindText(L"drawn after the dropdown");
  const DrawOp* row = canvas.FindText(L"Three");
  ASSERT_NE(card_title, nullptr);
  ASSERT_NE(row, nullptr);
  EXPECT_GT(row - ops.data(), card_title - ops.data()) << "popup rows come after the later content";
  EXPECT_EQ(canvas.FindText(L"Two", 1)->colour, surface.Colour(ThemeColour::Accent)) << "the selected row";
  EXPECT_TRUE(row->has_clip);
  EXPECT_EQ(row->clip, (Rect{100, 142, 300, 226}));
  // The hovered row has a Control fill.
  bool hover_fill = false;
  for (const DrawOp* f : canvas.Find(DrawOp::Kind::FillRoundedRect)) {
    if (f->rect == Rect{103, 142, 297, 170} && f->colour == surface.Colour(ThemeColour::Control)) hover_fill = true;
  }
  EXPECT_TRUE(hover_fill);
}

TEST_F(DropdownTest, EmptyListNeverOpensAndClampsTheSelection) {
  items.clear();
  int selected = 7;
  Click(150, 110, selected);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(surface.capture_id(), 0u);
  EXPECT_EQ(canvas.Find(DrawOp::Kind::Text).size(), 0u) << "an empty box";
}

TEST_F(DropdownTest, StoredSelectionBeyondTheListIsShownAndStoredAsTheLast) {
  int selected = 7;
  EXPECT_FALSE(Draw(selected));
  EXPECT_EQ(selected, 2);
  EXPECT_NE(canvas.FindText(L"Three"), nullptr);
  selected = -3;
  Draw(selected);
  EXPECT_EQ(selected, 0);
}

TEST_F(DropdownTest, WhileOpenOtherWidgetsDoNotReact) {
  int selected = 0;
  Click(150, 110, selected);
  // A press on a button elsewhere only closes the popup.
  MoveTo(550, 115);
  Press();
  bool hovered = true;
  Frame([&] {
    surface.Dropdown(20, box, items, selected);
    surface.Button(30, {500, 100, 600, 130}, L"Other");
    surface.ButtonBehaviour(31, {500, 100, 600, 130}, true, &hovered);
  });
  EXPECT_FALSE(hovered);
  EXPECT_EQ(surface.active_id(), 0u);
  EXPECT_EQ(surface.capture_id(), 0u);
  Release();
  bool clicked = true;
  Frame([&] { clicked = surface.Button(30, {500, 100, 600, 130}, L"Other"); });
  EXPECT_FALSE(clicked);
}

TEST_F(DropdownTest, DisabledNeverOpensAndClosesWhenDisabledWhileOpen) {
  int selected = 0;
  MoveTo(150, 110);
  Press();
  Draw(selected, false);
  Release();
  Draw(selected, false);
  EXPECT_EQ(surface.capture_id(), 0u);
  Click(150, 110, selected);
  ASSERT_EQ(surface.capture_id(), 20u);
  LeaveWindow();
  Draw(selected, false);
  EXPECT_EQ(surface.capture_id(), 0u);
}

class ColorPickerTest : public SurfaceTest {
 protected:
  bool Draw() {
    bool changed = false;
    Frame([&] { changed = surface.ColorPicker(40, swatch, colour); });
    return changed;
  }
  void Open() {
    MoveTo(120, 110);
    Press();
    Draw();
    Release();
    Draw();
    ASSERT_EQ(surface.capture_id(), 40u);
  }
  Rect swatch{100, 100, 146, 132};
  std::uint32_t colour = 0xFF000000;
  // Popup at (100, 138), 236 × 214; inner from (112, 150): square 212 × 112, hue bar at y 274..288,
  // presets at y 300..328, each (212 - 49) / 8 = 20.375 wide.
};

TEST_F(ColorPickerTest, PopupPlacement) {
  Resize(800, 600);
  EXPECT_EQ(surface.ColorPickerPopupRect(swatch), (Rect{100, 138, 336, 352}));
  // Near the bottom: above the swatch.
  Resize(800, 400);
  swatch = {100, 300, 146, 332};
  EXPECT_EQ(surface.ColorPickerPopupRect(swatch), (Rect{100, 80, 336, 294}));
  // Near the right edge: kept inside; in a tiny window never closer than 8 to top and left.
  Resize(300, 400);
  EXPECT_EQ(surface.ColorPickerPopupRect(swatch).right, 300);
  Resize(100, 100);
  EXPECT_EQ(surface.ColorPickerPopupRect(swatch).left, 8);
  EXPECT_EQ(surface.ColorPickerPopupRect(swatch).top, 8);
}

TEST_F(ColorPickerTest, HueBarTintsBlackVisibly) {
  Open();
  MoveTo(112 + 212 * 0.5f, 280);  // hue 180
  Press();
  EXPECT_TRUE(Draw());
  const Hsv hsv = ToHsv(colour);
  EXPECT_GE(hsv.value, 0.05f);
  EXPECT_GE(hsv.saturation, 0.02f);
  EXPECT_NEAR(hsv.hue, 180, 1);
  EXPECT_EQ(surface.active_id(), 42u);
  // Dragging on keeps following the bar, even outside the popup.
  MoveTo(0, 280);
  Draw();
  EXPECT_LT(ToHsv(colour).hue, 1.0f);
  Release();
  Draw();
  EXPECT_EQ(surface.capture_id(), 40u) << "still open after the drag";
}

TEST_F(ColorPickerTest, SquareOnAGreyUsesTheRememberedHue) {
  Open();
  // Set the hue to 240 (blue) on the bar, then drag the square.
  MoveTo(112 + 212 * (240.0f / 360), 280);
  Press();
  Draw();
  Release();
  Draw();
  colour = 0xFF808080;  // a grey comes in from outside: its own hue is meaningless
  MoveTo(323.9f, 150);  // full saturation and value (the square is half-open)
  Press();
  Draw();
  EXPECT_EQ(surface.active_id(), 41u);
  EXPECT_EQ(colour, 0xFF0000FFu);
}

TEST_F(ColorPickerTest, SquareKeepsTheColoursOwnHue) {
  colour = 0xFFFF0000;
  Open();
  MoveTo(112 + 106, 150 + 56);  // saturation 0.5, value 0.5
  Press();
  Draw();
  EXPECT_EQ(colour, FromHsv({0, 0.5f, 0.5f}));
}

TEST_F(ColorPickerTest, PresetsAndPressesInsideKeepItOpen) {
  Open();
  MoveTo(145, 310);  // the second preset: 139.4 to 159.8
  Press();
  EXPECT_TRUE(Draw());
  EXPECT_EQ(colour, 0xFF3FA9FFu);
  Release();
  Draw();
  // A press in the popup's margin is the popup's.
  MoveTo(105, 145);
  Press();
  EXPECT_FALSE(Draw());
  EXPECT_EQ(surface.capture_id(), 40u);
  Release();
  Draw();
  // A press outside closes it.
  MoveTo(700, 500);
  Press();
  Draw();
  EXPECT_EQ(surface.capture_id(), 0u);
}

TEST_F(ColorPickerTest, PopupIsPaintedFromBitmapsAndSurvivesDeviceLoss) {
  colour = 0xFFFF0000;
  Open();
  LeaveWindow();
  Draw();
  const auto bitmaps = canvas.Find(DrawOp::Kind::Bitmap);
  ASSERT_EQ(bitmaps.size(), 2u);  // the square and the hue bar
  EXPECT_EQ(bitmaps[0]->rect, (Rect{112, 150, 324, 262}));
  const auto* square = canvas.BitmapPixels(bitmaps[0]->bitmap);
  ASSERT_NE(square, nullptr);
  EXPECT_EQ(square->front(), 0xFFFFFFFFu) << "top-left: no saturation, full value";
  EXPECT_EQ((*square)[63], 0xFFFF0000u) << "top-right: the remembered hue";
  EXPECT_EQ(square->back(), 0xFF000000u);
  // The current point is marked black then white.
  const auto rings = canvas.Find(DrawOp::Kind::StrokeEllipse);
  ASSERT_EQ(rings.size(), 2u);
  EXPECT_EQ(rings[0]->colour, 0xFF000000u);
  EXPECT_EQ(rings[1]->colour, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(rings[0]->from.x, 324);
  EXPECT_FLOAT_EQ(rings[0]->from.y, 150);
  canvas.LoseDevice();
  Draw();
  EXPECT_EQ(canvas.bitmap_count(), 2u);
  EXPECT_EQ(canvas.Find(DrawOp::Kind::Bitmap).size(), 2u);
}

}  // namespace
}  // namespace tvx::ui
