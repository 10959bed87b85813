#include <set>
#include <string>

#include <gtest/gtest.h>

#include "host/access_codes.h"

namespace tvx {
namespace {

// Enough draws that every allowed character shows up in every position class, which a biased or
// truncated alphabet would not.
constexpr int kDraws = 2000;

TEST(AccessCodes, CodesUseTheWholeAlphabetAndNothingElse) {
  const std::string alphabet = kAccessCodeAlphabet;
  ASSERT_EQ(alphabet.size(), 32u);
  for (char confusing : std::string("IO01")) EXPECT_EQ(alphabet.find(confusing), std::string::npos);

  std::set<char> seen;
  std::set<std::string> codes;
  for (int i = 0; i < kDraws; ++i) {
    const std::string code = MakeAccessCode();
    ASSERT_EQ(code.size(), kAccessCodeLength);
    for (char c : code) {
      ASSERT_NE(alphabet.find(c), std::string::npos) << code;
      seen.insert(c);
    }
    codes.insert(code);
  }
  EXPECT_EQ(seen.size(), alphabet.size());
  // 32^6 codes: repeats among 2000 draws are rare (about one run in 500); many mean a bad source.
  EXPECT_GE(codes.size(), static_cast<std::size_t>(kDraws - 2));
}

TEST(AccessCodes, RelayIdsAreNineDigitsNeverStartingWithZero) {
  std::set<char> firsts;
  std::set<char> others;
  std::set<std::string> ids;
  for (int i = 0; i < kDraws; ++i) {
    const std::string id = MakeRelayId();
    ASSERT_EQ(id.size(), kRelayIdLength);
    ASSERT_GE(id[0], '1') << id;
    ASSERT_LE(id[0], '9') << id;
    firsts.insert(id[0]);
    for (std::size_t k = 1; k < id.size(); ++k) {
      ASSERT_GE(id[k], '0') << id;
      ASSERT_LE(id[k], '9') << id;
      others.insert(id[k]);
    }
    ids.insert(id);
  }
  EXPECT_EQ(firsts.size(), 9u);
  EXPECT_EQ(others.size(), 10u);
  EXPECT_GE(ids.size(), static_cast<std::size_t>(kDraws - 2));
}

}  // namespace
}  // namespace tvx
