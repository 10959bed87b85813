// The pointer-channel reader and the small messages both senders carry: heartbeats, clipboard,
// control requests, permissions and sound.
#include <chrono>
#include <thread>

#include "foundation/clock.h"
#include "media/loopback_source.h"
#include "net/pointer_messages.h"
#include "server_fixture.h"

namespace tvx::testing {
namespace {

using namespace std::chrono_literals;

// Sound in big packets, one every 10 ms (about 9 MB a second on the wire): a viewer that stops
// reading has its socket buffers full within a moment.
class FloodSource final : public LoopbackSource {
 public:
  static constexpr std::uint32_t kFrames = 24000;
  bool Open(SoundSourceFormat& format) override {
    format.sampleRate = 48000;
    format.channels = 2;
    format.kind = SampleKindFor(3, false, 32);  // float
    format.bytesPerFrame = 8;
    buffer_.assign(std::size_t{kFrames} * 2, 0.1f);
    return true;
  }
  bool NextPacketFrames(std::uint32_t& frames) override {
    frames = NowMicros() >= next_ ? kFrames : 0;
    return true;
  }
  bool GetPacket(Packet& packet) override {
    packet.data = reinterpret_cast<const std::uint8_t*>(buffer_.data());
    packet.size = buffer_.size() * sizeof(float);
    packet.frames = kFrames;
    packet.silent = false;
    next_ = NowMicros() + 10'000;
    return true;
  }
  void ReleasePacket(std::uint32_t) override {}
  void Close() override {}

 private:
  std::vector<float> buffer_;
  std::int64_t next_ = 0;
};

template <class Call>
std::chrono::steady_clock::duration Timed(Call call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::steady_clock::now() - start;
}

class ServerChannels : public ServerTest {
 protected:
  void JoinViewer(const ShareOptions& options, const std::string& name = "v") {
    StartEngine(options);
    ASSERT_TRUE(viewer_.Join(port_, 0xABCDEF, name));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, std::wstring(name.begin(), name.end())));
  }
  TestViewer viewer_;
};

TEST_F(ServerChannels, HeartbeatsAreEchoedAndTheirLatencyKept) {
  JoinViewer(Options());
  struct Case {
    Bytes payload;
    std::uint64_t tick;
    std::uint32_t latency;
  };
  Bytes eightBytes = Encode(Heartbeat{0x1122334455667788ull, 0});
  eightBytes.resize(8);
  const Case cases[] = {
      {Encode(Heartbeat{123456789, 42}), 123456789, 42},
      {eightBytes, 0x1122334455667788ull, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, c.payload));
    Bytes payload;
    HeartbeatEcho echo;
    ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kHeartbeatEcho, payload));
    ASSERT_TRUE(Decode(payload, echo));
    EXPECT_EQ(echo.tick, c.tick);
    EXPECT_TRUE(Eventually([&] { return server_->Statistics().largestLatencyMs == c.latency; }));
  }
  // A heartbeat too short and a type the reader does not handle change nothing.
  ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, Bytes(7, 1)));
  ASSERT_TRUE(viewer_.pointer.Send(0x99, Bytes(3, 0)));
  ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, Encode(Heartbeat{5, 1})));
  Bytes payload;
  HeartbeatEcho echo;
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kHeartbeatEcho, payload));
  ASSERT_TRUE(Decode(payload, echo));
  EXPECT_EQ(echo.tick, 5u);
  EXPECT_EQ(server_->Statistics().viewers, 1u);
}

TEST_F(ServerChannels, ClipboardTravelsOnlyWhileShared) {
  ShareOptions options = Options();
  options.shareClipboard = true;
  JoinViewer(options);
  ASSERT_TRUE(viewer_.pointer.Send(msg::kClipboardText, Encode(ClipboardText{"hello \xE2\x82\xAC"})));
  EXPECT_TRUE(events_.WaitFor(ServerEvent::ClipboardReceived, L"hello \u20AC"));

  server_->SendClipboard("from host");
  Bytes payload;
  ASSERT_TRUE(viewer_.picture.WaitFor(msg::kClipboardText, payload));
  ClipboardText text;
  ASSERT_TRUE(Decode(payload, text));
  EXPECT_EQ(text.utf8, "from host");

  server_->SetPermissions(false, false, false);
  ASSERT_TRUE(viewer_.picture.WaitFor(msg::kPermissions, payload));
  Permissions permissions;
  ASSERT_TRUE(Decode(payload, permissions));
  EXPECT_EQ(permissions.bits, 0);
  ASSERT_TRUE(viewer_.pointer.Send(msg::kClipboardText, Encode(ClipboardText{"secret"})));
  // A heartbeat sent after it proves the reader got past the clipboard message.
  ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, Encode(Heartbeat{9, 0})));
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kHeartbeatEcho, payload));
  EXPECT_EQ(events_.Count(ServerEvent::ClipboardReceived, L"secret"), 0u);
}

TEST_F(ServerChannels, PermissionsReachTheViewerWhenTheyChange) {
  JoinViewer(Options());
  Bytes payload;
  ASSERT_TRUE(viewer_.picture.WaitFor(msg::kPermissions, payload));
  Permissions permissions;
  ASSERT_TRUE(Decode(payload, permissions));
  EXPECT_EQ(permissions.bits, 0);
  server_->SetPermissions(true, true, false);
  ASSERT_TRUE(viewer_.picture.WaitFor(msg::kPermissions, payload));
  ASSERT_TRUE(Decode(payload, permissions));
  EXPECT_EQ(permissions.bits, kPermitControl | kPermitClipboard);
}

TEST_F(ServerChannels, AControlRequestIsPassedOnOnlyWhileControlIsOff) {
  JoinViewer(Options(), "asker");
  ASSERT_TRUE(viewer_.pointer.Send(msg::kControlRequest, {}));
  EXPECT_TRUE(events_.WaitFor(ServerEvent::ControlRequested, L"asker"));
  server_->SetPermissions(true, false, false);
  ASSERT_TRUE(viewer_.pointer.Send(msg::kControlRequest, {}));
  Bytes payload;
  ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, Encode(Heartbeat{1, 0})));
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kHeartbeatEcho, payload));
  EXPECT_EQ(events_.Count(ServerEvent::ControlRequested), 1u);
}

TEST_F(ServerChannels, SoundFlowsWhileSharedAndAskedFor) {
  ShareOptions options = Options();
  options.shareAudio = true;
  JoinViewer(options);
  ASSERT_TRUE(viewer_.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  Bytes payload;
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kSoundFormat, payload));
  SoundFormat format;
  ASSERT_TRUE(Decode(payload, format));
  EXPECT_EQ(format.sampleRate, ToneSource::kSampleRate);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.bitsPerSample, 16);

  std::uint32_t lastSequence = 0;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kSoundData, payload));
    SoundData data;
    ASSERT_TRUE(Decode(payload, format.channels, data));
    EXPECT_EQ(data.samples.size(), std::size_t{data.frames} * format.channels * 2);
    EXPECT_GT(data.sequence, lastSequence);
    lastSequence = data.sequence;
  }

  // Asking again while it runs repeats the format at once.
  ASSERT_TRUE(viewer_.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kSoundFormat, payload));

  ASSERT_TRUE(viewer_.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{false})));
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Audio: capture stopped"); }));
}

TEST_F(ServerChannels, NoSoundUnlessTheHostSharesIt) {
  JoinViewer(Options());
  ASSERT_TRUE(viewer_.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  Bytes payload;
  ASSERT_TRUE(viewer_.pointer.Send(msg::kHeartbeat, Encode(Heartbeat{3, 0})));
  FrameHeader header;
  ASSERT_TRUE(viewer_.pointer.Receive(header, payload));
  EXPECT_NE(header.type, msg::kSoundFormat);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(log_.Contains(L"Audio: capturing"));

  // Sharing it later starts the capture for the viewer that asked.
  server_->SetPermissions(false, false, true);
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kSoundFormat, payload));
  ASSERT_TRUE(viewer_.pointer.WaitFor(msg::kSoundData, payload));
}

TEST_F(ServerChannels, AViewerThatStopsReadingHoldsUpNeitherTheOthersSoundNorTheWindow) {
  EngineSetup setup;
  setup.soundSource = [] { return std::make_unique<FloodSource>(); };
  ShareOptions options = Options();
  options.shareAudio = true;
  StartEngine(options, setup);
  TestViewer stuck;
  TestViewer listener;
  ASSERT_TRUE(stuck.Join(port_, 11, "stuck"));
  ASSERT_TRUE(listener.Join(port_, 12, "listener"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"stuck"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"listener"));
  // The stuck viewer asks for sound and never reads again.
  ASSERT_TRUE(stuck.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  ASSERT_TRUE(listener.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  Bytes payload;
  ASSERT_TRUE(listener.pointer.WaitFor(msg::kSoundFormat, payload));
  // Some megabytes: many times what the stuck viewer's socket buffers hold.
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(listener.pointer.WaitFor(msg::kSoundData, payload)) << i;

  // The listener goes on hearing sound; a capture thread waiting on the stuck viewer would stall
  // it for the whole send time-out (15 s).
  const auto listening = Timed([&] {
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(listener.pointer.WaitFor(msg::kSoundData, payload, 3000)) << i;
  });
  EXPECT_LT(listening, 5s);

  // Nor does the window wait: stopping the sound capture, the lists, the statistics, the stop.
  EXPECT_LT(Timed([&] { server_->SetPermissions(false, false, false); }), 1s);
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Audio: capture stopped"); }));
  EXPECT_LT(Timed([&] { EXPECT_EQ(server_->Viewers().size(), 2u); }), 1s);
  EXPECT_LT(Timed([&] { EXPECT_EQ(server_->Statistics().viewers, 2u); }), 1s);
  EXPECT_LT(Timed([&] { server_->Stop(); }), 1s);
  EXPECT_FALSE(server_->running());
}

TEST_F(ServerChannels, StopIsQuickAgainstASilentPeerAndAViewerWhoseBuffersAreFull) {
  EngineSetup setup;
  setup.workload = SyntheticWorkload::Video;
  setup.tileBytes = 32 * 1024;  // each turn is a quarter megabyte of tiles
  setup.timings.admissionTimeoutMs = 10000;  // the silent peers are still being greeted at the stop
  setup.soundSource = [] { return std::make_unique<FloodSource>(); };
  ShareOptions options = Options();
  options.shareAudio = true;
  StartEngine(options, setup);
  TestViewer full;
  ASSERT_TRUE(full.Join(port_, 21, "full"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"full"));
  ASSERT_TRUE(full.pointer.Send(msg::kSoundRequest, Encode(SoundRequest{true})));
  TestChannel silent;  // connected, never greets
  ASSERT_TRUE(silent.Dial(port_));
  TestChannel halfway;  // greets with the first bytes of a frame and no more
  ASSERT_TRUE(halfway.Dial(port_));
  const std::uint8_t partial[6] = {'T', 'V', 'R', 'X', 1, 0};
  {
    const auto use = halfway.connection().Use();
    ASSERT_TRUE(use);
    ASSERT_EQ(sock::SendSome(use.handle(), partial, sizeof partial), 6);
  }
  // Neither of the viewer's channels is read: at 30 turns a second both fill up within this time.
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(server_->admissionsInProgress(), 2u);

  EXPECT_LT(Timed([&] { server_->Stop(); }), 1s);  // the send time-out is 15 s
  EXPECT_TRUE(events_.WaitFor(ServerEvent::Stopped, L""));
  EXPECT_TRUE(silent.ClosedWithoutReply(2000));
  EXPECT_TRUE(halfway.ClosedWithoutReply(2000));
}

}  // namespace
}  // namespace tvx::testing
