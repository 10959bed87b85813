// The modals of the home window: the two prompts, the About card and the relay server sheet.
#include <algorithm>

#include "ui/home_view.h"

namespace tvx {

using UiRect = ui::Rect;
using ui::TextAlign;
using ui::TextStyle;
using ui::ThemeColour;
namespace ids = home_ids;

namespace {

constexpr float kModalRadius = 14;

// A centred card with its shadow; returns its rectangle.
UiRect PromptCard(ui::Surface& ui, float width, float height, float cardWidth, float cardHeight,
                std::uint32_t border) {
  const float s = ui.scale();
  const UiRect card = UiRect::FromSize((width - cardWidth * s) / 2, (height - cardHeight * s) / 2, cardWidth * s,
                                   cardHeight * s);
  ui.FillRoundedRect(card.Offset(3 * s, 5 * s), kModalRadius * s, ui.Colour(ThemeColour::Shadow));
  ui.FillRoundedRect(card, kModalRadius * s, ui.Colour(ThemeColour::Control));
  ui.DrawRoundedRect(card, kModalRadius * s, border, 1.6f * s);
  return card;
}

}  // namespace

const std::vector<std::wstring>& AboutLines() {
  static const std::vector<std::wstring> kLines = {
      L"A remote desktop program that will allow screen sharing and",
      L"remote control (only if you allow it) and make life easier",
      L"to help friends or customers!",
      L"",
      L"Open it on two PCs. One shares its screen, the other watches.",
      L"Your pointer shows on their screen and you can draw on top of",
      L"it. If they allow it you can use their mouse and keyboard, and",
      L"hear their sound. Both PCs can share at once.",
      L"",
      L"On one network you connect by address. Over the internet you",
      L"connect by ID, through a relay server you run yourself.",
  };
  return kLines;
}

namespace {
const std::vector<std::wstring>& BuiltLines() {
  static const std::vector<std::wstring> kLines = {
      L"One C++20 program on Windows' own libraries, nothing to install.",
      L"DXGI copies the screen. Only what changed is sent, as JPEG,",
      L"compressed across several threads at once.",
      L"Two connections: one for the picture, one for your pointer.",
      L"Sound is taken from the speakers and sent alongside it.",
      L"No account, no sign in, nothing kept anywhere.",
  };
  return kLines;
}
}  // namespace

namespace {

// What one of the two prompts says and offers.
struct PromptContent {
  float width, height;  // of the card, DIP
  std::uint32_t colour;  // border and heading
  std::wstring heading, body, small;
  ui::WidgetId secondaryId;
  const wchar_t* secondaryLabel;
  ui::WidgetId primaryId;
  const wchar_t* primaryLabel;
};

enum class PromptAnswer { None, Secondary, Primary };

PromptAnswer DrawPrompt(ui::Surface& ui, float width, float height, const PromptContent& p) {
  const float s = ui.scale();
  const UiRect card = PromptCard(ui, width, height, p.width, p.height, p.colour);
  const float left = card.left + 22 * s;
  const float right = card.right - 22 * s;
  float y = card.top + 22 * s;
  ui.Text(p.heading, UiRect{left, y, right, y + 28 * s}, TextStyle::Heading, TextAlign::Left, p.colour);
  y += 30 * s;
  ui.Text(p.body, UiRect{left, y, right, y + 22 * s}, TextStyle::Body);
  y += 22 * s;
  ui.Text(p.small, UiRect{left, y, right, y + 20 * s}, TextStyle::SmallSecondary);
  const float buttonTop = card.bottom - 22 * s - 34 * s;
  const float buttonWidth = 130 * s;
  PromptAnswer answer = PromptAnswer::None;
  if (ui.Button(p.secondaryId, UiRect{right - 2 * buttonWidth - 10 * s, buttonTop, right - buttonWidth - 10 * s,
                                      buttonTop + 34 * s},
                p.secondaryLabel)) {
    answer = PromptAnswer::Secondary;
  }
  if (ui.Button(p.primaryId, UiRect{right - buttonWidth, buttonTop, right, buttonTop + 34 * s}, p.primaryLabel,
                true)) {
    answer = PromptAnswer::Primary;
  }
  return answer;
}

}  // namespace

void HomeView::DrawNobodyWatchingPrompt(ui::Surface& ui, float width, float height) {
  const PromptAnswer answer =
      DrawPrompt(ui, width, height,
                 {420, 172, ui.Colour(ThemeColour::Accent), home_.nobodyWatching().name + L" disconnected",
                  L"Nobody is watching this screen now.", L"You are still sharing, so they can connect again.",
                  ids::kPromptStop, L"Stop sharing", ids::kPromptKeep, L"Keep sharing"});
  if (answer == PromptAnswer::Secondary) home_.StopFromPrompt();
  if (answer == PromptAnswer::Primary) home_.KeepSharing();
}

void HomeView::DrawControlPrompt(ui::Surface& ui, float width, float height) {
  const PromptAnswer answer =
      DrawPrompt(ui, width, height,
                 {440, 196, ui.Colour(ThemeColour::Warning), L"Hand over the keyboard?",
                  home_.controlRequest().name + L" is asking to use this PC's mouse and keyboard.",
                  L"You can take it back at any time from the toggle underneath.", ids::kPromptDecline, L"Not now",
                  ids::kPromptAllow, L"Allow control"});
  if (answer == PromptAnswer::Secondary) home_.DeclineControl();
  if (answer == PromptAnswer::Primary) home_.AllowControl();
}

void HomeView::DrawAboutCard(ui::Surface& ui, float width, float height) {
  const float s = ui.scale();
  const float cardWidth = std::min(520 * s, width - 32 * s);
  const float cardHeight = std::min(524 * s, height - 32 * s);
  const UiRect card = UiRect::FromSize((width - cardWidth) / 2, (height - cardHeight) / 2, cardWidth, cardHeight);
  ui.FillRoundedRect(card.Offset(3 * s, 5 * s), kModalRadius * s, ui.Colour(ThemeColour::Shadow));
  ui.FillRoundedRect(card, kModalRadius * s, ui.Colour(ThemeColour::Control));
  ui.DrawRoundedRect(card, kModalRadius * s, ui.Colour(ThemeColour::Accent), 1);
  ui.PushClip(card);
  const float left = card.left + 24 * s;
  const float right = card.right - 24 * s;
  float y = card.top + 22 * s;
  float titleLeft = left;
  if (ui.HasIcon()) {
    ui.DrawIcon(UiRect::FromSize(left, y, 32 * s, 32 * s));
    titleLeft += 42 * s;
  }
  ui.Text(L"Tavrix 6.4.1", UiRect{titleLeft, y, right, y + 32 * s}, TextStyle::Title);
  y += 44 * s;
  const float line = 20 * s;
  for (const std::wstring& text : AboutLines()) {
    if (text.empty()) {
      y += line / 2;
      continue;
    }
    ui.Text(text, UiRect{left, y, right, y + line}, TextStyle::BodySecondary);
    y += line;
  }
  y += 10 * s;
  ui.Text(L"HOW IT IS BUILT", UiRect{left, y, right, y + 24 * s}, TextStyle::SmallSecondary);
  y += 24 * s;
  for (const std::wstring& text : BuiltLines()) {
    ui.Text(text, UiRect{left, y, right, y + line}, TextStyle::Small);
    y += line;
  }
  ui.PopClip();
  const float buttonWidth = 100 * s;
  if (ui.Button(ids::kAboutClose,
                UiRect{card.right - 22 * s - buttonWidth, card.bottom - 22 * s - 34 * s, card.right - 22 * s,
                     card.bottom - 22 * s},
                L"Close")) {
    home_.ShowAbout(false);
  }
}

void HomeView::DrawRelaySheet(ui::Surface& ui, float width, float height) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  const float panelWidth = std::min(380 * s, width - 40 * s);
  const UiRect panel{width - panelWidth, 0, width, height};
  ui.FillRect(panel, ui.Colour(ThemeColour::Control));
  ui.FillRect(UiRect{panel.left, 0, panel.left + 1, height}, ui.Colour(ThemeColour::Border));
  const float left = panel.left + 18 * s;
  const float right = panel.right - 18 * s;
  float y = 50 * s;
  ui.Text(L"RELAY SERVERS", UiRect{left, y, right, y + 24 * s}, TextStyle::Small);
  y += 30 * s;
  if (st.relaySaved.empty()) {
    ui.Text(L"Nothing saved yet. Add a relay address below.", UiRect{left, y, right, y + 22 * s},
            TextStyle::BodySecondary);
    y += 30 * s;
  }

  // The list, clipped and scrolled with the wheel; the bottom keeps room for the field and buttons.
  const float bottomBlock = (34 + 10 + 34 + 22) * s;
  const UiRect list{panel.left, y, panel.right, std::max(y, height - bottomBlock - 12 * s)};
  sheetScroll_ -= ui.TakeWheel(list) * 50 * s;
  sheetScroll_ = std::clamp(sheetScroll_, 0.0f, std::max(0.0f, sheetContentHeight_ - list.Height()));
  ui.PushClip(list);
  float row = list.top - sheetScroll_;
  const float removeWidth = 84 * s;
  std::optional<std::size_t> remove;
  for (std::size_t i = 0; i < st.relaySaved.size(); ++i) {
    const std::wstring address = st.relaySaved[i];
    const ui::WidgetId id = ids::kSheetRows + static_cast<ui::WidgetId>(2 * i);
    if (ui.TabButton(id, UiRect{left, row, right - removeWidth - 8 * s, row + 32 * s}, address,
                     address == st.relayServer)) {
      home_.PickSavedRelay(address);
    }
    if (ui.Button(id + 1, UiRect{right - removeWidth, row, right, row + 32 * s}, L"Remove")) remove = i;
    const RelayStatusRecord record = home_.RelayStatus(address);
    ThemeColour colour = ThemeColour::TextSecondary;
    if (record.state == RelayState::Online) colour = ThemeColour::Accent;
    if (record.state == RelayState::Unreachable) colour = ThemeColour::Danger;
    if (record.state == RelayState::NotARelay) colour = ThemeColour::Warning;
    ui.Text(RelayStatusText(record), UiRect{left + 4 * s, row + 34 * s, right, row + 54 * s}, TextStyle::Small,
            TextAlign::Left, ui.Colour(colour));
    row += 64 * s;
  }
  ui.PopClip();
  sheetContentHeight_ = row + sheetScroll_ - list.top;
  if (remove) home_.RemoveRelay(*remove);

  float bottom = height - bottomBlock;
  const float addWidth = 74 * s;
  ui.TextField(ids::kSheetField, UiRect{left, bottom, right - addWidth - 8 * s, bottom + 34 * s}, relayField_,
               L"relay address", true, false, 64);
  const bool canAdd = home_.CanAddRelay(relayField_);
  if (ui.Button(ids::kSheetAdd, UiRect{right - addWidth, bottom, right, bottom + 34 * s}, L"Add", true, canAdd)) {
    const std::wstring address = relayField_;
    relayField_.clear();
    home_.AddRelay(address);
  }
  bottom += 44 * s;
  const float half = (right - left - 8 * s) / 2;
  if (ui.Button(ids::kSheetRefresh, UiRect{left, bottom, left + half, bottom + 34 * s}, L"Refresh")) {
    home_.StartRelayProbes();
  }
  if (ui.Button(ids::kSheetClose, UiRect{right - half, bottom, right, bottom + 34 * s}, L"Close")) {
    home_.CloseRelaySheet();
  }
}

}  // namespace tvx
