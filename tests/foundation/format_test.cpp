#include "foundation/format.h"

#include <string>

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(FormatText, ConversionsMatchPrintf) {
  const std::wstring name = L"Viewer 1";
  struct Case {
    std::wstring got;
    std::wstring want;
  };
  const Case cases[] = {
      {FormatText(L"Sharing started on port %u", 7788u), L"Sharing started on port 7788"},
      {FormatText(L"%s joined from %s", name, L"127.0.0.1"), L"Viewer 1 joined from 127.0.0.1"},
      {FormatText(L"%s", std::string("caf\xC3\xA9")), L"caf\u00E9"},
      {FormatText(L"0x%08X (%s)", 0x80070005u, L"Access is denied."), L"0x80070005 (Access is denied.)"},
      {FormatText(L"[%02u:%02u:%02u.%03u]", 1u, 2u, 3u, 4u), L"[01:02:03.004]"},
      {FormatText(L"%d %s", -12, "x"), L"-12 x"},
      {FormatText(L"%lld|%llu", -9000000000LL, 18000000000ULL), L"-9000000000|18000000000"},
      {FormatText(L"%g|%.2f|%5.1f", 0.1, 2.345, 3.14159), L"0.1|2.35|  3.1"},
      {FormatText(L"%d%%", 62), L"62%"},
      {FormatText(L"%-5s|%5s|%.2s", L"ab", L"cd", L"efgh"), L"ab   |   cd|ef"},
      {FormatText(L"%*d|%-*d|", 4, 7, 3, 8), L"   7|8  |"},
      {FormatText(L"%c%c", L'o', L'k'), L"ok"},
      {FormatText(L"%x %X %o", 255u, 255u, 8u), L"ff FF 10"},
      {FormatText(L"%lu %zu %I64d", 5ul, std::size_t{6}, 7LL), L"5 6 7"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FormatText, MissingOrUnknownConversionsAreCopied) {
  EXPECT_EQ(FormatText(L"%s and %d"), L"%s and %d");
  EXPECT_EQ(FormatText(L"%d and %d", 1), L"1 and %d");
  EXPECT_EQ(FormatText(L"100%"), L"100%");
  EXPECT_EQ(FormatText(L"%y", 1), L"%y");
  EXPECT_EQ(FormatText(L""), L"");
}

TEST(FormatText, HugeWidthsAreClampedNotOverflowed) {
  const std::wstring wide = FormatText(L"%999999999d", 1);
  EXPECT_LE(wide.size(), 1000u);
  EXPECT_EQ(wide.back(), L'1');
  const std::wstring text = FormatText(L"%s", std::wstring(5000, L'x'));
  EXPECT_EQ(text.size(), 5000u);
}

}  // namespace
}  // namespace tvx
