#include "ui/home_view.h"

#include <algorithm>

namespace tvx {

using UiRect = ui::Rect;
using ui::TextAlign;
using ui::TextStyle;
using ui::ThemeColour;

namespace {
constexpr float kHeaderHeight = 30;
constexpr float kMargin = 16;
constexpr float kCardGap = 14;
constexpr float kTwoColumnsFrom = 888;
constexpr float kMinColumn = 420;
constexpr float kWheelStep = 60;
}  // namespace

void HomeView::Draw(ui::Surface& ui, float width, float height, float titleHeight) {
  const float s = ui.scale();
  ui.SetModalOpen(home_.AnyModal());

  // Header row under the title band.
  const float headerTop = titleHeight + 8 * s;
  DrawHeader(ui, kMargin * s, headerTop, width - 2 * kMargin * s);

  // The scrolling content.
  const float viewTop = headerTop + (kHeaderHeight + 8) * s;
  const UiRect view{0, viewTop, width, std::max(viewTop, height)};
  const float viewHeight = view.Height();
  if (!ui.PopupOpen() && !home_.AnyModal()) {
    const float notches = ui.TakeWheel(view);
    scroll_ -= notches * kWheelStep * s;
  }
  scroll_ = std::clamp(scroll_, 0.0f, std::max(0.0f, contentHeight_ - viewHeight));
  const bool bar = contentHeight_ > viewHeight;
  const float usable = width - (bar ? 10 * s : 0);

  ui.PushClip(view);
  const float margin = kMargin * s;
  const float top = viewTop - scroll_;
  float bottom = top;
  if (usable >= kTwoColumnsFrom * s) {
    const float column = std::max((usable - 3 * margin) / 2, kMinColumn * s);
    float y1 = top;
    y1 += DrawSharePanel(ui, margin, y1, column) + kCardGap * s;
    y1 += DrawPictureCard(ui, margin, y1, column) + kCardGap * s;
    y1 += DrawPermissionsCard(ui, margin, y1, column);
    const float x2 = margin * 2 + column;
    float y2 = top;
    y2 += DrawConnectPanel(ui, x2, y2, column) + kCardGap * s;
    y2 += DrawAppearanceCard(ui, x2, y2, column);
    bottom = std::max(y1, y2);
  } else {
    const float column = std::max(usable - 2 * margin, kMinColumn * s);
    float y = top;
    y += DrawSharePanel(ui, margin, y, column) + kCardGap * s;
    y += DrawPictureCard(ui, margin, y, column) + kCardGap * s;
    y += DrawPermissionsCard(ui, margin, y, column) + kCardGap * s;
    y += DrawConnectPanel(ui, margin, y, column) + kCardGap * s;
    y += DrawAppearanceCard(ui, margin, y, column);
    bottom = y;
  }
  ui.PopClip();
  contentHeight_ = bottom - top + margin;
  if (bar) DrawScrollBar(ui, view);

  DrawModal(ui, width, height);
}

void HomeView::DrawHeader(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  const ColouredText header = home_.Header();
  const float aboutWidth = 74 * s;
  const float height = kHeaderHeight * s;
  // The title is cut 8 before the About button, which follows the text.
  const float textWidth = std::min(ui.MeasureText(header.text, TextStyle::Title), width - aboutWidth - 8 * s);
  ui.Text(header.text, UiRect::FromSize(x, y, textWidth, height), TextStyle::Title, TextAlign::Left,
          ui.Colour(header.colour));
  const float aboutLeft = x + textWidth + 8 * s;
  if (ui.Button(home_ids::kAbout, UiRect::FromSize(aboutLeft, y, aboutWidth, height), L"About")) {
    home_.ShowAbout(true);
  }
  const float statusLeft = aboutLeft + aboutWidth + 12 * s;
  const std::wstring status = home_.VisibleStatus();
  if (!status.empty() && x + width - statusLeft >= 120 * s) {
    ui.Text(status, UiRect{statusLeft, y, x + width, y + height}, TextStyle::Small, TextAlign::Left,
            ui.Colour(ThemeColour::Accent));
  }
}

void HomeView::DrawScrollBar(ui::Surface& ui, const UiRect& view) {
  const float s = ui.scale();
  const float viewHeight = view.Height();
  const UiRect track{view.right - 8 * s, view.top + 2 * s, view.right - 2 * s, view.bottom - 2 * s};
  ui.FillRoundedRect(track, 3 * s, ui.Colour(ThemeColour::Inset));
  const float thumbHeight = std::max(viewHeight / contentHeight_ * track.Height(), 30 * s);
  const float range = std::max(1.0f, contentHeight_ - viewHeight);
  const float thumbTop = track.top + (track.Height() - thumbHeight) * std::clamp(scroll_ / range, 0.0f, 1.0f);
  ui.FillRoundedRect(UiRect{track.left, thumbTop, track.right, thumbTop + thumbHeight}, 3 * s,
                     ui.Colour(ThemeColour::BorderHover));
}

void HomeView::DrawModal(ui::Surface& ui, float width, float height) {
  if (!home_.AnyModal()) return;
  ui.FillRect(UiRect{0, 0, width, height}, 0xB4000000u);
  ui.BeginModal();
  if (home_.controlRequest().shown) {
    DrawControlPrompt(ui, width, height);
  } else if (home_.nobodyWatching().shown) {
    DrawNobodyWatchingPrompt(ui, width, height);
  } else if (home_.aboutShown()) {
    DrawAboutCard(ui, width, height);
  } else if (home_.relaySheetShown()) {
    DrawRelaySheet(ui, width, height);
  }
  ui.EndModal();
}

}  // namespace tvx
