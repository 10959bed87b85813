// The pointer-channel reader and the small messages both senders carry: heartbeats, clipboard,
// control requests, permissions and sound.
#include <thread>

#include "net/pointer_messages.h"
#include "server_fixture.h"

namespace tvx::testing {
namespace {

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

}  // namespace
}  // namespace tvx::testing
