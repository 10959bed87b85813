// tavrix-cli bench relay: a session carried by the relay against the same session direct, and
// what the relay costs per 1,000 idle registered hosts and per 100 active sessions. The relay runs
// in this process on 127.0.0.1; its CPU is its own thread's, its memory the growth of the process.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli_text.h"
#include "commands.h"
#include "foundation/log.h"
#include "foundation/thread_cpu.h"
#include "net/connection.h"
#include "net/dial.h"
#include "net/listener.h"
#include "net/picture_messages.h"
#include "net/relay_messages.h"
#include "net/socket_api.h"
#include "process_usage.h"
#include "relay_server.h"

namespace tvx::cli {
namespace {

constexpr const char* kUsage =
    "usage: tavrix-cli bench relay [--mib N] [--hosts N] [--sessions N] [--seconds N]\n"
    "Runs a relay in this process on 127.0.0.1 and prints:\n"
    "  throughput of N MiB (default 256) host to viewer, through the relay and direct;\n"
    "  memory and relay CPU with N idle registered hosts (default 1000), scaled per 1,000;\n"
    "  memory and relay CPU with N sessions (default 100) all sending for N seconds (default 3).\n";

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kFrameBytes = 1 << 20;

class InProcessRelay {
 public:
  InProcessRelay() {
    relay::RelayOptions options;
    options.bind = "127.0.0.1";
    options.port = 0;
    server_ = std::make_unique<relay::RelayServer>(io_, options);
    std::string error;
    ok_ = server_->Start(&error);
    if (!ok_) std::fprintf(stderr, "bench relay: %s\n", error.c_str());
    thread_ = std::thread([this] { io_.run(); });
  }
  ~InProcessRelay() {
    asio::post(io_, [this] { server_->Stop(); });
    thread_.join();
  }
  bool ok() const { return ok_; }
  std::uint16_t port() const { return server_->port(); }
  // CPU time of the relay's one thread so far.
  std::int64_t CpuMicros() {
    std::promise<std::int64_t> result;
    asio::post(io_, [&] { result.set_value(ThreadCpuMicros()); });
    return result.get_future().get();
  }

 private:
  asio::io_context io_{1};
  std::unique_ptr<relay::RelayServer> server_;
  std::thread thread_;
  bool ok_ = false;
};

bool Send(Connection& c, std::uint16_t type, const Bytes& payload) {
  return c.SendFrame(type, 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

bool Open(Connection& c, std::uint16_t port) {
  std::wstring error;
  if (!Dial(c, L"127.0.0.1", port, 4000, error)) return false;
  c.SetReceiveTimeout(10000);
  return true;
}

bool Register(Connection& control, std::uint16_t port, const std::string& id) {
  RelayRegistration registration;
  registration.relayId = id;
  registration.computerName = "BENCH";
  FrameHeader header;
  Bytes answer;
  return Open(control, port) && Send(control, msg::kRelayRegistration, Encode(registration)) &&
         control.ReceiveFrame(header, answer) && header.type == msg::kRelayRegistered;
}

// A viewer channel to `id` and the host's claimed dial-back for it, joined by the relay.
bool OpenSession(std::uint16_t port, Connection& control, const std::string& id, Connection& viewer,
                 Connection& host) {
  Hello hello;
  hello.relayId = id;
  FrameHeader header;
  Bytes payload;
  RelayTicket ticket;
  return Open(viewer, port) && Send(viewer, msg::kHello, Encode(hello)) && control.ReceiveFrame(header, payload) &&
         header.type == msg::kRelayTicket && Decode(payload, ticket) && Open(host, port) &&
         Send(host, msg::kRelayTicketClaim, Encode(ticket)) && host.ReceiveFrame(header, payload) &&
         header.type == msg::kHello;
}

// MB/s of `mib` 1 MiB frames from `from` to `to`.
double Throughput(Connection& from, Connection& to, int mib) {
  const Bytes frame(kFrameBytes, 0x5A);
  const auto start = Clock::now();
  std::thread sender([&] {
    for (int i = 0; i < mib; ++i) {
      if (!from.SendFrame(msg::kTileFrame, 0, frame.data(), kFrameBytes)) return;
    }
  });
  FrameHeader header;
  Bytes payload;
  int received = 0;
  while (received < mib && to.ReceiveFrame(header, payload)) ++received;
  sender.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return received == mib ? mib * 1.048576 / seconds : 0.0;
}

double DirectThroughput(int mib) {
  Listener listener;
  std::wstring error;
  if (!Listen(listener, 0, error)) return 0.0;
  Connection accepted;
  std::thread acceptor([&] {
    sock::Handle socket = sock::kInvalid;
    std::wstring address;
    if (listener.Accept(socket, address) == Listener::AcceptResult::kAccepted) accepted.Attach(socket);
  });
  Connection dialed;
  const bool ok = Open(dialed, listener.Port());
  acceptor.join();
  if (!ok || !accepted.IsOpen()) return 0.0;
  accepted.TuneSocket();
  return Throughput(accepted, dialed, mib);
}

double MiB(std::uint64_t bytes) { return bytes / 1048576.0; }

}  // namespace

int RunBenchRelay(const Args& args) {
  const auto Count = [](const std::string& text, long long low, long long high, int& out) {
    long long value = 0;
    if (!ParseNumber(text, low, high, value)) return false;
    out = static_cast<int>(value);
    return true;
  };
  int mib = 256, hosts = 1000, sessions = 100, seconds = 3;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    bool ok = true;
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (args[i] == "--mib" && hasValue) {
      ok = Count(args[++i], 1, 65536, mib);
    } else if (args[i] == "--hosts" && hasValue) {
      ok = Count(args[++i], 1, 100000, hosts);
    } else if (args[i] == "--sessions" && hasValue) {
      ok = Count(args[++i], 1, 2000, sessions);
    } else if (args[i] == "--seconds" && hasValue) {
      ok = Count(args[++i], 1, 600, seconds);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  SetLogToDebugOutput(false);
  RaiseOpenFileLimit();
  sock::NetworkInit network;
  InProcessRelay relay;
  if (!network.ok() || !relay.ok()) return 1;

  // 1. One session's throughput, through the relay and direct.
  {
    Connection control, viewer, host;
    if (!Register(control, relay.port(), "100000000") ||
        !OpenSession(relay.port(), control, "100000000", viewer, host)) {
      std::fprintf(stderr, "bench relay: could not open a session through the relay\n");
      return 1;
    }
    const double relayed = Throughput(host, viewer, mib);
    const double direct = DirectThroughput(mib);
    std::printf("throughput  %d MiB host to viewer:  relayed %8.1f MB/s   direct %8.1f MB/s  (%.0f%%)\n", mib,
                relayed, direct, direct > 0 ? 100.0 * relayed / direct : 0.0);
  }

  // 2. Idle registered hosts.
  std::vector<std::unique_ptr<Connection>> controls;
  {
    const std::uint64_t before = ResidentBytes();
    for (int i = 0; i < hosts; ++i) {
      auto control = std::make_unique<Connection>();
      if (!Register(*control, relay.port(), std::to_string(200000000 + i))) {
        std::fprintf(stderr, "bench relay: host %d could not register (open-file limit?)\n", i);
        return 1;
      }
      controls.push_back(std::move(control));
    }
    const std::uint64_t after = ResidentBytes();
    const std::int64_t cpu0 = relay.CpuMicros();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::int64_t cpu1 = relay.CpuMicros();
    const double perThousand = 1000.0 / hosts;
    std::printf("idle hosts  %d registered:  +%.2f MiB resident (%.2f MiB per 1,000, both ends of each link)\n"
                "                             relay CPU %.3f ms per second (%.3f ms/s per 1,000)\n",
                hosts, MiB(after > before ? after - before : 0),
                MiB(after > before ? after - before : 0) * perThousand, (cpu1 - cpu0) / 2000.0,
                (cpu1 - cpu0) / 2000.0 * perThousand);
  }

  // 3. Active sessions, all sending at once.
  {
    Connection control;
    if (!Register(control, relay.port(), "999999999")) return 1;
    std::vector<std::unique_ptr<Connection>> viewers, hostsSide;
    const std::uint64_t before = ResidentBytes();
    for (int i = 0; i < sessions; ++i) {
      auto viewer = std::make_unique<Connection>();
      auto host = std::make_unique<Connection>();
      if (!OpenSession(relay.port(), control, "999999999", *viewer, *host)) {
        std::fprintf(stderr, "bench relay: session %d could not open\n", i);
        return 1;
      }
      viewers.push_back(std::move(viewer));
      hostsSide.push_back(std::move(host));
    }
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> moved{0};
    std::vector<std::thread> threads;
    const Bytes frame(64 * 1024, 0x33);
    for (int i = 0; i < sessions; ++i) {
      threads.emplace_back([&, i] {
        while (!stop.load() &&
               hostsSide[i]->SendFrame(msg::kTileFrame, 0, frame.data(), static_cast<std::uint32_t>(frame.size()))) {
        }
      });
      threads.emplace_back([&, i] {
        FrameHeader header;
        Bytes payload;
        while (viewers[i]->ReceiveFrame(header, payload)) moved += payload.size();
      });
    }
    const std::int64_t cpu0 = relay.CpuMicros();
    const std::uint64_t moved0 = moved.load();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::int64_t cpu1 = relay.CpuMicros();
    const std::uint64_t moved1 = moved.load();
    const std::uint64_t after = ResidentBytes();
    stop.store(true);
    for (auto& c : hostsSide) c->Shutdown();
    for (auto& c : viewers) c->Shutdown();
    for (std::thread& t : threads) t.join();
    const double perHundred = 100.0 / sessions;
    const double mbps = (moved1 - moved0) / 1e6 / seconds;
    std::printf("sessions    %d active:  +%.2f MiB resident (%.2f MiB per 100, both ends of each session)\n"
                "                        %.1f MB/s carried, relay CPU %.1f ms per second (%.1f ms/s per 100)\n",
                sessions, MiB(after > before ? after - before : 0),
                MiB(after > before ? after - before : 0) * perHundred, mbps, (cpu1 - cpu0) / 1000.0 / seconds,
                (cpu1 - cpu0) / 1000.0 / seconds * perHundred);
  }
  for (auto& c : controls) c->Close();
  return 0;
}

}  // namespace tvx::cli
