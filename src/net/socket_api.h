// The thin layer over the platform's sockets (Winsock or BSD sockets) that the connection, dialing
// and listening code is written against, so that code is the same on every platform.
//
// Every socket the program keeps is non-blocking: waits happen in WaitSocket, in short slices, so a
// thread blocked on a silent peer notices a stop request within about 100 ms on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::sock {

// A platform socket handle widened to 64 bits; all ones means "no socket".
using Handle = std::uint64_t;
inline constexpr Handle kInvalid = ~Handle{0};

// Winsock needs WSAStartup before the first socket call; elsewhere this does nothing. Tools hold
// one for their lifetime (test mains start Winsock themselves).
class NetworkInit {
 public:
  NetworkInit();
  ~NetworkInit();
  NetworkInit(const NetworkInit&) = delete;
  NetworkInit& operator=(const NetworkInit&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// The error of the last failed socket call on this thread (WSAGetLastError or errno).
int LastError();
bool IsInterrupted(int error);      // WSAEINTR / EINTR: retry the call
bool IsWouldBlock(int error);       // WSAEWOULDBLOCK / EAGAIN
bool IsConnectPending(int error);   // a non-blocking connect that is under way
bool IsAddressInUse(int error);     // a bind to a port that is taken (WSAEADDRINUSE, WSAEACCES / EADDRINUSE)

// The code of a timed-out wait, shown when a receive or send time-out ends an operation.
int TimedOutError();

Handle Create(int family, int type, int protocol);
void Close(Handle socket);
// Both directions (SD_BOTH / SHUT_RDWR).
void Shutdown(Handle socket);
bool SetNonBlocking(Handle socket, bool on);

// One send or recv call. Returns the byte count, 0 when the peer closed (recv), -1 on failure with
// LastError() set. Send never raises SIGPIPE.
std::int64_t SendSome(Handle socket, const void* data, std::size_t length);
std::int64_t RecvSome(Handle socket, void* data, std::size_t length);

bool SetNoDelay(Handle socket, bool on);
bool SetSendBuffer(Handle socket, int bytes);
bool SetReceiveTimeout(Handle socket, std::uint32_t ms);
bool SetSendTimeout(Handle socket, std::uint32_t ms);
bool SetV6Only(Handle socket, bool on);
// Lets a listening socket bind its port again at once after the last share on it ended, while the
// old share's connections still linger there (TIME_WAIT, or unsent data after the close), and
// still refuses the port while another socket listens on it.
// Linux: SO_REUSEADDR, which allows exactly that (unlike on BSD, it never lets two listeners share
// a port). Windows: nothing to set. A plain socket already refuses a port another socket holds, and
// connections lingering on the port do not stop a plain bind; SO_EXCLUSIVEADDRUSE would make the
// lingering accepted connections hold the port until the system lets them go.
bool AllowQuickRestart(Handle socket);
// The pending error of a socket (SO_ERROR), 0 when there is none.
int PendingError(Handle socket);

enum class WaitFor { kRead, kWrite };
enum class WaitResult { kReady, kTimeout, kFailed };
// Waits up to `ms` for the socket to become readable (data, end of stream, a pending accept) or
// writable (room in the send buffer, a finished connect). An error state counts as ready, so the
// next call reports it. kFailed sets LastError().
WaitResult WaitSocket(Handle socket, WaitFor what, std::uint32_t ms);

// The connect step of a dial: family/address from the resolver.
int Connect(Handle socket, const void* address, std::size_t addressLength);

// Binds to the unspecified address of the socket's family (:: or 0.0.0.0) and the port.
int BindAny(Handle socket, bool ipv6, std::uint16_t port);
// Binds to the loopback address (::1 or 127.0.0.1) and the port; tests and tools keep their
// traffic on the computer this way.
int BindLoopback(Handle socket, bool ipv6, std::uint16_t port);
int Listen(Handle socket, int backlog);
// One accept; on success returns the new socket and its peer address as text (IPv4-mapped IPv6
// peers are not rewritten here). kInvalid with LastError() set on failure.
Handle Accept(Handle listener, std::wstring& peerAddress);
// The local port a bound socket uses (tests bind port 0 and ask which port they got).
std::uint16_t LocalPort(Handle socket);

// Name resolution: a resolved address list, owned.
struct ResolvedAddress {
  int family = 0;
  int type = 0;
  int protocol = 0;
  std::string address;  // the raw sockaddr bytes
};
// Asks the system resolver (getaddrinfo / GetAddrInfoW) for the TCP addresses of `host`, IPv4 and
// IPv6, in the resolver's order. Returns 0 and fills `out`, or the resolver's error code (see
// ResolverErrorText). May block for as long as the system's lookup takes, which can be very long:
// dialing goes through NameResolver, never straight here. With `numericOnly` only an address
// written as numbers resolves, and the call never waits for the network.
int Resolve(const std::wstring& host, std::uint16_t port, bool numericOnly, std::vector<ResolvedAddress>& out);
// The resolver's "temporary failure, try again" code (EAI_AGAIN / WSATRY_AGAIN): a lookup that
// did not answer in time, or could not be started.
int ResolverTryAgainError();
// "%d %s" for a resolver error code.
std::wstring ResolverErrorText(int code);

// Family constants of the platform, for the shared code.
int FamilyIpv4();
int FamilyIpv6();
int StreamType();
int TcpProtocol();

}  // namespace tvx::sock
