#include "net/socket_slot.h"

namespace tvx {

SocketSlot::Use SocketSlot::Acquire() const {
  std::lock_guard<std::mutex> lock(lock_);
  const sock::Handle s = socket_.load();
  if (s == sock::kInvalid) return Use(this, sock::kInvalid);
  ++users_;
  return Use(this, s);
}

void SocketSlot::Release() const {
  std::vector<sock::Handle> toClose;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (--users_ == 0) toClose.swap(retired_);
  }
  for (sock::Handle s : toClose) sock::Close(s);
}

void SocketSlot::Retire(sock::Handle socket) {
  if (socket == sock::kInvalid) return;
  if (users_ == 0) {
    sock::Close(socket);
  } else {
    // Wakes the calls in progress; the last of them closes the handle.
    sock::Shutdown(socket);
    retired_.push_back(socket);
  }
}

void SocketSlot::Replace(sock::Handle socket) {
  std::lock_guard<std::mutex> lock(lock_);
  Retire(socket_.exchange(socket));
}

bool SocketSlot::CloseIf(sock::Handle socket) {
  std::lock_guard<std::mutex> lock(lock_);
  sock::Handle expected = socket;
  if (socket == sock::kInvalid || !socket_.compare_exchange_strong(expected, sock::kInvalid)) return false;
  Retire(socket);
  return true;
}

sock::Handle SocketSlot::Take() {
  std::lock_guard<std::mutex> lock(lock_);
  return socket_.exchange(sock::kInvalid);
}

void SocketSlot::Shutdown() {
  std::lock_guard<std::mutex> lock(lock_);
  sock::Shutdown(socket_.load());
}

}  // namespace tvx
