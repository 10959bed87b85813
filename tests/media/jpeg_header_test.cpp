#include "media/jpeg_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvx {
namespace {

// SOI, an APP0 of 4 payload bytes, then a baseline frame header of 500 x 300.
std::vector<std::uint8_t> Header() {
  return {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 'I', 'F', 0xFF, 0xC0, 0x00, 0x0B,
          0x08, 0x01, 0x2C, 0x01, 0xF4, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xDA};
}

TEST(JpegHeader, ReadsTheFirstFrameHeaderAndRefusesWhatIsNotOne) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool ok;
    std::uint32_t w, h;
  };
  std::vector<Case> cases;
  cases.push_back({"baseline", Header(), true, 500, 300});
  {
    std::vector<std::uint8_t> b = Header();
    b[11] = 0xC2;  // progressive
    cases.push_back({"progressive", b, true, 500, 300});
    b = Header();
    b.insert(b.begin() + 10, {0xFF, 0xFF, 0xFF});  // fill bytes before a marker
    cases.push_back({"fill bytes", b, true, 500, 300});
    b = Header();
    b[11] = 0xC4;  // a Huffman table is not a frame header: the walk then meets the scan
    cases.push_back({"DHT in the SOF range", b, false, 0, 0});
    b = Header();
    b[16] = b[15] = 0;  // height 0 (a DNL marker would give it later)
    cases.push_back({"zero height", b, false, 0, 0});
    b = Header();
    b[0] = 0x00;
    cases.push_back({"no start of image", b, false, 0, 0});
    b = Header();
    b[5] = 0x40;  // APP0 length runs past the end
    cases.push_back({"segment past the end", b, false, 0, 0});
    b = Header();
    b[5] = 0x01;  // a length shorter than its own field
    cases.push_back({"length below 2", b, false, 0, 0});
    b = Header();
    b.resize(17);  // the frame header is cut
    cases.push_back({"cut frame header", b, false, 0, 0});
    b = Header();
    b[13] = 0x05;  // too short to hold a size
    cases.push_back({"short frame header", b, false, 0, 0});
  }
  cases.push_back({"scan first", {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02}, false, 0, 0});
  cases.push_back({"end of image first", {0xFF, 0xD8, 0xFF, 0xD9}, false, 0, 0});
  cases.push_back({"no marker after SOI", {0xFF, 0xD8, 0x12, 0x34, 0x56}, false, 0, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t w = 7, h = 7;
    EXPECT_EQ(ReadJpegFrameSize(c.bytes.data(), c.bytes.size(), w, h), c.ok);
    EXPECT_EQ(w, c.w);
    EXPECT_EQ(h, c.h);
  }
  std::uint32_t w = 7, h = 7;
  EXPECT_FALSE(ReadJpegFrameSize(nullptr, 25, w, h));
  // Every shorter prefix of a good header is refused, never read past.
  const std::vector<std::uint8_t> good = Header();
  for (std::size_t n = 0; n < 20; ++n) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(ReadJpegFrameSize(cut.data(), cut.size(), w, h)) << n;
  }
}

}  // namespace
}  // namespace tvx
