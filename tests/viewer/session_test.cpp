// The viewer engine against the real host engine over loopback, both in this process, with the
// platform's JPEG codec on a synthetic screen.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/text.h"
#include "host/server.h"
#include "media/synthetic_source.h"
#include "media/tone_source.h"
#include "net/dial.h"
#include "net/pointer_messages.h"
#include "scripted_host.h"
#include "foundation/com_apartment.h"
#include "viewer/viewer_client.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;
using testing::EventLog;

template <class Predicate>
bool Eventually(Predicate done, std::chrono::milliseconds timeout = 15s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

SyntheticOptions Screen(std::uint32_t width, std::uint32_t height, SyntheticWorkload workload) {
  SyntheticOptions o;
  o.width = width;
  o.height = height;
  o.workload = workload;
  o.waitWhenIdle = true;
  return o;
}

// The picture a synthetic screen starts with (B, G, R, A rows).
std::vector<std::uint8_t> FirstPicture(const SyntheticOptions& options) {
  SyntheticSource source(options);
  std::wstring error;
  source.OpenDevice(source.Monitors().front(), error);
  CaptureMode mode;
  source.Duplicate(mode);
  return source.image();
}

double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(a[i + c]) - b[i + c];
      sum += d * d;
      ++n;
    }
  }
  if (n == 0) return 0;
  const double mse = sum / static_cast<double>(n);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class SessionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& w : watchers_) w->client->Stop();
    if (server_) server_->Stop();
  }

  void StartHost(const ShareOptions& base, const SyntheticOptions& screen) {
    ServerDependencies deps;
    deps.makeCapture = [screen] {
      return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(screen));
    };
    deps.monitors = [] { return std::vector<MonitorInfo>{}; };
    deps.soundSource = [] { return std::make_unique<ToneSource>(); };
    deps.processorCount = 2;
    server_ = std::make_unique<Server>(std::move(deps));
    server_->SetEventHandler([this](ServerEvent e, const std::wstring& text) {
      std::lock_guard<std::mutex> lock(hostMutex_);
      hostEvents_.emplace_back(e, text);
    });
    ShareOptions options = base;
    options.port = 0;
    options.listenOn = ListenScope::kLoopback;
    std::wstring error;
    ASSERT_TRUE(server_->Start(options, error)) << WideToUtf8(error);
  }

  bool HostSaw(ServerEvent event, const std::wstring& text) {
    return Eventually([&] {
      std::lock_guard<std::mutex> lock(hostMutex_);
      for (const auto& [e, t] : hostEvents_) {
        if (e == event && t == text) return true;
      }
      return false;
    });
  }

  // A viewer engine with the platform decoder and the events it reported; the client is declared
  // after its log so it stops before the log goes.
  struct Watcher {
    EventLog log;
    std::unique_ptr<ViewerClient> client;
  };
  Watcher& AddViewer(const std::string& code = "") {
    ViewerClient::Options options;
    options.soundOutputs = CreateNullSoundOutput;
    watchers_.push_back(std::make_unique<Watcher>());
    Watcher& w = *watchers_.back();
    w.client = std::make_unique<ViewerClient>(options);
    w.client->SetEventHandler([&w](ClientEvent e, const std::wstring& t) { w.log.Add(e, t); });
    w.client->Connect(L"127.0.0.1", server_->port(), code, L"Tester", "");
    return w;
  }

  std::vector<std::uint8_t> Snapshot(ViewerClient& v) {
    auto lock = v.framebuffer().Lock();
    return v.framebuffer().pixels();
  }

  // The host engine makes its encoders on the thread that starts it, as the window thread does.
  ComApartment com_;
  std::unique_ptr<Server> server_;
  std::vector<std::unique_ptr<Watcher>> watchers_;
  std::mutex hostMutex_;
  std::vector<std::pair<ServerEvent, std::wstring>> hostEvents_;
};

TEST_F(SessionTest, TheViewerHoldsTheHostsPictureAndLaterChanges) {
  const SyntheticOptions still = Screen(320, 200, SyntheticWorkload::Static);
  StartHost(ShareOptions{}, still);
  Watcher& w = AddViewer();
  EventLog& log = w.log;
  ViewerClient& viewer = *w.client;
  ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
  const std::vector<std::uint8_t> expected = FirstPicture(still);
  double psnr = 0;
  Eventually([&] { return (psnr = Psnr(expected, Snapshot(viewer))) >= 30.0; });
  EXPECT_GE(psnr, 30.0) << "quality " << static_cast<int>(viewer.ScreenInfo().quality);
  EXPECT_EQ(viewer.ScreenInfo().quality, 62);

  // A typing screen keeps changing: later frames keep landing in the framebuffer.
  server_->Stop();
  viewer.Stop();
  log.Clear();
  StartHost(ShareOptions{}, Screen(320, 200, SyntheticWorkload::Typing));
  viewer.Connect(L"127.0.0.1", server_->port(), "", L"Tester", "");
  ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
  ASSERT_NE(log.WaitFor(ClientEvent::Frame, 3), L"<none>");
  const auto before = Snapshot(viewer);
  EXPECT_TRUE(Eventually([&] { return Snapshot(viewer) != before; }));
}

TEST_F(SessionTest, RefusalsShowTheirTexts) {
  ShareOptions options;
  options.code = "ABC123";
  options.maxViewers = 1;
  StartHost(options, Screen(128, 128, SyntheticWorkload::Static));
  EventLog& wrong = AddViewer("nope").log;
  EXPECT_EQ(wrong.WaitFor(ClientEvent::Refused), L"That code is not right.");
  EventLog& first = AddViewer("ABC123").log;
  ASSERT_EQ(first.WaitFor(ClientEvent::Connected), L"Connected.");
  EventLog& second = AddViewer("ABC123").log;
  EXPECT_EQ(second.WaitFor(ClientEvent::Refused), L"The host already has as many viewers as it allows.");
}

TEST_F(SessionTest, HostStopEndsTheSessionByHost) {
  StartHost(ShareOptions{}, Screen(128, 128, SyntheticWorkload::Static));
  Watcher& w = AddViewer();
  EventLog& log = w.log;
  ViewerClient& viewer = *w.client;
  ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
  server_->Stop();
  EXPECT_EQ(log.WaitFor(ClientEvent::EndedByHost), L"The other side ended the session.");
  EXPECT_EQ(viewer.StatusText(), L"The other side ended the session.");
  viewer.Stop();
  EXPECT_EQ(log.EndCount(), 1u);
}

TEST_F(SessionTest, AViewerThatStopsReadingDoesNotHoldUpAnother) {
  StartHost(ShareOptions{}, Screen(640, 360, SyntheticWorkload::Video));
  // A raw viewer that greets both channels and then never reads a byte.
  Connection stalledPicture;
  Connection stalledPointer;
  std::wstring error;
  ASSERT_TRUE(Dial(stalledPicture, L"127.0.0.1", server_->port(), 6000, error));
  Hello hello;
  hello.nonce = 0x1234;
  hello.name = "Stalled";
  testing::SendMessage(stalledPicture, msg::kHello, Encode(hello));
  ASSERT_TRUE(Dial(stalledPointer, L"127.0.0.1", server_->port(), 6000, error));
  hello.channel = kPointerChannel;
  testing::SendMessage(stalledPointer, msg::kHello, Encode(hello));
  ASSERT_TRUE(HostSaw(ServerEvent::ViewerJoined, L"Stalled"));

  EventLog& log = AddViewer().log;
  ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
  // Well past the point where the stalled viewer's socket buffers are full.
  EXPECT_NE(log.WaitFor(ClientEvent::Frame, 60, 30s), L"<none>");
  stalledPicture.Shutdown();
  stalledPointer.Shutdown();
}

TEST_F(SessionTest, APictureRequestChangesTheHostsSettings) {
  StartHost(ShareOptions{}, Screen(1600, 900, SyntheticWorkload::Static));
  Watcher& w = AddViewer();
  EventLog& log = w.log;
  ViewerClient& viewer = *w.client;
  ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
  EXPECT_EQ(viewer.ScreenInfo().width, 1600u);
  viewer.Send(msg::kPictureRequest, Encode(PictureRequest{45, 10, 960}));  // the Light preset
  ASSERT_TRUE(Eventually([&] {
    const ShareOptions o = server_->Options();
    return o.quality == 45 && o.frameRate == 10 && o.halfResolution;
  }));
  // Half resolution reaches the viewer as a new description.
  EXPECT_TRUE(Eventually([&] { return viewer.ScreenInfo().width == 800u; }));
  EXPECT_EQ(viewer.ScreenInfo().height, 450u);
}

TEST_F(SessionTest, ClipboardTravelsBothWaysOnlyWhenShared) {
  for (bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared" : "not shared");
    ShareOptions options;
    options.shareClipboard = shared;
    StartHost(options, Screen(128, 128, SyntheticWorkload::Static));
    Watcher& w = AddViewer();
    EventLog& log = w.log;
    ViewerClient& viewer = *w.client;
    ASSERT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
    EXPECT_EQ((viewer.Permissions() & kPermitClipboard) != 0, shared);
    server_->SendClipboard("from the host \xe2\x9c\x93");
    EXPECT_EQ(viewer.SendClipboardText(L"from the viewer"), shared);
    if (shared) {
      EXPECT_EQ(log.WaitFor(ClientEvent::Clipboard), L"from the host \u2713");
      EXPECT_TRUE(HostSaw(ServerEvent::ClipboardReceived, L"from the viewer"));
    } else {
      EXPECT_EQ(log.WaitFor(ClientEvent::Clipboard, 1, 500ms), L"<none>");
    }
    viewer.Stop();
    server_->Stop();
  }
}

}  // namespace
}  // namespace tvx
