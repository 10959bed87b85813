#include "media/sound_capture.h"

#include <utility>

#include "foundation/clock.h"
#include "foundation/log.h"

namespace tvx {
namespace {

std::uint64_t NowMillis() { return static_cast<std::uint64_t>(NowMicros() / 1000); }

// How long the loop waits when the device has nothing, or would not hand over a packet.
constexpr std::chrono::milliseconds kIdleWait{10};

}  // namespace

SoundCapture::SoundCapture(LoopbackSourceFactory factory, std::chrono::milliseconds startTimeout)
    : factory_(std::move(factory)), startTimeout_(startTimeout) {}

SoundCapture::~SoundCapture() {
  stopRequested_ = true;
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();  // cannot join itself; the thread is on its way out
    } else {
      thread_.join();
    }
  }
}

bool SoundCapture::Start(Sink sink, std::wstring& error) {
  Stop();
  if (!sink) {
    error = L"No audio sink.";
    return false;
  }
  sink_ = std::move(sink);
  stopRequested_ = false;
  running_ = true;
  {
    std::lock_guard lock(reportMutex_);
    report_ = Report::kPending;
  }
  thread_ = std::thread([this] { Run(); });
  bool opened = false;
  {
    std::unique_lock lock(reportMutex_);
    reportChanged_.wait_for(lock, startTimeout_, [this] { return report_ != Report::kPending; });
    opened = report_ == Report::kOpened;
  }
  if (!opened) {
    Stop();
    error = L"The playback device could not be opened for capture.";
    return false;
  }
  error.clear();
  return true;
}

void SoundCapture::Stop() {
  stopRequested_ = true;
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) return;  // the thread ends its loop on its own
    thread_.join();
  }
  running_ = false;
  sink_ = nullptr;
}

void SoundCapture::SetReport(Report report) {
  {
    std::lock_guard lock(reportMutex_);
    report_ = report;
  }
  reportChanged_.notify_all();
}

void SoundCapture::Run() {
  std::unique_ptr<LoopbackSource> source = factory_ ? factory_() : nullptr;
  SoundSourceFormat format;
  if (!source || !source->Open(format)) {
    running_ = false;
    source.reset();
    SetReport(Report::kFailed);
    return;
  }
  const std::uint32_t channels = OutputChannels(format.channels);
  sampleRate_ = format.sampleRate;
  channels_ = channels;
  Log(kLogInfo, L"Audio: capturing %u Hz, %u channel%s", format.sampleRate, channels, channels == 1 ? L"" : L"s");
  SetReport(Report::kOpened);

  SoundPacketConverter converter(format);
  converter.Start(NowMillis());
  bool deviceFailed = false;
  while (!stopRequested_ && !deviceFailed) {
    std::uint32_t frames = 0;
    if (!source->NextPacketFrames(frames)) break;
    if (frames == 0) {
      std::this_thread::sleep_for(kIdleWait);
      continue;
    }
    while (frames > 0 && !stopRequested_) {
      LoopbackSource::Packet packet;
      if (!source->GetPacket(packet)) {
        // Not a device failure yet: the next size request tells. Waiting keeps this from spinning.
        std::this_thread::sleep_for(kIdleWait);
        break;
      }
      const std::uint32_t out = converter.Process(packet.silent ? nullptr : packet.data, packet.size, packet.frames,
                                                  packet.silent, NowMillis());
      if (out > 0) sink_(converter.samples().data(), out);
      source->ReleasePacket(packet.frames);
      if (!source->NextPacketFrames(frames)) {
        deviceFailed = true;
        break;
      }
    }
  }
  source->Close();
  source.reset();
  running_ = false;
  Log(kLogInfo, L"Audio: capture stopped");
}

}  // namespace tvx
