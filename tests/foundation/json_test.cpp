#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/colour.h"
#include "foundation/json_value.h"
#include "foundation/text.h"

namespace tvx {
namespace {

// One-line rendering of a value, so expectations fit in a table row.
std::wstring Compact(const JsonValue& v) {
  switch (v.kind()) {
    case JsonKind::Object: {
      std::wstring out = L"{";
      for (const auto& [key, member] : v.members()) {
        if (out.size() > 1) out += L",";
        out += SerializeJson(JsonValue::String(key), 0) + L":" + Compact(member);
      }
      return out + L"}";
    }
    case JsonKind::Array: {
      std::wstring out = L"[";
      for (const JsonValue& e : v.elements()) {
        if (out.size() > 1) out += L",";
        out += Compact(e);
      }
      return out + L"]";
    }
    default: return SerializeJson(v, 0);
  }
}

std::wstring Nested(int levels, const std::wstring& inner) {
  const auto n = static_cast<std::size_t>(levels);
  return std::wstring(n, L'[') + inner + std::wstring(n, L']');
}

struct ParseCase {
  const wchar_t* text;
  const wchar_t* expected;  // Compact() of the result
  std::size_t position;     // where the reader stopped
};

TEST(JsonReader, ReadsValuesAndStopsWhereTheyEnd) {
  const ParseCase cases[] = {
      {L"{}", L"{}", 2},
      {L" \t\r\n{ \"a\" : 1 , \"b\":[true,false,null] } ", L"{\"a\":1,\"b\":[true,false,null]}", 39},
      {L"[]", L"[]", 2},
      {L"\"x\"", L"\"x\"", 3},
      {L"true", L"true", 4},
      {L"false,", L"false", 5},
      {L"null", L"null", 4},
      {L"-12.5e1]", L"-125", 7},
      {L"{\"b\":1,\"a\":2,\"b\":3}", L"{\"a\":2,\"b\":3}", 19},  // the last of repeated keys wins
      // A value missing before "," or the closing bracket reads as Null.
      {L"[1,,2]", L"[1,null,2]", 6},
      {L"[1,]", L"[1,null]", 4},
      {L"[,]", L"[null,null]", 3},
      {L"{\"a\":}", L"{\"a\":null}", 6},
      {L"{\"a\": ,\"b\":1}", L"{\"a\":null,\"b\":1}", 13},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "input " << WideToUtf8(c.text));
    std::size_t position = 0;
    const JsonValue value = ParseJson(c.text, position, 0);
    EXPECT_EQ(Compact(value), c.expected);
    EXPECT_EQ(position, c.position);
  }
}

TEST(JsonReader, FailingValuesReadAsNullWithoutMoving) {
  const wchar_t* const failures[] = {
      L"",
      L"   ",
      L"{",
      L"{\"a\":1",
      L"{\"a\":1,",
      L"{\"a\":1,}",       // an object member needs a key
      L"{\"a\" 1}",
      L"{a:1}",
      L"{\"a\":1 \"b\":2}",
      L"[1 2]",
      L"[1,",
      L"[1,2",
      L"{\"a\":[}",
      L"{\"x\":[{\"a\"]}",  // a broken member must not pass as a missing one
      L"[\"abc]",
      L"\"abc",
      L"\"\\x\"",
      L"\"\\u12\"",
      L"\"\\u12G4\"",
      L"\"\\u+123\"",
      L"\"abc\\",
      L"tru",
      L"nul",
      L"-",
      L"+.",
      L"}",
      L"]",
      L",",
      L"x",
  };
  for (const wchar_t* text : failures) {
    SCOPED_TRACE(::testing::Message() << "input " << WideToUtf8(text));
    std::size_t position = 0;
    const JsonValue value = ParseJson(text, position, 0);
    EXPECT_TRUE(value.IsNull());
    EXPECT_EQ(position, 0u);
  }
  // A failure at a later position stays at that position too.
  std::size_t position = 3;
  EXPECT_TRUE(ParseJson(L"[1,tru]", position, 1).IsNull());
  EXPECT_EQ(position, 3u);
}

TEST(JsonReader, NestingIsLimited) {
  struct Case {
    int levels;
    const wchar_t* inner;
    bool ok;
  } const cases[] = {
      {30, L"1", true},
      {32, L"1", true},    // the number sits at depth 32
      {33, L"", true},     // the innermost empty array sits at depth 32
      {33, L"1", false},   // the number would sit at depth 33
      {34, L"", false},
      {40, L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.levels << " levels");
    const std::wstring text = Nested(c.levels, c.inner);
    std::size_t position = 0;
    const JsonValue value = ParseJson(text, position, 0);
    EXPECT_EQ(value.kind() == JsonKind::Array, c.ok);
    EXPECT_EQ(position, c.ok ? text.size() : 0u);
  }
  // Objects count the same way.
  std::wstring deep;
  for (int i = 0; i < 40; ++i) deep += L"{\"k\":";
  deep += L"1" + std::wstring(40, L'}');
  std::size_t position = 0;
  EXPECT_TRUE(ParseJson(deep, position, 0).IsNull());
}

TEST(JsonReader, StringEscapes) {
  std::size_t position = 0;
  const JsonValue v = ParseJson(L"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0041\\u00e9\\u0001 \t raw\"", position, 0);
  ASSERT_EQ(v.kind(), JsonKind::String);
  EXPECT_EQ(v.string(), std::wstring(L"\"\\/\b\f\n\r\tA\u00e9\x01 \t raw"));
}

TEST(JsonReader, SurrogateEscapesGiveTheSameTextOnEveryBuild) {
  std::size_t position = 0;
  const JsonValue pair = ParseJson(L"\"a\\ud83d\\ude00b\"", position, 0);
  ASSERT_EQ(pair.kind(), JsonKind::String);
  EXPECT_EQ(WideToUtf8(pair.string()), "a\xF0\x9F\x98\x80" "b");
  EXPECT_EQ(pair.string().size(), sizeof(wchar_t) == 2 ? 4u : 3u);

  // Lone surrogates are kept as they are; the UTF-8 conversion then replaces them.
  position = 0;
  const JsonValue lone = ParseJson(L"\"\\udc00\\ud800x\"", position, 0);
  ASSERT_EQ(lone.kind(), JsonKind::String);
  ASSERT_EQ(lone.string().size(), 3u);
  EXPECT_EQ(static_cast<unsigned>(lone.string()[0]), 0xDC00u);
  EXPECT_EQ(static_cast<unsigned>(lone.string()[1]), 0xD800u);
  EXPECT_EQ(WideToUtf8(lone.string()), "\xEF\xBF\xBD\xEF\xBF\xBDx");
}

TEST(JsonNumber, AcceptsWhatTheCLibraryAccepts) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const wchar_t* text;
    std::size_t used;
    double value;
  } const cases[] = {
      {L"0", 1, 0},
      {L"62", 2, 62},
      {L"+3", 2, 3},
      {L"-0.25", 5, -0.25},
      {L".5", 2, 0.5},
      {L"5.", 2, 5},
      {L"1e3", 3, 1000},
      {L"1E+3x", 4, 1000},
      {L"25e-1", 5, 2.5},
      {L"1e", 1, 1},       // an exponent needs a digit
      {L"1e+", 1, 1},
      {L"1.5.2", 3, 1.5},
      {L"0x1p4", 5, 16},
      {L"0X1.8p1", 7, 3},
      {L"-0xA", 4, -10},
      {L"0x.8", 4, 0.5},
      {L"0x", 1, 0},       // no hexadecimal digit: only the 0 is the number
      {L"0xg", 1, 0},
      {L"\v\f7", 3, 7},    // wcstod skips all C white space first
      {L"inf", 3, inf},
      {L"-Infinity", 9, -inf},
      {L"INFIN", 3, inf},
      {L"1e400", 5, inf},
      {L"-1e400", 6, -inf},
      {L"1e-400", 6, 0},
      {L"0.000000000000000000000000000000000000000001e-300", 49, 0},
      {L"1e99999999999999999999", 22, inf},
      {L"123456789012345678901234567890", 30, 123456789012345678901234567890.0},
      {L"", 0, 0},
      {L"-", 0, 0},
      {L"+-1", 0, 0},
      {L".", 0, 0},
      {L"e5", 0, 0},
      {L"in", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "input " << WideToUtf8(c.text));
    double value = -1;
    EXPECT_EQ(ReadJsonNumber(c.text, value), c.used);
    if (c.used > 0) {
      EXPECT_EQ(value, c.value);
    }
  }

  struct NanCase {
    const wchar_t* text;
    std::size_t used;
  } const nans[] = {{L"nan", 3}, {L"-NaN", 4}, {L"nan(12ab_)", 10}, {L"nan(", 3}, {L"nan(1 )", 3}};
  for (const NanCase& c : nans) {
    double value = 0;
    EXPECT_EQ(ReadJsonNumber(c.text, value), c.used) << WideToUtf8(c.text);
    EXPECT_TRUE(std::isnan(value)) << WideToUtf8(c.text);
  }
}

TEST(JsonWriter, NumbersAreIntegersWhenWhole) {
  struct Case {
    double value;
    const wchar_t* text;
  } const cases[] = {
      {62.0, L"62"},
      {-0.0, L"0"},
      {-7, L"-7"},
      {0.5, L"0.5"},
      {1.0 / 3.0, L"0.333333"},
      {123456.7, L"123457"},
      {1234567.5, L"1.23457e+06"},
      {1e-5, L"1e-05"},
      {9007199254740993.0, L"9007199254740992"},
      {-9223372036854775808.0, L"-9223372036854775808"},
      {9223372036854775808.0, L"9.22337e+18"},  // one past the 64-bit range
      {1e300, L"1e+300"},
      {std::numeric_limits<double>::infinity(), L"inf"},
      {-std::numeric_limits<double>::infinity(), L"-inf"},
      {std::numeric_limits<double>::quiet_NaN(), L"nan"},
      {-std::numeric_limits<double>::quiet_NaN(), L"nan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SerializeJson(JsonValue::Number(c.value), 0), c.text);
  }
}

TEST(JsonWriter, StringsEscapeOnlyWhatMust) {
  struct Case {
    std::wstring text;
    std::wstring written;
  } const cases[] = {
      {L"tab\there", L"\"tab\\there\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"C:\\dir", L"\"C:\\\\dir\""},
      {L"a\nb\rc", L"\"a\\nb\\rc\""},
      {std::wstring(L"\x01\x08\x0c\x1f", 4), L"\"\\u0001\\u0008\\u000c\\u001f\""},
      {std::wstring(1, L'\0'), L"\"\\u0000\""},
      {L"a/b \x7f \u00e9 \u20ac", L"\"a/b \x7f \u00e9 \u20ac\""},
  };
  for (const Case& c : cases) {
    const std::wstring written = SerializeJson(JsonValue::String(c.text), 0);
    EXPECT_EQ(written, c.written);
    std::size_t position = 0;
    const JsonValue back = ParseJson(written, position, 0);
    EXPECT_EQ(back.string(), c.text);
    EXPECT_EQ(position, written.size());
  }
}

TEST(JsonWriter, PrettyPrintsContainers) {
  JsonValue inner = JsonValue::Object();
  inner.Set(L"k", JsonValue::Bool(false));
  JsonValue list = JsonValue::Array();
  list.Append(JsonValue::Number(1));
  list.Append(JsonValue());
  list.Append(inner);
  list.Append(JsonValue::Array());
  JsonValue root = JsonValue::Object();
  root.Set(L"list", list);
  root.Set(L"empty", JsonValue::Object());
  root.Set(L"name", JsonValue::String(L"x"));

  const std::wstring expected =
      L"{\n"
      L"  \"empty\": {},\n"
      L"  \"list\": [\n"
      L"    1,\n"
      L"    null,\n"
      L"    {\n"
      L"      \"k\": false\n"
      L"    },\n"
      L"    []\n"
      L"  ],\n"
      L"  \"name\": \"x\"\n"
      L"}";
  EXPECT_EQ(SerializeJson(root, 0), expected);
  EXPECT_EQ(SerializeJson(JsonValue::Object(), 0), L"{}");
  EXPECT_EQ(SerializeJson(JsonValue(), 3), L"null");

  std::size_t position = 0;
  EXPECT_EQ(ParseJson(expected, position, 0), root);
  EXPECT_EQ(position, expected.size());
}

TEST(JsonValue, KeysSortByUtf16CodeUnits) {
  JsonValue root = JsonValue::Object();
  // Inserted out of order; U+1F600 is the pair D83D DE00, so it sorts before U+E000 and U+FFFD
  // although its code point is larger.
  for (const wchar_t* key : {L"\uFFFD", L"b", L"\U0001F600", L"ab", L"a", L"\uE000", L"B", L"\u00e9", L""}) {
    root.Set(key, JsonValue::Number(1));
  }
  std::vector<std::wstring> order;
  for (const auto& [key, value] : root.members()) order.push_back(key);
  const std::vector<std::wstring> expected = {L"",       L"B",          L"a",      L"ab",    L"b",
                                              L"\u00e9", L"\U0001F600", L"\uE000", L"\uFFFD"};
  EXPECT_EQ(order, expected);

  EXPECT_LT(CompareUtf16(L"share.port", L"window.h"), 0);
  EXPECT_LT(CompareUtf16(L"connect", L"connect.address"), 0);
  EXPECT_EQ(CompareUtf16(L"\U0001F600", L"\U0001F600"), 0);
  EXPECT_GT(CompareUtf16(L"\U0001F601", L"\U0001F600"), 0);
}

TEST(JsonValue, AccessorsAndKindsStaySeparate) {
  JsonValue root = JsonValue::Object();
  EXPECT_EQ(root.Find(L"missing"), nullptr);
  EXPECT_TRUE(root.members().empty());  // a lookup never inserts
  root.Set(L"a", JsonValue::Number(1));
  root.Set(L"a", JsonValue::String(L"now text"));
  ASSERT_NE(root.Find(L"a"), nullptr);
  EXPECT_EQ(root.Find(L"a")->kind(), JsonKind::String);
  EXPECT_EQ(root.members().size(), 1u);

  JsonValue number = JsonValue::Number(5);
  number.Set(L"x", JsonValue());  // ignored: not an object
  number.Append(JsonValue());     // ignored: not an array
  EXPECT_EQ(number.Find(L"x"), nullptr);
  EXPECT_TRUE(number.elements().empty());
}

TEST(Colour, ParsesAndFormats) {
  struct Case {
    const wchar_t* text;
    bool ok;
    std::uint32_t argb;
  } const cases[] = {
      {L"#25E07A", true, 0xFF25E07A},
      {L"25e07a", true, 0xFF25E07A},
      {L"#8025E07A", true, 0x8025E07A},
      {L"00000000", true, 0x00000000},
      {L"#25E07", false, 0},
      {L"#25E07AB", false, 0},
      {L"#25G07A", false, 0},
      {L"##25E07A", false, 0},
      {L"#", false, 0},
      {L"", false, 0},
      {L"+25E07A", false, 0},
      {L" 25E07A", false, 0},
      {L"#25E07A0000", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t argb = 0x12345678;
    EXPECT_EQ(ParseColour(c.text, argb), c.ok) << WideToUtf8(c.text);
    EXPECT_EQ(argb, c.ok ? c.argb : 0x12345678u) << WideToUtf8(c.text);
  }
  EXPECT_EQ(FormatColour(0xFF25E07A), L"#25E07A");
  EXPECT_EQ(FormatColour(0x8025E07A), L"#8025E07A");
  EXPECT_EQ(FormatColour(0x00000001), L"#00000001");
  EXPECT_EQ(FormatColour(0xFFABCDEF), L"#ABCDEF");
}

}  // namespace
}  // namespace tvx
