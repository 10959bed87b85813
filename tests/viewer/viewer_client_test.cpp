#include "viewer/viewer_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "fake_tile_decoder.h"
#include "foundation/format.h"
#include "net/pointer_messages.h"
#include "scripted_host.h"
#include "support/fake_resolvers.h"
#include "support/log_capture.h"
#include "support/silent_listener.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;
using testing::Describe;
using testing::EventLog;
using testing::FakeJpeg;
using testing::ScriptedHost;
using testing::SendMessage;

// A sound output that only counts how often it was opened.
struct CountingOutput : SoundOutput {
  explicit CountingOutput(std::atomic<int>* opened) : opened_(opened) {}
  bool Open(std::uint32_t, std::uint16_t) override {
    ++*opened_;
    return true;
  }
  bool FreeFrames(std::uint32_t& frames) override {
    frames = 0;
    return true;
  }
  bool Write(std::uint32_t, const Fill&) override { return true; }
  void Close() override {}
  std::atomic<int>* opened_;
};

// Reads frames until one of `type` arrives; false when the channel ends first or after 10 s.
bool ReadUntil(Connection& c, std::uint16_t type, Bytes& payload) {
  c.SetReceiveTimeout(10000);
  FrameHeader header;
  while (c.ReceiveFrame(header, payload)) {
    if (header.type == type) return true;
  }
  return false;
}

Bytes TileFramePayload(std::initializer_list<std::tuple<std::uint16_t, std::uint16_t, Bytes>> tiles) {
  TileFrameBuilder builder(1);
  for (const auto& [column, row, jpeg] : tiles) builder.Add(column, row, jpeg);
  return builder.Take();
}

class ViewerClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.ok());
    options.decoders = [](std::wstring&) { return std::make_unique<testing::FakeTileDecoder>(); };
    options.soundOutputs = [this] { return std::make_unique<CountingOutput>(&soundOpened); };
    options.logicalProcessors = 4;
  }

  void MakeClient() {
    client = std::make_unique<ViewerClient>(options);
    client->SetEventHandler([this](ClientEvent e, const std::wstring& t) { events.Add(e, t); });
  }

  // Connects and answers with `answerType` and `answer`; returns the picture channel.
  std::unique_ptr<Connection> Answer(std::uint16_t answerType, const Bytes& answer) {
    if (!client) MakeClient();
    client->Connect(L"127.0.0.1", host.port(), "code", L"Ann", "");
    auto c = host.AcceptGreeted(pictureHello);
    if (c) SendMessage(*c, answerType, answer);
    return c;
  }

  // A whole handshake; afterwards `picture` and `pointer` are the host's ends.
  void Open(const ScreenDescription& description) {
    picture = Answer(msg::kScreenDescription, Encode(description));
    ASSERT_TRUE(picture);
    pointer = host.AcceptGreeted(pointerHello);
    ASSERT_TRUE(pointer);
    ASSERT_EQ(events.WaitFor(ClientEvent::Connected), L"Connected.");
  }

  ScriptedHost host;
  EventLog events;
  ViewerClient::Options options;
  std::atomic<int> soundOpened{0};
  std::unique_ptr<ViewerClient> client;
  std::unique_ptr<Connection> picture;
  std::unique_ptr<Connection> pointer;
  Hello pictureHello;
  Hello pointerHello;
};

TEST_F(ViewerClientTest, GreetsBothChannelsWithOneNonceAndCutsLongFields) {
  const struct {
    std::string code;
    std::wstring name;
    std::string relayId;
    std::string code16, name32, relay16;
  } cases[] = {
      {"abc", L"Ann", "", "abc", "Ann", ""},
      {"12345678901234567", std::wstring(40, L'n'), "12345678901234567", "1234567890123456", std::string(32, 'n'),
       "1234567890123456"},
      // A two-byte character cut at byte 32 stays cut.
      {"", std::wstring(31, L'a') + L"\u00e9", "123456789", "", std::string(31, 'a') + "\xc3", "123456789"},
  };
  for (const auto& c : cases) {
    ScriptedHost h;
    EventLog log;
    ViewerClient viewer(options);
    viewer.SetEventHandler([&](ClientEvent e, const std::wstring& t) { log.Add(e, t); });
    viewer.Connect(L"127.0.0.1", h.port(), c.code, c.name, c.relayId);
    Hello first, second;
    auto pic = h.AcceptGreeted(first);
    ASSERT_TRUE(pic);
    EXPECT_EQ(log.WaitFor(ClientEvent::Connecting),
              FormatText(L"Connecting to %s : %u ...", L"127.0.0.1", h.port()));
    SendMessage(*pic, msg::kScreenDescription, Encode(Describe(200, 100, 64, kPermitControl)));
    auto ptr = h.AcceptGreeted(second);
    ASSERT_TRUE(ptr);
    EXPECT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
    EXPECT_EQ(first.version, 7u);
    EXPECT_EQ(first.channel, 0);
    EXPECT_EQ(second.channel, 1);
    EXPECT_NE(first.nonce, 0u);
    EXPECT_EQ(first.nonce, second.nonce);
    EXPECT_EQ(viewer.Nonce(), first.nonce);
    for (const Hello* hello : {&first, &second}) {
      EXPECT_EQ(hello->code, c.code16);
      EXPECT_EQ(hello->name, c.name32);
      EXPECT_EQ(hello->relayId, c.relay16);
    }
    EXPECT_EQ(log.WaitFor(ClientEvent::ScreenChanged), L"");
    EXPECT_EQ(viewer.StatusText(), L"Connected.");
    EXPECT_EQ(viewer.ScreenInfo().width, 200u);
    EXPECT_EQ(viewer.Permissions(), kPermitControl);
    {
      auto lock = viewer.framebuffer().Lock();
      EXPECT_EQ(viewer.framebuffer().width(), 200u);
      EXPECT_EQ(viewer.framebuffer().height(), 100u);
    }
    viewer.Stop();
    EXPECT_EQ(log.WaitFor(ClientEvent::Ended), L"Disconnected.");
    EXPECT_EQ(log.EndCount(), 1u);
  }
}

TEST_F(ViewerClientTest, JudgesTheAnswerAndShowsEveryRefusalAndFailureText) {
  auto description = [](auto change) {
    ScreenDescription d = Describe(1920, 1080, 64);
    change(d);
    return Encode(d);
  };
  Bytes short47 = Encode(Describe(100, 100));
  short47.pop_back();
  const struct {
    std::uint16_t type;
    Bytes payload;
    ClientEvent event;
    std::wstring text;
  } cases[] = {
      {msg::kRefusal, {}, ClientEvent::Refused, L"The host refused the connection."},
      {msg::kRefusal, Encode(Refusal{1}), ClientEvent::Refused, L"That code is not right."},
      {msg::kRefusal, Encode(Refusal{2}), ClientEvent::Refused, L"The two Tavrix versions do not match."},
      {msg::kRefusal, Encode(Refusal{3}), ClientEvent::Refused, L"The host already has as many viewers as it allows."},
      {msg::kRefusal, Encode(Refusal{4}), ClientEvent::Refused, L"The host is not sharing right now."},
      {msg::kRefusal, Encode(Refusal{77}), ClientEvent::Refused, L"The host refused the connection."},
      {msg::kScreenDescription, short47, ClientEvent::Failed, L"The host sent something Tavrix did not understand."},
      {msg::kTileFrame, Encode(Describe(100, 100)), ClientEvent::Failed,
       L"The host sent something Tavrix did not understand."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.width = 16385; d.columns = 257; }),
       ClientEvent::Failed, L"The host described a screen size Tavrix will not accept."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.height = 0; d.rows = 0; }),
       ClientEvent::Failed, L"The host described a screen size Tavrix will not accept."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.tileWidth = d.tileHeight = 1025; d.columns = 2; d.rows = 2; }),
       ClientEvent::Failed, L"The host described a screen size Tavrix will not accept."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.rotation = 4; }), ClientEvent::Failed,
       L"The host described a screen size Tavrix will not accept."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.columns = 29; }), ClientEvent::Failed,
       L"The host described a screen size Tavrix will not accept."},
      {msg::kScreenDescription, description([](ScreenDescription& d) { d.rows = 18; }), ClientEvent::Failed,
       L"The host described a screen size Tavrix will not accept."},
  };
  for (const auto& c : cases) {
    ScriptedHost h;
    EventLog log;
    ViewerClient viewer(options);
    viewer.SetEventHandler([&](ClientEvent e, const std::wstring& t) { log.Add(e, t); });
    viewer.Connect(L"127.0.0.1", h.port(), "", L"V", "");
    Hello hello;
    auto pic = h.AcceptGreeted(hello);
    ASSERT_TRUE(pic);
    SendMessage(*pic, c.type, c.payload);
    EXPECT_EQ(log.WaitFor(c.event), c.text);
    EXPECT_EQ(viewer.StatusText(), c.text);
    EXPECT_FALSE(viewer.IsConnected());
    viewer.Stop();
    EXPECT_EQ(log.Count(ClientEvent::Connected), 0u);
    EXPECT_EQ(log.EndCount(), 0u);
  }
  // The largest sizes are accepted (kept thin so the framebuffer stays small).
  const struct {
    std::uint32_t width, height;
    std::uint16_t tile;
  } largest[] = {{16384, 8, 1024}, {8, 16384, 1024}, {16384, 1, 64}};
  for (const auto& c : largest) {
    ScreenDescription d = Describe(c.width, c.height, c.tile);
    d.rotation = 3;
    ScriptedHost h;
    EventLog log;
    ViewerClient viewer(options);
    viewer.SetEventHandler([&](ClientEvent e, const std::wstring& t) { log.Add(e, t); });
    viewer.Connect(L"127.0.0.1", h.port(), "", L"V", "");
    Hello hello;
    auto pic = h.AcceptGreeted(hello);
    ASSERT_TRUE(pic);
    SendMessage(*pic, msg::kScreenDescription, Encode(d));
    auto ptr = h.AcceptGreeted(hello);
    EXPECT_EQ(log.WaitFor(ClientEvent::Connected), L"Connected.");
    EXPECT_EQ(viewer.ScreenInfo().width, c.width);
  }
}

TEST_F(ViewerClientTest, ConnectFailuresBeforeAndAfterTheAnswer) {
  // Nothing listening.
  std::uint16_t deadPort = 0;
  {
    ScriptedHost gone;
    deadPort = gone.port();
  }
  MakeClient();
  client->Connect(L"127.0.0.1", deadPort, "", L"V", "");
  std::wstring text = events.WaitFor(ClientEvent::Failed);
  EXPECT_EQ(text.rfind(L"Could not reach the host. Refused: ", 0), 0u) << text;

  // A host that accepts and never answers, and one that closes at once.
  options.answerTimeoutMs = 300;
  for (bool closeAtOnce : {false, true}) {
    EventLog log;
    ViewerClient viewer(options);
    viewer.SetEventHandler([&](ClientEvent e, const std::wstring& t) { log.Add(e, t); });
    viewer.Connect(L"127.0.0.1", host.port(), "", L"V", "");
    Hello hello;
    auto pic = host.AcceptGreeted(hello);
    ASSERT_TRUE(pic);
    if (closeAtOnce) pic->Close();
    EXPECT_EQ(log.WaitFor(ClientEvent::Failed), L"The host did not answer. Is it sharing yet?");
  }

  // The picture channel is welcomed but the pointer channel cannot be dialed.
  EventLog log;
  ViewerClient viewer(options);
  viewer.SetEventHandler([&](ClientEvent e, const std::wstring& t) { log.Add(e, t); });
  viewer.Connect(L"127.0.0.1", host.port(), "", L"V", "");
  Hello hello;
  auto pic = host.AcceptGreeted(hello);
  ASSERT_TRUE(pic);
  host.CloseListener();
  SendMessage(*pic, msg::kScreenDescription, Encode(Describe(64, 64)));
  text = log.WaitFor(ClientEvent::Failed);
  EXPECT_EQ(text.rfind(L"The pointer channel could not be opened. Refused: ", 0), 0u) << text;
  EXPECT_EQ(log.Count(ClientEvent::Connected), 0u);
}

TEST_F(ViewerClientTest, ASecondConnectWhileConnectingIsIgnored) {
  MakeClient();
  client->Connect(L"127.0.0.1", host.port(), "", L"V", "");
  client->Connect(L"127.0.0.1", host.port(), "", L"V", "");
  Hello hello;
  auto pic = host.AcceptGreeted(hello);
  ASSERT_TRUE(pic);
  EXPECT_FALSE(host.Accept(300ms));
  EXPECT_EQ(events.Count(ClientEvent::Connecting), 1u);
}

// The window calls Stop on its one thread, so it must return at once whatever the other side does.
// Generous bound: the waits inside are sliced at about 100 ms; before, these took 1 s (a goodbye to
// a host that stopped reading), 6 s or for ever (a name server that never answers).
TEST_F(ViewerClientTest, StopReturnsAtOnceWhateverThePeersDo) {
  constexpr auto kQuickStop = 900ms;
  enum class State { kResolving, kDialing, kGreeting, kHostStoppedReading };
  const std::pair<State, const char*> states[] = {{State::kResolving, "resolving a name that never answers"},
                                                  {State::kDialing, "dialing a host that drops packets"},
                                                  {State::kGreeting, "greeted a host that stays silent"},
                                                  {State::kHostStoppedReading, "streaming to a host that stopped reading"}};
  for (const auto& [state, what] : states) {
    SCOPED_TRACE(what);
    client.reset();
    events.Clear();
    auto resolver = std::make_shared<testing::SilentResolver>();
    testing::SilentListener silent;
    // Only the name lookup goes to the resolver that never answers; addresses resolve as usual.
    options.resolver = state == State::kResolving ? resolver : nullptr;
    std::unique_ptr<Connection> silentPicture;
    if (state == State::kResolving) {
      MakeClient();
      client->Connect(L"host.example", 7788, "", L"V", "");
      events.WaitFor(ClientEvent::Connecting);
      // Until the engine is really waiting for the lookup.
      for (int i = 0; i < 100 && resolver->Started() == 0; ++i) std::this_thread::sleep_for(10ms);
      ASSERT_EQ(resolver->Started(), 1u);
    } else if (state == State::kDialing) {
      if (!silent.full()) {
        std::printf("skipped: this system answers connects beyond a full backlog\n");
        continue;
      }
      MakeClient();
      client->Connect(L"127.0.0.1", silent.port(), "", L"V", "");
      events.WaitFor(ClientEvent::Connecting);
      std::this_thread::sleep_for(300ms);
    } else if (state == State::kGreeting) {
      MakeClient();
      client->Connect(L"127.0.0.1", host.port(), "", L"V", "");
      Hello hello;
      silentPicture = host.AcceptGreeted(hello);
      ASSERT_TRUE(silentPicture);
    } else {
      Open(Describe(64, 64));
      // The host reads nothing more from the pointer channel: far more than every buffer on the
      // way holds, so the sender thread ends up blocked with the channel full.
      for (int i = 0; i < 48; ++i) client->Send(msg::kClipboardText, Bytes(1 << 20, 0x41));
      std::this_thread::sleep_for(1s);
    }
    EXPECT_EQ(client->IsConnected(), state == State::kHostStoppedReading);
    const auto start = std::chrono::steady_clock::now();
    client->Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, kQuickStop) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_FALSE(client->IsConnected());
    EXPECT_FALSE(client->IsConnecting());
    if (state == State::kResolving) {
      EXPECT_EQ(resolver->Abandoned(), 1u);
    }
    picture.reset();
    pointer.reset();
  }
  options.resolver = nullptr;
}

// A stop that comes right after Connect, before the connect thread has begun to dial, is not lost.
TEST_F(ViewerClientTest, AStopRightAfterConnectIsNeverLost) {
  testing::SilentListener silent;
  if (!silent.full()) GTEST_SKIP() << "this system answers connects beyond a full backlog";
  options.dialTimeoutMs = 60000;
  MakeClient();
  for (int i = 0; i < 20; ++i) {
    client->Connect(L"127.0.0.1", silent.port(), "", L"V", "");
    const auto start = std::chrono::steady_clock::now();
    client->Stop();
    ASSERT_LT(std::chrono::steady_clock::now() - start, 2s) << "attempt " << i;
  }
}

TEST_F(ViewerClientTest, AppliesTileFramesAndCountsEvenEmptyOnes) {
  testing::LogCapture capture;
  Open(Describe(100, 70, 64));
  auto lock0 = std::make_unique<std::unique_lock<std::mutex>>(client->framebuffer().Lock());
  client->framebuffer().TakeDirty();
  lock0.reset();

  // Three complete tiles, one outside the grid; the count says five but only four are present.
  Bytes payload = TileFramePayload({{0, 0, FakeJpeg(64, 64, 10, 0, 0)},
                                    {1, 1, FakeJpeg(64, 64, 20, 0, 0)},
                                    {5, 0, FakeJpeg(64, 64, 30, 0, 0)},
                                    {0, 1, FakeJpeg(65, 64, 40, 0, 0)}});
  payload[4] = 5;
  SendMessage(*picture, msg::kTileFrame, payload);
  SendMessage(*picture, msg::kTileFrame, TileFramePayload({}));
  ASSERT_NE(events.WaitFor(ClientEvent::Frame, 2), L"<none>");
  EXPECT_TRUE(capture.Contains(L"Dropping a tile claiming 65x64 (grid allows 64x64)"));
  auto lock = client->framebuffer().Lock();
  const Framebuffer& fb = client->framebuffer();
  EXPECT_EQ(fb.pixels()[0], 10);
  EXPECT_EQ(fb.pixels()[(69 * 100 + 99) * 4], 20);  // the edge tile, clipped
  EXPECT_EQ(fb.pixels()[(69 * 100 + 0) * 4], Framebuffer::kClearByte);
  EXPECT_EQ(fb.dirty(), (DirtyRect{0, 0, 100, 70}));
}

TEST_F(ViewerClientTest, KeepsScreenMonitorsCursorPermissionsAndClipboard) {
  testing::LogCapture capture;
  Open(Describe(128, 64, 64));
  // Equal size: cleared again but not logged; another size is logged.
  {
    auto lock = client->framebuffer().Lock();
    client->framebuffer().TakeDirty();
  }
  SendMessage(*picture, msg::kScreenDescription, Encode(Describe(128, 64, 64, kPermitClipboard)));
  ASSERT_NE(events.WaitFor(ClientEvent::ScreenChanged, 2), L"<none>");
  EXPECT_EQ(client->Permissions(), kPermitClipboard);
  {
    auto lock = client->framebuffer().Lock();
    EXPECT_EQ(client->framebuffer().dirty(), (DirtyRect{0, 0, 128, 64}));
  }
  EXPECT_FALSE(capture.Contains(L"Shared screen is now"));
  SendMessage(*picture, msg::kScreenDescriptionAlternate, Encode(Describe(300, 200, 64)));
  ASSERT_NE(events.WaitFor(ClientEvent::ScreenChanged, 3), L"<none>");
  EXPECT_TRUE(capture.Contains(L"Shared screen is now 300x200"));

  MonitorList list;
  list.monitors.push_back(MonitorEntry{0, 0, 0, 1920, 1080, true, "\\\\.\\DISPLAY1"});
  list.monitors.push_back(MonitorEntry{3, 1920, 0, 1280, 1024, false, "Zwei \xc3\xa9"});
  SendMessage(*picture, msg::kMonitorList, Encode(list));
  ASSERT_NE(events.WaitFor(ClientEvent::ScreenChanged, 4), L"<none>");
  const auto monitors = client->Monitors();
  ASSERT_EQ(monitors.size(), 2u);
  EXPECT_EQ(monitors[1].index, 3u);
  EXPECT_EQ(monitors[1].width, 1280u);
  EXPECT_FALSE(monitors[1].primary);
  EXPECT_EQ(monitors[1].name, L"Zwei \u00e9");

  // Clipboard: bad kind, zero length and oversized length are ignored; a good one arrives.
  Bytes wrongKind = Encode(ClipboardText{"x"});
  wrongKind[0] = 2;
  Bytes zero = {1, 0, 0, 0, 0, 0, 0, 0};
  Bytes tooLong = {1, 0, 0, 0, 0x01, 0x00, 0x40, 0x00, 'a'};
  for (const Bytes& bad : {wrongKind, zero, tooLong}) SendMessage(*picture, msg::kClipboardText, bad);
  SendMessage(*picture, msg::kClipboardText, Encode(ClipboardText{"h\xc3\xa9llo"}));
  EXPECT_EQ(events.WaitFor(ClientEvent::Clipboard), L"h\u00e9llo");
  EXPECT_EQ(events.Count(ClientEvent::Clipboard), 1u);

  SendMessage(*picture, msg::kHostCursor, Encode(HostCursor{0.25f, 0.75f, true}));
  SendMessage(*picture, msg::kPermissions, Encode(tvx::Permissions{kPermitControl | kPermitSound}));
  ASSERT_NE(events.WaitFor(ClientEvent::PermissionsChanged), L"<none>");
  EXPECT_EQ(client->Permissions(), kPermitControl | kPermitSound);
  const RemoteCursor cursor = client->Cursor();
  EXPECT_EQ(cursor.x, 0.25f);
  EXPECT_EQ(cursor.y, 0.75f);
  EXPECT_EQ(cursor.onMonitor, 1u);
}

TEST_F(ViewerClientTest, MeasuresLatencyFromEchoesAndReadsBusyNotices) {
  Open(Describe(64, 64));
  Bytes beat;
  ASSERT_TRUE(ReadUntil(*pointer, msg::kHeartbeat, beat));
  Heartbeat heartbeat;
  ASSERT_TRUE(Decode(beat, heartbeat));
  EXPECT_EQ(heartbeat.latency, 0u);
  // An echo of a tick 250 ms in the past, then one from the future (latency 0).
  SendMessage(*pointer, msg::kHeartbeatEcho, Encode(HeartbeatEcho{ViewerClient::NowMs() - 250, 0, 0}));
  for (int i = 0; i < 200 && client->Stats().latencyMs == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_GE(client->Stats().latencyMs, 250u);
  SendMessage(*picture, msg::kHeartbeatEcho, Encode(HeartbeatEcho{ViewerClient::NowMs() + 60000, 0, 0}));
  for (int i = 0; i < 200 && client->Stats().latencyMs != 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(client->Stats().latencyMs, 0u);

  SendMessage(*pointer, msg::kPointerBusy, Encode(PointerBusyNotice{3000, kHeldByViewer, "Bob"}));
  for (int i = 0; i < 200 && client->Busy().untilMs == 0; ++i) std::this_thread::sleep_for(10ms);
  const BusyNotice busy = client->Busy();
  EXPECT_GT(busy.untilMs, ViewerClient::NowMs() + 2000);
  EXPECT_EQ(busy.who, 1);
  EXPECT_EQ(busy.name, L"Bob");
}

TEST_F(ViewerClientTest, SessionEndsWithTheRightTextExactlyOnce) {
  const struct {
    const char* what;
    ClientEvent event;
    std::wstring text;
  } cases[] = {
      {"goodbye", ClientEvent::EndedByHost, L"The other side ended the session."},
      {"close", ClientEvent::Ended, L"The host closed the connection."},
      {"close-both", ClientEvent::Ended, L""},
      {"bad-description", ClientEvent::Ended, L"The host sent a screen size Tavrix will not accept."},
      {"refusal", ClientEvent::Ended, L"The host is not sharing right now."},
      {"stop", ClientEvent::Ended, L"Disconnected."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    client.reset();
    events.Clear();
    Open(Describe(64, 64));
    const std::string what = c.what;
    if (what == "goodbye") {
      SendMessage(*picture, msg::kHostGoodbye, EncodeHostGoodbye());
      picture->Close();
    } else if (what == "close") {
      picture->Close();
    } else if (what == "close-both") {
      picture->Close();
      pointer->Close();
    } else if (what == "bad-description") {
      ScreenDescription d = Describe(64, 64);
      d.columns = 2;
      SendMessage(*picture, msg::kScreenDescription, Encode(d));
    } else if (what == "refusal") {
      SendMessage(*picture, msg::kRefusal, Encode(Refusal{4}));
    } else {
      client->Stop();
      Bytes goodbye;
      EXPECT_TRUE(ReadUntil(*pointer, msg::kViewerGoodbye, goodbye));
    }
    const std::wstring text = events.WaitFor(c.event);
    if (!c.text.empty()) {
      EXPECT_EQ(text, c.text);
    }
    EXPECT_EQ(client->StatusText(), text);
    client->Stop();
    EXPECT_EQ(events.EndCount(), 1u);
    EXPECT_FALSE(client->IsConnected());
  }
}

TEST_F(ViewerClientTest, ADecoderThatCannotBeMadeEndsTheSession) {
  options.decoders = [](std::wstring& error) -> std::unique_ptr<JpegDecoder> {
    error = L"WIC factory: 0x80004005 (Unspecified error)";
    return nullptr;
  };
  Open(Describe(64, 64));
  EXPECT_EQ(events.WaitFor(ClientEvent::Ended), L"Image decoder unavailable: WIC factory: 0x80004005 (Unspecified error)");
}

TEST_F(ViewerClientTest, SendsPointerInputAndClipboardOnlyWhenAllowed) {
  Open(Describe(64, 64));
  // Control not allowed: keys and control mouse are dropped; the pointer goes, clamped.
  client->SendKey(0x41, 0x1E, 1, 0, 'a');
  client->SendControlMouse(0.5f, 0.5f, kMouseActionDown, 0, 0);
  client->SendPointer(1.5f, -2.0f, 1, 0xFF00FF00u);
  Bytes payload;
  ASSERT_TRUE(ReadUntil(*pointer, msg::kViewerPointer, payload));
  ViewerPointer p;
  ASSERT_TRUE(Decode(payload, p));
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.colour, 0xFF00FF00u);
  EXPECT_FALSE(client->SendClipboardText(L"no permission"));

  SendMessage(*picture, msg::kPermissions, Encode(tvx::Permissions{kPermitControl | kPermitClipboard}));
  ASSERT_NE(events.WaitFor(ClientEvent::PermissionsChanged), L"<none>");
  // A right click: press and release of button 1, nothing between them.
  client->SendControlMouse(0.5f, 0.25f, kMouseActionDown, 1, 0);
  client->SendControlMouse(0.5f, 0.25f, kMouseActionUp, 1, 0);
  client->SendControlMouse(0.5f, 0.25f, kMouseActionWheel, 0, -240);
  client->SendKey(0x41, 0x1E, 1, 1, 'a');
  const std::vector<std::uint8_t> kinds = {kMouseActionDown, kMouseActionUp, kMouseActionWheel};
  for (std::uint8_t kind : kinds) {
    ASSERT_TRUE(ReadUntil(*pointer, msg::kControlMouse, payload));
    ControlMouse m;
    ASSERT_TRUE(Decode(payload, m));
    EXPECT_EQ(m.kind, kind);
    EXPECT_EQ(m.y, 0.25f);
    if (kind == kMouseActionWheel) {
      EXPECT_EQ(m.wheelDelta, -240);
    }
  }
  ASSERT_TRUE(ReadUntil(*pointer, msg::kControlKey, payload));
  ControlKey key;
  ASSERT_TRUE(Decode(payload, key));
  EXPECT_EQ(key.virtualKey, 0x41);
  EXPECT_EQ(key.scanCode, 0x1E);
  EXPECT_TRUE(key.down);
  EXPECT_TRUE(key.extended);
  EXPECT_EQ(key.character, u'a');

  // Clipboard: exactly 4 MiB goes, one byte more does not, and an empty text never.
  EXPECT_FALSE(client->SendClipboardText(L""));
  EXPECT_FALSE(client->SendClipboardText(std::wstring(4194305, L'x')));
  EXPECT_TRUE(client->SendClipboardText(std::wstring(4194304, L'y')));
  ASSERT_TRUE(ReadUntil(*pointer, msg::kClipboardText, payload));
  ClipboardText clip;
  ASSERT_TRUE(Decode(payload, clip));
  EXPECT_EQ(clip.utf8.size(), 4194304u);
}

TEST_F(ViewerClientTest, SoundFollowsTheSwitchAndRestartsOnlyOnANewFormat) {
  Open(Describe(64, 64));
  const Bytes data = [] {
    Bytes b = Encode(SoundDataHeader{1, 480});
    b.resize(b.size() + 480 * 2 * 2, 1);
    return b;
  }();
  // An echo sent after other pointer-channel messages shows they have all been read.
  const auto sync = [&](std::uint32_t ageMs) {
    SendMessage(*pointer, msg::kHeartbeatEcho, Encode(HeartbeatEcho{ViewerClient::NowMs() - ageMs, 0, 0}));
    for (int i = 0; i < 500 && client->Stats().latencyMs < ageMs; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_GE(client->Stats().latencyMs, ageMs);
  };
  // Switch off: format and data are ignored.
  SendMessage(*pointer, msg::kSoundFormat, Encode(SoundFormat{48000, 2, 16}));
  SendMessage(*pointer, msg::kSoundData, data);
  sync(1000);
  EXPECT_EQ(soundOpened, 0);
  client->SetSound(true);
  Bytes payload;
  ASSERT_TRUE(ReadUntil(*pointer, msg::kSoundRequest, payload));
  SoundRequest request;
  ASSERT_TRUE(Decode(payload, request));
  EXPECT_TRUE(request.on);
  SendMessage(*pointer, msg::kSoundFormat, Encode(SoundFormat{48000, 2, 16}));
  SendMessage(*pointer, msg::kSoundFormat, Encode(SoundFormat{48000, 2, 16}));
  SendMessage(*pointer, msg::kSoundData, data);
  sync(5000);
  for (int i = 0; i < 300 && soundOpened == 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(soundOpened, 1);
  SendMessage(*pointer, msg::kSoundFormat, Encode(SoundFormat{44100, 1, 16}));
  for (int i = 0; i < 300 && soundOpened < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(soundOpened, 2);
  client->SetSound(false);
  ASSERT_TRUE(ReadUntil(*pointer, msg::kSoundRequest, payload));
  ASSERT_TRUE(Decode(payload, request));
  EXPECT_FALSE(request.on);
}

}  // namespace
}  // namespace tvx
