#include "net/connection.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "foundation/clock.h"
#include "foundation/log.h"

namespace tvx {

void WriteFrameHeader(const FrameHeader& header, std::uint8_t out[kFrameHeaderSize]) {
  const std::uint32_t words[] = {header.magic, header.length};
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(words[0] >> (8 * i));
  out[4] = static_cast<std::uint8_t>(header.type);
  out[5] = static_cast<std::uint8_t>(header.type >> 8);
  out[6] = static_cast<std::uint8_t>(header.flags);
  out[7] = static_cast<std::uint8_t>(header.flags >> 8);
  for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<std::uint8_t>(words[1] >> (8 * i));
}

FrameHeader ReadFrameHeader(const std::uint8_t in[kFrameHeaderSize]) {
  auto u32 = [in](int at) {
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
           static_cast<std::uint32_t>(in[at + 2]) << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
  };
  FrameHeader h;
  h.magic = u32(0);
  h.type = static_cast<std::uint16_t>(in[4] | in[5] << 8);
  h.flags = static_cast<std::uint16_t>(in[6] | in[7] << 8);
  h.length = u32(8);
  return h;
}

Connection::Connection(sock::Handle socket) { Attach(socket); }

Connection::~Connection() { Close(); }

void Connection::Attach(sock::Handle socket) {
  if (socket != sock::kInvalid) sock::SetNonBlocking(socket, true);
  socket_.Replace(socket);
}

bool Connection::CloseIfCurrent(sock::Handle socket) { return socket_.CloseIf(socket); }

void Connection::Close() { socket_.Close(); }

void Connection::Shutdown() {
  SetClosing(true);
  socket_.Shutdown();
}

void Connection::MoveFrom(Connection& other) {
  if (&other == this) return;
  socket_.Replace(other.socket_.Take());
  bytesSent_.store(other.bytesSent_.load());
  // The time-outs belong to the socket (they are socket options), so they move with it.
  receiveTimeoutMs_.store(other.receiveTimeoutMs_.load());
  sendTimeoutMs_.store(other.sendTimeoutMs_.load());
}

void Connection::TuneSocket() {
  const SocketUse use = Use();
  if (!use) return;
  sock::SetNoDelay(use.handle(), true);
  sock::SetSendBuffer(use.handle(), 131072);
}

void Connection::SetReceiveTimeout(std::uint32_t ms) {
  const SocketUse use = Use();
  if (!use) return;
  // The option is set for completeness; the waits below enforce the time-out themselves, since
  // the socket is non-blocking.
  sock::SetReceiveTimeout(use.handle(), ms);
  receiveTimeoutMs_.store(ms);
}

void Connection::SetSendTimeout(std::uint32_t ms) {
  const SocketUse use = Use();
  if (!use) return;
  sock::SetSendTimeout(use.handle(), ms);
  sendTimeoutMs_.store(ms);
}

bool Connection::Transfer(Direction direction, std::uint8_t* data, std::uint64_t length,
                          std::int64_t deadlineMicros) {
  const bool sending = direction == Direction::kSend;
  std::int64_t lastProgress = NowMicros();
  while (length > 0) {
    const SocketUse use = Use();
    const sock::Handle s = use.handle();
    if (!use || IsClosing()) return false;
    const std::size_t ask = static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxSocketCall));
    const std::int64_t done = sending ? sock::SendSome(s, data, ask) : sock::RecvSome(s, data, ask);
    if (done > 0) {
      data += done;
      length -= static_cast<std::uint64_t>(done);
      lastProgress = NowMicros();
      continue;
    }
    if (done == 0) return false;  // the peer closed (or a send moved nothing)
    const int error = sock::LastError();
    if (sock::IsInterrupted(error)) continue;
    if (!sock::IsWouldBlock(error)) return false;
    std::uint32_t slice = kWaitSliceMs;
    const std::uint32_t timeoutMs = sending ? sendTimeoutMs_.load() : receiveTimeoutMs_.load();
    if (timeoutMs != 0) {
      const std::int64_t leftMicros = static_cast<std::int64_t>(timeoutMs) * 1000 - (NowMicros() - lastProgress);
      if (leftMicros <= 0) return false;
      slice = static_cast<std::uint32_t>(std::min<std::int64_t>(slice, (leftMicros + 999) / 1000));
    }
    if (deadlineMicros != 0) {
      const std::int64_t leftMicros = deadlineMicros - NowMicros();
      if (leftMicros <= 0) return false;
      slice = static_cast<std::uint32_t>(std::min<std::int64_t>(slice, (leftMicros + 999) / 1000));
    }
    if (sock::WaitSocket(s, sending ? sock::WaitFor::kWrite : sock::WaitFor::kRead, slice) ==
        sock::WaitResult::kFailed) {
      return false;
    }
  }
  return true;
}

bool Connection::SendLocked(const void* data, std::uint64_t length, std::int64_t deadlineMicros) {
  return Transfer(Direction::kSend, static_cast<std::uint8_t*>(const_cast<void*>(data)), length, deadlineMicros);
}

bool Connection::SendHeaderLocked(std::uint16_t type, std::uint16_t flags, std::uint32_t length) {
  return SendFrameLocked(type, flags, nullptr, length, 0);
}

bool Connection::SendFrameLocked(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length,
                                 std::int64_t deadlineMicros) {
  if (!IsOpen()) return false;
  if (length > kFrameCap) {
    Log(kLogError, L"Refusing to send a %u-byte payload (cap %u)", length, kFrameCap);
    return false;
  }
  std::uint8_t bytes[kFrameHeaderSize];
  WriteFrameHeader(FrameHeader{kFrameMagic, type, flags, length}, bytes);
  if (!SendLocked(bytes, sizeof bytes, deadlineMicros)) return false;
  bytesSent_.fetch_add(kFrameHeaderSize, std::memory_order_relaxed);
  // Without data only the header goes out (SendHeaderLocked: the caller sends the payload).
  if (length == 0 || data == nullptr) return true;
  if (!SendLocked(data, length, deadlineMicros)) return false;
  bytesSent_.fetch_add(length, std::memory_order_relaxed);
  return true;
}

bool Connection::SendFrame(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length) {
  if (!IsOpen()) return false;
  // A header promising bytes that never follow would corrupt the stream for the peer.
  if (length != 0 && data == nullptr) return false;
  std::lock_guard<std::mutex> lock(sendLock_);
  return SendFrameLocked(type, flags, data, length, 0);
}

bool Connection::SendFrameWithin(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length,
                                 std::uint32_t ms) {
  if (!IsOpen()) return false;
  if (length != 0 && data == nullptr) return false;
  // Never 0, which would mean no deadline.
  const std::int64_t deadline = NowMicros() + static_cast<std::int64_t>(ms) * 1000 + 1;
  // Polled in 1 ms steps: a timed mutex would cost every sender, and ThreadSanitizer cannot follow
  // one. The callers wait only briefly.
  std::unique_lock<std::mutex> lock(sendLock_, std::try_to_lock);
  while (!lock.owns_lock()) {
    if (NowMicros() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.try_lock();
  }
  return SendFrameLocked(type, flags, data, length, deadline);
}

bool Connection::SendFrameParts(std::uint16_t type, std::uint16_t flags,
                                std::span<const std::span<const std::uint8_t>> parts) {
  if (!IsOpen()) return false;
  std::uint64_t total = 0;
  for (const auto& part : parts) total += part.size();
  if (total > kFrameCap) {
    Log(kLogError, L"Refusing to send a %llu-byte payload (cap %u)", total, kFrameCap);
    return false;
  }
  std::lock_guard<std::mutex> lock(sendLock_);
  if (!SendHeaderLocked(type, flags, static_cast<std::uint32_t>(total))) return false;
  for (const auto& part : parts) {
    if (!SendRaw(part.data(), part.size())) return false;
  }
  return true;
}

bool Connection::SendRaw(const void* data, std::uint64_t length) {
  if (length == 0) return true;
  if (!IsOpen() || data == nullptr) return false;
  if (!SendLocked(data, length)) return false;
  bytesSent_.fetch_add(length, std::memory_order_relaxed);
  return true;
}

bool Connection::ReceiveFrame(FrameHeader& header, std::vector<std::uint8_t>& payload) {
  if (!IsOpen()) return false;
  std::uint8_t bytes[kFrameHeaderSize];
  if (!Transfer(Direction::kReceive, bytes, sizeof bytes)) return false;
  header = ReadFrameHeader(bytes);
  if (header.magic != kFrameMagic) {
    Log(kLogError, L"Bad frame magic 0x%08X - dropping connection", header.magic);
    return false;
  }
  if (header.length > kFrameCap) {
    Log(kLogError, L"Frame length %u exceeds cap - dropping connection", header.length);
    return false;
  }
  // The buffer grows as the bytes arrive, so a header alone cannot make us hold 16 MiB.
  payload.clear();
  std::size_t received = 0;
  while (received < header.length) {
    const std::size_t step = std::min<std::size_t>(header.length - received, kMaxSocketCall);
    payload.resize(received + step);
    if (!Transfer(Direction::kReceive, payload.data() + received, step)) {
      // Never hand out a short payload, even to a caller that ignores the result.
      payload.clear();
      return false;
    }
    received += step;
  }
  return true;
}

}  // namespace tvx
