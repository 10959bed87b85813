// The text field driven by scripted mouse and keys. Body text advances 7 px per character in the
// recording canvas; the field below has its text area from x 109 to 292.
#include "surface_fixture.h"

namespace tvx::ui {
namespace {

class TextFieldTest : public testing::SurfaceTest {
 protected:
  bool Draw(bool enabled = true) {
    bool changed = false;
    Frame([&] { changed = surface.TextField(kId, field, text, L"name", enabled, digits_only, max_length); });
    return changed;
  }
  void ClickAt(float x) {
    MoveTo(x, 116);
    Press();
    Draw();
    Release();
    Draw();
  }
  // Focus with the caret at the end.
  void FocusAtEnd() {
    surface.SetFocus(kId);
    Draw();
  }
  const DrawOp* TextOp() const { return canvas.FindText(text); }
  const DrawOp* CaretOp() const {
    for (const DrawOp* line : canvas.Find(DrawOp::Kind::Line)) {
      if (line->from.x == line->to.x) return line;
    }
    return nullptr;
  }

  static constexpr WidgetId kId = 77;
  Rect field{100, 100, 300, 132};
  std::wstring text;
  bool digits_only = false;
  std::size_t max_length = 256;
};

TEST_F(TextFieldTest, PressFocusesAndPlacesTheCaretAtTheNearestBoundary) {
  text = L"hello";
  ClickAt(109 + 14 + 3);  // nearer to the boundary after "he"
  EXPECT_EQ(surface.focus_id(), kId);
  Type(L"X");
  EXPECT_TRUE(Draw());
  EXPECT_EQ(text, L"heXllo");
  ClickAt(500);  // outside: focus ends
  EXPECT_EQ(surface.focus_id(), 0u);
  Type(L"Y");
  EXPECT_FALSE(Draw());
  EXPECT_EQ(text, L"heXllo");
}

TEST_F(TextFieldTest, DigitsOnlyPasteIsFilteredAndCut) {
  text = L"7";
  digits_only = true;
  max_length = 5;
  clipboard.SetClipboardText(L"12a34 56");
  FocusAtEnd();
  Key(keys::kV, true);
  EXPECT_TRUE(Draw());
  EXPECT_EQ(text, L"71234");
  Type(L"9");
  EXPECT_FALSE(Draw()) << "a full field takes nothing";
  EXPECT_EQ(text, L"71234");
}

TEST_F(TextFieldTest, PasteWithoutClipboardTextDoesNothing) {
  text = L"ab";
  FocusAtEnd();
  Key(keys::kV, true);
  EXPECT_FALSE(Draw());
  EXPECT_EQ(text, L"ab");
}

TEST_F(TextFieldTest, WordKeysOverSpacedWords) {
  struct Case {
    const char* name;
    std::vector<KeyEvent> keys;
    std::wstring expected;  // after the keys and typing "|"
  } cases[] = {
      {"ctrl+Backspace", {{keys::kBackspace, true, false}}, L"hello  |"},
      {"ctrl+Left", {{keys::kLeft, true, false}}, L"hello  |world  "},
      {"ctrl+Left twice", {{keys::kLeft, true, false}, {keys::kLeft, true, false}}, L"|hello  world  "},
      {"Home, ctrl+Right", {{keys::kHome}, {keys::kRight, true, false}}, L"hello  |world  "},
      {"Home, ctrl+Delete", {{keys::kHome}, {keys::kDelete, true, false}}, L"|world  "},
      {"Backspace", {{keys::kBackspace}}, L"hello  world |"},
      {"Home, Delete", {{keys::kHome}, {keys::kDelete}}, L"|ello  world  "},
      {"shift+Home, Backspace", {{keys::kHome, false, true}, {keys::kBackspace}}, L"|"},
      {"Left, Left, End", {{keys::kLeft}, {keys::kLeft}, {keys::kEnd}}, L"hello  world  |"},
  };
  for (const Case& c : cases) {
    text = L"hello  world  ";
    surface.SetFocus(0);
    Draw();
    FocusAtEnd();
    input.key_events = c.keys;
    input.ctrl = false;
    Type(L"|");
    Draw();
    EXPECT_EQ(text, c.expected) << c.name;
  }
}

TEST_F(TextFieldTest, SelectionCopyCutAndSelectAll) {
  text = L"hello";
  ClickAt(109);  // caret 0
  input.shift = true;
  ClickAt(109 + 28);  // shift+click: select "hell"
  input.shift = false;
  Key(keys::kC, true);
  Draw();
  EXPECT_EQ(clipboard.text, L"hell");
  // The selection is drawn from its start to its end, inset 5, radius 2.
  const auto fills = canvas.Find(DrawOp::Kind::FillRoundedRect);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[1]->rect, (Rect{109, 105, 137, 127}));
  EXPECT_EQ(fills[1]->radius_x, 2);
  EXPECT_EQ(fills[1]->colour, MixColour(surface.Colour(ThemeColour::Accent), -0.35f));
  Key(keys::kX, true);
  EXPECT_TRUE(Draw());
  EXPECT_EQ(text, L"o");
  Key(keys::kA, true);
  Draw();
  Type(L"new");
  input.ctrl = false;
  EXPECT_TRUE(Draw());
  EXPECT_EQ(text, L"new");
  const int writes = clipboard.writes;
  Key(keys::kC, true);  // nothing selected: the clipboard is left alone
  Draw();
  EXPECT_EQ(clipboard.writes, writes);
}

TEST_F(TextFieldTest, DoubleClickSelectsEverything) {
  text = L"some words";
  MoveTo(130, 116);
  Press();
  input.double_click = true;
  Draw();
  Release();
  Draw();
  Type(L"z");
  Draw();
  EXPECT_EQ(text, L"z");
}

TEST_F(TextFieldTest, TabEnterAndEscapeEndEditing) {
  for (std::uint32_t key : {keys::kTab, keys::kEnter, keys::kEscape}) {
    text = L"abc";
    FocusAtEnd();
    Key(key);
    Type(L"x");  // what came after the key is not this field's
    bool submitted = false;
    Frame([&] {
      surface.TextField(kId, field, text, L"", true);
      submitted = surface.Submitted(kId);
    });
    EXPECT_EQ(surface.focus_id(), 0u) << key;
    EXPECT_EQ(text, L"abc") << key;
    EXPECT_EQ(submitted, key == keys::kEnter) << key;
  }
}

TEST_F(TextFieldTest, CharactersTypedWithCtrlAreShortcutsNotText) {
  text = L"ab";
  FocusAtEnd();
  Key(keys::kA, true);
  Type(std::wstring(1, static_cast<wchar_t>(0x01)));
  Draw();
  EXPECT_EQ(text, L"ab");
  input.ctrl = false;
  Type(L"c\x7F\x08");
  Draw();
  EXPECT_EQ(text, L"c") << "select-all then typing replaced it; DEL and BS codes are dropped";
}

TEST_F(TextFieldTest, AltGrCharactersAreText) {
  text = L"me";
  FocusAtEnd();
  input.ctrl = true;
  input.alt = true;
  Type(L"@");
  EXPECT_TRUE(Draw());
  EXPECT_EQ(text, L"me@");
}

TEST_F(TextFieldTest, DisabledFieldLosesFocusAndTakesNoPress) {
  text = L"abc";
  FocusAtEnd();
  Draw(false);
  EXPECT_EQ(surface.focus_id(), 0u);
  MoveTo(120, 116);
  Press();
  Draw(false);
  EXPECT_EQ(surface.focus_id(), 0u);
  EXPECT_EQ(surface.cursor(), CursorShape::Arrow);
  EXPECT_EQ(TextOp()->colour, surface.Colour(ThemeColour::TextDim));
}

TEST_F(TextFieldTest, HoverShowsTheIBeamAndBorder) {
  MoveTo(120, 116);
  Draw();
  EXPECT_EQ(surface.cursor(), CursorShape::IBeam);
  const auto borders = canvas.Find(DrawOp::Kind::StrokeRoundedRect);
  ASSERT_EQ(borders.size(), 1u);
  EXPECT_EQ(borders[0]->colour, surface.Colour(ThemeColour::BorderHover));
  EXPECT_EQ(canvas.FindText(L"name")->colour, surface.Colour(ThemeColour::TextDim)) << "the placeholder";
  LeaveWindow();
  Draw();
  EXPECT_EQ(surface.cursor(), CursorShape::Arrow);
}

TEST_F(TextFieldTest, FocusedFieldBorderAndNoPlaceholder) {
  FocusAtEnd();
  const auto borders = canvas.Find(DrawOp::Kind::StrokeRoundedRect);
  ASSERT_EQ(borders.size(), 1u);
  EXPECT_EQ(borders[0]->colour, surface.Colour(ThemeColour::Accent));
  EXPECT_FLOAT_EQ(borders[0]->width, 1.6f);
  EXPECT_EQ(canvas.FindText(L"name"), nullptr);
}

TEST_F(TextFieldTest, CaretBlinksAndTheSurfaceSaysWhenToDrawNext) {
  text = L"abc";
  input.now_ms = 1000;
  FocusAtEnd();  // blink starts at 1000
  ASSERT_NE(CaretOp(), nullptr);
  EXPECT_FLOAT_EQ(CaretOp()->from.x, 109 + 21);
  EXPECT_FLOAT_EQ(CaretOp()->from.y, 106);
  EXPECT_FLOAT_EQ(CaretOp()->to.y, 126);
  EXPECT_EQ(surface.NextAnimationMs(), 1530);
  input.now_ms = 1529;
  Draw();
  EXPECT_NE(CaretOp(), nullptr);
  input.now_ms = 1530;
  Draw();
  EXPECT_EQ(CaretOp(), nullptr);
  EXPECT_EQ(surface.NextAnimationMs(), 2060);
  input.now_ms = 2060;
  Draw();
  EXPECT_NE(CaretOp(), nullptr);
  // Typing restarts the blink.
  input.now_ms = 2600;
  Type(L"d");
  Draw();
  EXPECT_NE(CaretOp(), nullptr);
  EXPECT_EQ(surface.NextAnimationMs(), 3130);
  surface.SetFocus(0);
  Draw();
  EXPECT_EQ(surface.NextAnimationMs(), -1);
}

TEST_F(TextFieldTest, DragSelectsAndScrolls) {
  text = std::wstring(50, L'w');  // 350 px in a 183 px area
  MoveTo(120, 116);
  Press();
  Draw();
  EXPECT_NE(CaretOp(), nullptr);
  // Right of the area: 8 px more scroll per frame, the caret following the mouse.
  MoveTo(295, 116);
  float origin = 109;
  for (int i = 0; i < 3; ++i) {
    Draw();
    EXPECT_LT(TextOp()->rect.left, origin) << "frame " << i;
    origin = TextOp()->rect.left;
  }
  input.now_ms += 600;  // while drag-selecting the caret shows regardless of the blink
  Draw();
  EXPECT_NE(CaretOp(), nullptr);
  // Left of it: back, never below 0.
  MoveTo(50, 116);
  for (int i = 0; i < 10; ++i) Draw();
  EXPECT_FLOAT_EQ(TextOp()->rect.left, 109);
  Release();
  Key(keys::kC, true);
  Draw();
  EXPECT_EQ(clipboard.text, std::wstring(2, L'w')) << "selected from the press (after 2 chars) back to the start";
}

TEST_F(TextFieldTest, ScrollKeepsTheCaretInsideAndTheFieldFull) {
  text = std::wstring(40, L'a');  // 280 px
  FocusAtEnd();
  // Caret at 280 must sit at least 4 inside the right edge (292): origin <= 292 - 4 - 280.
  EXPECT_FLOAT_EQ(TextOp()->rect.left, 8);
  EXPECT_FLOAT_EQ(CaretOp()->from.x, 288);
  Key(keys::kHome);
  Draw();
  EXPECT_FLOAT_EQ(TextOp()->rect.left, 109) << "the caret at 0 brings the start back";
  Key(keys::kEnd);
  Draw();
  Key(keys::kBackspace, true);  // the whole run goes: no blank space is left scrolled
  Draw();
  EXPECT_TRUE(text.empty());
  EXPECT_FLOAT_EQ(CaretOp()->from.x, 109);
  // The text area is clipped 2 wider than itself.
  ASSERT_TRUE(CaretOp()->has_clip);
  EXPECT_EQ(CaretOp()->clip, (Rect{107, 100, 294, 132}));
}

TEST_F(TextFieldTest, FocusMovesBetweenFields) {
  std::wstring other = L"second";
  text = L"first";
  FocusAtEnd();
  MoveTo(118, 216);  // after the first character of the second field
  Press();
  Frame([&] {
    surface.TextField(kId, field, text, L"", true);
    surface.TextField(kId + 1, field.Offset(0, 100), other, L"", true);
  });
  EXPECT_EQ(surface.focus_id(), kId + 1);
  Release();
  Type(L"!");
  Frame([&] {
    surface.TextField(kId, field, text, L"", true);
    surface.TextField(kId + 1, field.Offset(0, 100), other, L"", true);
  });
  EXPECT_EQ(text, L"first");
  EXPECT_EQ(other, L"s!econd");
}

TEST_F(TextFieldTest, TextChangedFromOutsideKeepsTheCaretInside) {
  text = L"a long text";
  FocusAtEnd();
  text = L"ab";
  Type(L"c");
  Draw();
  EXPECT_EQ(text, L"abc");
}

}  // namespace
}  // namespace tvx::ui
