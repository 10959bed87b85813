#include "foundation/text.h"

#include <string>

#include <gtest/gtest.h>

namespace tvx {
namespace {

// The wide form of U+1F600 in this build's wchar_t encoding.
std::wstring Grinning() {
  if constexpr (sizeof(wchar_t) == 2) {
    return std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  } else {
    return std::wstring{static_cast<wchar_t>(0x1F600)};
  }
}

TEST(Utf8, RoundTripsEveryPlane) {
  const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
  const std::wstring wide = std::wstring(L"A\u00E9\u20AC") + Grinning();
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(Utf8, EmbeddedNulSurvives) {
  const std::string bytes("a\0b", 3);
  const std::wstring wide = Utf8ToWide(bytes);
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(wide[1], L'\0');
  EXPECT_EQ(WideToUtf8(wide), bytes);
}

TEST(Utf8, InvalidBytesBecomeReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::wstring want;
  };
  const Case cases[] = {
      {"a\xFF" "b", L"a\uFFFDb"},
      {"\xC0\xAF", L"\uFFFD\uFFFD"},          // overlong
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xE2\x82", L"\uFFFD"},                // truncated at the end
      {"\xE2\x82x", L"\uFFFDx"},              // truncated before ASCII
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\x80", L"\uFFFD"},
      {"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.want) << c.bytes.size();
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacter) {
  std::wstring lone = L"x";
  lone.push_back(static_cast<wchar_t>(0xD800));
  lone.push_back(L'y');
  EXPECT_EQ(WideToUtf8(lone), "x\xEF\xBF\xBDy");
}

TEST(Digits, OnlyAndGrouped) {
  struct Case {
    const wchar_t* in;
    const wchar_t* digits;
    const wchar_t* grouped;
  };
  const Case cases[] = {
      {L"987654321", L"987654321", L"987 654 321"},
      {L"12-34", L"1234", L"123 4"},
      {L"12345", L"12345", L"123 45"},
      {L"123 456 789", L"123456789", L"123 456 789"},
      {L"", L"", L""},
      {L"abc", L"", L""},
      {L"\u0661\u0662", L"", L""},  // other scripts' digits are not ID digits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DigitsOnly(c.in), c.digits) << c.in;
    EXPECT_EQ(GroupDigits(c.in), c.grouped) << c.in;
  }
}

}  // namespace
}  // namespace tvx
