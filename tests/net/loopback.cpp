#include "loopback.h"

#include <string>

#include <gtest/gtest.h>

#include "foundation/text.h"
#include "net/dial.h"

namespace tvx::testing {

bool ListenLoopback(Listener& listener, bool ipv6, int backlog) {
  const sock::Handle s =
      sock::Create(ipv6 ? sock::FamilyIpv6() : sock::FamilyIpv4(), sock::StreamType(), sock::TcpProtocol());
  if (s == sock::kInvalid) return false;
  if (sock::BindLoopback(s, ipv6, 0) != 0 || sock::Listen(s, backlog) != 0) {
    sock::Close(s);
    return false;
  }
  listener.Attach(s);
  return true;
}

ConnectionPair MakePair(bool ipv6) {
  ConnectionPair pair{std::make_shared<Connection>(), std::make_shared<Connection>()};
  Listener listener;
  EXPECT_TRUE(ListenLoopback(listener, ipv6));
  std::wstring error;
  EXPECT_TRUE(Dial(*pair.dialed, ipv6 ? L"::1" : L"127.0.0.1", listener.Port(), 5000, error)) << WideToUtf8(error);
  sock::Handle accepted = sock::kInvalid;
  std::wstring address;
  EXPECT_EQ(listener.Accept(accepted, address), Listener::AcceptResult::kAccepted);
  pair.accepted->Attach(accepted);
  pair.accepted->TuneSocket();
  return pair;
}

bool HaveIpv6Loopback() {
  Listener listener;
  return ListenLoopback(listener, true);
}

}  // namespace tvx::testing
