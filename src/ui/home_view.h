// The home window's content drawn with the widget surface: the header, the scrolling two-column
// content (share panel, "PICTURE THEY SEE", "WHAT THE OTHER SIDE MAY DO HERE", the connect panel
// and the appearance card) and at most one modal (the two prompts, the About card, the relay
// server sheet). Everything it changes goes through the HomeController.
#pragma once

#include <cstdint>
#include <string>

#include "ui/home_controller.h"
#include "ui/surface.h"

namespace tvx {

// Widget ids of the home window, constant from frame to frame.
namespace home_ids {
inline constexpr ui::WidgetId kAbout = 100;
// Share panel.
inline constexpr ui::WidgetId kShareMode = 150;
inline constexpr ui::WidgetId kRelayServer = 151;
inline constexpr ui::WidgetId kAddress = 152;
inline constexpr ui::WidgetId kSharePort = 153;
inline constexpr ui::WidgetId kCopyId = 154;
inline constexpr ui::WidgetId kRequireCode = 155;
inline constexpr ui::WidgetId kCode = 156;
inline constexpr ui::WidgetId kNewCode = 157;
inline constexpr ui::WidgetId kQuality = 158;
inline constexpr ui::WidgetId kFps = 159;
inline constexpr ui::WidgetId kHalfResolution = 160;
inline constexpr ui::WidgetId kCompressColour = 161;
inline constexpr ui::WidgetId kCopyDetails = 162;
inline constexpr ui::WidgetId kMaxViewers = 163;
inline constexpr ui::WidgetId kMonitor = 164;
inline constexpr ui::WidgetId kStartStop = 165;
inline constexpr ui::WidgetId kShowPointer = 170;
inline constexpr ui::WidgetId kShowDrawings = 171;
inline constexpr ui::WidgetId kAllowControl = 172;
inline constexpr ui::WidgetId kShareClipboard = 173;
inline constexpr ui::WidgetId kShareAudio = 174;
inline constexpr ui::WidgetId kLifetime = 175;
inline constexpr ui::WidgetId kClear = 176;
inline constexpr ui::WidgetId kScreenButtons = 180;  // + monitor index, up to 32
// Saved-relay pickers (share panel and connect panel) take first id, + 1 and + 2.
inline constexpr ui::WidgetId kSharePicker = 220;
inline constexpr ui::WidgetId kConnectPicker = 230;
// Connect panel.
inline constexpr ui::WidgetId kConnectMode = 240;
inline constexpr ui::WidgetId kPeerId = 241;
inline constexpr ui::WidgetId kConnectRelay = 242;
inline constexpr ui::WidgetId kConnectAddress = 243;
inline constexpr ui::WidgetId kConnectPort = 244;
inline constexpr ui::WidgetId kConnectCode = 245;
inline constexpr ui::WidgetId kConnect = 246;
// Appearance.
inline constexpr ui::WidgetId kAccent = 260;  // the colour picker also uses 261 and 262
inline constexpr ui::WidgetId kResetSize = 265;
// Prompts and modals.
inline constexpr ui::WidgetId kPromptStop = 300;
inline constexpr ui::WidgetId kPromptKeep = 301;
inline constexpr ui::WidgetId kPromptDecline = 302;
inline constexpr ui::WidgetId kPromptAllow = 303;
inline constexpr ui::WidgetId kAboutClose = 310;
inline constexpr ui::WidgetId kSheetField = 320;
inline constexpr ui::WidgetId kSheetAdd = 321;
inline constexpr ui::WidgetId kSheetRefresh = 322;
inline constexpr ui::WidgetId kSheetClose = 323;
inline constexpr ui::WidgetId kSheetRows = 400;  // two per saved relay: the address and "Remove"
}  // namespace home_ids

class HomeView {
 public:
  explicit HomeView(HomeController& home) : home_(home) {}

  // Draws everything below the title band (which starts at y = 0 and is `titleHeight` high) in a
  // client area of `width` × `height` physical pixels, inside a frame the caller began.
  void Draw(ui::Surface& surface, float width, float height, float titleHeight);

  float scroll() const { return scroll_; }
  float contentHeight() const { return contentHeight_; }
  const std::wstring& relayField() const { return relayField_; }

 private:
  void DrawHeader(ui::Surface& ui, float x, float y, float width);
  float DrawSharePanel(ui::Surface& ui, float x, float y, float width);
  float DrawPictureCard(ui::Surface& ui, float x, float y, float width);
  float DrawPermissionsCard(ui::Surface& ui, float x, float y, float width);
  float DrawConnectPanel(ui::Surface& ui, float x, float y, float width);
  void DrawSavedRelayPicker(ui::Surface& ui, float x, float y, float width, ui::WidgetId firstId);
  float DrawAppearanceCard(ui::Surface& ui, float x, float y, float width);
  void DrawScrollBar(ui::Surface& ui, const ui::Rect& view);
  void DrawModal(ui::Surface& ui, float width, float height);
  void DrawNobodyWatchingPrompt(ui::Surface& ui, float width, float height);
  void DrawControlPrompt(ui::Surface& ui, float width, float height);
  void DrawAboutCard(ui::Surface& ui, float width, float height);
  void DrawRelaySheet(ui::Surface& ui, float width, float height);

  HomeController& home_;
  float scroll_ = 0;
  float contentHeight_ = 0;
  float shareCardHeight_ = 0;  // last frame's, so the card can be drawn before its rows
  float connectCardHeight_ = 0;
  float sheetScroll_ = 0;
  float sheetContentHeight_ = 0;
  std::wstring relayField_;
};

// The About card's lines, in order; empty entries are half-height gaps.
const std::vector<std::wstring>& AboutLines();

}  // namespace tvx
