// tavrix-cli view HOST: a headless viewer. It prints every engine event and a statistics line once
// a second as JSON lines, and can save the picture it ended with.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "bmp_file.h"
#include "cli_text.h"
#include "commands.h"
#include "foundation/text.h"
#include "net/message_types.h"
#include "net/socket_api.h"
#include "viewer/picture_preset.h"
#include "viewer/viewer_client.h"

namespace tvx::cli {
namespace {

constexpr const char* kUsage =
    "usage: tavrix-cli view HOST [--port N] [--code CODE] [--name NAME] [--relay-id ID]\n"
    "                           [--picture Auto|Light|Balanced|Sharp|Best] [--sound]\n"
    "                           [--duration SECONDS] [--frames N] [--save FILE.bmp]\n"
    "Connects to a sharing host and prints one JSON line per event and a stats line each second.\n"
    "Exits 0 when the session ran, 1 when connecting failed or was refused.\n";

std::wstring DefaultName() {
  for (const char* variable : {"USERNAME", "USER"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return Utf8ToWide(value);
  }
  return L"Viewer";
}

struct ViewOptions {
  std::string host;
  std::uint16_t port = 7788;
  std::string code;
  std::wstring name;
  std::string relayId;
  std::optional<PicturePreset> picture;
  bool sound = false;
  double durationSeconds = 0;  // 0: until the session ends
  unsigned long long frames = 0;
  std::string savePath;
};

// 0 on success, else the exit code for wrong usage.
int ParseArgs(const Args& args, ViewOptions& o) {
  o.name = DefaultName();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    long long n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (a == "--port") {
      if (!value(v) || !ParseNumber(v, 1, 65535, n)) return 2;
      o.port = static_cast<std::uint16_t>(n);
    } else if (a == "--code") {
      if (!value(o.code)) return 2;
    } else if (a == "--name") {
      if (!value(v)) return 2;
      o.name = Utf8ToWide(v);
    } else if (a == "--relay-id") {
      if (!value(v)) return 2;
      o.relayId = WideToUtf8(DigitsOnly(Utf8ToWide(v)));
    } else if (a == "--picture") {
      if (!value(v) || !(o.picture = PicturePresetFromName(v))) return 2;
    } else if (a == "--sound") {
      o.sound = true;
    } else if (a == "--duration") {
      if (!value(v)) return 2;
      char* end = nullptr;
      o.durationSeconds = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(o.durationSeconds > 0)) return 2;
    } else if (a == "--frames") {
      if (!value(v) || !ParseNumber(v, 1, 1'000'000'000, n)) return 2;
      o.frames = static_cast<unsigned long long>(n);
    } else if (a == "--save") {
      if (!value(o.savePath)) return 2;
    } else if (!a.empty() && a[0] != '-' && o.host.empty()) {
      o.host = a;
    } else {
      return 2;
    }
  }
  return o.host.empty() ? 2 : 0;
}

}  // namespace

int RunView(const Args& args) {
  ViewOptions o;
  const int parsed = ParseArgs(args, o);
  if (parsed == -1) return 0;
  if (parsed != 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  sock::NetworkInit network;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::pair<ClientEvent, std::wstring>> pending;

  ViewerClient client;
  // The handler runs on engine threads under the engine's event lock: it only hands the event over.
  client.SetEventHandler([&](ClientEvent event, const std::wstring& text) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      pending.emplace_back(event, text);
    }
    changed.notify_all();
  });
  client.Connect(Utf8ToWide(o.host), o.port, o.code, o.name, o.relayId);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto nextStats = start + std::chrono::seconds(1);
  bool ran = false;
  bool over = false;
  bool stopRequested = false;
  unsigned long long frames = 0;
  while (!over) {
    std::deque<std::pair<ClientEvent, std::wstring>> events;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_until(lock, std::min(nextStats, Clock::now() + std::chrono::milliseconds(100)),
                         [&] { return !pending.empty(); });
      events.swap(pending);
    }
    for (const auto& [event, text] : events) {
      std::printf("{\"event\":\"%s\",\"text\":%s}\n", ClientEventName(event), JsonString(WideToUtf8(text)).c_str());
      switch (event) {
        case ClientEvent::Connected:
          ran = true;
          if (o.picture) {
            // Without a window there is no picture area to fit: Auto asks for the Sharp level.
            const PicturePreset level = *o.picture == PicturePreset::Auto ? PicturePreset::Sharp : *o.picture;
            client.Send(msg::kPictureRequest, Encode(PictureRequestFor(level)));
          }
          if (o.sound) client.SetSound(true);
          break;
        case ClientEvent::Frame:
          ++frames;
          break;
        case ClientEvent::Ended:
        case ClientEvent::EndedByHost:
        case ClientEvent::Refused:
        case ClientEvent::Failed:
          over = true;
          break;
        default:
          break;
      }
    }
    const auto now = Clock::now();
    if (now >= nextStats) {
      nextStats += std::chrono::seconds(1);
      if (client.IsConnected()) {
        const ViewerStats s = client.Stats();
        const ScreenDescription d = client.ScreenInfo();
        std::printf("{\"stats\":{\"latency_ms\":%u,\"kbit_s\":%u,\"fps\":%u,\"width\":%u,\"height\":%u,\"frames\":%llu}}\n",
                    s.latencyMs, s.kbitPerSecond, s.framesPerSecond, d.width, d.height, frames);
      }
    }
    const bool timeUp = o.durationSeconds > 0 &&
                        now - start >= std::chrono::duration<double>(o.durationSeconds);
    if (!over && !stopRequested && ((o.frames != 0 && frames >= o.frames) || timeUp)) {
      // Ending the session reports Ended ("Disconnected.") or a cancelled connect, which ends
      // this loop once printed; with nothing running there is nothing to wait for.
      stopRequested = true;
      client.Stop();
      std::lock_guard<std::mutex> lock(mutex);
      if (pending.empty()) over = true;
    }
    std::fflush(stdout);
  }
  client.Stop();
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& [event, text] : pending) {
      std::printf("{\"event\":\"%s\",\"text\":%s}\n", ClientEventName(event), JsonString(WideToUtf8(text)).c_str());
    }
    pending.clear();
  }
  std::fflush(stdout);

  if (!o.savePath.empty()) {
    Framebuffer& fb = client.framebuffer();
    auto lock = fb.Lock();
    if (!fb.HasPicture() || !SaveBmp24(o.savePath, fb.pixels().data(), fb.width(), fb.height(), fb.stride())) {
      std::fprintf(stderr, "tavrix-cli view: could not save %s\n", o.savePath.c_str());
      return 1;
    }
  }
  return ran ? 0 : 1;
}

}  // namespace tvx::cli
