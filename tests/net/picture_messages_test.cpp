#include "net/picture_messages.h"

#include <gtest/gtest.h>

#include "message_test_util.h"
#include "net/byte_io.h"

namespace tvx {
namespace {

using testing::Prefix;
using testing::RoundTrip;
using testing::TextAt;
using testing::U16At;
using testing::U32At;

TEST(HelloTest, LayoutAndRoundTrip) {
  Hello hello;
  hello.channel = kPointerChannel;
  hello.nonce = 0x1122334455667788ull;
  hello.code = "ab12cd";
  hello.name = "Jos\xC3\xA9";
  hello.relayId = "123456789";
  const Bytes bytes = Encode(hello);
  ASSERT_EQ(bytes.size(), kHelloSize);
  EXPECT_EQ(U32At(bytes, 0), 7u);
  EXPECT_EQ(bytes[4], 1);
  EXPECT_EQ(U32At(bytes, 8), 0x55667788u);
  EXPECT_EQ(U32At(bytes, 12), 0x11223344u);
  EXPECT_EQ(TextAt(bytes, 16, 7), std::string("ab12cd\0", 7));
  EXPECT_EQ(TextAt(bytes, 32, 6), std::string("Jos\xC3\xA9", 6));
  EXPECT_EQ(TextAt(bytes, 64, 10), std::string("123456789\0", 10));
  EXPECT_EQ(RoundTrip(hello), hello);
}

TEST(HelloTest, FixedFieldsAreCutAtTheirSize) {
  Hello hello;
  hello.code = "0123456789ABCDEFXYZ";         // 19 bytes into 16: no terminator left
  hello.name = std::string(31, 'n') + "\xC3\xA9";  // the two-byte character is cut in half
  const Bytes bytes = Encode(hello);
  ASSERT_EQ(bytes.size(), kHelloSize);
  Hello back;
  ASSERT_TRUE(Decode(ByteSpan(bytes), back));
  EXPECT_EQ(back.code, "0123456789ABCDEF");
  EXPECT_EQ(back.name, std::string(31, 'n') + "\xC3");
  EXPECT_EQ(back.relayId, "");
}

TEST(HelloTest, OnlyAnEightyByteHelloFrameGreets) {
  const Bytes bytes = Encode(Hello{});
  Bytes longer = bytes;
  longer.push_back(0);
  Hello out;
  EXPECT_FALSE(Decode(Prefix(bytes, 79), out));
  EXPECT_FALSE(Decode(ByteSpan(longer), out));
  EXPECT_TRUE(DecodeGreeting(FrameHeader{kFrameMagic, msg::kHello, 0xFFFF, 80}, ByteSpan(bytes), out));
  EXPECT_FALSE(DecodeGreeting(FrameHeader{kFrameMagic, msg::kHeartbeat, 0, 80}, ByteSpan(bytes), out));
}

TEST(RefusalTest, ReasonsAndTheirTexts) {
  const std::pair<std::uint32_t, const wchar_t*> cases[] = {
      {1, L"That code is not right."},
      {2, L"The two Tavrix versions do not match."},
      {3, L"The host already has as many viewers as it allows."},
      {4, L"The host is not sharing right now."},
      {0, L"The host refused the connection."},
      {5, L"The host refused the connection."},
  };
  for (const auto& [reason, text] : cases) {
    const Refusal back = RoundTrip(Refusal{reason});
    EXPECT_EQ(back.reason, reason);
    EXPECT_STREQ(RefusalText(back.reason), text);
  }
  Refusal empty{9};
  EXPECT_TRUE(Decode(ByteSpan(), empty));
  EXPECT_EQ(empty.reason, 0u);
  EXPECT_STREQ(RefusalText(empty.reason), L"The host refused the connection.");
}

ScreenDescription Description(std::uint32_t width, std::uint32_t height, std::uint16_t tile) {
  ScreenDescription d;
  d.left = -1920;
  d.top = 8;
  d.monitorWidth = width;
  d.monitorHeight = height;
  d.width = width;
  d.height = height;
  d.tileWidth = d.tileHeight = tile;
  d.columns = tile == 0 ? 0 : static_cast<std::uint16_t>((width + tile - 1) / tile);
  d.rows = tile == 0 ? 0 : static_cast<std::uint16_t>((height + tile - 1) / tile);
  d.monitorIndex = 1;
  d.monitorCount = 2;
  d.quality = 70;
  d.frameRate = 30;
  d.rotation = 1;
  d.permissions = kPermitControl | kPermitSound;
  return d;
}

TEST(ScreenDescriptionTest, LayoutAndRoundTrip) {
  const ScreenDescription d = Description(1920, 1080, 128);
  const Bytes bytes = Encode(d);
  ASSERT_EQ(bytes.size(), kScreenDescriptionSize);
  EXPECT_EQ(U32At(bytes, 0), 7u);
  EXPECT_EQ(U32At(bytes, 4), static_cast<std::uint32_t>(-1920));
  EXPECT_EQ(U32At(bytes, 20), 1920u);
  EXPECT_EQ(U16At(bytes, 28), 128);
  EXPECT_EQ(U16At(bytes, 32), 15);
  EXPECT_EQ(U16At(bytes, 34), 9);
  EXPECT_EQ(U32At(bytes, 40), 2u);
  EXPECT_EQ(bytes[44], 70);
  EXPECT_EQ(bytes[46], 1);
  EXPECT_EQ(bytes[47], 5);
  EXPECT_EQ(RoundTrip(d), d);
  ScreenDescription out;
  EXPECT_FALSE(Decode(Prefix(bytes, 47), out));
}

TEST(ScreenDescriptionTest, Validity) {
  struct Case {
    const char* name;
    ScreenDescription d;
    bool valid;
  };
  std::vector<Case> cases;
  cases.push_back({"1920 wide in 64-pixel tiles", Description(1920, 1080, 64), true});
  {
    ScreenDescription d = Description(1920, 1080, 64);
    d.columns = 29;
    cases.push_back({"one column short", d, false});
  }
  {
    ScreenDescription d = Description(1920, 1080, 64);
    d.rows = 18;
    cases.push_back({"one row too many", d, false});
  }
  cases.push_back({"smallest", Description(1, 1, 1), true});
  cases.push_back({"largest", Description(16384, 16384, 1024), true});
  cases.push_back({"too wide", Description(16385, 1080, 1024), false});
  cases.push_back({"zero height", Description(1920, 0, 128), false});
  cases.push_back({"tile above 1024", Description(8000, 8000, 1025), false});
  {
    ScreenDescription d = Description(1920, 1080, 0);
    cases.push_back({"zero tile", d, false});
  }
  {
    ScreenDescription d = Description(1920, 1080, 128);
    d.tileHeight = 64;
    cases.push_back({"rectangular tiles follow their own sizes", d, false});
  }
  {
    ScreenDescription d = Description(1920, 1080, 128);
    d.rotation = 4;
    cases.push_back({"rotation 4", d, false});
  }
  for (const Case& c : cases) EXPECT_EQ(c.d.IsValid(), c.valid) << c.name;
}

Bytes Jpeg(std::size_t length, std::uint8_t fill) { return Bytes(length, fill); }

TEST(TileFrameTest, BuilderAndReaderAgree) {
  TileFrameBuilder builder(77);
  const Bytes a = Jpeg(100, 1), b = Jpeg(1, 2), c = Jpeg(3000, 3);
  ASSERT_TRUE(builder.Add(0, 0, a));
  ASSERT_TRUE(builder.Add(14, 8, b));
  ASSERT_TRUE(builder.Add(3, 2, c));
  EXPECT_EQ(builder.count(), 3);
  const Bytes payload = builder.Take();
  EXPECT_EQ(payload.size(), kTileFrameHeaderSize + 3 * kTileEntryHeaderSize + 3101);
  EXPECT_EQ(U32At(payload, 0), 77u);
  EXPECT_EQ(U16At(payload, 4), 3);
  EXPECT_EQ(U16At(payload, 6), 0);
  EXPECT_EQ(U16At(payload, 8), 0);
  EXPECT_EQ(U32At(payload, 12), 100u);

  TileFrame frame;
  ASSERT_TRUE(DecodeTileFrame(ByteSpan(payload), 15, 9, frame));
  EXPECT_EQ(frame.turn, 77u);
  ASSERT_EQ(frame.tiles.size(), 3u);
  EXPECT_EQ(frame.tiles[1].column, 14);
  EXPECT_EQ(frame.tiles[1].row, 8);
  EXPECT_TRUE(std::equal(frame.tiles[2].jpeg.begin(), frame.tiles[2].jpeg.end(), c.begin(), c.end()));
}

TEST(TileFrameTest, ReaderStopsAtOverrunsAndSkipsTilesOffTheGrid) {
  TileFrameBuilder builder(1);
  builder.Add(0, 0, Jpeg(10, 1));
  builder.Add(15, 0, Jpeg(10, 2));  // column outside a 15-column grid
  builder.Add(0, 9, Jpeg(10, 3));   // row outside a 9-row grid
  builder.Add(1, 1, Jpeg(10, 4));
  const Bytes good = builder.Take();

  struct Case {
    const char* name;
    Bytes payload;
    std::vector<std::uint8_t> fills;  // the first JPEG byte of every tile read
  };
  std::vector<Case> cases;
  cases.push_back({"off-grid entries skipped", good, {1, 4}});
  {
    Bytes p = good;
    p[kTileFrameHeaderSize + 18 + 4] = 0xFF;  // the second entry claims far more than remains
    cases.push_back({"second entry overruns", p, {1}});
  }
  cases.push_back({"cut inside the last entry's JPEG", Bytes(good.begin(), good.end() - 1), {1}});
  cases.push_back({"cut inside an entry header", Bytes(good.begin(), good.begin() + 8 + 18 + 5), {1}});
  {
    Bytes p = good;
    p[4] = 9;  // claims nine tiles, holds four
    cases.push_back({"count above the entries present", p, {1, 4}});
  }
  {
    Bytes p = good;
    p[4] = 1;  // claims one tile: the rest is not read
    cases.push_back({"count below the entries present", p, {1}});
  }
  cases.push_back({"header only", Bytes(good.begin(), good.begin() + 8), {}});
  for (const Case& c : cases) {
    TileFrame frame;
    ASSERT_TRUE(DecodeTileFrame(ByteSpan(c.payload), 15, 9, frame)) << c.name;
    std::vector<std::uint8_t> fills;
    for (const TileEntry& t : frame.tiles) fills.push_back(t.jpeg.empty() ? 0 : t.jpeg[0]);
    EXPECT_EQ(fills, c.fills) << c.name;
  }
  TileFrame frame;
  EXPECT_FALSE(DecodeTileFrame(Prefix(good, 7), 15, 9, frame));
}

TEST(TileFrameTest, BuilderKeepsUnderItsLimit) {
  TileFrameBuilder builder(0);
  const Bytes jpeg = Jpeg(100, 7);
  const std::size_t limit = kTileFrameHeaderSize + 2 * TileFrameBuilder::EntrySize(100);
  EXPECT_TRUE(builder.Add(0, 0, jpeg, limit));
  EXPECT_TRUE(builder.Add(0, 1, jpeg, limit));
  EXPECT_FALSE(builder.Add(0, 2, jpeg, limit));
  EXPECT_EQ(builder.count(), 2);
  EXPECT_EQ(builder.size(), limit);
  const Bytes huge(kFrameCap, 0);
  EXPECT_FALSE(builder.Add(0, 3, huge));  // would pass the frame cap
}

TEST(MonitorListTest, RoundTripAndShortPayloads) {
  MonitorList list;
  list.sharedIndex = 1;
  list.monitors.push_back({0, 0, 0, 2560, 1440, true, "\\\\.\\DISPLAY1"});
  list.monitors.push_back({1, -1920, 200, 1920, 1080, false, std::string(32, 'D')});
  const Bytes bytes = Encode(list);
  ASSERT_EQ(bytes.size(), 8 + 2 * kMonitorEntrySize);
  EXPECT_EQ(U32At(bytes, 0), 2u);
  EXPECT_EQ(bytes[8 + 20], 1);
  EXPECT_EQ(TextAt(bytes, 8 + 24, 12), "\\\\.\\DISPLAY1");
  EXPECT_EQ(RoundTrip(list), list);

  MonitorList out;
  EXPECT_FALSE(Decode(Prefix(bytes, bytes.size() - 1), out));
  EXPECT_FALSE(Decode(Prefix(bytes, 7), out));
  Bytes hostile = bytes;
  hostile[0] = hostile[1] = hostile[2] = hostile[3] = 0xFF;  // four billion entries, two present
  EXPECT_FALSE(Decode(ByteSpan(hostile), out));
  EXPECT_TRUE(Decode(Prefix(Encode(MonitorList{}), 8), out));
  EXPECT_TRUE(out.monitors.empty());
}

TEST(SmallPictureMessagesTest, PermissionsAndGoodbye) {
  const Bytes bytes = Encode(Permissions{kPermitClipboard | kPermitSound});
  EXPECT_EQ(bytes, (Bytes{6, 0, 0, 0}));
  EXPECT_EQ(RoundTrip(Permissions{kPermitControl}).bits, kPermitControl);
  Permissions out;
  EXPECT_FALSE(Decode(Prefix(bytes, 3), out));
  EXPECT_EQ(EncodeHostGoodbye(), (Bytes{1, 0, 0, 0}));
}

TEST(ClipboardTextTest, LimitsOfTheText) {
  EXPECT_EQ(RoundTrip(ClipboardText{"h\xC3\xA9llo"}).utf8, "h\xC3\xA9llo");
  const ClipboardText largest{std::string(kClipboardMaxBytes, 'x')};
  EXPECT_EQ(RoundTrip(largest), largest);
  EXPECT_TRUE(Encode(ClipboardText{""}).empty());
  EXPECT_TRUE(Encode(ClipboardText{std::string(kClipboardMaxBytes + 1, 'x')}).empty());

  auto payload = [](std::uint32_t format, std::uint32_t length, std::size_t textBytes) {
    Bytes p;
    ByteWriter w(p);
    w.U32(format);
    w.U32(length);
    w.Zeros(textBytes);
    return p;
  };
  struct Case {
    const char* name;
    Bytes payload;
  };
  const Case refused[] = {
      {"length above 4 MiB", payload(1, 0x400001, 0x400001)},
      {"empty text", payload(1, 0, 0)},
      {"not UTF-8 text", payload(2, 3, 3)},
      {"shorter than its length", payload(1, 10, 9)},
      {"no header", Bytes{1, 0, 0, 0, 1}},
  };
  for (const Case& c : refused) {
    ClipboardText out;
    EXPECT_FALSE(Decode(ByteSpan(c.payload), out)) << c.name;
  }
}

}  // namespace
}  // namespace tvx
