#include "host/relay_link.h"

#include <chrono>
#include <system_error>
#include <vector>

#include "foundation/log.h"
#include "foundation/text.h"
#include "host/relay_backoff.h"
#include "net/dial.h"
#include "net/message_types.h"
#include "net/relay_messages.h"

namespace tvx {

RelayLink::RelayLink(DialBackHandler dialBack) : dialBack_(std::move(dialBack)) {}

RelayLink::~RelayLink() { Stop(); }

void RelayLink::SetStatusHandler(StatusHandler handler) {
  std::lock_guard lock(mutex_);
  statusHandler_ = std::move(handler);
}

void RelayLink::Start(RelayTarget target) {
  Stop();
  if (target.server.empty()) {
    SetStatus(L"", false);
    return;
  }
  target_ = std::move(target);
  running_.store(1);
  SetStatus(L"Connecting to the relay...", false);
  thread_ = std::thread([this] { Run(); });
}

void RelayLink::Stop() {
  running_.store(0);
  {
    std::lock_guard lock(mutex_);
    if (control_) control_->Shutdown();
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  ReapDialBacks(true);
  ready_.store(0);
}

std::wstring RelayLink::StatusText() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void RelayLink::SetStatus(const std::wstring& text, bool ready) {
  StatusHandler handler;
  {
    std::lock_guard lock(mutex_);
    const bool changed = text != status_ || (ready_.load() != 0) != ready;
    status_ = text;
    ready_.store(ready ? 1 : 0);
    if (changed) handler = statusHandler_;
  }
  if (handler) handler(text, ready);
}

void RelayLink::Run() {
  RelayBackoff backoff;
  while (running_.load() != 0) {
    auto control = std::make_shared<Connection>();
    {
      // Published under the lock that Stop takes, and Dial keeps a shutdown that comes before it
      // starts: whichever of the two comes first, Stop never waits out a dial.
      std::lock_guard lock(mutex_);
      if (running_.load() == 0) break;
      control_ = control;
    }
    if (Attempt(control)) backoff.Registered();
    {
      std::lock_guard lock(mutex_);
      control_.reset();
    }
    control->Close();
    ready_.store(0);
    ReapDialBacks(false);

    // Wait out the delay, waking at once when the host stops sharing.
    const auto delay = std::chrono::milliseconds(backoff.NextDelayMs() / timings_.backoffScale);
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, delay, [this] { return running_.load() == 0; });
  }
}

bool RelayLink::Attempt(const std::shared_ptr<Connection>& control) {
  std::wstring error;
  NameResolver& resolver = resolver_ ? *resolver_ : SystemNameResolver();
  if (!Dial(*control, target_.server, target_.port, timings_.dialTimeoutMs, error, resolver)) {
    if (running_.load() == 0) return false;
    const std::wstring status = L"Relay unreachable: " + error;
    Log(kLogWarning, L"Relay connect failed: %s", status);
    SetStatus(status, false);
    return false;
  }
  RelayRegistration registration;
  registration.relayId = target_.id;
  registration.computerName = target_.computerName;
  const Bytes payload = Encode(registration);
  control->SetReceiveTimeout(0);
  control->SetSendTimeout(timings_.sendTimeoutMs);
  if (!control->SendFrame(msg::kRelayRegistration, 0, payload.data(), static_cast<std::uint32_t>(payload.size()))) {
    if (running_.load() != 0) SetStatus(L"Relay refused the registration.", false);
    return false;
  }

  bool registered = false;
  FrameHeader header;
  Bytes frame;
  while (running_.load() != 0 && control->ReceiveFrame(header, frame)) {
    if (header.type == msg::kRelayRegistered) {
      registered = true;
      Log(kLogInfo, L"Registered with relay %s:%u", target_.server, target_.port);
      SetStatus(L"Relay ready. They can connect from anywhere.", true);
    } else if (header.type == msg::kRelayTicket) {
      RelayTicket ticket;
      // A ticket before the registration was accepted, or of the wrong size, is not acted on.
      if (registered && Decode(frame, ticket)) {
        Log(kLogInfo, L"Relay offered ticket %llu", ticket.ticket);
        StartDialBack(ticket.ticket);
      }
    } else if (header.type == msg::kRelayRefusal) {
      RelayRefusal refusal;
      Decode(frame, refusal);
      const std::wstring reason = Utf8ToWide(refusal.reason);
      Log(kLogWarning, L"Relay refused us: %s", reason);
      SetStatus(L"Relay: " + reason, false);
      return registered;
    }
  }
  if (running_.load() != 0 && registered) SetStatus(L"Relay connection dropped, retrying...", false);
  return registered;
}

void RelayLink::StartDialBack(std::uint64_t ticket) {
  ReapDialBacks(false);
  std::lock_guard lock(dialBackMutex_);
  if (tickets_.size() >= kMaxQueuedTickets) {
    Log(kLogWarning, L"Relay ticket %llu refused: %u tickets are already waiting", ticket,
        static_cast<unsigned>(tickets_.size()));
    return;
  }
  tickets_.push_back(ticket);
  if (servingThreads_ >= kMaxDialBackThreads) return;  // a busy thread takes it when it is free
  DialBackThread& entry = dialBacks_.emplace_back();
  try {
    // List elements stay put, so the thread may keep a reference to its own entry.
    entry.thread = std::thread([this, &entry] { ServeTickets(entry); });
  } catch (const std::system_error& e) {
    dialBacks_.pop_back();
    if (servingThreads_ == 0) {
      // Nobody else would ever take it.
      tickets_.pop_back();
      Log(kLogWarning, L"Relay dial-back for ticket %llu could not start: %s", ticket, Utf8ToWide(e.what()));
    }
    return;
  }
  ++servingThreads_;
}

void RelayLink::ServeTickets(DialBackThread& entry) {
  for (;;) {
    std::uint64_t ticket = 0;
    std::shared_ptr<Connection> connection;
    {
      std::lock_guard lock(dialBackMutex_);
      if (running_.load() == 0 || tickets_.empty()) {
        // Decided under the lock, so a ticket queued now finds either this thread or a new one.
        --servingThreads_;
        entry.finished.store(true);
        return;
      }
      ticket = tickets_.front();
      tickets_.pop_front();
      connection = std::make_shared<Connection>();
      entry.connection = connection;  // Stop shuts it down
    }
    DialBack(ticket, connection);
    // Admission moved the socket out when it took the channel; whatever is left goes.
    connection->Close();
  }
}

void RelayLink::DialBack(std::uint64_t ticket, const std::shared_ptr<Connection>& connection) {
  std::wstring error;
  if (!Dial(*connection, target_.server, target_.port, timings_.dialTimeoutMs, error)) {
    Log(kLogWarning, L"Relay dial-back for ticket %llu failed: %s", ticket, error);
    return;
  }
  const Bytes claim = Encode(RelayTicket{ticket});
  if (!connection->SendFrame(msg::kRelayTicketClaim, 0, claim.data(), static_cast<std::uint32_t>(claim.size()))) {
    Log(kLogWarning, L"Relay dial-back could not claim ticket %llu", ticket);
    return;
  }
  Log(kLogInfo, L"Relay dial-back claimed ticket %llu", ticket);
  if (dialBack_) dialBack_(connection);
}

void RelayLink::ReapDialBacks(bool all) {
  std::list<DialBackThread> done;
  {
    std::lock_guard lock(dialBackMutex_);
    if (all) tickets_.clear();
    for (auto it = dialBacks_.begin(); it != dialBacks_.end();) {
      if (all || it->finished.load()) {
        if (all && it->connection) it->connection->Shutdown();
        auto next = std::next(it);
        done.splice(done.end(), dialBacks_, it);
        it = next;
      } else {
        ++it;
      }
    }
  }
  for (DialBackThread& entry : done) {
    if (entry.thread.joinable()) entry.thread.join();
  }
}

}  // namespace tvx
