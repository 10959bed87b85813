// What the home window's tests share: fakes for the window around the behaviour (shell, overlay,
// clipboard, the posted-message queue), a HomeController on a real engine with a synthetic screen,
// and viewer engines joining it over 127.0.0.1.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/com_apartment.h"
#include "foundation/settings_store.h"
#include "loopback.h"
#include "media/recording_input_sink.h"
#include "media/synthetic_source.h"
#include "media/tone_source.h"
#include "support/log_capture.h"
#include "support/temp_folder.h"
#include "ui/home_controller.h"
#include "viewer/client_event.h"
#include "viewer/sound_output.h"
#include "viewer/viewer_client.h"

namespace tvx::testing {

class FakeShell final : public HomeShell {
 public:
  void Repaint() override { ++repaints; }
  void BringToFront() override {
    ++fronts;
    hidden = false;
  }
  void Hide() override { hidden = true; }
  void Flash() override { ++flashes; }
  void Destroy() override { calls.push_back("Destroy"); }
  void SetKeepAwake(bool on) override {
    keepAwake = on;
    calls.push_back(on ? "KeepAwake" : "ReleaseAwake");
  }
  void SetTrayTip(const std::wstring& tip) override { trayTip = tip; }
  void RemoveTrayIcon() override { calls.push_back("RemoveTrayIcon"); }
  bool SetClipboardText(std::wstring_view text) override {
    clipboard = text;
    return true;
  }
  void RemoveClipboardListener() override { calls.push_back("RemoveClipboardListener"); }
  void ApplyAccent(std::uint32_t accent) override { this->accent = accent; }
  void ResetWindowSize() override { calls.push_back("ResetWindowSize"); }

  int repaints = 0;
  int fronts = 0;
  int flashes = 0;
  bool hidden = false;
  bool keepAwake = false;
  std::wstring trayTip;
  std::wstring clipboard;
  std::uint32_t accent = 0;
  std::vector<std::string> calls;
};

class FakeOverlay final : public HomeOverlay {
 public:
  void Place(const Rect& rect) override { placed = rect; }
  void Show() override { shown = true; }
  void Hide() override { shown = false; }
  bool Shown() const override { return shown; }
  void Render(const AnnotationSnapshot& snapshot, std::uint64_t) override {
    ++renders;
    lastDrawings = snapshot.drawings.size();
  }
  void Clear() override { ++clears; }
  void Teardown() override { tornDown = true; }

  Rect placed;
  bool shown = false;
  bool tornDown = false;
  int renders = 0;
  int clears = 0;
  std::size_t lastDrawings = 0;
};

class FakeClipboard final : public ClipboardAccess {
 public:
  bool HasText() override { return !text.empty(); }
  bool Open() override { return true; }
  void Close() override {}
  bool ReadText(std::wstring& out) override {
    out = text;
    return true;
  }
  bool WriteText(std::wstring_view in) override {
    text = in;
    ++writes;
    return true;
  }
  std::wstring text;
  int writes = 0;
};

// The window's message queue: events posted by engine threads, handled when the test pumps.
class QueuedPoster final : public EventPoster {
 public:
  bool Post(ServerEvent event, std::unique_ptr<std::wstring>& text) override {
    std::lock_guard lock(mutex_);
    queue_.push_back({event, std::move(text)});
    return true;
  }
  std::vector<std::pair<ServerEvent, std::unique_ptr<std::wstring>>> Take() {
    std::lock_guard lock(mutex_);
    return std::move(queue_);
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<ServerEvent, std::unique_ptr<std::wstring>>> queue_;
};

// A viewer engine and the events it reported.
class TestWatcher {
 public:
  TestWatcher() {
    ViewerClient::Options options;
    options.soundOutputs = CreateNullSoundOutput;
    client = std::make_unique<ViewerClient>(options);
    client->SetEventHandler([this](ClientEvent e, const std::wstring& t) {
      std::lock_guard lock(mutex_);
      events_.emplace_back(e, t);
    });
  }
  ~TestWatcher() { client->Stop(); }
  bool Saw(ClientEvent event) {
    std::lock_guard lock(mutex_);
    for (const auto& [e, t] : events_) {
      if (e == event) return true;
    }
    return false;
  }
  std::wstring TextOf(ClientEvent event) {
    std::lock_guard lock(mutex_);
    for (const auto& [e, t] : events_) {
      if (e == event) return t;
    }
    return L"<none>";
  }
  std::unique_ptr<ViewerClient> client;

 private:
  std::mutex mutex_;
  std::vector<std::pair<ClientEvent, std::wstring>> events_;
};

class HomeTest : public ::testing::Test {
 protected:
  // Settings as the user left them, then the controller built over them.
  void SetUp() override { store_.Load((folder_.path() / "settings.json").wstring()); }
  void TearDown() override {
    watchers_.clear();
    if (home_) home_->Teardown(std::nullopt);
  }

  // A port on 127.0.0.1 that nothing listens on just now.
  static std::uint16_t FreePort() {
    Listener probe;
    EXPECT_TRUE(ListenLoopback(probe, false));
    return probe.Port();
  }

  void MakeHome(std::size_t monitorCount = 1) {
    HomeDependencies deps;
    deps.listenOn = ListenScope::kLoopback;
    deps.server.makeCapture = [] {
      SyntheticOptions synthetic;
      synthetic.width = 320;
      synthetic.height = 200;
      synthetic.workload = SyntheticWorkload::Typing;
      return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(synthetic));
    };
    std::vector<MonitorInfo> monitors;
    for (std::size_t i = 0; i < monitorCount; ++i) {
      monitors.push_back({static_cast<std::uint32_t>(i), 0, static_cast<std::uint32_t>(i),
                          {static_cast<int>(i) * 320, 0, static_cast<int>(i) * 320 + 320, 200}, i == 0, 0,
                          L"DISPLAY"});
    }
    deps.monitors = [monitors] { return monitors; };
    deps.server.monitors = [] { return std::vector<MonitorInfo>{}; };
    deps.server.inputSink = inputSink_;
    deps.server.soundSource = [] { return std::make_unique<ToneSource>(); };
    deps.server.processorCount = 2;
    deps.server.timings = ServerTimings{1000, 12000, 15000};
    deps.addresses = [] { return std::vector<std::wstring>{L"127.0.0.1"}; };
    deps.codes = CodeGenerators{[] { return std::string("NEWC0D"); }, [] { return std::string("123456789"); }};
    deps.nowMicros = [this] { return clockMicros_; };
    deps.sleepMs = [](int) {};
    deps.postRepaint = [] {};
    home_ = std::make_unique<HomeController>(store_, shell_, &overlay_, clipboard_, &poster_, std::move(deps));
    home_->Start();
  }

  // Handles the posted events as the window thread would; returns how many.
  std::size_t Pump() {
    std::size_t n = 0;
    for (auto& [event, text] : poster_.Take()) {
      home_->HandleServerEvent(event, text ? *text : std::wstring());
      ++n;
    }
    return n;
  }

  void Advance(std::int64_t ms) { clockMicros_ += ms * 1000; }

  // Pumps events until `done` holds.
  template <class Predicate>
  bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(8)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      Pump();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Pump();
    return done();
  }

  TestWatcher& Watch(const std::string& code, const std::wstring& name) {
    watchers_.push_back(std::make_unique<TestWatcher>());
    watchers_.back()->client->Connect(L"127.0.0.1", home_->server().port(), code, name, "");
    return *watchers_.back();
  }

  // The engine makes its encoders on the thread that starts it, as the window thread does.
  ComApartment com_;
  LogCapture log_;
  TempFolder folder_{"tvx_home_"};
  SettingsStore store_;
  FakeShell shell_;
  FakeOverlay overlay_;
  FakeClipboard clipboard_;
  QueuedPoster poster_;
  std::shared_ptr<RecordingInputSink> inputSink_ = std::make_shared<RecordingInputSink>();
  std::int64_t clockMicros_ = 1'000'000'000;
  std::unique_ptr<HomeController> home_;
  std::vector<std::unique_ptr<TestWatcher>> watchers_;
};

}  // namespace tvx::testing
