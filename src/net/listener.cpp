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

bool Listen(Listener& listener, std::uint16_t port, std::wstring& error, ListenScope scope) {
  listener.Close();
  const bool loopback = scope == ListenScope::kLoopback;
  // Loopback listening is IPv4 only: a dual-stack socket on ::1 would not take 127.0.0.1.
  bool ipv6 = !loopback;
  sock::Handle s = ipv6 ? sock::Create(sock::FamilyIpv6(), sock::StreamType(), sock::TcpProtocol()) : sock::kInvalid;
  if (s == sock::kInvalid) {
    ipv6 = false;
    s = sock::Create(sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
  }
  if (s == sock::kInvalid) {
    error = FormatText(L"socket: %s", SystemErrorText(sock::LastError()));
    return false;
  }
  if (ipv6) sock::SetV6Only(s, false);
  sock::AllowQuickRestart(s);
  const auto fail = [&](const wchar_t* step) {
    const int code = sock::LastError();
    error = sock::IsAddressInUse(code) ? FormatText(L"Port %u is already in use. Pick a different port.", port)
                                       : FormatText(L"%s: %s", step, SystemErrorText(code));
    sock::Close(s);
    return false;
  };
  if ((loopback ? sock::BindLoopback(s, false, port) : sock::BindAny(s, ipv6, port)) != 0) return fail(L"bind");
  // Where two sockets that allow a quick restart were both bound to the port, listen is where the
  // second learns that the port is taken.
  if (sock::Listen(s, 8) != 0) return fail(L"listen");
  listener.Attach(s);
  error.clear();
  return true;
}

}  // namespace tvx
