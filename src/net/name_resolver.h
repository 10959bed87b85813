// Turning a host name into addresses without ever holding up the thread that waits for them.
//
// The system's lookup cannot be cancelled and can take as long as the network's name servers do,
// so a dial never calls it itself: it starts a lookup and waits for the answer in short slices,
// free to give up at any time. The lookup answers into state it shares with the waiter, so a lookup
// nobody waits for any more harms nobody.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/socket_api.h"

namespace tvx {

// One lookup under way, shared by whoever answers it and whoever waits for it.
class NameLookup {
 public:
  // The answer: 0 and the addresses in the resolver's order, or the resolver's error code
  // (sock::ResolverErrorText). Only the first answer counts.
  void Finish(int error, std::vector<sock::ResolvedAddress> addresses);
  // Waits up to `ms` for the answer; true once it is there.
  bool WaitFor(std::uint32_t ms);
  // Only after WaitFor returned true.
  int error() const { return error_; }
  const std::vector<sock::ResolvedAddress>& addresses() const { return addresses_; }

 private:
  std::mutex mutex_;
  std::condition_variable answered_;
  bool finished_ = false;
  int error_ = 0;
  std::vector<sock::ResolvedAddress> addresses_;
};

class NameResolver {
 public:
  virtual ~NameResolver() = default;
  // Starts looking up the TCP addresses (IPv4 and IPv6) of `host` at `port` and returns at once.
  virtual std::shared_ptr<NameLookup> Start(const std::wstring& host, std::uint16_t port) = 0;
};

// Looks names up with a blocking function, each on a worker thread of its own that nobody joins,
// so giving up on a lookup costs only that thread until the function returns. An address written
// as numbers is answered at once, without a worker. At most `maxLookups` workers run at a time;
// beyond that a lookup answers at once with the resolver's "try again" error, so a dead name
// server cannot pile up threads however often the user retries.
class ThreadedNameResolver final : public NameResolver {
 public:
  using BlockingLookup =
      std::function<int(const std::wstring& host, std::uint16_t port, std::vector<sock::ResolvedAddress>& out)>;
  ThreadedNameResolver(BlockingLookup lookup, int maxLookups);
  std::shared_ptr<NameLookup> Start(const std::wstring& host, std::uint16_t port) override;

 private:
  BlockingLookup lookup_;
  int maxLookups_;
  // Shared with the workers, which may outlive the resolver.
  std::shared_ptr<std::atomic<int>> running_ = std::make_shared<std::atomic<int>>(0);
};

// The system's resolver (sock::Resolve) behind ThreadedNameResolver, shared by the whole process.
inline constexpr int kMaxNameLookups = 8;
NameResolver& SystemNameResolver();

}  // namespace tvx
