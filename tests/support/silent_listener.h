// A loopback listener that never accepts, with its queue filled, so that a further connect is never
// answered: the stand-in for a host that drops packets, without leaving the computer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/dial.h"
#include "net/listener.h"

namespace tvx::testing {

class SilentListener {
 public:
  SilentListener() {
    const sock::Handle s = sock::Create(sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
    if (s == sock::kInvalid) return;
    if (sock::BindLoopback(s, false, 0) != 0 || sock::Listen(s, 0) != 0) {
      sock::Close(s);
      return;
    }
    listener_.Attach(s);
    for (int i = 0; i < 16; ++i) {
      auto c = std::make_shared<Connection>();
      std::wstring error;
      if (!Dial(*c, L"127.0.0.1", listener_.Port(), 300, error)) {
        full_ = error == L"Connection timed out. Is the other side sharing yet?";
        break;
      }
      queued_.push_back(c);
    }
  }
  // False on a system that answers connects beyond a full queue; tests then skip.
  bool full() const { return full_; }
  std::uint16_t port() const { return listener_.Port(); }

 private:
  Listener listener_;
  std::vector<std::shared_ptr<Connection>> queued_;
  bool full_ = false;
};

}  // namespace tvx::testing
