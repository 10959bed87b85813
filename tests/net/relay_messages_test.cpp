#include "net/relay_messages.h"

#include <gtest/gtest.h>

#include "message_test_util.h"

namespace tvx {
namespace {

using testing::Prefix;
using testing::RoundTrip;
using testing::TextAt;
using testing::U32At;

TEST(RelayMessagesTest, RegistrationLayoutKeepsATerminator) {
  const RelayRegistration registration{kRelayProtocolVersion, "123456789", "DESKTOP-\xC3\x85SA"};
  const Bytes bytes = Encode(registration);
  ASSERT_EQ(bytes.size(), kRelayRegistrationSize);
  EXPECT_EQ(U32At(bytes, 0), 1u);
  EXPECT_EQ(TextAt(bytes, 4, 10), std::string("123456789\0", 10));
  EXPECT_EQ(TextAt(bytes, 20, 12), "DESKTOP-\xC3\x85SA");
  EXPECT_EQ(RoundTrip(registration), registration);

  // Long fields keep room for the zero byte: 15 and 31 bytes at most.
  const RelayRegistration longer{1, std::string(20, '7'), std::string(40, 'N')};
  const Bytes cut = Encode(longer);
  ASSERT_EQ(cut.size(), kRelayRegistrationSize);
  EXPECT_EQ(cut[4 + 15], 0);
  EXPECT_EQ(cut[20 + 31], 0);
  const RelayRegistration back = RoundTrip(longer);
  EXPECT_EQ(back.relayId, std::string(15, '7'));
  EXPECT_EQ(back.computerName, std::string(31, 'N'));
  RelayRegistration out;
  EXPECT_FALSE(Decode(Prefix(bytes, 51), out));
}

TEST(RelayMessagesTest, TicketsAreExactlyEightBytes) {
  const Bytes bytes = Encode(RelayTicket{0x0102030405060708ull});
  EXPECT_EQ(bytes, (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(RoundTrip(RelayTicket{~0ull}).ticket, ~0ull);
  Bytes longer = bytes;
  longer.push_back(0);
  RelayTicket out;
  EXPECT_FALSE(Decode(Prefix(bytes, 7), out));
  EXPECT_FALSE(Decode(ByteSpan(longer), out));
}

TEST(RelayMessagesTest, StatusAnswerIsExactlySixteenBytes) {
  const RelayStatus status{0xDEAD, 3, 1234, 0xBEEF};
  const Bytes bytes = Encode(status);
  ASSERT_EQ(bytes.size(), kRelayStatusSize);
  EXPECT_EQ(U32At(bytes, 4), 3u);
  EXPECT_EQ(U32At(bytes, 8), 1234u);
  EXPECT_EQ(RoundTrip(status), status);
  RelayStatus out;
  EXPECT_FALSE(Decode(Prefix(bytes, 12), out));  // answered, but not as a relay
  Bytes longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(Decode(ByteSpan(longer), out));
}

TEST(RelayMessagesTest, RefusalIsThePlainText) {
  EXPECT_EQ(Encode(RelayRefusal{"ID taken"}), (Bytes{'I', 'D', ' ', 't', 'a', 'k', 'e', 'n'}));
  EXPECT_EQ(RoundTrip(RelayRefusal{"ID already registered"}).reason, "ID already registered");
  EXPECT_EQ(RoundTrip(RelayRefusal{""}).reason, "");
}

}  // namespace
}  // namespace tvx
