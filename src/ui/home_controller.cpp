#include "ui/home_controller.h"

#include <algorithm>

#include "foundation/clock.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "media/screen_capture.h"
#include "net/local_addresses.h"
#include "ui/share_rules.h"
#include "ui/share_start.h"
#include "ui/tray_menu.h"

namespace tvx {

HomeController::HomeController(SettingsStore& store, HomeShell& shell, HomeOverlay* overlay,
                               ClipboardAccess& clipboard, EventPoster* poster, HomeDependencies deps)
    : store_(store),
      shell_(shell),
      overlay_(overlay),
      deps_(std::move(deps)),
      nowMicros_(deps_.nowMicros ? deps_.nowMicros : std::function<std::int64_t()>(NowMicros)),
      s_(LoadHomeSettings(store, deps_.codes)),
      server_(deps_.server),
      sink_(poster),
      clipboard_(clipboard, deps_.sleepMs),
      probes_(deps_.postRepaint) {
  if (!deps_.addresses) deps_.addresses = LocalAddresses;
  if (!deps_.monitors) deps_.monitors = EnumerateMonitors;
  if (!deps_.codes.accessCode) deps_.codes = CodeGenerators::System();
}

HomeController::~HomeController() {
  probes_.Stop();
  server_.Stop();
  sink_.Detach();
}

void HomeController::Start() {
  server_.SetEventHandler(sink_.Handler());
  RefreshNetworkList();
  RefreshMonitorList();
  UpdateTrayTip();
}

void HomeController::Teardown(const std::optional<WindowPlacement>& placement) {
  if (placement) WriteWindowPlacement(store_, *placement);
  SaveHomeSettings();
  probes_.Stop();
  shell_.RemoveClipboardListener();
  viewerWindowOpen_ = false;
  server_.Stop();
  sink_.Detach();
  if (overlay_ != nullptr) overlay_->Teardown();
  shell_.RemoveTrayIcon();
  shell_.SetKeepAwake(false);
}

// --- Settings ------------------------------------------------------------------------------------

void HomeController::SaveHomeSettings() {
  WriteHomeSettings(store_, s_);
  if (!store_.Save()) Log(kLogWarning, L"Could not save the settings to %s", store_.path());
}

void HomeController::SaveWindowPlacement(const WindowPlacement& placement) {
  s_.window = placement;
  WriteWindowPlacement(store_, placement);
  if (!store_.Save()) Log(kLogWarning, L"Could not save the settings to %s", store_.path());
}

// --- Status --------------------------------------------------------------------------------------

void HomeController::SetStatus(std::wstring text) {
  status_ = std::move(text);
  statusSetMs_ = NowMs();
  shell_.Repaint();
}

std::wstring HomeController::VisibleStatus() const {
  if (status_.empty() || NowMs() - statusSetMs_ >= kStatusShownMs) return {};
  return status_;
}

// --- Lists ---------------------------------------------------------------------------------------

void HomeController::RefreshNetworkList() {
  addresses_ = deps_.addresses();
  selectedAddress_ = ClampIndex(selectedAddress_, addresses_.size());
}

void HomeController::RefreshMonitorList() {
  monitors_ = deps_.monitors();
  monitorLabels_ = MonitorLabels(monitors_);
  s_.monitor = ClampIndex(s_.monitor, monitors_.size());
}

std::wstring HomeController::SelectedAddress() const {
  if (addresses_.empty()) return {};
  return addresses_[static_cast<std::size_t>(ClampIndex(selectedAddress_, addresses_.size()))];
}

// --- Sharing -------------------------------------------------------------------------------------

void HomeController::StartSharing() {
  ShareOptions options = BuildShareOptions(s_, monitors_.size());
  options.listenOn = deps_.listenOn;
  s_.port = FormatText(L"%u", options.port);
  std::wstring error;
  if (!server_.Start(options, error)) {
    SetStatus(L"Could not start: " + error);
    return;
  }
  if (overlay_ != nullptr) {
    if (options.monitor < monitors_.size() && !monitors_[options.monitor].desktopRect.Empty()) {
      overlay_->Place(monitors_[options.monitor].desktopRect);
    }
    if (!overlay_->Shown()) overlay_->Show();
  }
  shell_.SetKeepAwake(true);
  SaveHomeSettings();
  UpdateTrayTip();
  SetStatus(L"Sharing started.");
}

void HomeController::StopSharing() {
  server_.Stop();
  if (overlay_ != nullptr && overlay_->Shown()) {
    overlay_->Clear();
    overlay_->Hide();
  }
  shell_.SetKeepAwake(false);
  UpdateTrayTip();
  SetStatus(L"Sharing stopped.");
}

std::wstring HomeController::DetailsTextNow() const {
  ShareDetails d;
  d.mode = s_.mode;
  d.address = SelectedAddress();
  d.port = s_.port;
  d.requireCode = s_.requireCode;
  d.code = s_.code;
  d.id = s_.id;
  d.relayServer = s_.relayServer;
  return DetailsText(d);
}

void HomeController::CopyDetails() {
  shell_.SetClipboardText(DetailsTextNow());
  SetStatus(L"Details copied.");
}

void HomeController::CopyId() {
  shell_.SetClipboardText(GroupDigits(s_.id));
  SetStatus(L"ID copied.");
}

ColouredText HomeController::Header() const {
  return HeaderText(sharing(), SelectedAddress(), s_.port, s_.requireCode, s_.code);
}

ColouredText HomeController::StatusLine() const {
  // The engine keeps no problem text of its own; its Status events reach the status message.
  return ShareStatusLine(sharing(), server_.Statistics(), {});
}

ColouredText HomeController::RelayLine() const {
  return RelayStatusLine(server_.RelayStatus(), server_.RelayReady());
}

// --- Share panel changes -------------------------------------------------------------------------

void HomeController::ModeChanged(int mode) {
  ApplyShareMode(s_, mode, deps_.codes.accessCode);
  SaveHomeSettings();
}

void HomeController::RequireCodeChanged() {
  ApplyRequireCode(s_, deps_.codes.accessCode);
  SaveHomeSettings();
}

void HomeController::NewCode() {
  s_.code = Utf8ToWide(deps_.codes.accessCode());
  SaveHomeSettings();
}

void HomeController::MaxViewersChanged() {
  s_.maxViewers = std::clamp(s_.maxViewers, 1, 8);
  server_.SetMaxViewers(s_.maxViewers);
  SaveHomeSettings();
}

void HomeController::ScreenChanged() {
  s_.monitor = ClampIndex(s_.monitor, monitors_.size());
  server_.SetScreen(static_cast<std::uint32_t>(s_.monitor));
  SaveHomeSettings();
}

void HomeController::ToggleScreen(std::size_t index) {
  const std::wstring label = FormatText(L"Screen %d", static_cast<int>(index + 1));
  const ScreenToggle toggle =
      ToggleSharedScreen(static_cast<std::uint32_t>(s_.allowedMonitors), index, monitors_.size(), label);
  if (toggle.changed) {
    s_.allowedMonitors = static_cast<int>(toggle.mask);
    server_.SetSharedScreens(toggle.mask);
    SaveHomeSettings();
  }
  if (!toggle.status.empty()) SetStatus(toggle.status);
}

void HomeController::PictureChanged() {
  server_.SetPicture(static_cast<std::uint8_t>(std::clamp(s_.quality, 5, 100)),
                     static_cast<std::uint8_t>(std::clamp(s_.fps, 1, 75)), s_.halfResolution, s_.compressColour);
  SaveHomeSettings();
}

void HomeController::PermissionsChanged() {
  server_.SetPermissions(s_.allowRemoteControl, s_.shareClipboard, s_.shareAudio);
  server_.annotations().ApplyShowFlags(s_.showPointer, s_.showDrawings);
  SaveHomeSettings();
}

void HomeController::LifetimeChanged() {
  server_.SetDrawingLifetime(DrawingLifetimeMs(s_.drawingLifetime));
  SaveHomeSettings();
}

void HomeController::ClearDrawings() {
  server_.annotations().Clear();
  RefreshOverlay(true);
  SetStatus(L"Cleared.");
}

// --- Engine events -------------------------------------------------------------------------------

bool HomeController::HandleServerEvent(ServerEvent event, const std::wstring& text) {
  const std::wstring name = text.empty() ? std::wstring(L"The other side") : text;
  switch (event) {
    case ServerEvent::Started: break;
    case ServerEvent::Stopped:
      if (overlay_ != nullptr && overlay_->Shown()) {
        overlay_->Clear();
        overlay_->Hide();
      }
      break;
    case ServerEvent::ViewerJoined: SetStatus(text + L" joined."); break;
    case ServerEvent::ViewerLeft:
      SetStatus(text + L" left.");
      if (sharing() && server_.Statistics().viewers == 0) {
        nobodyWatching_ = {true, name};
        shell_.BringToFront();
      }
      break;
    case ServerEvent::ScreensChanged: {
      const Rect rect = server_.CaptureRect();
      if (overlay_ != nullptr && !rect.Empty()) overlay_->Place(rect);
      RefreshMonitorList();
      break;
    }
    case ServerEvent::DrawingsChanged:
      sink_.DrawingsHandled();
      if (sharing()) RefreshOverlay(false);
      return false;
    case ServerEvent::ClipboardReceived:
      if (s_.shareClipboard && !text.empty() && clipboard_.PutText(text)) SetStatus(L"Clipboard received.");
      break;
    case ServerEvent::ControlRequested:
      controlRequest_ = {true, name};
      shell_.BringToFront();
      shell_.Flash();
      SetStatus(name + L" is asking for control.");
      break;
    case ServerEvent::Status: SetStatus(text); break;
  }
  return true;
}

std::uint64_t HomeController::AnnotationNowMs() const {
  return deps_.server.clockMs ? deps_.server.clockMs() : static_cast<std::uint64_t>(NowMicros() / 1000);
}

void HomeController::RefreshOverlay(bool force) {
  if (overlay_ == nullptr) return;
  if (!overlay_->Shown() && sharing()) overlay_->Show();
  const std::int64_t now = nowMicros_();
  if (!force && now - lastOverlayMicros_ < kOverlayRefreshMicros) return;
  lastOverlayMicros_ = now;
  AnnotationStore& store = server_.annotations();
  const std::uint64_t nowMs = AnnotationNowMs();
  store.Expire(nowMs);
  overlay_->Render(store.Snapshot(nowMs), nowMs);
}

// --- Prompts -------------------------------------------------------------------------------------

void HomeController::KeepSharing() { nobodyWatching_ = {}; }

void HomeController::StopFromPrompt() {
  nobodyWatching_ = {};
  StopSharing();
}

void HomeController::DeclineControl() {
  controlRequest_ = {};
  SetStatus(L"Control request declined.");
}

void HomeController::AllowControl() {
  const std::wstring name = controlRequest_.name;
  controlRequest_ = {};
  s_.allowRemoteControl = true;
  server_.SetPermissions(true, s_.shareClipboard, s_.shareAudio);
  SaveHomeSettings();
  SetStatus(name + L" can now use this PC.");
}

bool HomeController::AnyModal() const {
  return controlRequest_.shown || nobodyWatching_.shown || aboutShown_ || relaySheetShown_;
}

bool HomeController::HandleEscape() {
  if (relaySheetShown_) {
    CloseRelaySheet();
    return true;
  }
  if (aboutShown_) {
    aboutShown_ = false;
    return true;
  }
  return false;
}

// --- Tick, closing, tray -------------------------------------------------------------------------

bool HomeController::Tick() {
  bool repaint = false;
  if (!sharing()) {
    if (overlay_ != nullptr && overlay_->Shown()) {
      overlay_->Clear();
      overlay_->Hide();
    }
  } else {
    RefreshOverlay(false);
    // A viewer's picture request may have changed the engine's picture settings.
    const ShareOptions engine = server_.Options();
    if (engine.quality != s_.quality || engine.frameRate != s_.fps || engine.halfResolution != s_.halfResolution ||
        engine.compressColour != s_.compressColour) {
      s_.quality = engine.quality;
      s_.fps = engine.frameRate;
      s_.halfResolution = engine.halfResolution;
      s_.compressColour = engine.compressColour;
      repaint = true;
    }
  }
  const std::int64_t now = NowMs();
  if ((sharing() || viewerWindowOpen_) && now - lastPeriodicMs_ >= kPeriodicRepaintMs) {
    lastPeriodicMs_ = now;
    return true;
  }
  if (!status_.empty() && now - statusSetMs_ >= kStatusShownMs) {
    status_.clear();
    return true;
  }
  return repaint;
}

bool HomeController::OnClose() {
  if ((!sharing() && !viewerWindowOpen_) || quitRequested_) return true;
  shell_.Hide();
  return false;
}

void HomeController::TrayCommand(std::uint32_t id) {
  switch (id) {
    case tray::kOpen: shell_.BringToFront(); break;
    case tray::kClearDrawings:
      server_.annotations().Clear();
      RefreshOverlay(true);
      break;
    case tray::kStartStop:
      if (sharing()) {
        StopSharing();
      } else {
        StartSharing();
      }
      break;
    case tray::kQuit:
      quitRequested_ = true;
      shell_.Destroy();
      break;
    default: break;
  }
}

void HomeController::UpdateTrayTip() { shell_.SetTrayTip(TrayTip(sharing())); }

// --- Clipboard -----------------------------------------------------------------------------------

void HomeController::OnClipboardUpdate() {
  const std::optional<std::wstring> text = clipboard_.OnClipboardUpdate();
  if (!text || text->empty()) return;
  if (!s_.shareClipboard || !sharing() || !server_.Options().shareClipboard) return;
  const std::string utf8 = WideToUtf8(*text);
  if (utf8.size() > kClipboardMaxUtf8Bytes) return;
  server_.SendClipboard(utf8);
}

// --- Connect panel, relay list, appearance -------------------------------------------------------

void HomeController::ConnectToPeer() {
  if (viewerWindowOpen_) return;
  if (s_.connectMode == 1) {
    if (s_.relayServer.empty()) {
      SetStatus(L"Type the relay server address the other PC is using.");
      return;
    }
    if (DigitsOnly(s_.connectPeerId).size() != 9) {
      SetStatus(FormatText(L"An ID is %u digits.", 9u));
      return;
    }
  } else if (s_.connectAddress.empty()) {
    SetStatus(L"Type the address the other Tavrix is showing.");
    return;
  }
  s_.connectPort = FormatText(L"%u", PortFromText(s_.connectPort));
  SaveHomeSettings();
  SetStatus(L"Could not open the remote window: the viewer window is not available in this version yet.");
}

void HomeController::PickSavedRelay(const std::wstring& address) {
  s_.relayServer = address;
  SaveHomeSettings();
}

void HomeController::OpenRelaySheet() {
  relaySheetShown_ = true;
  StartRelayProbes();
}

void HomeController::CloseRelaySheet() {
  relaySheetShown_ = false;
  StopRelayProbes();
}

bool HomeController::CanAddRelay(const std::wstring& address) const {
  return !address.empty() && std::find(s_.relaySaved.begin(), s_.relaySaved.end(), address) == s_.relaySaved.end();
}

void HomeController::AddRelay(const std::wstring& address) {
  if (!CanAddRelay(address)) return;
  s_.relaySaved.push_back(address);
  s_.relayServer = address;
  SaveHomeSettings();
  StartRelayProbes();
}

void HomeController::RemoveRelay(std::size_t index) {
  if (index >= s_.relaySaved.size()) return;
  s_.relaySaved.erase(s_.relaySaved.begin() + static_cast<std::ptrdiff_t>(index));
  SaveHomeSettings();
}

void HomeController::StartRelayProbes() { probes_.Start(s_.relaySaved, PortFromText(s_.port)); }

void HomeController::StopRelayProbes() { probes_.Stop(); }

void HomeController::AccentChanged() {
  s_.accentColour |= 0xFF000000u;
  shell_.ApplyAccent(s_.accentColour);
  SaveHomeSettings();
}

}  // namespace tvx
