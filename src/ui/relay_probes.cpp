#include "ui/relay_probes.h"

#include "foundation/com_apartment.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "host/relay_probe.h"

namespace tvx {

std::wstring RelayStatusText(const RelayStatusRecord& record) {
  switch (record.state) {
    case RelayState::Probing: return L"checking...";
    case RelayState::Online:
      return FormatText(L"online   %u sharing   %u connections carried", record.hostsSharing,
                        record.connectionsCarried);
    case RelayState::Unreachable: return L"cannot be reached";
    case RelayState::NotARelay: return L"answered, but not as a relay";
    case RelayState::NotProbed:
    default: return L"not checked";
  }
}

RelayProbes::RelayProbes(std::function<void()> repaint) : repaint_(std::move(repaint)) {}

RelayProbes::~RelayProbes() { Stop(); }

void RelayProbes::Start(const std::vector<std::wstring>& addresses, std::uint16_t port) {
  Stop();
  {
    std::lock_guard lock(lock_);
    for (const auto& address : addresses) status_[address] = {RelayState::Probing, 0, 0};
  }
  running_.store(true);
  worker_ = std::thread([this, addresses, port] { Work(addresses, port); });
}

void RelayProbes::Stop() {
  cancel_.store(true);
  {
    std::lock_guard lock(lock_);
    if (current_) {
      current_->SetClosing(true);
      current_->Shutdown();
    }
  }
  if (worker_.joinable()) worker_.join();
  cancel_.store(false);
}

RelayStatusRecord RelayProbes::Status(const std::wstring& address) const {
  std::lock_guard lock(lock_);
  const auto it = status_.find(address);
  return it == status_.end() ? RelayStatusRecord{} : it->second;
}

bool RelayProbes::Running() const { return running_.load(); }

void RelayProbes::Work(std::vector<std::wstring> addresses, std::uint16_t port) {
  ComApartment com;
  for (const auto& address : addresses) {
    auto connection = std::make_shared<Connection>();
    {
      std::lock_guard lock(lock_);
      if (cancel_.load()) break;
      current_ = connection;
    }
    const RelayProbeResult result = ProbeRelay(*connection, address, port);
    {
      std::lock_guard lock(lock_);
      current_.reset();
      if (cancel_.load()) {
        // A cancelled probe says nothing about the relay.
        status_[address] = {};
        break;
      }
      RelayStatusRecord& record = status_[address];
      switch (result.state) {
        case RelayProbeResult::State::Online:
          record = {RelayState::Online, result.hostsSharing, result.connectionsCarried};
          break;
        case RelayProbeResult::State::NotARelay: record = {RelayState::NotARelay, 0, 0}; break;
        case RelayProbeResult::State::Unreachable:
        default: record = {RelayState::Unreachable, 0, 0}; break;
      }
      Log(kLogInfo, L"Relay %s on port %u: %s", address, static_cast<unsigned>(port), RelayStatusText(record));
    }
    connection->Close();
    if (repaint_) repaint_();
  }
  // Addresses the cancel left unprobed are not being checked any more.
  {
    std::lock_guard lock(lock_);
    for (const auto& address : addresses) {
      auto it = status_.find(address);
      if (it != status_.end() && it->second.state == RelayState::Probing) it->second = {};
    }
  }
  running_.store(false);
  if (repaint_) repaint_();
}

}  // namespace tvx
