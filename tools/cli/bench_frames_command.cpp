// tavrix-cli bench frames: loopback throughput of 16 MiB frames and the round trip of small
// (pointer-sized) frames between two threads, each beside a plain socket doing the same bytes
// without framing as the ceiling. Traffic stays on 127.0.0.1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "net/connection.h"
#include "net/dial.h"
#include "net/listener.h"

namespace tvx::cli {
namespace {

const char kUsage[] =
    "usage: tavrix-cli bench frames [--mib N] [--rounds N]\n"
    "\n"
    "Sends N MiB (default 512) as 16 MiB frames over a loopback connection and prints MB/s, then\n"
    "bounces a 16-byte frame N times (default 2000) between two threads and prints the round-trip\n"
    "time in microseconds. Each figure has a plain socket copy of the same bytes beside it.\n";

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Pair {
  std::unique_ptr<Connection> a = std::make_unique<Connection>();
  std::unique_ptr<Connection> b = std::make_unique<Connection>();
};

// A connected loopback pair, both ends tuned like every connection of the program.
bool MakePair(Pair& pair) {
  const sock::Handle s = sock::Create(sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
  if (s == sock::kInvalid) return false;
  Listener listener;
  if (sock::BindLoopback(s, false, 0) != 0 || sock::Listen(s, 1) != 0) {
    sock::Close(s);
    return false;
  }
  listener.Attach(s);
  std::wstring error;
  if (!Dial(*pair.a, L"127.0.0.1", listener.Port(), 5000, error)) {
    std::fprintf(stderr, "dial failed: %s\n", WideToUtf8(error).c_str());
    return false;
  }
  sock::Handle accepted = sock::kInvalid;
  std::wstring address;
  if (listener.Accept(accepted, address) != Listener::AcceptResult::kAccepted) return false;
  pair.b->Attach(accepted);
  pair.b->TuneSocket();
  return true;
}

// The plain socket path: blocking send and recv calls of at most 1 MiB, no header, no waits.
bool PlainSend(sock::Handle s, const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const std::int64_t n = sock::SendSome(s, data, std::min<std::size_t>(length, kMaxSocketCall));
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool PlainReceive(sock::Handle s, std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const std::int64_t n = sock::RecvSome(s, data, std::min<std::size_t>(length, kMaxSocketCall));
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

double FramedThroughput(int frames) {
  Pair pair;
  if (!MakePair(pair)) return 0;
  const std::vector<std::uint8_t> payload(kFrameCap, 0x5A);
  const auto start = Clock::now();
  std::thread sender([&] {
    for (int i = 0; i < frames; ++i) {
      if (!pair.a->SendFrame(0x82, 0, payload.data(), kFrameCap)) break;
    }
  });
  FrameHeader header;
  std::vector<std::uint8_t> received;
  std::uint64_t bytes = 0;
  for (int i = 0; i < frames && pair.b->ReceiveFrame(header, received); ++i) bytes += kFrameHeaderSize + received.size();
  sender.join();
  return bytes / Seconds(Clock::now() - start) / 1e6;
}

double PlainThroughput(int frames) {
  Pair pair;
  if (!MakePair(pair)) return 0;
  const sock::Handle a = pair.a->socket(), b = pair.b->socket();
  sock::SetNonBlocking(a, false);
  sock::SetNonBlocking(b, false);
  const std::vector<std::uint8_t> payload(kFrameCap, 0x5A);
  std::vector<std::uint8_t> received(kFrameCap);
  const auto start = Clock::now();
  std::thread sender([&] {
    for (int i = 0; i < frames; ++i) {
      if (!PlainSend(a, payload.data(), payload.size())) break;
    }
  });
  std::uint64_t bytes = 0;
  for (int i = 0; i < frames && PlainReceive(b, received.data(), received.size()); ++i) bytes += received.size();
  sender.join();
  return bytes / Seconds(Clock::now() - start) / 1e6;
}

struct RoundTrip {
  double medianMicros = 0;
  double meanMicros = 0;
};

RoundTrip Summarise(std::vector<double>& micros) {
  RoundTrip r;
  if (micros.empty()) return r;
  std::sort(micros.begin(), micros.end());
  r.medianMicros = micros[micros.size() / 2];
  double sum = 0;
  for (double m : micros) sum += m;
  r.meanMicros = sum / micros.size();
  return r;
}

constexpr std::uint32_t kSmallFrame = 16;  // a viewer pointer message

RoundTrip FramedRoundTrip(int rounds) {
  Pair pair;
  if (!MakePair(pair)) return {};
  std::thread echo([&] {
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    while (pair.b->ReceiveFrame(header, payload)) {
      if (!pair.b->SendFrame(header.type, 0, payload.data(), header.length)) break;
    }
  });
  const std::vector<std::uint8_t> pointer(kSmallFrame, 1);
  std::vector<double> micros;
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (!pair.a->SendFrame(0x10, 0, pointer.data(), kSmallFrame) || !pair.a->ReceiveFrame(header, payload)) break;
    micros.push_back(Seconds(Clock::now() - start) * 1e6);
  }
  pair.a->Shutdown();
  pair.b->Shutdown();
  echo.join();
  return Summarise(micros);
}

RoundTrip PlainRoundTrip(int rounds) {
  Pair pair;
  if (!MakePair(pair)) return {};
  const sock::Handle a = pair.a->socket(), b = pair.b->socket();
  sock::SetNonBlocking(a, false);
  sock::SetNonBlocking(b, false);
  constexpr std::size_t kBytes = kFrameHeaderSize + kSmallFrame;
  std::thread echo([&] {
    std::uint8_t buffer[kBytes];
    while (PlainReceive(b, buffer, kBytes) && PlainSend(b, buffer, kBytes)) {
    }
  });
  std::uint8_t buffer[kBytes] = {};
  std::vector<double> micros;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (!PlainSend(a, buffer, kBytes) || !PlainReceive(a, buffer, kBytes)) break;
    micros.push_back(Seconds(Clock::now() - start) * 1e6);
  }
  sock::Shutdown(a);
  echo.join();
  return Summarise(micros);
}

}  // namespace

int RunBenchFrames(const Args& args) {
  int mib = 512;
  int rounds = 2000;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (args[i] == "--mib" && hasValue) {
      mib = std::atoi(args[++i].c_str());
    } else if (args[i] == "--rounds" && hasValue) {
      rounds = std::atoi(args[++i].c_str());
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (mib < 16 || rounds < 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  SetLogToDebugOutput(false);
  sock::NetworkInit network;
  if (!network.ok()) {
    std::fprintf(stderr, "tavrix-cli bench frames: the socket library did not start\n");
    return 1;
  }
  const int frames = mib / 16;
  const double framed = FramedThroughput(frames);
  const double plain = PlainThroughput(frames);
  std::printf("throughput  %d x 16 MiB frames:  %8.1f MB/s   (plain socket copy: %8.1f MB/s, %.0f%%)\n", frames,
              framed, plain, plain > 0 ? 100.0 * framed / plain : 0.0);
  const RoundTrip framedTrip = FramedRoundTrip(rounds);
  const RoundTrip plainTrip = PlainRoundTrip(rounds);
  std::printf("round trip  %d x %u-byte frames:  median %7.1f us, mean %7.1f us   "
              "(plain socket: median %7.1f us, mean %7.1f us)\n",
              rounds, kSmallFrame, framedTrip.medianMicros, framedTrip.meanMicros, plainTrip.medianMicros,
              plainTrip.meanMicros);
  return framed > 0 && plain > 0 && framedTrip.medianMicros > 0 ? 0 : 1;
}

}  // namespace tvx::cli
