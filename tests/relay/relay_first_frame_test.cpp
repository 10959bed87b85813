#include "relay_first_frame.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace tvx::relay {
namespace {

std::vector<std::uint8_t> Registration(std::uint32_t version, const char* id, const char* name) {
  std::vector<std::uint8_t> p(52, 0);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(version >> (8 * i));
  std::memcpy(p.data() + 4, id, std::min<std::size_t>(std::strlen(id), 16));
  std::memcpy(p.data() + 20, name, std::min<std::size_t>(std::strlen(name), 32));
  return p;
}

TEST(ClassifyFirstFrame, Registrations) {
  struct Case {
    std::vector<std::uint8_t> payload;
    const char* refusal;
  };
  const Case cases[] = {
      {Registration(1, "123456789", "DESK"), ""},
      {Registration(2, "123456789", "DESK"), "This relay speaks relay protocol 1."},
      {Registration(1, "12345678", "DESK"), "An ID is 9 digits."},
      {Registration(1, "1234567890", "DESK"), "An ID is 9 digits."},
      {Registration(1, "12345678x", "DESK"), "An ID is 9 digits."},
      {std::vector<std::uint8_t>(51, 0), "The registration is not 52 bytes long."},
  };
  for (const Case& c : cases) {
    const FirstFrame first = ClassifyFirstFrame(0x30, c.payload);
    EXPECT_EQ(first.role, Role::Register);
    EXPECT_EQ(first.refusal, c.refusal);
  }
  const FirstFrame ok = ClassifyFirstFrame(0x30, Registration(1, "123456789", "DESK"));
  EXPECT_EQ(ok.id, "123456789");
  EXPECT_EQ(ok.computerName, "DESK");
}

TEST(ClassifyFirstFrame, ViewersClaimsProbesAndEverythingElse) {
  std::vector<std::uint8_t> hello(80, 0);
  std::memcpy(hello.data() + 64, "987654321", 9);
  FirstFrame first = ClassifyFirstFrame(0x01, hello);
  EXPECT_EQ(first.role, Role::Viewer);
  EXPECT_EQ(first.id, "987654321");
  EXPECT_EQ(ClassifyFirstFrame(0x01, std::vector<std::uint8_t>(79)).role, Role::Unknown);

  const std::vector<std::uint8_t> claim = {1, 2, 3, 4, 5, 6, 7, 8};
  first = ClassifyFirstFrame(0x33, claim);
  EXPECT_EQ(first.role, Role::Claim);
  EXPECT_EQ(first.ticket, 0x0807060504030201u);
  EXPECT_EQ(ClassifyFirstFrame(0x33, std::vector<std::uint8_t>(9)).role, Role::Unknown);

  EXPECT_EQ(ClassifyFirstFrame(0x35, {}).role, Role::Status);
  EXPECT_EQ(ClassifyFirstFrame(0x32, claim).role, Role::Unknown);
  EXPECT_EQ(ClassifyFirstFrame(0xFFFF, {}).role, Role::Unknown);
}

}  // namespace
}  // namespace tvx::relay
