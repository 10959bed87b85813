// A minimal viewer for the host engine's tests: dials loopback, greets with HELLO and reads and
// writes raw frames on one channel. It has nothing of the real viewer engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/message_types.h"
#include "net/picture_messages.h"

namespace tvx::testing {

class TestChannel {
 public:
  // Dials `host` (loopback) at `port`; false when that fails.
  bool Dial(std::uint16_t port, const std::wstring& host = L"127.0.0.1");
  // Dials and sends the greeting.
  bool Open(std::uint16_t port, const Hello& hello, const std::wstring& host = L"127.0.0.1");

  bool Send(std::uint16_t type, const Bytes& payload, std::uint16_t flags = 0);
  // One frame within `timeoutMs`; false when none came (time-out or closed).
  bool Receive(FrameHeader& header, Bytes& payload, std::uint32_t timeoutMs = 5000);
  // Reads frames until one of `type` arrives; the frames skipped are counted in `skipped`.
  bool WaitFor(std::uint16_t type, Bytes& payload, std::uint32_t timeoutMs = 5000, FrameHeader* header = nullptr);
  // The refusal reason when the host refused and closed; 0 when no refusal came.
  std::uint32_t RefusalReason(std::uint32_t timeoutMs = 5000);
  // True when the host closed the connection within `timeoutMs` without sending another frame.
  bool ClosedWithoutReply(std::uint32_t timeoutMs = 5000);
  // True when the host closed the connection within `timeoutMs`; the frames before are skipped.
  bool ClosedEventually(std::uint32_t timeoutMs = 5000);
  void Close();

  Connection& connection() { return *connection_; }

 private:
  std::shared_ptr<Connection> connection_ = std::make_shared<Connection>();
};

// A HELLO for a test viewer.
Hello MakeHello(std::uint8_t channel, std::uint64_t nonce, const std::string& name = "", const std::string& code = "");

// A viewer with both channels.
struct TestViewer {
  TestChannel picture;
  TestChannel pointer;
  // Opens the picture channel, then the pointer channel (or the other way round).
  bool Join(std::uint16_t port, std::uint64_t nonce, const std::string& name = "", const std::string& code = "",
            bool pointerFirst = false);
};

}  // namespace tvx::testing
