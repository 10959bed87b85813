// The home window's behaviour without the window: the settings mirror and saving, sharing on and
// off, the engine's events, the two prompts, the periodic tick, closing and the tray, clipboard
// sharing, the connect panel's checks and the relay list. The window (and the panels drawn with
// the widget surface) call it; it reaches the window only through HomeShell and HomeOverlay.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/settings_store.h"
#include "host/server.h"
#include "media/monitor_info.h"
#include "ui/clipboard_watcher.h"
#include "ui/home_shell.h"
#include "ui/relay_probes.h"
#include "ui/server_event_sink.h"
#include "ui/settings_model.h"
#include "ui/share_texts.h"

namespace tvx {

inline constexpr std::int64_t kStatusShownMs = 4000;
inline constexpr std::int64_t kPeriodicRepaintMs = 500;
inline constexpr std::int64_t kOverlayRefreshMicros = 5000;

struct HomeDependencies {
  ServerDependencies server;
  std::function<std::vector<std::wstring>()> addresses;  // LocalAddresses when empty
  std::function<std::vector<MonitorInfo>()> monitors;    // EnumerateMonitors when empty
  CodeGenerators codes = CodeGenerators::System();
  std::function<std::int64_t()> nowMicros;               // NowMicros when empty
  std::function<void(int)> sleepMs;                      // between clipboard attempts
  // Asks the window thread for a repaint; called on the relay probe worker.
  std::function<void()> postRepaint;
  // The Windows user name for the viewer's greeting (empty: "Viewer").
  std::function<std::wstring()> userName;
  // Where a share listens: every address for people; tests keep to 127.0.0.1.
  ListenScope listenOn = ListenScope::kEveryAddress;
};

// A prompt over the window and the name it shows.
struct HomePrompt {
  bool shown = false;
  std::wstring name;
};

class HomeController {
 public:
  // `store` is loaded already; its settings are read here. `poster` carries engine events to the
  // window thread (null: the window does not listen). `overlay` may be null (no overlay).
  HomeController(SettingsStore& store, HomeShell& shell, HomeOverlay* overlay, ClipboardAccess& clipboard,
                 EventPoster* poster, HomeDependencies deps = {});
  ~HomeController();
  HomeController(const HomeController&) = delete;
  HomeController& operator=(const HomeController&) = delete;

  // Start-up after the window exists: the engine's event sink, then the network and monitor lists.
  void Start();
  // The window's teardown, in order: placement and settings saved, relay probes stopped, the
  // clipboard listener removed, the viewer window closed, the engine stopped, the sink detached,
  // the overlay torn down, the tray icon removed, the keep-awake request released.
  void Teardown(const std::optional<WindowPlacement>& placement);

  // --- Settings ----------------------------------------------------------------------------------
  HomeSettings& settings() { return s_; }
  const HomeSettings& settings() const { return s_; }
  void SaveHomeSettings();
  void SaveWindowPlacement(const WindowPlacement& placement);

  // --- Status ------------------------------------------------------------------------------------
  void SetStatus(std::wstring text);
  // The status while it is younger than 4 s, else empty.
  std::wstring VisibleStatus() const;

  // --- Lists -------------------------------------------------------------------------------------
  void RefreshNetworkList();
  void RefreshMonitorList();
  const std::vector<std::wstring>& addresses() const { return addresses_; }
  std::vector<std::wstring> networkLabels() const { return NetworkLabels(addresses_); }
  int& selectedAddress() { return selectedAddress_; }
  std::wstring SelectedAddress() const;
  const std::vector<MonitorInfo>& monitors() const { return monitors_; }
  const std::vector<std::wstring>& monitorLabels() const { return monitorLabels_; }

  // --- Sharing -----------------------------------------------------------------------------------
  bool sharing() const { return server_.running(); }
  void StartSharing();
  void StopSharing();
  void CopyDetails();
  void CopyId();
  std::wstring DetailsTextNow() const;
  ColouredText Header() const;
  ColouredText StatusLine() const;
  ColouredText RelayLine() const;

  // --- Share panel changes (the value in settings() has already changed) -------------------------
  void ModeChanged(int mode);
  void RequireCodeChanged();
  void NewCode();
  void MaxViewersChanged();
  void ScreenChanged();
  void ToggleScreen(std::size_t index);
  void PictureChanged();
  void PermissionsChanged();
  void LifetimeChanged();
  void ClearDrawings();

  // --- Engine events (on the window thread; the window frees the text afterwards) ---------------
  // True when the window should repaint.
  bool HandleServerEvent(ServerEvent event, const std::wstring& text);

  // --- Prompts and modals ------------------------------------------------------------------------
  const HomePrompt& nobodyWatching() const { return nobodyWatching_; }
  const HomePrompt& controlRequest() const { return controlRequest_; }
  void KeepSharing();
  void StopFromPrompt();
  void DeclineControl();
  void AllowControl();
  bool aboutShown() const { return aboutShown_; }
  void ShowAbout(bool shown) { aboutShown_ = shown; }
  bool relaySheetShown() const { return relaySheetShown_; }
  bool AnyModal() const;
  // Escape: closes the relay sheet, else the About card. False when neither was open.
  bool HandleEscape();

  // --- Tick, closing, tray -----------------------------------------------------------------------
  // Every 16 ms; true asks for a repaint.
  bool Tick();
  // True lets the close request destroy the window; otherwise the window hides to the tray.
  bool OnClose();
  void TrayCommand(std::uint32_t id);
  bool quitRequested() const { return quitRequested_; }

  // --- Clipboard ---------------------------------------------------------------------------------
  void OnClipboardUpdate();
  ClipboardWatcher& clipboardWatcher() { return clipboard_; }

  // --- Connect panel, relay list, appearance -----------------------------------------------------
  bool viewerWindowOpen() const { return viewerWindowOpen_; }
  void ConnectToPeer();
  void PickSavedRelay(const std::wstring& address);
  void OpenRelaySheet();
  void CloseRelaySheet();
  bool CanAddRelay(const std::wstring& address) const;
  void AddRelay(const std::wstring& address);
  void RemoveRelay(std::size_t index);
  void StartRelayProbes();
  void StopRelayProbes();
  RelayStatusRecord RelayStatus(const std::wstring& address) const { return probes_.Status(address); }
  bool RelayProbesRunning() const { return probes_.Running(); }
  void AccentChanged();
  void ResetWindowSize() { shell_.ResetWindowSize(); }

  Server& server() { return server_; }
  std::int64_t NowMs() const { return nowMicros_() / 1000; }

 private:
  std::uint64_t AnnotationNowMs() const;
  void RefreshOverlay(bool force);
  void UpdateTrayTip();

  SettingsStore& store_;
  HomeShell& shell_;
  HomeOverlay* overlay_;
  HomeDependencies deps_;
  std::function<std::int64_t()> nowMicros_;
  HomeSettings s_;
  Server server_;
  ServerEventSink sink_;
  ClipboardWatcher clipboard_;
  RelayProbes probes_;

  std::vector<std::wstring> addresses_;
  int selectedAddress_ = 0;
  std::vector<MonitorInfo> monitors_;
  std::vector<std::wstring> monitorLabels_;

  std::wstring status_;
  std::int64_t statusSetMs_ = 0;
  std::int64_t lastPeriodicMs_ = 0;
  std::int64_t lastOverlayMicros_ = 0;
  bool overlayNeedsClear_ = false;

  HomePrompt nobodyWatching_;
  HomePrompt controlRequest_;
  bool aboutShown_ = false;
  bool relaySheetShown_ = false;
  bool quitRequested_ = false;
  bool viewerWindowOpen_ = false;  // the viewer window is not part of this program yet
};

}  // namespace tvx
