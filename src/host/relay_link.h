// The host's link to its relay server: a control connection registered under the host's ID, on
// which the relay offers a ticket for every viewer channel that asks for this host. Each ticket is
// claimed on a new connection to the relay (a dial-back), which then carries that viewer channel
// exactly like one that arrived directly.
//
// The link retries on its own: unreachable, refused or dropped, it waits 2, 4, 8, 15, 15, ...
// seconds, starting over after each registration. Stop ends it at once.
//
// At most kMaxDialBackThreads dial-backs run at once; further tickets wait in a queue of
// kMaxQueuedTickets and are taken by the next dial-back thread that becomes free. A ticket that
// finds the queue full is refused with a log line, so a flood of tickets never exhausts threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/connection.h"
#include "net/name_resolver.h"

namespace tvx {

struct RelayTarget {
  std::wstring server;  // name or address
  std::uint16_t port = 0;
  std::string id;            // the host's nine-digit ID, UTF-8
  std::string computerName;  // shown by the relay, UTF-8
};

// The computer's name for the relay, or "Tavrix" when it cannot be read.
std::string RelayComputerName();

class RelayLink {
 public:
  // Runs on the dial-back thread with a connection whose ticket is claimed: the viewer's greeting
  // comes next, so the host admits it as it would a direct connection.
  using DialBackHandler = std::function<void(std::shared_ptr<Connection> connection)>;
  // Called (on the link's thread, without locks held) whenever the status text changes.
  using StatusHandler = std::function<void(const std::wstring& status, bool ready)>;

  struct Timings {
    std::uint32_t dialTimeoutMs = 8000;
    std::uint32_t sendTimeoutMs = 10000;
    std::uint32_t backoffScale = 1;  // tests shorten the waits by this divisor
  };

  // A viewer's two channels are two tickets, and at most 8 viewers are shown: 16 dial-backs at
  // once serve a full house; the queue rides out a burst.
  static constexpr std::size_t kMaxDialBackThreads = 16;
  static constexpr std::size_t kMaxQueuedTickets = 64;

  explicit RelayLink(DialBackHandler dialBack);
  ~RelayLink();
  RelayLink(const RelayLink&) = delete;
  RelayLink& operator=(const RelayLink&) = delete;

  void SetStatusHandler(StatusHandler handler);
  void SetTimings(Timings timings) { timings_ = timings; }
  // The resolver for the relay server's name (default: the system's); tests use fakes. Before Start.
  void SetResolver(std::shared_ptr<NameResolver> resolver) { resolver_ = std::move(resolver); }

  // Starts the link's thread (status "Connecting to the relay..."); an empty server name sets an
  // empty status and starts nothing.
  void Start(RelayTarget target);
  // Shuts the control connection down at once and joins the link's and the dial-backs' threads.
  // Returns within about 100 ms in every state, also while the relay's name is looked up or dialed.
  void Stop();

  std::wstring StatusText() const;
  bool Ready() const { return ready_.load() != 0; }

 private:
  void Run();
  // One attempt: dial, register, serve tickets until the connection ends. True when it had been
  // registered (the back-off starts over).
  bool Attempt(const std::shared_ptr<Connection>& control);
  struct DialBackThread;
  // Queues the ticket and starts a dial-back thread when fewer than the cap are running.
  void StartDialBack(std::uint64_t ticket);
  // A dial-back thread's body: claims queued tickets one after the other until none is left.
  void ServeTickets(DialBackThread& entry);
  void DialBack(std::uint64_t ticket, const std::shared_ptr<Connection>& connection);
  void SetStatus(const std::wstring& text, bool ready);
  void ReapDialBacks(bool all);

  DialBackHandler dialBack_;
  Timings timings_;
  std::shared_ptr<NameResolver> resolver_;
  RelayTarget target_;

  std::atomic<std::uint8_t> running_{0};
  std::atomic<std::uint8_t> ready_{0};
  std::thread thread_;

  mutable std::mutex mutex_;  // status text, the published control connection, the wait
  std::condition_variable wake_;
  std::wstring status_;
  std::shared_ptr<Connection> control_;
  StatusHandler statusHandler_;

  struct DialBackThread {
    std::thread thread;
    std::shared_ptr<Connection> connection;  // the ticket's connection being served, under the mutex
    std::atomic<bool> finished{false};
  };
  std::mutex dialBackMutex_;  // the threads, the queued tickets and the count of serving threads
  std::list<DialBackThread> dialBacks_;
  std::deque<std::uint64_t> tickets_;
  std::size_t servingThreads_ = 0;
};

}  // namespace tvx
