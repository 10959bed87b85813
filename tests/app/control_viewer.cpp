// A viewer for the tavrix.exe check: joins a host, asks for control, waits until the person at the
// host allows it, then moves the host's mouse to x = 0.25, y = 0.75 of the shared screen for a few
// seconds and leaves.
// usage: tvx_control_viewer PORT CODE
// Exit code 0 when control was granted and the moves were sent, 1 otherwise.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/message_types.h"
#include "net/pointer_messages.h"
#include "viewer/sound_output.h"
#include "viewer/viewer_client.h"

namespace {

template <class Predicate>
bool WaitFor(Predicate done, std::chrono::seconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tvx_control_viewer PORT CODE\n");
    return 1;
  }
  tvx::ViewerClient::Options options;
  options.soundOutputs = tvx::CreateNullSoundOutput;
  tvx::ViewerClient viewer(options);
  viewer.Connect(L"127.0.0.1", static_cast<std::uint16_t>(std::atoi(argv[1])), argv[2], L"Checker", "");
  if (!WaitFor([&] { return viewer.IsConnected(); }, std::chrono::seconds(30))) {
    std::fprintf(stderr, "control viewer: not connected\n");
    return 1;
  }
  viewer.Send(tvx::msg::kControlRequest, {});
  std::fprintf(stderr, "control viewer: asked for control\n");
  if (!WaitFor([&] { return (viewer.Permissions() & 1) != 0; }, std::chrono::seconds(90))) {
    std::fprintf(stderr, "control viewer: control was not granted\n");
    return 1;
  }
  std::fprintf(stderr, "control viewer: control granted\n");
  // The host lets its own mouse win for a moment after it moved: keep moving for a while.
  for (int i = 0; i < 60; ++i) {
    viewer.SendControlMouse(0.25f + (i % 2) * 0.0001f, 0.75f, tvx::kMouseActionMove, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  viewer.Stop();
  return 0;
}
