// One TCP socket carrying Tavrix frames: a 12-byte header (magic "TVRX", type, flags, length) and
// the payload, up to the frame cap.
//
// Sending threads are serialised by a send lock so frames never interleave; one thread receives.
// Every wait on the socket happens in slices of about 100 ms, so a thread blocked on a silent peer
// notices `closing` (set by Shutdown) or a Close from another thread in that time, on every
// platform — a shutdown alone does not wake a blocked recv everywhere.
//
// Close from another thread while a send or receive is under way only shuts the socket down; the
// handle itself is released when the last call using it returns, so a handle number the system
// hands out again can never receive another connection's bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "net/socket_api.h"
#include "net/socket_slot.h"

namespace tvx {

inline constexpr std::uint32_t kFrameMagic = 0x58525654;  // "TVRX" read little-endian
inline constexpr std::uint32_t kFrameCap = 16777216;      // largest payload sent or accepted
inline constexpr std::size_t kFrameHeaderSize = 12;
inline constexpr std::size_t kMaxSocketCall = 1048576;    // bytes asked of one send or recv call
inline constexpr std::uint32_t kWaitSliceMs = 100;        // how often blocked waits look at `closing`

struct FrameHeader {
  std::uint32_t magic = kFrameMagic;
  std::uint16_t type = 0;
  std::uint16_t flags = 0;
  std::uint32_t length = 0;
};

void WriteFrameHeader(const FrameHeader& header, std::uint8_t out[kFrameHeaderSize]);
FrameHeader ReadFrameHeader(const std::uint8_t in[kFrameHeaderSize]);

class Connection {
 public:
  Connection() = default;
  // Takes ownership of a connected socket (see Attach).
  explicit Connection(sock::Handle socket);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends one header and `length` bytes of `data` (a bare header when length is 0). A payload above
  // the cap, or a non-zero length without data, is refused before anything is written.
  bool SendFrame(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length);
  // Sends one header and then each buffer in turn, all under one hold of the send lock; the
  // header's length is the sum of the buffers. For messages assembled from separate buffers.
  bool SendFrameParts(std::uint16_t type, std::uint16_t flags, std::span<const std::span<const std::uint8_t>> parts);
  // Bytes without a header. Only for a caller that holds the send lock (LockSending) and has already
  // sent a header that covers them with SendHeaderLocked.
  bool SendRaw(const void* data, std::uint64_t length);
  bool SendHeaderLocked(std::uint16_t type, std::uint16_t flags, std::uint32_t length);
  [[nodiscard]] std::unique_lock<std::mutex> LockSending() { return std::unique_lock<std::mutex>(sendLock_); }
  // SendFrame for a caller that must not be held up: gives up (false) when the frame is not out
  // within `ms`, the wait for the send lock included. A frame given up half-way leaves a broken
  // stream, so the caller then ends the connection (a last goodbye before a shutdown).
  bool SendFrameWithin(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length,
                       std::uint32_t ms);

  // Reads one whole frame; `payload` is resized to exactly its length. False means the connection
  // is dead (peer gone, error, time-out, bad magic, length above the cap, or closing).
  bool ReceiveFrame(FrameHeader& header, std::vector<std::uint8_t>& payload);

  // TCP_NODELAY on and a 128 KiB send buffer.
  void TuneSocket();
  // 0 removes the time-out. A receive (send) fails when no byte arrives (leaves) for that long.
  void SetReceiveTimeout(std::uint32_t ms);
  void SetSendTimeout(std::uint32_t ms);

  // The first phase of ending a connection: sets `closing` and shuts the socket down both ways.
  // Blocked senders and receivers return false within about 100 ms. Join them, then Close.
  void Shutdown();
  // Closes the socket if there is one. Safe from any thread, any number of times.
  void Close();
  // Closes this connection's socket and takes over the other's socket, its time-outs and the byte
  // count. No thread may be using `other` meanwhile.
  void MoveFrom(Connection& other);
  // Closes any socket held and takes ownership of `socket`, switching it to non-blocking mode.
  void Attach(sock::Handle socket);
  // Closes `socket` and clears it from the connection only if it is still the one held; false when
  // another thread closed or replaced it meanwhile (the dial code uses this).
  bool CloseIfCurrent(sock::Handle socket);

  // `closing` cancels a dial and ends blocked transfers; the owner sets it before a shutdown.
  void SetClosing(bool closing) { closing_.store(closing ? 1 : 0); }
  bool IsClosing() const { return closing_.load() != 0; }

  bool IsOpen() const { return socket_.load() != sock::kInvalid; }
  sock::Handle socket() const { return socket_.load(); }

  // Holds the current socket open for the duration of one platform call; false when the
  // connection has no socket.
  using SocketUse = SocketSlot::Use;
  SocketUse Use() { return socket_.Acquire(); }
  std::uint64_t BytesSent() const { return bytesSent_.load(std::memory_order_relaxed); }

 private:
  enum class Direction { kSend, kReceive };
  // Moves all `length` bytes in calls of at most 1 MiB, waiting in slices between them; gives up at
  // `deadlineMicros` (NowMicros) unless that is 0.
  bool Transfer(Direction direction, std::uint8_t* data, std::uint64_t length, std::int64_t deadlineMicros = 0);
  bool SendLocked(const void* data, std::uint64_t length, std::int64_t deadlineMicros = 0);
  // Header and payload with the send lock held.
  bool SendFrameLocked(std::uint16_t type, std::uint16_t flags, const void* data, std::uint32_t length,
                       std::int64_t deadlineMicros);

  SocketSlot socket_;
  std::atomic<std::uint8_t> closing_{0};
  std::mutex sendLock_;
  std::atomic<std::uint64_t> bytesSent_{0};
  std::atomic<std::uint32_t> receiveTimeoutMs_{0};
  std::atomic<std::uint32_t> sendTimeoutMs_{0};
};

}  // namespace tvx
