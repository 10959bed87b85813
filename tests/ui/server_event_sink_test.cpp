// The engine's events reach the window thread as posted messages with a text copy each; bursts of
// DrawingsChanged are folded into one until the window has handled it.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ui/server_event_sink.h"

namespace tvx {
namespace {

// Keeps what was posted, like a message queue; can refuse posts.
class QueuePoster final : public EventPoster {
 public:
  bool Post(ServerEvent event, std::unique_ptr<std::wstring>& text) override {
    std::lock_guard lock(mutex);
    if (refuse) return false;
    queue.push_back({event, std::move(text)});
    return true;
  }
  std::mutex mutex;
  bool refuse = false;
  std::vector<std::pair<ServerEvent, std::unique_ptr<std::wstring>>> queue;
};

TEST(ServerEventSink, EachEventCarriesItsOwnText) {
  QueuePoster poster;
  ServerEventSink sink(&poster);
  ServerEventHandler handler = sink.Handler();
  handler(ServerEvent::ViewerJoined, L"Ana");
  handler(ServerEvent::ClipboardReceived, L"some text");
  ASSERT_EQ(poster.queue.size(), 2u);
  EXPECT_EQ(poster.queue[0].first, ServerEvent::ViewerJoined);
  EXPECT_EQ(*poster.queue[0].second, L"Ana");
  EXPECT_EQ(*poster.queue[1].second, L"some text");
}

TEST(ServerEventSink, DrawingsChangedIsCoalescedUntilHandled) {
  QueuePoster poster;
  ServerEventSink sink(&poster);
  for (int i = 0; i < 5; ++i) sink.Deliver(ServerEvent::DrawingsChanged, L"");
  ASSERT_EQ(poster.queue.size(), 1u);
  EXPECT_EQ(poster.queue[0].second, nullptr);  // event 5 carries no text
  sink.DrawingsHandled();
  sink.Deliver(ServerEvent::DrawingsChanged, L"");
  EXPECT_EQ(poster.queue.size(), 2u);

  // A failed post does not leave the flag set: the next one goes out.
  sink.DrawingsHandled();
  poster.refuse = true;
  sink.Deliver(ServerEvent::DrawingsChanged, L"");
  poster.refuse = false;
  sink.Deliver(ServerEvent::DrawingsChanged, L"");
  EXPECT_EQ(poster.queue.size(), 3u);
}

TEST(ServerEventSink, DetachedSinkPostsNothingEvenFromManyThreads) {
  QueuePoster poster;
  ServerEventSink sink(&poster);
  std::atomic<bool> go{true};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      while (go.load()) sink.Deliver(ServerEvent::Status, L"busy");
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  sink.Detach();
  std::size_t afterDetach = 0;
  {
    std::lock_guard lock(poster.mutex);
    afterDetach = poster.queue.size();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  go.store(false);
  for (auto& thread : threads) thread.join();
  EXPECT_GT(afterDetach, 0u);
  EXPECT_EQ(poster.queue.size(), afterDetach);
}

}  // namespace
}  // namespace tvx
