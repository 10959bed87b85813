// Name resolvers for tests: one that never answers (a dead name server) and one that answers with
// a loopback address after a delay. Neither asks the network anything.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/name_resolver.h"

namespace tvx::testing {

// Starts every lookup and never answers any of them.
class SilentResolver final : public NameResolver {
 public:
  std::shared_ptr<NameLookup> Start(const std::wstring&, std::uint16_t) override {
    auto lookup = std::make_shared<NameLookup>();
    std::lock_guard<std::mutex> lock(mutex_);
    started_.push_back(lookup);
    return lookup;
  }
  // Lookups started whose waiter has given up on them (the resolver is the only holder left).
  std::size_t Abandoned() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto& lookup : started_) n += lookup.use_count() == 1 ? 1 : 0;
    return n;
  }
  std::size_t Started() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<std::shared_ptr<NameLookup>> started_;
};

// Answers every lookup with 127.0.0.1 after `delay`, from a thread of its own.
class SlowLoopbackResolver final : public NameResolver {
 public:
  explicit SlowLoopbackResolver(std::chrono::milliseconds delay) : delay_(delay) {}
  ~SlowLoopbackResolver() override {
    for (std::thread& t : answering_) t.join();
  }
  std::shared_ptr<NameLookup> Start(const std::wstring&, std::uint16_t port) override {
    auto lookup = std::make_shared<NameLookup>();
    answering_.emplace_back([lookup, port, delay = delay_] {
      std::this_thread::sleep_for(delay);
      std::vector<sock::ResolvedAddress> addresses;
      const int error = sock::Resolve(L"127.0.0.1", port, true, addresses);
      lookup->Finish(error, std::move(addresses));
    });
    return lookup;
  }

 private:
  std::chrono::milliseconds delay_;
  std::vector<std::thread> answering_;  // Start is called from one dialing thread at a time
};

}  // namespace tvx::testing
