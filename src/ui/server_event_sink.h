// Carries the host engine's events from its threads to the window thread. Each event goes out as
// one posted message holding a heap copy of its text; DrawingsChanged, which arrives in bursts
// while someone draws, is posted again only after the window has handled the last one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/server_event.h"

namespace tvx {

// Posts one event to the window thread. On success the receiver owns the text (the poster
// releases `text`); on failure `text` stays with the caller, which frees it.
class EventPoster {
 public:
  virtual ~EventPoster() = default;
  virtual bool Post(ServerEvent event, std::unique_ptr<std::wstring>& text) = 0;
};

class ServerEventSink {
 public:
  explicit ServerEventSink(EventPoster* poster) : poster_(poster) {}

  // What the engine calls, on any of its threads.
  ServerEventHandler Handler();
  void Deliver(ServerEvent event, const std::wstring& text);

  // The window thread took a DrawingsChanged: the next one may be posted.
  void DrawingsHandled() { drawingsPending_.store(0); }
  // No more posting (the window is going); waits for a delivery in progress.
  void Detach();

 private:
  std::mutex lock_;
  EventPoster* poster_;
  std::atomic<std::uint8_t> drawingsPending_{0};
};

}  // namespace tvx
