#include "relay_hub.h"

#include <gtest/gtest.h>

namespace tvx::relay {
namespace {

// Tickets 0, 7, 7, 8, ...: exercises the rules that skip zero and numbers still in use.
RelayHub MakeHub() {
  return RelayHub([n = std::uint64_t{0}]() mutable {
    const std::uint64_t sequence[] = {0, 7, 7, 8};
    return n < 4 ? sequence[n++] : 100 + n++;
  });
}

TEST(RelayHub, OneHostPerIdUntilItLeaves) {
  RelayHub hub = MakeHub();
  EXPECT_EQ(hub.Register("123456789", 1), RelayHub::Registration::Accepted);
  EXPECT_EQ(hub.Register("123456789", 2), RelayHub::Registration::IdInUse);
  EXPECT_EQ(hub.Register("987654321", 2), RelayHub::Registration::Accepted);
  EXPECT_EQ(hub.hostsSharing(), 2u);
  EXPECT_EQ(hub.HostFor("123456789"), LinkId{1});

  hub.Unregister("123456789", 2);  // not the holder: nothing happens
  EXPECT_EQ(hub.HostFor("123456789"), LinkId{1});
  hub.Unregister("123456789", 1);
  EXPECT_FALSE(hub.HostFor("123456789").has_value());
  EXPECT_EQ(hub.Register("123456789", 3), RelayHub::Registration::Accepted);
}

TEST(RelayHub, TicketsAreUniqueNonZeroAndClaimedOnce) {
  RelayHub hub = MakeHub();
  const std::uint64_t a = hub.OfferTicket(10);
  const std::uint64_t b = hub.OfferTicket(11);
  EXPECT_EQ(a, 7u);
  EXPECT_EQ(b, 8u);
  EXPECT_EQ(hub.waitingViewers(), 2u);

  EXPECT_EQ(hub.Claim(b), LinkId{11});
  EXPECT_FALSE(hub.Claim(b).has_value());     // used
  EXPECT_FALSE(hub.Claim(12345).has_value());  // never issued
  EXPECT_EQ(hub.connectionsCarried(), 1u);

  hub.Withdraw(10);
  EXPECT_FALSE(hub.Claim(a).has_value());
  EXPECT_EQ(hub.waitingViewers(), 0u);
  EXPECT_EQ(hub.connectionsCarried(), 1u);
}

}  // namespace
}  // namespace tvx::relay
