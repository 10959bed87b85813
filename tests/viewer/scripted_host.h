// A host that a test scripts message by message, listening on loopback, for the viewer engine tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/connection.h"
#include "net/listener.h"
#include "net/message_types.h"
#include "net/picture_messages.h"
#include "viewer/client_event.h"

namespace tvx::testing {

class ScriptedHost {
 public:
  ScriptedHost() {
    std::wstring error;
    ok_ = Listen(listener_, 0, error, ListenScope::kLoopback);
    port_ = listener_.Port();
  }
  ~ScriptedHost() {
    listener_.Shutdown();
    listener_.Close();
  }

  bool ok() const { return ok_; }
  std::uint16_t port() const { return port_; }
  void CloseListener() {
    listener_.Shutdown();
    listener_.Close();
  }

  // The next connection, or null when none came within `wait`.
  std::unique_ptr<Connection> Accept(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
      std::unique_lock<std::mutex> lock(m);
      if (!cv.wait_for(lock, wait, [&] { return done; })) listener_.Shutdown();
    });
    sock::Handle socket = sock::kInvalid;
    std::wstring address;
    const auto result = listener_.Accept(socket, address);
    {
      std::lock_guard<std::mutex> lock(m);
      done = true;
    }
    cv.notify_all();
    watchdog.join();
    if (result != Listener::AcceptResult::kAccepted) return nullptr;
    return std::make_unique<Connection>(socket);
  }

  // Accepts one channel and reads its greeting.
  std::unique_ptr<Connection> AcceptGreeted(Hello& hello) {
    auto c = Accept();
    if (!c) return nullptr;
    c->SetReceiveTimeout(10000);
    FrameHeader header;
    Bytes payload;
    if (!c->ReceiveFrame(header, payload) || !DecodeGreeting(header, payload, hello)) return nullptr;
    c->SetReceiveTimeout(0);
    return c;
  }

 private:
  Listener listener_;
  std::uint16_t port_ = 0;
  bool ok_ = false;
};

inline bool SendMessage(Connection& c, std::uint16_t type, const Bytes& payload, std::uint16_t flags = 0) {
  return c.SendFrame(type, flags, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

// A valid description of a width x height picture cut into `tile` pixel tiles.
inline ScreenDescription Describe(std::uint32_t width, std::uint32_t height, std::uint16_t tile = 64,
                                  std::uint8_t permissions = 0) {
  ScreenDescription d;
  d.monitorWidth = width;
  d.monitorHeight = height;
  d.width = width;
  d.height = height;
  d.tileWidth = tile;
  d.tileHeight = tile;
  d.columns = static_cast<std::uint16_t>((width + tile - 1) / tile);
  d.rows = static_cast<std::uint16_t>((height + tile - 1) / tile);
  d.monitorCount = 1;
  d.quality = 62;
  d.frameRate = 30;
  d.permissions = permissions;
  return d;
}

// Collects the engine's events; tests wait for the ones they expect.
class EventLog {
 public:
  void Add(ClientEvent event, const std::wstring& text) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.emplace_back(event, text);
    }
    cv_.notify_all();
  }
  // Waits until `event` has happened `times` times; returns the text of the last one, or "<none>".
  std::wstring WaitFor(ClientEvent event, std::size_t times = 1,
                       std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::wstring text = L"<none>";
    cv_.wait_for(lock, wait, [&] {
      std::size_t seen = 0;
      for (const auto& [e, t] : events_) {
        if (e == event && ++seen == times) {
          text = t;
          return true;
        }
      }
      return false;
    });
    return text;
  }
  std::size_t Count(ClientEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto& [e, t] : events_) n += e == event ? 1 : 0;
    return n;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  std::size_t EndCount() { return Count(ClientEvent::Ended) + Count(ClientEvent::EndedByHost); }
  std::vector<std::pair<ClientEvent, std::wstring>> All() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::pair<ClientEvent, std::wstring>> events_;
};

}  // namespace tvx::testing
