#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "foundation/error_text.h"
#include "net/socket_api.h"

namespace tvx::sock {
namespace {

SOCKET Sock(Handle socket) { return static_cast<SOCKET>(socket); }

bool SetIntOption(Handle socket, int level, int option, int value) {
  return setsockopt(Sock(socket), level, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool SetTimeoutOption(Handle socket, int option, std::uint32_t ms) {
  const DWORD value = ms;
  return setsockopt(Sock(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

int Clamp(std::size_t length) { return length > 0x40000000u ? 0x40000000 : static_cast<int>(length); }

}  // namespace

NetworkInit::NetworkInit() {
  WSADATA data{};
  ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

NetworkInit::~NetworkInit() {
  if (ok_) WSACleanup();
}

int LastError() { return WSAGetLastError(); }
bool IsInterrupted(int error) { return error == WSAEINTR; }
bool IsWouldBlock(int error) { return error == WSAEWOULDBLOCK; }
bool IsConnectPending(int error) { return error == WSAEWOULDBLOCK; }
// A port another socket holds exclusively, or one the system reserves, fails a bind with
// WSAEACCES rather than WSAEADDRINUSE; for the user both mean the port is taken.
bool IsAddressInUse(int error) { return error == WSAEADDRINUSE || error == WSAEACCES; }
int TimedOutError() { return WSAETIMEDOUT; }

Handle Create(int family, int type, int protocol) {
  const SOCKET s = ::socket(family, type, protocol);
  if (s == INVALID_SOCKET) return kInvalid;
  // Child processes must not keep the program's sockets open.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return static_cast<Handle>(s);
}

void Close(Handle socket) {
  if (socket != kInvalid) closesocket(Sock(socket));
}

void Shutdown(Handle socket) {
  if (socket != kInvalid) ::shutdown(Sock(socket), SD_BOTH);
}

bool SetNonBlocking(Handle socket, bool on) {
  u_long mode = on ? 1 : 0;
  return ioctlsocket(Sock(socket), FIONBIO, &mode) == 0;
}

std::int64_t SendSome(Handle socket, const void* data, std::size_t length) {
  return ::send(Sock(socket), static_cast<const char*>(data), Clamp(length), 0);
}

std::int64_t RecvSome(Handle socket, void* data, std::size_t length) {
  return ::recv(Sock(socket), static_cast<char*>(data), Clamp(length), 0);
}

bool SetNoDelay(Handle socket, bool on) { return SetIntOption(socket, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
bool SetSendBuffer(Handle socket, int bytes) { return SetIntOption(socket, SOL_SOCKET, SO_SNDBUF, bytes); }
bool SetReceiveTimeout(Handle socket, std::uint32_t ms) { return SetTimeoutOption(socket, SO_RCVTIMEO, ms); }
bool SetSendTimeout(Handle socket, std::uint32_t ms) { return SetTimeoutOption(socket, SO_SNDTIMEO, ms); }
bool SetV6Only(Handle socket, bool on) { return SetIntOption(socket, IPPROTO_IPV6, IPV6_V6ONLY, on ? 1 : 0); }
bool AllowQuickRestart(Handle) { return true; }

int PendingError(Handle socket) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(Sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return WSAGetLastError();
  }
  return error;
}

WaitResult WaitSocket(Handle socket, WaitFor what, std::uint32_t ms) {
  fd_set primary;
  fd_set failed;
  FD_ZERO(&primary);
  FD_ZERO(&failed);
  FD_SET(Sock(socket), &primary);
  // A failed non-blocking connect is reported in the exception set only.
  FD_SET(Sock(socket), &failed);
  timeval tv{};
  tv.tv_sec = static_cast<long>(ms / 1000);
  tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
  const int n = what == WaitFor::kRead ? ::select(0, &primary, nullptr, &failed, &tv)
                                       : ::select(0, nullptr, &primary, &failed, &tv);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEINTR ? WaitResult::kTimeout : WaitResult::kFailed;
  return n == 0 ? WaitResult::kTimeout : WaitResult::kReady;
}

int Connect(Handle socket, const void* address, std::size_t addressLength) {
  return ::connect(Sock(socket), static_cast<const sockaddr*>(address), static_cast<int>(addressLength));
}

namespace {

// Binds to the unspecified or the loopback address of the socket's family.
int BindTo(Handle socket, bool ipv6, bool loopback, std::uint16_t port) {
  if (ipv6) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = loopback ? in6addr_loopback : in6addr_any;
    a.sin6_port = htons(port);
    return ::bind(Sock(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(loopback ? INADDR_LOOPBACK : INADDR_ANY);
  a.sin_port = htons(port);
  return ::bind(Sock(socket), reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

}  // namespace

int BindAny(Handle socket, bool ipv6, std::uint16_t port) { return BindTo(socket, ipv6, false, port); }

int BindLoopback(Handle socket, bool ipv6, std::uint16_t port) { return BindTo(socket, ipv6, true, port); }

int Listen(Handle socket, int backlog) { return ::listen(Sock(socket), backlog); }

Handle Accept(Handle listener, std::wstring& peerAddress) {
  sockaddr_storage peer{};
  int length = sizeof peer;
  const SOCKET s = ::accept(Sock(listener), reinterpret_cast<sockaddr*>(&peer), &length);
  if (s == INVALID_SOCKET) return kInvalid;
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  wchar_t text[INET6_ADDRSTRLEN] = {};
  if (peer.ss_family == AF_INET6) {
    InetNtopW(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr, text, INET6_ADDRSTRLEN);
  } else if (peer.ss_family == AF_INET) {
    InetNtopW(AF_INET, &reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr, text, INET6_ADDRSTRLEN);
  }
  peerAddress = text;
  return static_cast<Handle>(s);
}

std::uint16_t LocalPort(Handle socket) {
  sockaddr_storage local{};
  int length = sizeof local;
  if (getsockname(Sock(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  if (local.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

int Resolve(const std::wstring& host, std::uint16_t port, bool numericOnly, std::vector<ResolvedAddress>& out) {
  out.clear();
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  ADDRINFOW* list = nullptr;
  const std::wstring service = std::to_wstring(port);
  // The wide call, so a name in any script reaches the resolver as typed.
  const int result = GetAddrInfoW(host.c_str(), service.c_str(), &hints, &list);
  if (result != 0) return result;
  for (ADDRINFOW* a = list; a != nullptr; a = a->ai_next) {
    ResolvedAddress r;
    r.family = a->ai_family;
    r.type = a->ai_socktype;
    r.protocol = a->ai_protocol;
    r.address.assign(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen);
    out.push_back(std::move(r));
  }
  FreeAddrInfoW(list);
  return 0;
}

int ResolverTryAgainError() { return WSATRY_AGAIN; }

// getaddrinfo reports Winsock error numbers, shown like every other socket error.
std::wstring ResolverErrorText(int code) { return SystemErrorText(code); }

int FamilyIpv4() { return AF_INET; }
int FamilyIpv6() { return AF_INET6; }
int StreamType() { return SOCK_STREAM; }
int TcpProtocol() { return IPPROTO_TCP; }

}  // namespace tvx::sock
