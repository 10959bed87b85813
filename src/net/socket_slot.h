// A place that holds one socket which several threads may use while another closes it.
//
// Closing while a call is under way only shuts the socket down (waking the call); the handle is
// released when the last call using it returns, so a handle number the system hands out again can
// never receive this socket's bytes.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "net/socket_api.h"

namespace tvx {

class SocketSlot {
 public:
  SocketSlot() = default;
  ~SocketSlot() { Close(); }
  SocketSlot(const SocketSlot&) = delete;
  SocketSlot& operator=(const SocketSlot&) = delete;

  // Keeps the socket the slot held when it was made open until it is destroyed.
  class Use {
   public:
    Use(Use&& other) noexcept : owner_(other.owner_), handle_(other.handle_) { other.owner_ = nullptr; }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    Use& operator=(Use&&) = delete;
    ~Use() {
      if (owner_ != nullptr && handle_ != sock::kInvalid) owner_->Release();
    }
    explicit operator bool() const { return handle_ != sock::kInvalid; }
    sock::Handle handle() const { return handle_; }

   private:
    friend class SocketSlot;
    Use(const SocketSlot* owner, sock::Handle handle) : owner_(owner), handle_(handle) {}
    const SocketSlot* owner_;
    sock::Handle handle_;
  };

  // The current socket, held open; empty when there is none.
  Use Acquire() const;
  // Puts `socket` in (kInvalid empties the slot) and closes the one held before.
  void Replace(sock::Handle socket);
  void Close() { Replace(sock::kInvalid); }
  // Closes `socket` only if the slot still holds it.
  bool CloseIf(sock::Handle socket);
  // Empties the slot and hands its socket to the caller, unclosed.
  sock::Handle Take();
  // Shuts the current socket down in both directions.
  void Shutdown();

  sock::Handle load() const { return socket_.load(); }

 private:
  void Retire(sock::Handle socket);  // lock_ held
  void Release() const;

  std::atomic<sock::Handle> socket_{sock::kInvalid};
  // Holding the socket open is not a change of the slot, hence mutable.
  mutable std::mutex lock_;                    // guards users_ and retired_, and every change of socket_
  mutable int users_ = 0;                      // calls in progress that hold a Use
  mutable std::vector<sock::Handle> retired_;  // closed when users_ drops to 0
};

}  // namespace tvx
