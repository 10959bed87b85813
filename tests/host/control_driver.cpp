// A viewer that drives a running "tavrix-cli host" for the end-to-end check: it learns the host's
// port from the host's output file, joins, sends a few control messages, a pointer and a drawing,
// waits until the host has shown the drawing and leaves. Its stdout is meant to be the host's
// stdin, so the host stops when the driver ends; the driver itself writes only to stderr.
//
// usage: tvx_control_driver HOST_OUTPUT_FILE
// Exit code 0 when everything was sent and the host showed the drawing, 1 otherwise.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "net/pointer_messages.h"
#include "net/socket_api.h"
#include "test_viewer.h"

namespace tvx::testing {
namespace {

constexpr auto kPatience = std::chrono::seconds(40);  // a first start under an emulator is slow

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits until the file holds `fragment`; returns its text then, or an empty string.
std::string WaitForText(const std::string& path, const std::string& fragment) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < end) {
    std::string text = ReadAll(path);
    if (text.find(fragment) != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return {};
}

// The port of the host's first statistics line: {"stats":{"running":true,"port":N,...}}.
std::uint16_t HostPort(const std::string& path) {
  const std::string key = "\"port\":";
  const std::string text = WaitForText(path, key);
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return 0;
  const unsigned long port = std::strtoul(text.c_str() + at + key.size(), nullptr, 10);
  return port > 0 && port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

int Fail(const char* what) {
  std::fprintf(stderr, "control driver: %s\n", what);
  return 1;
}

int Drive(const std::string& hostOutput) {
  const std::uint16_t port = HostPort(hostOutput);
  if (port == 0) return Fail("the host never printed its port");
  TestViewer viewer;
  if (!viewer.Join(port, 0x7E57, "driver")) return Fail("could not join");
  // Input sent before the host announced the viewer could be printed before the announcement.
  if (WaitForText(hostOutput, "{\"event\":\"ViewerJoined\"").empty()) return Fail("the host never saw the viewer");
  Bytes payload;

  TestChannel& pointer = viewer.pointer;
  bool sent = pointer.Send(msg::kControlMouse, Encode(ControlMouse{0.25f, 0.75f, kMouseActionMove, 0, 0})) &&
              pointer.Send(msg::kControlMouse, Encode(ControlMouse{0.25f, 0.75f, kMouseActionDown, 0, 0})) &&
              pointer.Send(msg::kControlMouse, Encode(ControlMouse{0.25f, 0.75f, kMouseActionUp, 0, 0})) &&
              pointer.Send(msg::kControlText, Encode(ControlText{u"ok"})) &&
              pointer.Send(msg::kViewerPointer, Encode(ViewerPointer{0.5f, 0.5f, true, 0}));
  DrawingRecord arrow;
  arrow.shape = static_cast<std::uint8_t>(DrawingShape::kArrow);
  arrow.lifetimeMs = kDrawingKeepForever;
  arrow.points = {{0.1f, 0.1f}, {0.6f, 0.4f}};
  sent = sent && pointer.Send(msg::kDrawingFinished, Encode(arrow)) &&
         pointer.Send(msg::kHeartbeat, Encode(Heartbeat{4242, 0}));
  if (!sent) return Fail("a send failed");
  // The echo comes after the reader has handled everything sent before the heartbeat.
  if (!pointer.WaitFor(msg::kHeartbeatEcho, payload)) return Fail("no heartbeat echo");
  if (WaitForText(hostOutput, "\"drawings\":1").empty()) return Fail("the host never showed the drawing");

  pointer.Send(msg::kViewerGoodbye, {});
  viewer.pointer.Close();
  viewer.picture.Close();
  std::fprintf(stderr, "control driver: done\n");
  return 0;
}

}  // namespace
}  // namespace tvx::testing

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tvx_control_driver HOST_OUTPUT_FILE\n");
    return 2;
  }
  tvx::sock::NetworkInit network;
  return tvx::testing::Drive(argv[1]);
}
