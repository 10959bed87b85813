#include "viewer/framebuffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "viewer/pixel_convert.h"

namespace tvx {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t bytes, std::uint8_t seed) {
  std::vector<std::uint8_t> v(bytes);
  for (std::size_t i = 0; i < bytes; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7);
  return v;
}

TEST(DirtyRect, UnionReplacesEmptyAndGrowsOtherwise) {
  struct Case {
    DirtyRect current, added, expected;
  } cases[] = {
      {{}, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {{1, 2, 3, 4}, {}, {1, 2, 3, 4}},
      {{10, 10, 20, 20}, {5, 15, 12, 30}, {5, 10, 20, 30}},
      {{5, 5, 5, 9}, {7, 7, 8, 8}, {7, 7, 8, 8}},  // zero-width counts as empty
      {{10, 10, 20, 20}, {3, 3, 3, 50}, {10, 10, 20, 20}},
  };
  for (const Case& c : cases) {
    DirtyRect r = c.current;
    r.Add(c.added);
    EXPECT_EQ(r, c.expected);
  }
}

TEST(Framebuffer, ResizeClearsToGreyAndMarksEverythingDirty) {
  Framebuffer fb;
  fb.Resize(5, 3);
  {
    auto lock = fb.Lock();
    ASSERT_EQ(fb.pixels().size(), 5u * 3 * 4);
    for (std::uint8_t b : fb.pixels()) ASSERT_EQ(b, Framebuffer::kClearByte);
    EXPECT_EQ(fb.TakeDirty(), (DirtyRect{0, 0, 5, 3}));
    EXPECT_TRUE(fb.TakeDirty().Empty());
    const std::vector<std::uint8_t> tile(3 * 3, 200);
    fb.PlaceBgr(0, 0, tile.data(), 1, 3, false);
  }
  // The same size again still clears the picture.
  fb.Resize(5, 3);
  {
    auto lock = fb.Lock();
    EXPECT_EQ(fb.pixels()[0], Framebuffer::kClearByte);
    EXPECT_EQ(fb.dirty(), (DirtyRect{0, 0, 5, 3}));
  }
  fb.Resize(0, 7);
  auto lock = fb.Lock();
  EXPECT_FALSE(fb.HasPicture());
  EXPECT_TRUE(fb.dirty().Empty());
}

TEST(Framebuffer, PlaceClipsAtTheRightAndBottomEdges) {
  struct Case {
    std::uint32_t x0, y0, w, h;
    DirtyRect expected;
  } cases[] = {
      {0, 0, 4, 4, {0, 0, 4, 4}},
      {8, 4, 4, 4, {8, 4, 10, 7}},    // full tile at the corner is cut to the picture
      {9, 0, 16, 2, {9, 0, 10, 2}},   // one column left
      {10, 0, 4, 4, {}},              // starts right of the picture
      {0, 7, 4, 4, {}},               // starts below it
  };
  for (const Case& c : cases) {
    for (bool shuffle : {false, true}) {
      if (shuffle && !CpuHasSsse3()) continue;
      Framebuffer fb;
      fb.Resize(10, 7);
      auto lock = fb.Lock();
      const std::vector<std::uint8_t> tile = Pattern(std::size_t{c.w} * c.h * 3, 1);
      const DirtyRect placed = fb.PlaceBgr(c.x0, c.y0, tile.data(), c.w, c.h, shuffle);
      EXPECT_EQ(placed, c.expected) << c.x0 << "," << c.y0;
      for (std::uint32_t y = 0; y < 7; ++y) {
        for (std::uint32_t x = 0; x < 10; ++x) {
          const std::uint8_t* px = fb.pixels().data() + (y * 10 + x) * 4;
          const bool inside = !placed.Empty() && x >= placed.x0 && x < placed.x1 && y >= placed.y0 &&
                              y < placed.y1;
          if (inside) {
            const std::uint8_t* src = tile.data() + ((y - c.y0) * c.w + (x - c.x0)) * 3;
            ASSERT_EQ(px[0], src[0]);
            ASSERT_EQ(px[1], src[1]);
            ASSERT_EQ(px[2], src[2]);
            ASSERT_EQ(px[3], 255);
          } else {
            ASSERT_EQ(px[0], Framebuffer::kClearByte) << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(PixelConvert, ShufflePathMatchesScalarForEveryLengthWithoutOverreading) {
  if (!CpuHasSsse3()) GTEST_SKIP() << "no SSSE3 on this processor";
  for (std::size_t pixels = 0; pixels <= 41; ++pixels) {
    // Exactly sized buffers: the address sanitizer reports any read or write past them.
    const std::vector<std::uint8_t> src = Pattern(pixels * 3, static_cast<std::uint8_t>(pixels));
    std::vector<std::uint8_t> scalar(pixels * 4, 0);
    std::vector<std::uint8_t> shuffled(pixels * 4, 0);
    BgrToBgraScalar(src.data(), scalar.data(), pixels);
    BgrToBgraShuffle(src.data(), shuffled.data(), pixels);
    ASSERT_EQ(scalar, shuffled) << pixels;
    for (std::size_t i = 0; i < pixels; ++i) {
      ASSERT_EQ(scalar[i * 4 + 2], src[i * 3 + 2]);
      ASSERT_EQ(scalar[i * 4 + 3], 255);
    }
  }
}

}  // namespace
}  // namespace tvx
