// Feeds arbitrary byte streams to Connection::ReceiveFrame: every frame it returns must be whole
// and within the cap, and no stream may crash or hang it. (The fuzz build is native only, so a
// local socket pair stands in for the TCP connection.)
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/log.h"
#include "net/connection.h"

namespace {

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::signal(SIGPIPE, SIG_IGN);
  tvx::SetLogToDebugOutput(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Larger inputs would have to be written while the reader runs; the socket buffers hold these.
  if (size > 65536) return 0;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) std::abort();
  const int bufferBytes = 1 << 20;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
  if (!WriteAll(fds[1], data, size)) std::abort();
  ::close(fds[1]);
  tvx::Connection reader(static_cast<tvx::sock::Handle>(fds[0]));

  tvx::FrameHeader header;
  std::vector<std::uint8_t> payload;
  std::size_t consumed = 0;
  while (reader.ReceiveFrame(header, payload)) {
    if (header.magic != tvx::kFrameMagic || header.length > tvx::kFrameCap || payload.size() != header.length) {
      std::abort();
    }
    consumed += tvx::kFrameHeaderSize + payload.size();
    if (consumed > size) std::abort();  // never more bytes than were sent
  }
  return 0;
}
