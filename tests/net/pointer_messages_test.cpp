#include "net/pointer_messages.h"

#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "message_test_util.h"
#include "net/byte_io.h"

namespace tvx {
namespace {

using testing::Prefix;
using testing::RoundTrip;
using testing::U16At;
using testing::U32At;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Every fixed-size message: its encoded size, a round trip of a record with every field set, and
// refusal of a payload one byte short of its minimum.
TEST(PointerMessagesTest, FixedSizeMessagesRoundTripAndNeedTheirMinimum) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::size_t size;
    std::function<bool(ByteSpan)> decodesToOriginal;
  };
  auto make = [](const char* name, const auto& record, std::size_t size) {
    using Record = std::decay_t<decltype(record)>;
    return Case{name, Encode(record), size, [record](ByteSpan bytes) {
                  Record back{};
                  return Decode(bytes, back) && back == record;
                }};
  };
  const Case cases[] = {
      make("heartbeat", Heartbeat{0x0102030405060708ull, 42}, 12),
      make("heartbeat echo", HeartbeatEcho{0xFFFFFFFF00000001ull, 5000, 240}, 16),
      make("viewer pointer", ViewerPointer{0.25f, 0.75f, true, 0xFF112233}, 16),
      make("drawings edit", DrawingsEdit{kDrawingsRemoveNewest}, 4),
      make("point ping", PointPing{0.5f, 0.125f, 0x80FF0000, 2}, 16),
      make("picture request", PictureRequest{85, 30, 1100}, 4),
      make("choose monitor", ChooseMonitor{3}, 4),
      make("overlay preferences", OverlayPreferences{false, true}, 4),
      make("control mouse", ControlMouse{0.5f, 1.0f, kMouseActionWheel, 2, -240}, 12),
      make("control key", ControlKey{0x41, 0x1E, true, true, u'\u00E9'}, 8),
      make("sound request", SoundRequest{true}, 4),
      make("sound format", SoundFormat{48000, 2, 16}, 8),
      make("host cursor", HostCursor{0.0f, 1.0f, true}, 12),
      make("pointer busy", PointerBusyNotice{1500, kHeldByViewer, "Viewer 2"}, 40),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.bytes.size(), c.size);
    EXPECT_TRUE(c.decodesToOriginal(ByteSpan(c.bytes)));
    Bytes longer = c.bytes;
    longer.push_back(0xEE);  // longer payloads are accepted
    EXPECT_TRUE(c.decodesToOriginal(ByteSpan(longer)));
    const std::size_t minimum = std::string_view(c.name) == "heartbeat" ? 8 : c.size;
    EXPECT_FALSE(c.decodesToOriginal(Prefix(c.bytes, minimum - 1)));
  }
}

TEST(PointerMessagesTest, FieldLayout) {
  const Bytes heartbeat = Encode(Heartbeat{0x1122334455667788ull, 9});
  EXPECT_EQ(U32At(heartbeat, 0), 0x55667788u);
  EXPECT_EQ(U32At(heartbeat, 8), 9u);
  const Bytes pointer = Encode(ViewerPointer{1.0f, 0.0f, true, 0xAABBCCDD});
  EXPECT_EQ(U32At(pointer, 0), 0x3F800000u);
  EXPECT_EQ(pointer[8], 1);
  EXPECT_EQ(U32At(pointer, 12), 0xAABBCCDDu);
  const Bytes mouse = Encode(ControlMouse{0, 0, kMouseActionDown, 4, -120});
  EXPECT_EQ(mouse[8], 1);
  EXPECT_EQ(mouse[9], 4);
  EXPECT_EQ(U16At(mouse, 10), 0xFF88);
  const Bytes key = Encode(ControlKey{0x0D, 0x1C, true, false, 0});
  EXPECT_EQ(key, (Bytes{0x0D, 0, 0x1C, 0, 1, 0, 0, 0}));
  const Bytes request = Encode(PictureRequest{50, 20, 1199});
  EXPECT_EQ(request, (Bytes{50, 20, 0xAF, 0x04}));
  const Bytes busy = Encode(PointerBusyNotice{700, kHeldByViewer, "Ann"});
  EXPECT_EQ(busy[4], 1);
  EXPECT_EQ(busy[8], 'A');
  EXPECT_EQ(busy[11], 0);
}

TEST(PointerMessagesTest, HeartbeatWithoutLatencyReadsZero) {
  Heartbeat out{0, 99};
  const Bytes bytes = Encode(Heartbeat{123, 456});
  ASSERT_TRUE(Decode(Prefix(bytes, 8), out));
  EXPECT_EQ(out.tick, 123u);
  EXPECT_EQ(out.latency, 0u);
}

TEST(PointerMessagesTest, PositionsAreClampedAndNeverNaN) {
  struct Case {
    float in;
    float out;
  };
  const Case cases[] = {{-0.5f, 0.0f}, {1.5f, 1.0f}, {0.3f, 0.3f}, {kNaN, 0.0f}, {kInf, 0.0f}, {-kInf, 0.0f}};
  for (const Case& c : cases) {
    ViewerPointer pointer;
    ASSERT_TRUE(Decode(ByteSpan(Encode(ViewerPointer{c.in, c.in, true, 0})), pointer));
    EXPECT_EQ(pointer.x, c.out) << c.in;
    EXPECT_EQ(pointer.y, c.out) << c.in;
    ControlMouse mouse;
    ASSERT_TRUE(Decode(ByteSpan(Encode(ControlMouse{c.in, c.in, kMouseActionMove, 0, 0})), mouse));
    EXPECT_EQ(mouse.x, c.out) << c.in;
    HostCursor cursor;
    ASSERT_TRUE(Decode(ByteSpan(Encode(HostCursor{c.in, c.in, false})), cursor));
    EXPECT_EQ(cursor.y, c.out) << c.in;
    PointPing ping;
    ASSERT_TRUE(Decode(ByteSpan(Encode(PointPing{c.in, c.in, 0, 0})), ping));
    EXPECT_TRUE(std::isfinite(ping.x)) << c.in;
  }
}

TEST(PointerMessagesTest, InputThatTheHostIgnores) {
  ControlMouse mouse;
  EXPECT_TRUE(Decode(ByteSpan(Encode(ControlMouse{0, 0, kMouseActionDown, 4, 0})), mouse));
  EXPECT_FALSE(Decode(ByteSpan(Encode(ControlMouse{0, 0, kMouseActionDown, 5, 0})), mouse));
  ControlKey key;
  EXPECT_FALSE(Decode(ByteSpan(Encode(ControlKey{0, 0, true, false, u'a'})), key));
  EXPECT_TRUE(Decode(ByteSpan(Encode(ControlKey{0, 0x1E, true, false, 0})), key));
  EXPECT_TRUE(Decode(ByteSpan(Encode(ControlKey{0x41, 0, false, false, 0})), key));
}

DrawingRecord Drawing(std::size_t points, std::u16string text) {
  DrawingRecord d;
  d.id = 12;
  d.shape = static_cast<std::uint8_t>(DrawingShape::kNote);
  d.style = 2;
  d.colour = 0xFF00FF00;
  d.width = 6.5f;
  d.lifetimeMs = kDrawingKeepForever;
  for (std::size_t i = 0; i < points; ++i) d.points.push_back({i / 10000.0f, 1.0f - i / 10000.0f});
  d.text = std::move(text);
  return d;
}

// A drawing record as a hostile viewer could write it: any count, any text length, any bytes.
Bytes RawDrawing(std::uint8_t style, float width, std::uint16_t textUnits, std::uint32_t count,
                 std::size_t pointBytes, std::u16string_view text) {
  Bytes p;
  ByteWriter w(p);
  w.U32(1);
  w.U8(2);
  w.U8(style);
  w.U16(textUnits);
  w.U32(0);
  w.F32(width);
  w.U32(0);
  w.U32(count);
  w.Zeros(pointBytes);
  w.Utf16(text);
  return p;
}

TEST(DrawingRecordTest, RoundTripAndLayout) {
  const DrawingRecord d = Drawing(3, u"Look here \u00E9");
  const Bytes bytes = Encode(d);
  ASSERT_EQ(bytes.size(), kDrawingHeaderSize + 3 * 8 + 2 * d.text.size());
  EXPECT_EQ(bytes[4], 7);
  EXPECT_EQ(U16At(bytes, 6), d.text.size());
  EXPECT_EQ(U32At(bytes, 16), 0xFFFFFFFFu);
  EXPECT_EQ(U32At(bytes, 20), 3u);
  EXPECT_EQ(RoundTrip(d), d);
  const DrawingRecord largest = Drawing(kDrawingMaxPoints, std::u16string(200, u'x'));
  EXPECT_EQ(RoundTrip(largest), largest);
  // The encoder never writes what the host would discard or cut.
  const DrawingRecord tooLarge = Drawing(kDrawingMaxPoints + 1, std::u16string(201, u'x'));
  const DrawingRecord back = RoundTrip(tooLarge);
  EXPECT_EQ(back.points.size(), kDrawingMaxPoints);
  EXPECT_EQ(back.text.size(), 200u);
}

TEST(DrawingRecordTest, ReceiverRules) {
  struct Case {
    const char* name;
    Bytes payload;
    bool accepted;
    std::u16string text;
    std::uint8_t style;
    float width;
  };
  const std::u16string noisy = u"a\tb\x7F" u"c\x1F";
  const Case cases[] = {
      {"header only", RawDrawing(1, 3, 0, 0, 0, u""), true, u"", 1, 3},
      {"23 bytes", Bytes(23, 0), false, u"", 0, 1},
      {"8193 points", RawDrawing(0, 3, 0, 8193, 8193 * 8, u""), false, u"", 0, 1},
      {"points cut short", RawDrawing(0, 3, 0, 4, 31, u""), false, u"", 0, 1},
      {"text that does not fit is dropped", RawDrawing(0, 3, 10, 1, 8, u"abc"), true, u"", 0, 3},
      {"control characters become spaces", RawDrawing(0, 3, 6, 0, 0, noisy), true, u"a b c ", 0, 3},
      {"text cut to 200 units", RawDrawing(0, 3, 300, 0, 0, std::u16string(300, u'q')), true,
       std::u16string(200, u'q'), 0, 3},
      {"200 units present of 300 announced", RawDrawing(0, 3, 300, 0, 0, std::u16string(200, u'q')), true,
       std::u16string(200, u'q'), 0, 3},
      {"unknown style reads as 0", RawDrawing(3, 3, 0, 0, 0, u""), true, u"", 0, 3},
      {"thin line", RawDrawing(0, 0.1f, 0, 0, 0, u""), true, u"", 0, 1},
      {"thick line", RawDrawing(0, 500, 0, 0, 0, u""), true, u"", 0, 40},
      {"width not a number", RawDrawing(0, kNaN, 0, 0, 0, u""), true, u"", 0, 1},
      {"infinite width", RawDrawing(0, kInf, 0, 0, 0, u""), true, u"", 0, 40},
  };
  for (const Case& c : cases) {
    DrawingRecord out;
    ASSERT_EQ(Decode(ByteSpan(c.payload), out), c.accepted) << c.name;
    if (!c.accepted) continue;
    EXPECT_EQ(out.text, c.text) << c.name;
    EXPECT_EQ(out.style, c.style) << c.name;
    EXPECT_EQ(out.width, c.width) << c.name;
  }

  Bytes badPoints = RawDrawing(0, 3, 0, 1, 0, u"");
  ByteWriter w(badPoints);
  w.F32(kNaN);
  w.F32(-kInf);
  DrawingRecord out;
  ASSERT_TRUE(Decode(ByteSpan(badPoints), out));
  ASSERT_EQ(out.points.size(), 1u);
  EXPECT_EQ(out.points[0], (DrawingPoint{0, 0}));
}

TEST(ControlTextTest, CountLimits) {
  EXPECT_EQ(RoundTrip(ControlText{u"h\u00E9llo \U0001F600"}).text, u"h\u00E9llo \U0001F600");
  const ControlText largest{std::u16string(kControlTextMaxUnits, u'z')};
  EXPECT_EQ(RoundTrip(largest), largest);
  EXPECT_TRUE(Encode(ControlText{u""}).empty());
  EXPECT_TRUE(Encode(ControlText{std::u16string(kControlTextMaxUnits + 1, u'z')}).empty());

  auto raw = [](std::uint32_t count, std::size_t units) {
    Bytes p;
    ByteWriter w(p);
    w.U32(count);
    w.Zeros(units * 2);
    return p;
  };
  const std::pair<const char*, Bytes> refused[] = {
      {"count 0", raw(0, 0)},
      {"count 4097", raw(4097, 4097)},
      {"count above the units present", raw(3, 2)},
      {"huge count", raw(0xFFFFFFFF, 4)},
      {"no count", Bytes{1, 0}},
  };
  for (const auto& [name, payload] : refused) {
    ControlText out;
    EXPECT_FALSE(Decode(ByteSpan(payload), out)) << name;
  }
}

TEST(SoundTest, FormatRules) {
  const std::pair<SoundFormat, bool> cases[] = {
      {{44100, 1, 16}, true}, {{48000, 8, 16}, true}, {{0, 2, 16}, false},
      {{48000, 0, 16}, false}, {{48000, 9, 16}, false}, {{48000, 2, 24}, false},
  };
  for (const auto& [format, valid] : cases) {
    SoundFormat out;
    EXPECT_EQ(Decode(ByteSpan(Encode(format)), out), valid) << format.channels << " " << format.bitsPerSample;
  }
}

TEST(SoundTest, DataNeedsEveryFrameOfEveryChannel) {
  auto packet = [](std::uint32_t frames, std::size_t sampleBytes) {
    Bytes p = Encode(SoundDataHeader{41, frames});
    for (std::size_t i = 0; i < sampleBytes; ++i) p.push_back(static_cast<std::uint8_t>(i));
    return p;
  };
  struct Case {
    const char* name;
    Bytes payload;
    std::uint16_t channels;
    bool accepted;
  };
  const Case cases[] = {
      {"stereo, whole", packet(480, 480 * 4), 2, true},
      {"stereo with extra bytes", packet(480, 480 * 4 + 3), 2, true},
      {"stereo holding only mono's worth", packet(480, 480 * 2), 2, false},
      {"mono, whole", packet(480, 480 * 2), 1, true},
      {"zero frames", packet(0, 16), 2, false},
      {"frame count overflowing a 32-bit size", packet(0x80000000u, 64), 8, false},
      {"before any format", packet(10, 40), 0, false},
      {"no header", Bytes{1, 2, 3}, 2, false},
  };
  for (const Case& c : cases) {
    SoundData out;
    ASSERT_EQ(Decode(ByteSpan(c.payload), c.channels, out), c.accepted) << c.name;
    if (!c.accepted) continue;
    EXPECT_EQ(out.sequence, 41u) << c.name;
    EXPECT_EQ(out.samples.size(), static_cast<std::size_t>(out.frames) * c.channels * 2) << c.name;
    EXPECT_EQ(out.samples.data(), c.payload.data() + kSoundDataHeaderSize) << c.name;
  }
}

}  // namespace
}  // namespace tvx
