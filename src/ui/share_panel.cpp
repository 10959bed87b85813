// The share panel and its two cards: "SHARE THIS SCREEN", "PICTURE THEY SEE" and
// "WHAT THE OTHER SIDE MAY DO HERE".
#include <array>

#include "foundation/format.h"
#include "foundation/text.h"
#include "ui/home_layout.h"
#include "ui/home_view.h"
#include "ui/share_rules.h"

namespace tvx {

using home_layout::Rows;
using UiRect = ui::Rect;
using ui::TextAlign;
using ui::TextStyle;
using ui::ThemeColour;
namespace ids = home_ids;

namespace {

const std::vector<std::wstring>& ShareModes() {
  static const std::vector<std::wstring> kModes = {L"This network", L"Relay server"};
  return kModes;
}

const std::vector<std::wstring>& ViewerCounts() {
  static const std::vector<std::wstring> kCounts = [] {
    std::vector<std::wstring> items = {L"Just one person"};
    for (int n = 2; n <= 8; ++n) items.push_back(FormatText(L"Up to %d people", n));
    return items;
  }();
  return kCounts;
}

const std::vector<std::wstring>& Lifetimes() {
  static const std::vector<std::wstring> kLifetimes = {L"Stay until cleared", L"Fade after 5 seconds",
                                                       L"Fade after 10 seconds", L"Fade after 30 seconds"};
  return kLifetimes;
}

void Label(ui::Surface& ui, const UiRect& rect, std::wstring_view text) {
  ui.Text(text, rect, TextStyle::BodySecondary);
}

}  // namespace

float HomeView::DrawSharePanel(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  const bool sharing = home_.sharing();
  Rows rows(x, y, width, s);
  // The card is drawn first with last frame's height, then the rows on top.
  ui.Card(UiRect::FromSize(x, y, width, std::max(shareCardHeight_, 100 * s)), L"SHARE THIS SCREEN");

  // Mode, and beside it where viewers find this PC: the relay server or this network's address.
  {
    const UiRect row = rows.Take();
    const UiRect modeBox{row.left, row.top, row.left + (home_layout::kLabelColumn - 10) * s, row.bottom};
    if (st.mode == 1) {
      if (ui.TextField(ids::kRelayServer, rows.Field(row), st.relayServer, L"relay server address", !sharing, false,
                       64)) {
        home_.SaveHomeSettings();
      }
    } else {
      const std::vector<std::wstring> labels = home_.networkLabels();
      ui.Dropdown(ids::kAddress, rows.Field(row), labels, home_.selectedAddress(), true);
    }
    int mode = st.mode;
    if (ui.Dropdown(ids::kShareMode, modeBox, ShareModes(), mode, !sharing)) home_.ModeChanged(mode);
  }
  if (st.mode == 1) {
    const UiRect row = rows.Take();
    const UiRect field = rows.Field(row);
    DrawSavedRelayPicker(ui, field.left, field.top, field.Width(), ids::kSharePicker);
  }
  {
    const UiRect row = rows.Take();
    const UiRect field = rows.Field(row);
    ui.TextField(ids::kSharePort, UiRect{field.left, field.top, field.left + 110 * s, field.bottom}, st.port, L"",
                 !sharing, true, 5);
    Label(ui, rows.Label(row), L"port");
    // What the other side types, ready to paste into a message.
    if (ui.Button(ids::kCopyDetails, UiRect{field.right - 140 * s, field.top, field.right, field.bottom},
                  L"Copy details")) {
      home_.CopyDetails();
    }
  }
  if (st.mode == 1) {
    const UiRect row = rows.Take();
    const UiRect field = rows.Field(row);
    Label(ui, rows.Label(row), L"Your ID");
    const std::wstring grouped = GroupDigits(st.id);
    const float idWidth = ui.MeasureText(grouped, TextStyle::Title) + 16 * s;
    ui.Text(grouped, UiRect{field.left, field.top, field.left + idWidth, field.bottom}, TextStyle::Title,
            TextAlign::Left, ui.Colour(ThemeColour::Accent));
    if (ui.Button(ids::kCopyId, UiRect{field.left + idWidth, field.top, field.left + idWidth + 120 * s, field.bottom},
                  L"Copy my ID")) {
      home_.CopyId();
    }
  }
  {
    const UiRect row = rows.Take();
    const UiRect field = rows.Field(row);
    bool require = st.requireCode;
    if (ui.Toggle(ids::kRequireCode, rows.Label(row), L"Code", require, !sharing)) {
      st.requireCode = require;
      home_.RequireCodeChanged();
    }
    const bool codeEditable = st.requireCode && !sharing;
    const float newWidth = 74 * s;
    ui.TextField(ids::kCode, UiRect{field.left, field.top, field.right - newWidth - 10 * s, field.bottom}, st.code,
                 L"none", codeEditable, false, 15);
    if (ui.Button(ids::kNewCode, UiRect{field.right - newWidth, field.top, field.right, field.bottom}, L"New", false,
                  codeEditable)) {
      home_.NewCode();
    }
  }
  {
    const UiRect row = rows.Take();
    int count = std::clamp(st.maxViewers, 1, 8) - 1;
    if (ui.Dropdown(ids::kMaxViewers, rows.Field(row), ViewerCounts(), count, true)) {
      st.maxViewers = count + 1;
      home_.MaxViewersChanged();
    }
    Label(ui, rows.Label(row), L"How many");
  }
  {
    const UiRect row = rows.Take();
    int monitor = st.monitor;
    if (ui.Dropdown(ids::kMonitor, rows.Field(row), home_.monitorLabels(), monitor, true) &&
        !home_.monitors().empty()) {
      st.monitor = monitor;
      home_.ScreenChanged();
    }
    Label(ui, rows.Label(row), L"Screen");
  }
  const std::size_t monitors = home_.monitors().size();
  if (monitors > 1) {
    const UiRect row = rows.Take();
    Label(ui, rows.Label(row), L"They may see");
    const UiRect field = rows.Field(row);
    const std::size_t buttons = std::min(monitors, kMaxMaskedMonitors);
    const float buttonWidth = 92 * s;
    float bx = field.left;
    for (std::size_t i = 0; i < buttons && bx + buttonWidth <= field.right + 0.5f; ++i, bx += buttonWidth + 8 * s) {
      const std::wstring label = FormatText(L"Screen %d", static_cast<int>(i + 1));
      const bool selected = ScreenShared(static_cast<std::uint32_t>(st.allowedMonitors), i);
      if (ui.TabButton(ids::kScreenButtons + static_cast<ui::WidgetId>(i), UiRect{bx, row.top, bx + buttonWidth, row.bottom},
                       label, selected)) {
        home_.ToggleScreen(i);
      }
    }
  }
  {
    const UiRect row = rows.Take(44);
    if (ui.Button(ids::kStartStop, row, sharing ? L"Stop sharing" : L"Start sharing", true)) {
      if (sharing) {
        home_.StopSharing();
      } else {
        home_.StartSharing();
      }
    }
  }
  {
    const UiRect row = rows.Take(20);
    const ColouredText line = home_.StatusLine();
    ui.Text(line.text, row, TextStyle::Body, TextAlign::Left, ui.Colour(line.colour));
    const UiRect second = rows.Take(18);
    const ColouredText relay = home_.RelayLine();
    ui.Text(relay.text, second, TextStyle::Small, TextAlign::Left, ui.Colour(relay.colour));
  }
  shareCardHeight_ = rows.Height(y);
  return shareCardHeight_;
}

float HomeView::DrawPictureCard(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  Rows rows(x, y, width, s);
  const float height = (home_layout::kTitleBand + 4 * (home_layout::kRowHeight + home_layout::kRowGap) +
                        home_layout::kPadding - home_layout::kRowGap) * s;
  ui.Card(UiRect::FromSize(x, y, width, height), L"PICTURE THEY SEE");
  bool changed = false;
  {
    const UiRect row = rows.Take();
    Label(ui, rows.Label(row), L"Sharpness");
    const UiRect field = rows.Field(row);
    changed |= ui.Slider(ids::kQuality, UiRect{field.left, field.top, field.right - 60 * s, field.bottom}, st.quality,
                         20, 100);
    ui.Text(FormatText(L"%d%%", st.quality), UiRect{field.right - 52 * s, field.top, field.right, field.bottom},
            TextStyle::Body, TextAlign::Right);
  }
  {
    const UiRect row = rows.Take();
    Label(ui, rows.Label(row), L"Smoothness");
    const UiRect field = rows.Field(row);
    changed |= ui.Slider(ids::kFps, UiRect{field.left, field.top, field.right - 60 * s, field.bottom}, st.fps, 4, 75);
    ui.Text(FormatText(L"%d fps", st.fps), UiRect{field.right - 60 * s, field.top, field.right, field.bottom},
            TextStyle::Body, TextAlign::Right);
  }
  changed |= ui.Toggle(ids::kHalfResolution, rows.Take(), L"Halve the resolution (lighter on Wi-Fi)",
                       st.halfResolution);
  changed |= ui.Toggle(ids::kCompressColour, rows.Take(), L"Compress colour harder", st.compressColour);
  if (changed) home_.PictureChanged();
  return rows.Height(y);
}

float HomeView::DrawPermissionsCard(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  Rows rows(x, y, width, s);
  const float height = (home_layout::kTitleBand + 6 * (home_layout::kRowHeight + home_layout::kRowGap) +
                        (20 + home_layout::kRowGap) + home_layout::kPadding - home_layout::kRowGap) * s;
  ui.Card(UiRect::FromSize(x, y, width, height), L"WHAT THE OTHER SIDE MAY DO HERE");
  bool changed = false;
  changed |= ui.Toggle(ids::kShowPointer, rows.Take(), L"Show their pointer", st.showPointer);
  changed |= ui.Toggle(ids::kShowDrawings, rows.Take(), L"Show their arrows and drawings", st.showDrawings);
  changed |= ui.Toggle(ids::kAllowControl, rows.Take(), L"Let them use my mouse and keyboard", st.allowRemoteControl);
  {
    const UiRect line = rows.Take(20);
    const UiRect indented{line.left + 44 * s, line.top, line.right, line.bottom};
    if (st.allowRemoteControl) {
      ui.Text(L"They can click and type on this PC right now.", indented, TextStyle::Small, TextAlign::Left,
              ui.Colour(ThemeColour::Warning));
    } else {
      ui.Text(L"Off - they can point at things, but not touch them.", indented, TextStyle::SmallSecondary);
    }
  }
  changed |= ui.Toggle(ids::kShareClipboard, rows.Take(), L"Share copy and paste", st.shareClipboard);
  changed |= ui.Toggle(ids::kShareAudio, rows.Take(), L"Send this PC's sound", st.shareAudio);
  if (changed) home_.PermissionsChanged();
  {
    const UiRect row = rows.Take();
    const float clearWidth = 92 * s;
    int lifetime = std::clamp(st.drawingLifetime, 0, 3);
    if (ui.Dropdown(ids::kLifetime, UiRect{row.left, row.top, row.right - clearWidth - 10 * s, row.bottom}, Lifetimes(),
                    lifetime, true)) {
      st.drawingLifetime = lifetime;
      home_.LifetimeChanged();
    }
    if (ui.Button(ids::kClear, UiRect{row.right - clearWidth, row.top, row.right, row.bottom}, L"Clear")) {
      home_.ClearDrawings();
    }
  }
  return rows.Height(y);
}

}  // namespace tvx
