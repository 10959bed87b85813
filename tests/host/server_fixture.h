// What the host engine's threaded tests share: an engine on a synthetic screen with short time-outs,
// the events it raised, and loopback viewers.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/server.h"
#include "media/fixed_input_platform.h"
#include "media/jpeg_codec.h"
#include "media/recording_input_sink.h"
#include "media/synthetic_source.h"
#include "media/tone_source.h"
#include "support/log_capture.h"
#include "test_viewer.h"

namespace tvx::testing {

// Records every event and lets a test wait for one.
class EventLog {
 public:
  ServerEventHandler Handler() {
    return [this](ServerEvent event, const std::wstring& text) {
      {
        std::lock_guard lock(mutex_);
        events_.push_back({event, text});
      }
      changed_.notify_all();
    };
  }
  bool WaitFor(ServerEvent event, const std::wstring& text, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return CountLocked(event, text) > 0; });
  }
  std::size_t Count(ServerEvent event, const std::wstring& text) const {
    std::lock_guard lock(mutex_);
    return CountLocked(event, text);
  }
  std::size_t Count(ServerEvent event) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& e : events_) n += e.first == event ? 1 : 0;
    return n;
  }

 private:
  std::size_t CountLocked(ServerEvent event, const std::wstring& text) const {
    std::size_t n = 0;
    for (const auto& e : events_) n += e.first == event && e.second == text ? 1 : 0;
    return n;
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<ServerEvent, std::wstring>> events_;
};

// A JPEG encoder stand-in: fast, counts its calls and writes `size` bytes per tile (at least 4).
class CountingEncoder final : public JpegEncoder {
 public:
  CountingEncoder(std::atomic<std::uint64_t>& calls, std::size_t size) : calls_(calls), size_(size) {}
  bool Encode(const std::uint8_t* bgra, std::uint32_t, std::uint32_t width, std::uint32_t height, std::uint32_t,
              bool, std::vector<std::uint8_t>& out) override {
    calls_.fetch_add(1);
    out.assign(std::max<std::size_t>(size_, 4), 0);
    out[0] = bgra ? bgra[0] : 0;
    out[1] = static_cast<std::uint8_t>(width);
    out[2] = static_cast<std::uint8_t>(height);
    return true;
  }

 private:
  std::atomic<std::uint64_t>& calls_;
  std::size_t size_;
};

struct EngineSetup {
  std::uint32_t width = 512;
  std::uint32_t height = 256;
  SyntheticWorkload workload = SyntheticWorkload::Typing;
  std::size_t tileBytes = 64;  // the counting encoder's output per tile
  ServerTimings timings{1000, 12000, 15000};
  // Remote input, the cursor, the clock and the monitor list; empty: a recording sink (tests never
  // inject into the machine they run on), and the engine's defaults for the rest.
  std::shared_ptr<InputSink> inputSink;
  std::shared_ptr<InputPlatform> inputPlatform;
  std::function<std::uint64_t()> clockMs;
  std::function<std::vector<MonitorInfo>()> monitors;
  // The capture and the sound; empty: the synthetic screen above and a test tone.
  std::function<std::unique_ptr<ScreenCapture>()> makeCapture;
  LoopbackSourceFactory soundSource;
};

class ServerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (server_) server_->Stop();
  }

  ShareOptions Options() const {
    ShareOptions options;
    options.port = 0;
    options.listenOn = ListenScope::kLoopback;
    options.frameRate = 30;
    options.maxViewers = 8;
    return options;
  }

  void StartEngine(const ShareOptions& options, const EngineSetup& setup = {}) {
    ServerDependencies deps;
    deps.makeCapture = [setup] {
      SyntheticOptions synthetic;
      synthetic.width = setup.width;
      synthetic.height = setup.height;
      synthetic.workload = setup.workload;
      synthetic.waitWhenIdle = true;
      return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(synthetic));
    };
    if (setup.makeCapture) deps.makeCapture = setup.makeCapture;
    deps.monitors = setup.monitors;
    if (!deps.monitors) deps.monitors = [] { return std::vector<MonitorInfo>{}; };
    deps.inputSink = setup.inputSink ? setup.inputSink : std::make_shared<RecordingInputSink>();
    deps.inputPlatform = setup.inputPlatform;
    deps.clockMs = setup.clockMs;
    deps.encoderFactory = [this, size = setup.tileBytes](std::wstring&) -> std::unique_ptr<JpegEncoder> {
      return std::make_unique<CountingEncoder>(encodes_, size);
    };
    deps.soundSource = setup.soundSource;
    if (!deps.soundSource) deps.soundSource = [] { return std::make_unique<ToneSource>(); };
    deps.processorCount = 2;
    deps.timings = setup.timings;
    server_ = std::make_unique<Server>(std::move(deps));
    server_->SetEventHandler(events_.Handler());
    std::wstring error;
    ASSERT_TRUE(server_->Start(options, error)) << std::string(error.begin(), error.end());
    port_ = server_->port();
    ASSERT_NE(port_, 0);
  }

  // Waits until `done` holds, polling; false after the time-out.
  template <class Predicate>
  static bool Eventually(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }

  LogCapture log_;
  EventLog events_;
  std::atomic<std::uint64_t> encodes_{0};
  std::unique_ptr<Server> server_;
  std::uint16_t port_ = 0;
};

}  // namespace tvx::testing
