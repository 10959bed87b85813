#include "net/listener.h"

#include "foundation/error_text.h"
#include "foundation/format.h"
#include "net/connection.h"

namespace tvx {

Listener::~Listener() { Close(); }

void Listener::Attach(sock::Handle socket) {
  if (socket != sock::kInvalid) sock::SetNonBlocking(socket, true);
  stopping_.store(0);
  socket_.Replace(socket);
}

void Listener::Shutdown() {
  stopping_.store(1);
  socket_.Shutdown();
}

void Listener::Close() {
  stopping_.store(1);
  socket_.Close();
}

std::uint16_t Listener::Port() const {
  const SocketSlot::Use use = socket_.Acquire();
  return use ? sock::LocalPort(use.handle()) : 0;
}

Listener::AcceptResult Listener::Accept(sock::Handle& socket, std::wstring& address) {
  socket = sock::kInvalid;
  for (;;) {
    const SocketSlot::Use use = socket_.Acquire();
    const sock::Handle listening = use.handle();
    if (!use || stopping_.load() != 0) return AcceptResult::kStopped;
    std::wstring raw;
    const sock::Handle accepted = sock::Accept(listening, raw);
    if (accepted != sock::kInvalid) {
      socket = accepted;
      address = PeerAddressText(raw);
      return AcceptResult::kAccepted;
    }
    const int error = sock::LastError();
    if (sock::IsInterrupted(error)) continue;
    if (!sock::IsWouldBlock(error)) {
      return stopping_.load() != 0 ? AcceptResult::kStopped : AcceptResult::kFailed;
    }
    if (sock::WaitSocket(listening, sock::WaitFor::kRead, kWaitSliceMs) == sock::WaitResult::kFailed) {
      return stopping_.load() != 0 ? AcceptResult::kStopped : AcceptResult::kFailed;
    }
  }
}

std::wstring PeerAddressText(const std::wstring& raw) {
  static const std::wstring kMapped = L"::ffff:";
  if (raw.size() > kMapped.size() && raw.compare(0, kMapped.size(), kMapped) == 0) {
    return raw.substr(raw.find_last_of(L':') + 1);
  }
  return raw;
}

bool Listen(Listener& listener, std::uint16_t port, std::wstring& error) {
  listener.Close();
  bool ipv6 = true;
  sock::Handle s = sock::Create(sock::FamilyIpv6(), sock::StreamType(), sock::TcpProtocol());
  if (s == sock::kInvalid) {
    ipv6 = false;
    s = sock::Create(sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
  }
  if (s == sock::kInvalid) {
    error = FormatText(L"socket: %s", SystemErrorText(sock::LastError()));
    return false;
  }
  if (ipv6) sock::SetV6Only(s, false);
  sock::SetExclusiveAddressUse(s);
  if (sock::BindAny(s, ipv6, port) != 0) {
    const int bindError = sock::LastError();
    error = sock::IsAddressInUse(bindError) ? FormatText(L"Port %u is already in use. Pick a different port.", port)
                                            : FormatText(L"bind: %s", SystemErrorText(bindError));
    sock::Close(s);
    return false;
  }
  if (sock::Listen(s, 8) != 0) {
    error = FormatText(L"listen: %s", SystemErrorText(sock::LastError()));
    sock::Close(s);
    return false;
  }
  listener.Attach(s);
  error.clear();
  return true;
}

}  // namespace tvx
