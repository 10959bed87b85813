#include "ui/gallery_panel.h"

#include <algorithm>
#include <string>

namespace tvx::ui {

namespace {

// Widget ids of the gallery; previews reuse the same numbers on their own surface.
enum : WidgetId {
  kDefaultAccentId = 1000,
  kLightAccentId,
  kButtonId,
  kPrimaryId,
  kDisabledId,
  kPrimaryDisabledId,
  kTabSelectedId,
  kTabId,
  kToggleOnId,
  kToggleOffId,
  kToggleDisabledId,
  kSliderId,
  kDropdownId,
  kDropdownDisabledId,
  kDropdownEmptyId,
  kNameFieldId,
  kDigitsFieldId,
  kDisabledFieldId,
  kColourId,  // uses the two ids after it
  kBottomDropdownId = kColourId + 3,
  kBottomColourId,  // and the two after it
};

}  // namespace

GalleryPanel::GalleryPanel()
    : items_{L"Sharp and fast", L"Balanced", L"Light on the network", L"Lowest", L"Custom"} {}

void GalleryPanel::Draw(Surface& surface, const Rect& area) {
  const float s = surface.scale();
  const float pad = 16 * s;
  const float row = 34 * s;
  float x = area.left + pad;
  float y = area.top + pad;

  surface.Text(L"Widget gallery", {x, y, area.right - pad, y + 28 * s}, TextStyle::Title);
  y += 36 * s;
  if (surface.TabButton(kDefaultAccentId, Rect::FromSize(x, y, 140 * s, 30 * s), L"Default accent", !light_accent_)) {
    light_accent_ = false;
  }
  if (surface.TabButton(kLightAccentId, Rect::FromSize(x + 148 * s, y, 140 * s, 30 * s), L"Light accent",
                        light_accent_)) {
    light_accent_ = true;
  }
  const std::uint32_t accent = light_accent_ ? kLightAccent : kDefaultAccent;
  if (surface.Colour(ThemeColour::Accent) != Opaque(accent)) surface.SetAccent(accent);
  y += 44 * s;

  const float card_w = std::max((area.Width() - 3 * pad) / 2, 200 * s);
  // Buttons and tabs.
  Rect card = Rect::FromSize(x, y, card_w, 196 * s);
  surface.Card(card, L"BUTTONS");
  float cy = card.top + 36 * s;
  const float cx = card.left + 14 * s;
  if (surface.Button(kButtonId, Rect::FromSize(cx, cy, 110 * s, 30 * s), L"Button")) ++clicks_;
  if (surface.Button(kPrimaryId, Rect::FromSize(cx + 118 * s, cy, 110 * s, 30 * s), L"Primary", true)) ++clicks_;
  cy += row + 4 * s;
  surface.Button(kDisabledId, Rect::FromSize(cx, cy, 110 * s, 30 * s), L"Disabled", false, false);
  surface.Button(kPrimaryDisabledId, Rect::FromSize(cx + 118 * s, cy, 110 * s, 30 * s), L"Primary off", true, false);
  cy += row + 4 * s;
  surface.TabButton(kTabSelectedId, Rect::FromSize(cx, cy, 110 * s, 30 * s), L"Selected", true);
  surface.TabButton(kTabId, Rect::FromSize(cx + 118 * s, cy, 110 * s, 30 * s), L"Not selected", false);
  cy += row + 4 * s;
  surface.Text(L"Clicks: " + std::to_wstring(clicks_), Rect::FromSize(cx, cy, card_w - 28 * s, 24 * s),
               TextStyle::SmallSecondary);

  // Toggles and slider.
  card = Rect::FromSize(x + card_w + pad, y, card_w, 196 * s);
  surface.Card(card, L"TOGGLES AND SLIDER");
  cy = card.top + 36 * s;
  const float tx = card.left + 14 * s;
  const float tw = card_w - 28 * s;
  surface.Toggle(kToggleOnId, Rect::FromSize(tx, cy, tw, 26 * s), L"Switched on", toggle_on_);
  cy += 30 * s;
  surface.Toggle(kToggleOffId, Rect::FromSize(tx, cy, tw, 26 * s), L"Switched off", toggle_off_);
  cy += 30 * s;
  bool disabled_value = true;
  surface.Toggle(kToggleDisabledId, Rect::FromSize(tx, cy, tw, 26 * s), L"Disabled", disabled_value, false);
  cy += 34 * s;
  surface.Slider(kSliderId, Rect::FromSize(tx, cy, tw - 50 * s, 26 * s), slider_, 0, 100);
  surface.Text(std::to_wstring(slider_) + L"%", Rect::FromSize(tx + tw - 44 * s, cy, 44 * s, 26 * s), TextStyle::Body,
               TextAlign::Right);

  y += 196 * s + pad;
  // Text and choices.
  card = Rect::FromSize(x, y, card_w, 196 * s);
  surface.Card(card, L"TEXT");
  cy = card.top + 36 * s;
  surface.TextField(kNameFieldId, Rect::FromSize(cx, cy, card_w - 28 * s, 32 * s), name_, L"your name");
  cy += 40 * s;
  surface.TextField(kDigitsFieldId, Rect::FromSize(cx, cy, 120 * s, 32 * s), digits_, L"port", true, true, 5);
  surface.Text(L"digits only, at most 5", Rect::FromSize(cx + 128 * s, cy, card_w - 156 * s, 32 * s),
               TextStyle::SmallDim);
  cy += 40 * s;
  surface.TextField(kDisabledFieldId, Rect::FromSize(cx, cy, card_w - 28 * s, 32 * s), disabled_text_, L"", false);

  card = Rect::FromSize(x + card_w + pad, y, card_w, 196 * s);
  surface.Card(card, L"CHOICES");
  cy = card.top + 36 * s;
  surface.Dropdown(kDropdownId, Rect::FromSize(tx, cy, tw - 60 * s, 32 * s), items_, choice_);
  surface.ColorPicker(kColourId, Rect::FromSize(tx + tw - 46 * s, cy, 46 * s, 32 * s), colour_);
  cy += 40 * s;
  int fixed = 2;
  surface.Dropdown(kDropdownDisabledId, Rect::FromSize(tx, cy, tw - 60 * s, 32 * s), items_, fixed, false);
  cy += 40 * s;
  int none = 7;
  surface.Dropdown(kDropdownEmptyId, Rect::FromSize(tx, cy, tw - 60 * s, 32 * s), {}, none);
  surface.Text(L"empty list", Rect::FromSize(tx + tw - 56 * s, cy, 56 * s, 32 * s), TextStyle::SmallDim);

  y += 196 * s + pad;
  DrawPreviews(surface, {x, y, area.right - pad, area.bottom - pad});

  // Live popups near the bottom edge: they open above their boxes.
  const float bottom = area.bottom - pad - 32 * s;
  surface.Dropdown(kBottomDropdownId, Rect::FromSize(area.right - pad - 280 * s, bottom, 220 * s, 32 * s), items_,
                   bottom_choice_);
  surface.ColorPicker(kBottomColourId, Rect::FromSize(area.right - pad - 46 * s, bottom, 46 * s, 32 * s),
                      bottom_colour_);
}

void GalleryPanel::DrawPreviews(Surface& surface, const Rect& area) {
  const float s = surface.scale();
  surface.Text(L"Held still: hovered, held, focused, open", Rect::FromSize(area.left, area.top, area.Width(), 24 * s),
               TextStyle::SmallSecondary);
  preview_.SetTheme(surface.theme());
  const InputState& live = surface.input();
  const float y = area.top + 30 * s;

  // One preview frame per widget, each with the mouse held where that state needs it.
  auto frame = [&](const Rect& target, bool hover, bool held, auto&& draw) {
    InputState input;
    input.scale = s;
    input.now_ms = live.now_ms;
    input.inside = hover;
    input.mouse_x = hover ? target.Centre().x : -1;
    input.mouse_y = hover ? target.Centre().y : -1;
    input.pressed = held;
    input.button_down = held;
    preview_.BeginFrame(surface.canvas(), input, surface.width(), surface.height(), false);
    draw();
    preview_.EndFrame();
  };

  Rect r = Rect::FromSize(area.left, y, 110 * s, 30 * s);
  frame(r, true, false, [&] { preview_.Button(kButtonId, r, L"Hovered"); });
  r = r.Offset(118 * s, 0);
  frame(r, true, true, [&] { preview_.Button(kButtonId, r, L"Held"); });
  r = r.Offset(118 * s, 0);
  frame(r, true, false, [&] { preview_.Button(kPrimaryId, r, L"Hovered", true); });
  r = r.Offset(118 * s, 0);
  frame(r, true, true, [&] { preview_.Button(kPrimaryId, r, L"Held", true); });
  r = r.Offset(118 * s, 0);
  frame(r, true, false, [&] { preview_.TabButton(kTabId, r, L"Hovered tab", false); });

  const float y2 = y + 40 * s;
  Rect field = Rect::FromSize(area.left, y2, 220 * s, 32 * s);
  frame(field, false, false, [&] {
    preview_.SetFocus(kNameFieldId);
    std::wstring text = L"focused field";
    preview_.TextField(kNameFieldId, field, text, L"", true);
  });
  Rect toggle = Rect::FromSize(field.right + 12 * s, y2, 180 * s, 32 * s);
  frame(toggle, true, false, [&] {
    bool off = false;
    preview_.Toggle(kToggleOffId, toggle, L"Hovered toggle", off);
  });

  // Popups held open next to the bottom edge of the area: the list opens above its box.
  const float bottom = std::max(area.bottom - 32 * s, y2 + 40 * s);
  Rect box = Rect::FromSize(area.left, bottom, 220 * s, 32 * s);
  frame(box, false, false, [&] {
    preview_.OpenPopup(kDropdownId);
    int choice = 1;
    preview_.Dropdown(kDropdownId, box, items_, choice);
    preview_.ClosePopup();
  });
}

}  // namespace tvx::ui
