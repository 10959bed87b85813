// Admission over real loopback connections: greetings, refusals, pairing of the two channels,
// names and colours, departures, stop, and the protections against floods and code guessing.
#include <cstring>
#include <thread>

#include "foundation/format.h"

#include "host/admission_guard.h"
#include "running_relay.h"
#include "server_fixture.h"

namespace tvx::testing {
namespace {

class ServerAdmission : public ServerTest {};

TEST_F(ServerAdmission, RefusesBadGreetingsWithTheRightReasonOrNothing) {
  ShareOptions options = Options();
  options.code = "K7PQ2X";
  StartEngine(options);

  struct Case {
    const char* what;
    std::uint16_t type;
    Bytes payload;
    std::uint32_t reason;  // 0: nothing is sent, the connection just closes
    std::wstring logged;
  };
  Hello oldVersion = MakeHello(kPictureChannel, 1, "", "K7PQ2X");
  oldVersion.version = 6;
  Bytes shortHello = Encode(MakeHello(kPictureChannel, 2, "", "K7PQ2X"));
  shortHello.pop_back();
  Bytes longHello = Encode(MakeHello(kPictureChannel, 3, "", "K7PQ2X"));
  longHello.push_back(0);
  const Case cases[] = {
      {"old version", msg::kHello, Encode(oldVersion), kRefusedVersion, L"Rejecting 127.0.0.1: protocol 6 (need 7)"},
      {"wrong code", msg::kHello, Encode(MakeHello(kPictureChannel, 4, "", "K7PQ2Y")), kRefusedWrongCode,
       L"Rejecting 127.0.0.1: wrong code"},
      {"no code", msg::kHello, Encode(MakeHello(kPictureChannel, 5)), kRefusedWrongCode,
       L"Rejecting 127.0.0.1: wrong code"},
      {"79 bytes", msg::kHello, shortHello, 0, L"Rejecting 127.0.0.1: no valid HELLO"},
      {"81 bytes", msg::kHello, longHello, 0, L"Rejecting 127.0.0.1: no valid HELLO"},
      {"not a HELLO", msg::kHeartbeat, Encode(MakeHello(kPictureChannel, 6, "", "K7PQ2X")), 0,
       L"Rejecting 127.0.0.1: no valid HELLO"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log_.Clear();
    TestChannel channel;
    ASSERT_TRUE(channel.Dial(port_));
    ASSERT_TRUE(channel.Send(c.type, c.payload));
    if (c.reason == 0) {
      EXPECT_TRUE(channel.ClosedWithoutReply());
    } else {
      EXPECT_EQ(channel.RefusalReason(), c.reason);
    }
    EXPECT_TRUE(Eventually([&] { return log_.Contains(c.logged); }));
  }
  EXPECT_TRUE(server_->Viewers().empty());
  EXPECT_EQ(events_.Count(ServerEvent::ViewerJoined), 0u);
}

TEST_F(ServerAdmission, CodesCompareWithoutCaseAndAnEmptyCodeAcceptsAny) {
  ShareOptions options = Options();
  options.code = "K7PQ2X";
  StartEngine(options);
  TestViewer lower;
  ASSERT_TRUE(lower.Join(port_, 11, "lower", "k7pq2x"));
  EXPECT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"lower"));
  server_->Stop();

  options.code.clear();
  StartEngine(options);
  for (const char* code : {"", "whatever"}) {
    TestViewer viewer;
    ASSERT_TRUE(viewer.Join(port_, code[0] == 0 ? 21 : 22, code[0] == 0 ? "empty" : "any", code));
    EXPECT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, code[0] == 0 ? L"empty" : L"any")) << code;
  }
}

TEST_F(ServerAdmission, PairsTheTwoChannelsInEitherOrder) {
  StartEngine(Options());
  for (bool pointerFirst : {false, true}) {
    const std::string name = pointerFirst ? "pointer-first" : "picture-first";
    const std::wstring wide(name.begin(), name.end());
    TestViewer viewer;
    const std::uint64_t nonce = pointerFirst ? 0x1111 : 0x2222;
    TestChannel& first = pointerFirst ? viewer.pointer : viewer.picture;
    ASSERT_TRUE(first.Open(port_, MakeHello(pointerFirst ? kPointerChannel : kPictureChannel, nonce, name)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(events_.Count(ServerEvent::ViewerJoined, wide), 0u) << "joined with one channel";
    TestChannel& second = pointerFirst ? viewer.picture : viewer.pointer;
    ASSERT_TRUE(second.Open(port_, MakeHello(pointerFirst ? kPictureChannel : kPointerChannel, nonce, name)));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, wide));
    EXPECT_TRUE(log_.Contains(wide + L" joined from 127.0.0.1"));

    // The welcome: description, monitor list and permissions, in that order.
    FrameHeader header;
    Bytes payload;
    ASSERT_TRUE(viewer.picture.Receive(header, payload));
    EXPECT_EQ(header.type, msg::kScreenDescription);
    ScreenDescription description;
    ASSERT_TRUE(Decode(payload, description));
    EXPECT_TRUE(description.IsValid());
    EXPECT_EQ(description.width, 512u);
    EXPECT_EQ(description.columns, 4);
    EXPECT_EQ(description.rows, 2);
    ASSERT_TRUE(viewer.picture.Receive(header, payload));
    EXPECT_EQ(header.type, msg::kMonitorList);
    ASSERT_TRUE(viewer.picture.Receive(header, payload));
    EXPECT_EQ(header.type, msg::kPermissions);
  }
  EXPECT_EQ(events_.Count(ServerEvent::ViewerJoined), 2u);
}

TEST_F(ServerAdmission, ASecondGreetingForATakenChannelIsRefused) {
  StartEngine(Options());
  TestViewer viewer;
  ASSERT_TRUE(viewer.Join(port_, 77, "taken"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"taken"));
  for (std::uint8_t channel : {kPictureChannel, kPointerChannel, std::uint8_t{9}}) {
    TestChannel again;
    ASSERT_TRUE(again.Open(port_, MakeHello(channel, 77, "taken")));
    EXPECT_EQ(again.RefusalReason(), kRefusedFull) << int(channel);
  }
  EXPECT_EQ(log_.Count(L"Rejecting 127.0.0.1: channel already taken"), 3u);
  EXPECT_EQ(server_->Viewers().size(), 1u);
}

TEST_F(ServerAdmission, TheViewerLimitIsClampedToOneToEight) {
  struct Case {
    std::int32_t configured;
    std::size_t admitted;
  };
  for (const Case c : {Case{0, 1}, Case{-3, 1}, Case{20, 8}}) {
    SCOPED_TRACE(c.configured);
    ShareOptions options = Options();
    options.maxViewers = c.configured;
    StartEngine(options);
    log_.Clear();
    std::vector<std::unique_ptr<TestChannel>> channels;
    for (std::size_t i = 0; i < c.admitted; ++i) {
      channels.push_back(std::make_unique<TestChannel>());
      ASSERT_TRUE(channels.back()->Open(port_, MakeHello(kPictureChannel, 1000 + i)));
    }
    ASSERT_TRUE(Eventually([&] { return server_->Viewers().size() == c.admitted; }));
    TestChannel refused;
    ASSERT_TRUE(refused.Open(port_, MakeHello(kPictureChannel, 5000)));
    EXPECT_EQ(refused.RefusalReason(), kRefusedFull);
    EXPECT_TRUE(log_.Contains(FormatText(L"Refusing 127.0.0.1: already showing this screen to %d",
                                         static_cast<int>(c.admitted))));
    server_->Stop();
  }
}

TEST_F(ServerAdmission, NamesAndColoursFollowTheViewerNumber) {
  StartEngine(Options());
  const std::uint32_t palette[8] = {0xFF25E07A, 0xFF3FA9FF, 0xFFFFC533, 0xFFFF5C7A,
                                    0xFFB98CFF, 0xFF4FE3D2, 0xFFFF9A4D, 0xFFE8E36B};
  for (std::uint32_t id = 1; id <= 9; ++id) {
    SCOPED_TRACE(id);
    TestViewer viewer;
    const std::string name = id == 2 ? "Bea" : "";
    ASSERT_TRUE(viewer.Join(port_, 300 + id, name));
    const std::wstring expected = id == 2 ? L"Bea" : FormatText(L"Viewer %u", id);
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, expected));
    const auto viewers = server_->Viewers();
    ASSERT_EQ(viewers.size(), 1u);
    EXPECT_EQ(viewers[0].id, id);
    EXPECT_EQ(viewers[0].name, expected);
    EXPECT_EQ(viewers[0].colour, palette[(id - 1) % 8]);
    EXPECT_EQ(viewers[0].address, L"127.0.0.1");
    ASSERT_TRUE(viewer.pointer.Send(msg::kViewerGoodbye, {}));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, expected));
    ASSERT_TRUE(Eventually([&] { return server_->Viewers().empty(); }));
  }
}

TEST_F(ServerAdmission, ASilentPeerIsLetGoAfterTheAdmissionTimeOut) {
  EngineSetup setup;
  setup.timings.admissionTimeoutMs = 300;
  StartEngine(Options(), setup);
  TestChannel silent;
  ASSERT_TRUE(silent.Dial(port_));
  EXPECT_TRUE(silent.ClosedWithoutReply(3000));
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Rejecting 127.0.0.1: no valid HELLO"); }));
  EXPECT_EQ(ServerTimings{}.admissionTimeoutMs, 5000u);
}

TEST_F(ServerAdmission, AViewerWhoseSecondChannelNeverComesIsDroppedQuietly) {
  EngineSetup setup;
  setup.timings.secondChannelMs = 400;
  StartEngine(Options(), setup);
  TestChannel picture;
  ASSERT_TRUE(picture.Open(port_, MakeHello(kPictureChannel, 42, "lonely")));
  EXPECT_TRUE(picture.ClosedEventually(5000));
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Dropping lonely: only one channel arrived"); }));
  EXPECT_TRUE(Eventually([&] { return server_->Viewers().empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(events_.Count(ServerEvent::ViewerJoined), 0u);
  EXPECT_EQ(events_.Count(ServerEvent::ViewerLeft), 0u);
  EXPECT_FALSE(log_.Contains(L"lonely left"));
  EXPECT_EQ(ServerTimings{}.secondChannelMs, 12000u);
  EXPECT_EQ(ServerTimings{}.sendTimeoutMs, 15000u);
}

TEST_F(ServerAdmission, LeavingIsAnnouncedOnceWhicheverWayItHappens) {
  StartEngine(Options());
  struct Case {
    const char* name;
    bool goodbye;
  };
  for (const Case c : {Case{"polite", true}, Case{"abrupt", false}}) {
    const std::wstring wide(c.name, c.name + std::strlen(c.name));
    TestViewer viewer;
    ASSERT_TRUE(viewer.Join(port_, c.goodbye ? 501 : 502, c.name));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, wide));
    if (c.goodbye) {
      ASSERT_TRUE(viewer.pointer.Send(msg::kViewerGoodbye, {}));
    }
    // Both channels then break; each thread that notices must not announce again.
    viewer.pointer.Close();
    viewer.picture.Close();
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, wide));
    ASSERT_TRUE(Eventually([&] { return server_->Viewers().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(events_.Count(ServerEvent::ViewerLeft, wide), 1u) << c.name;
    EXPECT_EQ(log_.Count(wide + L" left"), 1u) << c.name;
  }
}

TEST_F(ServerAdmission, StopSaysGoodbyeBeforeClosing) {
  StartEngine(Options());
  TestViewer a;
  TestViewer b;
  ASSERT_TRUE(a.Join(port_, 601, "a"));
  ASSERT_TRUE(b.Join(port_, 602, "b"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"a"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"b"));
  // A peer still greeting does not hold the stop up.
  TestChannel silent;
  ASSERT_TRUE(silent.Dial(port_));
  server_->Stop();
  EXPECT_TRUE(events_.WaitFor(ServerEvent::Stopped, L""));
  EXPECT_EQ(events_.Count(ServerEvent::ViewerLeft), 2u);
  for (TestViewer* viewer : {&a, &b}) {
    Bytes payload;
    ASSERT_TRUE(viewer->picture.WaitFor(msg::kHostGoodbye, payload, 2000));
    ASSERT_EQ(payload.size(), 4u);
    EXPECT_EQ(payload[0], 1);
    EXPECT_TRUE(viewer->picture.ClosedWithoutReply(2000));
    EXPECT_TRUE(viewer->pointer.ClosedEventually(2000));
  }
  EXPECT_TRUE(silent.ClosedWithoutReply(2000));
  EXPECT_TRUE(log_.Contains(L"Sharing stopped"));
  EXPECT_FALSE(server_->running());
}

TEST_F(ServerAdmission, RepeatedWrongCodesBlockTheAddressButNotOthers) {
  ShareOptions options = Options();
  options.code = "K7PQ2X";
  StartEngine(options);
  auto attempt = [&](const char* code, const std::wstring& host = L"127.0.0.1") {
    TestChannel channel;
    // A blocked address may be closed before the greeting is even written.
    channel.Open(port_, MakeHello(kPictureChannel, 900, "", code), host);
    return channel.RefusalReason(3000);
  };

  // Four wrong codes, then a right one, clear the record: four more do not block.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(attempt("WRONG1"), kRefusedWrongCode);
  {
    TestViewer viewer;
    ASSERT_TRUE(viewer.Join(port_, 901, "right", "K7PQ2X"));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"right"));
    ASSERT_TRUE(viewer.pointer.Send(msg::kViewerGoodbye, {}));
    ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, L"right"));
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(attempt("WRONG2"), kRefusedWrongCode);
  EXPECT_FALSE(log_.Contains(L"Blocking 127.0.0.1"));

  // The fifth in a row blocks the address: its next connection is closed before any HELLO is read,
  // even with the right code.
  EXPECT_EQ(attempt("WRONG3"), kRefusedWrongCode);
  EXPECT_TRUE(Eventually([&] { return log_.Count(L"Blocking 127.0.0.1 for 10 s") == 1; }));
  TestChannel blocked;
  ASSERT_TRUE(blocked.Dial(port_));
  EXPECT_TRUE(blocked.ClosedWithoutReply(3000));
  EXPECT_EQ(attempt("K7PQ2X"), 0u);
}

// Through a relay everybody comes from the one address "relay": one viewer's wrong codes must not
// lock the others out.
TEST_F(ServerAdmission, WrongCodesThroughTheRelayBlockOnlyThatViewer) {
  RunningRelay relay;
  ASSERT_TRUE(relay.started());
  ShareOptions options = Options();
  options.code = "K7PQ2X";
  options.relayServer = "127.0.0.1";
  options.relayPort = relay.port();
  options.id = "123456789";
  StartEngine(options);
  ASSERT_TRUE(Eventually([&] { return server_->RelayReady(); }));

  auto viaRelay = [&](std::uint8_t channel, std::uint64_t nonce, const char* name, const char* code) {
    Hello hello = MakeHello(channel, nonce, name, code);
    hello.relayId = "123456789";
    auto c = std::make_unique<TestChannel>();
    EXPECT_TRUE(c->Open(relay.port(), hello));
    return c;
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(viaRelay(kPictureChannel, 77, "", "WRONG1")->RefusalReason(5000), kRefusedWrongCode) << i;
  }
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Blocking relay viewer 000000000000004D for 10 s"); }));
  EXPECT_EQ(log_.Count(L"Rejecting relay: wrong code"), 5u);
  // That session is turned away even with the right code now...
  EXPECT_TRUE(viaRelay(kPictureChannel, 77, "", "K7PQ2X")->ClosedWithoutReply(5000));

  // ...while another viewer through the same relay joins.
  auto picture = viaRelay(kPictureChannel, 78, "remote", "K7PQ2X");
  auto pointer = viaRelay(kPointerChannel, 78, "remote", "K7PQ2X");
  EXPECT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"remote"));
  EXPECT_TRUE(log_.Contains(L"remote joined from relay"));
}

TEST_F(ServerAdmission, AtMost64AdmissionsRunAtOnce) {
  EngineSetup setup;
  setup.timings.admissionTimeoutMs = 4000;
  StartEngine(Options(), setup);
  std::vector<std::unique_ptr<TestChannel>> silent;
  for (std::uint32_t i = 0; i < AdmissionGuard::kMaxInProgress; ++i) {
    silent.push_back(std::make_unique<TestChannel>());
    ASSERT_TRUE(silent.back()->Dial(port_));
    // One at a time, so the listen queue never overflows.
    ASSERT_TRUE(Eventually([&] { return server_->admissionsInProgress() == i + 1; })) << i;
  }
  TestChannel extra;
  ASSERT_TRUE(extra.Dial(port_));
  EXPECT_TRUE(extra.ClosedWithoutReply(3000));
  TestChannel another;
  another.Open(port_, MakeHello(kPictureChannel, 1));  // may be closed before the greeting is written
  EXPECT_TRUE(another.ClosedWithoutReply(3000));
  EXPECT_EQ(log_.Count(L"connections are already being admitted"), 1u);

  // A freed slot admits again.
  silent.front()->Close();
  EXPECT_TRUE(Eventually([&] {
    TestChannel probe;
    if (!probe.Open(port_, MakeHello(kPictureChannel, 7000, "late"))) return false;
    FrameHeader header;
    Bytes payload;
    return probe.Receive(header, payload, 1000) && header.type == msg::kScreenDescription;
  }));
}

}  // namespace
}  // namespace tvx::testing
