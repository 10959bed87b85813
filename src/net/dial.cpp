#include "net/dial.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "foundation/clock.h"
#include "foundation/error_text.h"
#include "foundation/format.h"
#include "foundation/text.h"
#include "net/socket_api.h"

namespace tvx {
namespace {

// One connect attempt. Returns true when connected; otherwise `error` holds the reason. The socket
// stays in the connection only on success.
bool TryAddress(Connection& connection, const sock::ResolvedAddress& address, std::uint32_t timeoutMs,
                std::wstring& error) {
  const sock::Handle s = sock::Create(address.family, address.type, address.protocol);
  if (s == sock::kInvalid) return false;
  // Stored at once, so a Close from another thread aborts the attempt.
  connection.Attach(s);
  auto fail = [&](std::wstring text) {
    error = std::move(text);
    connection.CloseIfCurrent(s);
    return false;
  };
  // Every step holds the socket open for its call; a Close from another thread meanwhile takes it
  // out of the connection, which ends the attempt as a cancel.
  auto cancelled = [&](const Connection::SocketUse& use) {
    return connection.IsClosing() || !use || use.handle() != s;
  };
  {
    const Connection::SocketUse use = connection.Use();
    if (cancelled(use)) return fail(L"Cancelled.");
    if (sock::Connect(s, address.address.data(), address.address.size()) == 0) return true;
    const int connectError = sock::LastError();
    if (!sock::IsConnectPending(connectError)) {
      return fail(FormatText(L"connect: %s", SystemErrorText(connectError)));
    }
  }

  const std::int64_t deadline = NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
  for (;;) {
    const Connection::SocketUse use = connection.Use();
    if (cancelled(use)) return fail(L"Cancelled.");
    const std::int64_t now = NowMicros();
    if (now >= deadline) return fail(L"Connection timed out. Is the other side sharing yet?");
    const auto wait = static_cast<std::uint32_t>(std::min<std::int64_t>(kWaitSliceMs, (deadline - now + 999) / 1000));
    switch (sock::WaitSocket(s, sock::WaitFor::kWrite, wait)) {
      case sock::WaitResult::kTimeout:
        continue;
      case sock::WaitResult::kFailed:
        // A Close from another thread during the wait is a cancel, not a fault.
        if (cancelled(use) || connection.socket() != s) return fail(L"Cancelled.");
        return fail(FormatText(L"select: %s", SystemErrorText(sock::LastError())));
      case sock::WaitResult::kReady:
        break;
    }
    if (connection.IsClosing() || connection.socket() != s) return fail(L"Cancelled.");
    const int pending = sock::PendingError(s);
    if (pending != 0) return fail(FormatText(L"Refused: %s", SystemErrorText(pending)));
    return true;
  }
}

// Waits for the lookup in slices, so a cancel is noticed however long the resolver takes. True
// with the addresses; false with `error` set.
bool AwaitLookup(Connection& connection, const std::wstring& host, NameLookup& lookup, std::uint32_t timeoutMs,
                 std::wstring& error) {
  const std::int64_t deadline = NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
  for (;;) {
    if (connection.IsClosing()) {
      error = L"Cancelled.";
      return false;
    }
    if (lookup.WaitFor(kWaitSliceMs)) break;
    if (NowMicros() >= deadline) {
      error = FormatText(L"Cannot reach '%s': %s", host, sock::ResolverErrorText(sock::ResolverTryAgainError()));
      return false;
    }
  }
  if (lookup.error() != 0) {
    error = FormatText(L"Cannot reach '%s': %s", host, sock::ResolverErrorText(lookup.error()));
    return false;
  }
  return true;
}

}  // namespace

bool Dial(Connection& connection, const std::wstring& host, std::uint16_t port, std::uint32_t timeoutMs,
          std::wstring& error, NameResolver& resolver) {
  connection.Close();
  error.clear();

  // Held by this dial only while it waits; a lookup it gives up on finishes on its own.
  const std::shared_ptr<NameLookup> lookup = resolver.Start(host, port);
  if (!AwaitLookup(connection, host, *lookup, timeoutMs, error)) return false;
  const std::vector<sock::ResolvedAddress>& addresses = lookup->addresses();
  bool connected = false;
  for (const sock::ResolvedAddress& address : addresses) {
    if (connection.IsClosing()) break;
    if (TryAddress(connection, address, timeoutMs, error)) {
      connected = true;
      break;
    }
  }
  if (connected) {
    // The socket stays non-blocking: every wait of Connection is sliced so stops are noticed.
    error.clear();
    connection.TuneSocket();
    return true;
  }
  connection.Close();
  if (error.empty()) error = L"No route to that address.";
  return false;
}

}  // namespace tvx
