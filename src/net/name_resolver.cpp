#include "net/name_resolver.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace tvx {

void NameLookup::Finish(int error, std::vector<sock::ResolvedAddress> addresses) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    finished_ = true;
    error_ = error;
    addresses_ = std::move(addresses);
  }
  answered_.notify_all();
}

bool NameLookup::WaitFor(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return answered_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_; });
}

ThreadedNameResolver::ThreadedNameResolver(BlockingLookup lookup, int maxLookups)
    : lookup_(std::move(lookup)), maxLookups_(maxLookups) {}

std::shared_ptr<NameLookup> ThreadedNameResolver::Start(const std::wstring& host, std::uint16_t port) {
  auto lookup = std::make_shared<NameLookup>();
  std::vector<sock::ResolvedAddress> addresses;
  // A numeric address never asks the network, so it needs no worker.
  if (sock::Resolve(host, port, true, addresses) == 0) {
    lookup->Finish(0, std::move(addresses));
    return lookup;
  }
  if (running_->fetch_add(1) >= maxLookups_) {
    running_->fetch_sub(1);
    lookup->Finish(sock::ResolverTryAgainError(), {});
    return lookup;
  }
  try {
    // The worker holds everything it touches, so it may outlive the waiter and this resolver.
    std::thread([lookup, host, port, blocking = lookup_, running = running_] {
      std::vector<sock::ResolvedAddress> found;
      const int error = blocking(host, port, found);
      lookup->Finish(error, std::move(found));
      running->fetch_sub(1);
    }).detach();
  } catch (const std::system_error&) {
    running_->fetch_sub(1);
    lookup->Finish(sock::ResolverTryAgainError(), {});
  }
  return lookup;
}

NameResolver& SystemNameResolver() {
  static ThreadedNameResolver resolver(
      [](const std::wstring& host, std::uint16_t port, std::vector<sock::ResolvedAddress>& out) {
        return sock::Resolve(host, port, false, out);
      },
      kMaxNameLookups);
  return resolver;
}

}  // namespace tvx
