#include "test_viewer.h"

#include "foundation/clock.h"
#include "net/dial.h"

namespace tvx::testing {

bool TestChannel::Dial(std::uint16_t port, const std::wstring& host) {
  std::wstring error;
  return tvx::Dial(*connection_, host, port, 3000, error);
}

bool TestChannel::Open(std::uint16_t port, const Hello& hello, const std::wstring& host) {
  return Dial(port, host) && Send(msg::kHello, Encode(hello));
}

bool TestChannel::Send(std::uint16_t type, const Bytes& payload, std::uint16_t flags) {
  return connection_->SendFrame(type, flags, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

bool TestChannel::Receive(FrameHeader& header, Bytes& payload, std::uint32_t timeoutMs) {
  connection_->SetReceiveTimeout(timeoutMs);
  return connection_->ReceiveFrame(header, payload);
}

bool TestChannel::WaitFor(std::uint16_t type, Bytes& payload, std::uint32_t timeoutMs, FrameHeader* header) {
  const std::int64_t end = NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
  FrameHeader h;
  for (;;) {
    const std::int64_t left = (end - NowMicros()) / 1000;
    if (left <= 0) return false;
    if (!Receive(h, payload, static_cast<std::uint32_t>(left))) return false;
    if (h.type == type) {
      if (header) *header = h;
      return true;
    }
  }
}

std::uint32_t TestChannel::RefusalReason(std::uint32_t timeoutMs) {
  FrameHeader header;
  Bytes payload;
  if (!Receive(header, payload, timeoutMs) || header.type != msg::kRefusal) return 0;
  Refusal refusal;
  Decode(payload, refusal);
  // The host closes after a refusal.
  return ClosedWithoutReply(timeoutMs) ? refusal.reason : 0;
}

bool TestChannel::ClosedWithoutReply(std::uint32_t timeoutMs) {
  const std::int64_t start = NowMicros();
  FrameHeader header;
  Bytes payload;
  if (Receive(header, payload, timeoutMs)) return false;
  // A receive time-out is not a close.
  return NowMicros() - start < static_cast<std::int64_t>(timeoutMs) * 1000;
}

bool TestChannel::ClosedEventually(std::uint32_t timeoutMs) {
  const std::int64_t end = NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
  FrameHeader header;
  Bytes payload;
  for (;;) {
    const std::int64_t left = (end - NowMicros()) / 1000;
    if (left <= 0) return false;
    if (!Receive(header, payload, static_cast<std::uint32_t>(left))) return NowMicros() < end;
  }
}

void TestChannel::Close() {
  connection_->Shutdown();
  connection_->Close();
}

Hello MakeHello(std::uint8_t channel, std::uint64_t nonce, const std::string& name, const std::string& code) {
  Hello hello;
  hello.channel = channel;
  hello.nonce = nonce;
  hello.name = name;
  hello.code = code;
  return hello;
}

bool TestViewer::Join(std::uint16_t port, std::uint64_t nonce, const std::string& name, const std::string& code,
                      bool pointerFirst) {
  if (pointerFirst) {
    return pointer.Open(port, MakeHello(kPointerChannel, nonce, name, code)) &&
           picture.Open(port, MakeHello(kPictureChannel, nonce, name, code));
  }
  return picture.Open(port, MakeHello(kPictureChannel, nonce, name, code)) &&
         pointer.Open(port, MakeHello(kPointerChannel, nonce, name, code));
}

}  // namespace tvx::testing
