// The home window's check of its saved relay servers: one background thread asks each relay in
// turn how it is doing and keeps the answers in a status map the relay sheet draws from.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/connection.h"

namespace tvx {

enum class RelayState : std::uint32_t { NotProbed = 0, Probing = 1, Online = 2, Unreachable = 3, NotARelay = 4 };

struct RelayStatusRecord {
  RelayState state = RelayState::NotProbed;
  std::uint32_t hostsSharing = 0;
  std::uint32_t connectionsCarried = 0;
  bool operator==(const RelayStatusRecord&) const = default;
};

// The relay sheet's status line for a record.
std::wstring RelayStatusText(const RelayStatusRecord& record);

class RelayProbes {
 public:
  // `repaint` is called on the worker after each answer (the window posts itself a repaint).
  explicit RelayProbes(std::function<void()> repaint);
  ~RelayProbes();
  RelayProbes(const RelayProbes&) = delete;
  RelayProbes& operator=(const RelayProbes&) = delete;

  // Stops a run in progress, marks every address Probing and probes them in order on `port`.
  void Start(const std::vector<std::wstring>& addresses, std::uint16_t port);
  // Cancels the run: the probe in progress has its socket shut down, so a dial or a read returns
  // at once; then the worker is joined.
  void Stop();

  RelayStatusRecord Status(const std::wstring& address) const;
  bool Running() const;

 private:
  void Work(std::vector<std::wstring> addresses, std::uint16_t port);

  std::function<void()> repaint_;
  mutable std::mutex lock_;  // the map and the current connection
  std::map<std::wstring, RelayStatusRecord> status_;
  std::shared_ptr<Connection> current_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::thread worker_;  // started and joined on the window thread only
};

}  // namespace tvx
