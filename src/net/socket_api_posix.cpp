#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "foundation/format.h"
#include "foundation/text.h"
#include "net/socket_api.h"

namespace tvx::sock {
namespace {

int Fd(Handle socket) { return static_cast<int>(socket); }

bool SetTimeoutOption(Handle socket, int option, std::uint32_t ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  return setsockopt(Fd(socket), SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

bool SetIntOption(Handle socket, int level, int option, int value) {
  return setsockopt(Fd(socket), level, option, &value, sizeof value) == 0;
}

}  // namespace

NetworkInit::NetworkInit() : ok_(true) {}
NetworkInit::~NetworkInit() = default;

int LastError() { return errno; }
bool IsInterrupted(int error) { return error == EINTR; }
bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
bool IsConnectPending(int error) { return error == EINPROGRESS || error == EAGAIN || error == EWOULDBLOCK; }
bool IsAddressInUse(int error) { return error == EADDRINUSE; }
int TimedOutError() { return ETIMEDOUT; }

Handle Create(int family, int type, int protocol) {
  const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  return fd < 0 ? kInvalid : static_cast<Handle>(fd);
}

void Close(Handle socket) {
  if (socket != kInvalid) ::close(Fd(socket));
}

void Shutdown(Handle socket) {
  if (socket != kInvalid) ::shutdown(Fd(socket), SHUT_RDWR);
}

bool SetNonBlocking(Handle socket, bool on) {
  const int flags = fcntl(Fd(socket), F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(Fd(socket), F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

std::int64_t SendSome(Handle socket, const void* data, std::size_t length) {
  return ::send(Fd(socket), data, length, MSG_NOSIGNAL);
}

std::int64_t RecvSome(Handle socket, void* data, std::size_t length) { return ::recv(Fd(socket), data, length, 0); }

bool SetNoDelay(Handle socket, bool on) { return SetIntOption(socket, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
bool SetSendBuffer(Handle socket, int bytes) { return SetIntOption(socket, SOL_SOCKET, SO_SNDBUF, bytes); }
bool SetReceiveTimeout(Handle socket, std::uint32_t ms) { return SetTimeoutOption(socket, SO_RCVTIMEO, ms); }
bool SetSendTimeout(Handle socket, std::uint32_t ms) { return SetTimeoutOption(socket, SO_SNDTIMEO, ms); }
bool SetV6Only(Handle socket, bool on) { return SetIntOption(socket, IPPROTO_IPV6, IPV6_V6ONLY, on ? 1 : 0); }
bool AllowQuickRestart(Handle socket) { return SetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, 1); }

int PendingError(Handle socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

WaitResult WaitSocket(Handle socket, WaitFor what, std::uint32_t ms) {
  pollfd p{};
  p.fd = Fd(socket);
  p.events = what == WaitFor::kRead ? POLLIN : POLLOUT;
  const int n = ::poll(&p, 1, static_cast<int>(ms));
  if (n < 0) return errno == EINTR ? WaitResult::kTimeout : WaitResult::kFailed;
  if (n == 0) return WaitResult::kTimeout;
  if (p.revents & POLLNVAL) {
    errno = EBADF;
    return WaitResult::kFailed;
  }
  return WaitResult::kReady;
}

int Connect(Handle socket, const void* address, std::size_t addressLength) {
  return ::connect(Fd(socket), static_cast<const sockaddr*>(address), static_cast<socklen_t>(addressLength));
}

namespace {

// Binds to the unspecified or the loopback address of the socket's family.
int BindTo(Handle socket, bool ipv6, bool loopback, std::uint16_t port) {
  if (ipv6) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = loopback ? in6addr_loopback : in6addr_any;
    a.sin6_port = htons(port);
    return ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(loopback ? INADDR_LOOPBACK : INADDR_ANY);
  a.sin_port = htons(port);
  return ::bind(Fd(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

}  // namespace

int BindAny(Handle socket, bool ipv6, std::uint16_t port) { return BindTo(socket, ipv6, false, port); }

int BindLoopback(Handle socket, bool ipv6, std::uint16_t port) { return BindTo(socket, ipv6, true, port); }

int Listen(Handle socket, int backlog) { return ::listen(Fd(socket), backlog); }

Handle Accept(Handle listener, std::wstring& peerAddress) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  const int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  if (fd < 0) return kInvalid;
  char text[INET6_ADDRSTRLEN] = {};
  if (peer.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr, text, sizeof text);
  } else if (peer.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr, text, sizeof text);
  }
  peerAddress = Utf8ToWide(text);
  return static_cast<Handle>(fd);
}

std::uint16_t LocalPort(Handle socket) {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  if (local.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

int Resolve(const std::wstring& host, std::uint16_t port, bool numericOnly, std::vector<ResolvedAddress>& out) {
  out.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* list = nullptr;
  const int result = getaddrinfo(WideToUtf8(host).c_str(), std::to_string(port).c_str(), &hints, &list);
  if (result != 0) return result;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    ResolvedAddress r;
    r.family = a->ai_family;
    r.type = a->ai_socktype;
    r.protocol = a->ai_protocol;
    r.address.assign(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen);
    out.push_back(std::move(r));
  }
  freeaddrinfo(list);
  return 0;
}

int ResolverTryAgainError() { return EAI_AGAIN; }

std::wstring ResolverErrorText(int code) {
  // EAI_SYSTEM means the reason is in errno.
  const char* text = code == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(code);
  return FormatText(L"%d 0x%08X (%s)", code, static_cast<std::uint32_t>(code), text ? text : "unknown");
}

int FamilyIpv4() { return AF_INET; }
int FamilyIpv6() { return AF_INET6; }
int StreamType() { return SOCK_STREAM; }
int TcpProtocol() { return IPPROTO_TCP; }

}  // namespace tvx::sock
