// Captures what the host's default playback device plays and hands it, as interleaved 16-bit
// samples of at most two channels, to a sink on its own capture thread.
//
// Start and Stop are called under the host's sound lock; the capture thread only reads the sink
// and the flags. The capture thread also ends by itself when the device fails; running() then
// reads false and the host may start it again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "media/loopback_source.h"

namespace tvx {

class SoundCapture {
 public:
  // Receives each non-empty packet: interleaved samples and their frame count.
  using Sink = std::function<void(const short* samples, unsigned int frames)>;

  static constexpr std::chrono::milliseconds kStartTimeout{3000};

  explicit SoundCapture(LoopbackSourceFactory factory = CreateDefaultLoopbackSource,
                        std::chrono::milliseconds startTimeout = kStartTimeout);
  ~SoundCapture();
  SoundCapture(const SoundCapture&) = delete;
  SoundCapture& operator=(const SoundCapture&) = delete;

  // Stops a running capture, then starts a new one and waits for the device to open. On failure
  // `error` holds the text to show and nothing runs.
  bool Start(Sink sink, std::wstring& error);
  // Ends the capture thread and releases the sink. Never waits when called from the thread itself.
  void Stop();

  bool running() const { return running_.load(); }
  // The format of the samples the sink receives (valid once Start succeeded).
  std::uint32_t sampleRate() const { return sampleRate_.load(); }
  std::uint32_t channels() const { return channels_.load(); }

 private:
  enum class Report { kPending, kOpened, kFailed };

  void Run();
  void SetReport(Report report);

  LoopbackSourceFactory factory_;
  std::chrono::milliseconds startTimeout_;
  Sink sink_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<std::uint32_t> sampleRate_{0};
  std::atomic<std::uint32_t> channels_{0};
  std::mutex reportMutex_;
  std::condition_variable reportChanged_;
  Report report_ = Report::kPending;
};

}  // namespace tvx
