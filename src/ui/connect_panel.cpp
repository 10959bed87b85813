// The connect panel ("CONNECT TO ANOTHER PC"), the saved-relay picker and the appearance card.
#include <algorithm>

#include "ui/home_layout.h"
#include "ui/home_view.h"

namespace tvx {

using home_layout::Rows;
using UiRect = ui::Rect;
using ui::TextAlign;
using ui::TextStyle;
using ui::ThemeColour;
namespace ids = home_ids;

namespace {
const std::vector<std::wstring>& ConnectModes() {
  static const std::vector<std::wstring> kModes = {L"Same network", L"By ID"};
  return kModes;
}
}  // namespace

float HomeView::DrawConnectPanel(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  Rows rows(x, y, width, s);
  ui.Card(UiRect::FromSize(x, y, width, std::max(connectCardHeight_, 100 * s)), L"CONNECT TO ANOTHER PC");

  {
    const UiRect row = rows.Take();
    const UiRect modeBox{row.left, row.top, row.left + (home_layout::kLabelColumn - 10) * s, row.bottom};
    if (st.connectMode == 1) {
      if (ui.TextField(ids::kPeerId, rows.Field(row), st.connectPeerId, L"their ID, e.g. 123 456 789", true, false,
                       20)) {
        home_.SaveHomeSettings();
      }
    } else {
      ui.TextField(ids::kConnectAddress, rows.Field(row), st.connectAddress, L"192.168.1.10", true, false, 64);
    }
    int mode = st.connectMode;
    if (ui.Dropdown(ids::kConnectMode, modeBox, ConnectModes(), mode, true)) {
      st.connectMode = mode;
      home_.SaveHomeSettings();
    }
  }
  if (st.connectMode == 1) {
    const UiRect row = rows.Take();
    ui.Text(L"Relay", rows.Label(row), TextStyle::BodySecondary);
    if (ui.TextField(ids::kConnectRelay, rows.Field(row), st.relayServer,
                     L"the same relay server the other PC is using", true, false, 64)) {
      home_.SaveHomeSettings();
    }
    const UiRect picker = rows.Take();
    const UiRect field = rows.Field(picker);
    DrawSavedRelayPicker(ui, field.left, field.top, field.Width(), ids::kConnectPicker);
  }
  {
    const UiRect row = rows.Take();
    ui.Text(L"Port / code", rows.Label(row), TextStyle::BodySecondary);
    const UiRect field = rows.Field(row);
    const float portWidth = 110 * s;
    ui.TextField(ids::kConnectPort, UiRect{field.left, field.top, field.left + portWidth, field.bottom}, st.connectPort,
                 L"7788", true, true, 5);
    ui.TextField(ids::kConnectCode, UiRect{field.left + portWidth + 10 * s, field.top, field.right, field.bottom},
                 st.connectCode, L"code", true, false, 15);
  }
  {
    const UiRect row = rows.Take(44);
    const bool open = home_.viewerWindowOpen();
    if (ui.Button(ids::kConnect, row, open ? L"Disconnect" : L"Connect", true, true,
                  open ? ui.Colour(ThemeColour::Danger) : 0)) {
      if (!open) home_.ConnectToPeer();
    }
  }
  ui.Text(L"Not connected.", rows.Take(20), TextStyle::BodySecondary);
  ui.Text(L"The picture opens in its own window. Both directions can run at once.", rows.Take(18),
          TextStyle::SmallDim);
  connectCardHeight_ = rows.Height(y);
  return connectCardHeight_;
}

void HomeView::DrawSavedRelayPicker(ui::Surface& ui, float x, float y, float width, ui::WidgetId firstId) {
  const float s = ui.scale();
  const HomeSettings& st = home_.settings();
  const float height = home_layout::kRowHeight * s;
  const float labelWidth = 52 * s;
  const float browseWidth = 96 * s;
  ui.Text(L"Saved", UiRect::FromSize(x, y, labelWidth, height), TextStyle::BodySecondary);

  std::vector<std::wstring> items;
  int selected = 0;
  const bool empty = st.relaySaved.empty();
  if (empty) {
    items.push_back(L"(nothing saved yet)");
  } else {
    const auto found = std::find(st.relaySaved.begin(), st.relaySaved.end(), st.relayServer);
    const bool notSaved = found == st.relaySaved.end();
    if (notSaved) items.push_back(L"(not saved)");
    items.insert(items.end(), st.relaySaved.begin(), st.relaySaved.end());
    selected = notSaved ? 0 : static_cast<int>(found - st.relaySaved.begin());
  }
  const float boxLeft = x + labelWidth;
  const float boxRight = x + width - browseWidth - 10 * s;
  const int before = selected;
  if (ui.Dropdown(firstId, UiRect{boxLeft, y, boxRight, y + height}, items, selected, !empty) && selected != before) {
    const std::size_t offset = items.size() - st.relaySaved.size();  // 1 when "(not saved)" leads
    if (selected >= static_cast<int>(offset)) {
      home_.PickSavedRelay(st.relaySaved[static_cast<std::size_t>(selected) - offset]);
    }
  }
  if (ui.Button(firstId + 1, UiRect{x + width - browseWidth, y, x + width, y + height}, L"Browse...")) {
    relayField_.clear();
    sheetScroll_ = 0;
    home_.OpenRelaySheet();
  }
}

float HomeView::DrawAppearanceCard(ui::Surface& ui, float x, float y, float width) {
  const float s = ui.scale();
  HomeSettings& st = home_.settings();
  Rows rows(x, y, width, s);
  const float height =
      (home_layout::kTitleBand + 2 * (home_layout::kRowHeight + home_layout::kRowGap) + home_layout::kPadding -
       home_layout::kRowGap) * s;
  ui.Card(UiRect::FromSize(x, y, width, height), L"APPEARANCE");
  {
    const UiRect row = rows.Take();
    ui.Text(L"Accent colour", rows.Label(row), TextStyle::BodySecondary);
    const UiRect field = rows.Field(row);
    if (ui.ColorPicker(ids::kAccent, UiRect{field.left, field.top + 2 * s, field.left + 56 * s, field.bottom - 2 * s},
                       st.accentColour)) {
      home_.AccentChanged();
    }
  }
  {
    const UiRect row = rows.Take();
    if (ui.Button(ids::kResetSize, UiRect{row.left, row.top, row.left + 170 * s, row.bottom}, L"Reset window size")) {
      home_.ResetWindowSize();
    }
  }
  return rows.Height(y);
}

}  // namespace tvx
