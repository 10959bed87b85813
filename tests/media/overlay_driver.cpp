// A viewer that draws on a running "tavrix-cli host --overlay --overlay-dump FILE
// --source synthetic:1280x720" and checks the overlay's surface from the dumps: it joins, sends a
// pointer, an arrow, a box, a pen stroke, a note and a ping, asks the host for a dump (its stdout
// is the host's stdin), checks the pixels, leaves, and checks that a second dump is clear.
//
// usage: tvx_overlay_driver HOST_OUTPUT_FILE DUMP_FILE
// Exit code 0 when every check held, 1 otherwise; what it found goes to stderr.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/pointer_messages.h"
#include "net/socket_api.h"
#include "test_viewer.h"

namespace tvx::testing {
namespace {

constexpr auto kPatience = std::chrono::seconds(60);  // a first start under an emulator is slow
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits until the file holds `fragment` at or after `from`; returns where it ends, or npos.
std::size_t WaitForText(const std::string& path, const std::string& fragment, std::size_t from = 0) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < end) {
    const std::string text = ReadAll(path);
    const std::size_t at = text.size() > from ? text.find(fragment, from) : std::string::npos;
    if (at != std::string::npos) return at + fragment.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::string::npos;
}

std::uint16_t HostPort(const std::string& path) {
  const std::string key = "\"port\":";
  if (WaitForText(path, key) == std::string::npos) return 0;
  const std::string text = ReadAll(path);
  const unsigned long port = std::strtoul(text.c_str() + text.find(key) + key.size(), nullptr, 10);
  return port > 0 && port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

// A premultiplied BGRA pixel of the dump.
struct Pixel {
  int b = 0, g = 0, r = 0, a = 0;
};

// The dump as the host writes it: a BITMAPV4HEADER 32-bit BMP, rows bottom-up.
class Surface {
 public:
  bool Load(const std::string& path) {
    const std::string file = ReadAll(path);
    if (file.size() < 122 || file[0] != 'B' || file[1] != 'M') return false;
    const auto u32 = [&](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(file[at])) |
             static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + 1])) << 8 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + 2])) << 16 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + 3])) << 24;
    };
    width_ = static_cast<int>(u32(18));
    height_ = static_cast<int>(u32(22));
    const std::uint32_t offset = u32(10);
    if (width_ != kWidth || height_ != kHeight || (u32(26) >> 16) != 32) return false;
    if (file.size() < offset + static_cast<std::size_t>(width_) * height_ * 4) return false;
    pixels_.assign(file.begin() + offset, file.begin() + offset + static_cast<std::size_t>(width_) * height_ * 4);
    return true;
  }
  Pixel At(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(height_ - 1 - y) * width_ + x) * 4;
    const auto byte = [&](std::size_t i) { return static_cast<int>(static_cast<unsigned char>(pixels_[at + i])); };
    return {byte(0), byte(1), byte(2), byte(3)};
  }
  int CountNonClear() const {
    int n = 0;
    for (std::size_t i = 3; i < pixels_.size(); i += 4) n += pixels_[i] != 0;
    return n;
  }

 private:
  int width_ = 0, height_ = 0;
  std::string pixels_;
};

int failures = 0;

void Check(bool ok, const char* what, const Pixel& p) {
  std::fprintf(stderr, "overlay driver: %s %s (b %d g %d r %d a %d)\n", ok ? "ok  " : "FAIL", what, p.b, p.g, p.r,
               p.a);
  if (!ok) ++failures;
}

void Check(bool ok, const std::string& what) {
  std::fprintf(stderr, "overlay driver: %s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

// Asks the host for a dump (the driver's stdout is its stdin) and waits for the file.
bool RequestDump(const std::string& hostOutput, std::size_t& seen) {
  std::fputs("dump\n", stdout);
  std::fflush(stdout);
  const std::size_t at = WaitForText(hostOutput, "{\"overlayDump\":", seen);
  if (at == std::string::npos) return false;
  seen = at;
  return true;
}

DrawingRecord Record(DrawingShape shape, std::uint32_t colour, float width, std::vector<DrawingPoint> points) {
  DrawingRecord r;
  static std::uint32_t id = 1;
  r.id = id++;
  r.shape = static_cast<std::uint8_t>(shape);
  r.colour = colour;
  r.width = width;
  r.lifetimeMs = kDrawingKeepForever;
  r.points = std::move(points);
  return r;
}

int Drive(const std::string& hostOutput, const std::string& dumpPath) {
  const std::uint16_t port = HostPort(hostOutput);
  if (port == 0) return std::fprintf(stderr, "overlay driver: the host never printed its port\n"), 1;
  TestViewer viewer;
  if (!viewer.Join(port, 0x0E71A7, "painter")) return std::fprintf(stderr, "overlay driver: could not join\n"), 1;
  if (WaitForText(hostOutput, "{\"event\":\"ViewerJoined\"") == std::string::npos) {
    return std::fprintf(stderr, "overlay driver: the host never saw the viewer\n"), 1;
  }

  // On 720 lines a width of 6 strokes 4 px with a 6.8 px halo; the arrow's shaft runs along y = 144.
  TestChannel& pointer = viewer.pointer;
  DrawingRecord note = Record(DrawingShape::kNote, 0xFFFFA000u, 3, {{0.55f, 0.8f}});
  note.text = u"Hello overlay";
  DrawingRecord starArrow = Record(DrawingShape::kArrow, 0xFF40FF80u, 6, {{0.1f, 0.9f}, {0.25f, 0.9f}});
  starArrow.style = 1;
  bool sent = pointer.Send(msg::kViewerPointer, Encode(ViewerPointer{0.9f, 0.1f, true, 0xFF30D0FFu})) &&
              pointer.Send(msg::kDrawingFinished,
                           Encode(Record(DrawingShape::kArrow, 0xFFFF2020u, 6, {{0.1f, 0.2f}, {0.5f, 0.2f}}))) &&
              pointer.Send(msg::kDrawingFinished,
                           Encode(Record(DrawingShape::kBox, 0xFF2060FFu, 6, {{0.1f, 0.4f}, {0.3f, 0.6f}}))) &&
              pointer.Send(msg::kDrawingFinished,
                           Encode(Record(DrawingShape::kPen, 0xFFFFFF00u, 6,
                                         {{0.6f, 0.4f}, {0.65f, 0.45f}, {0.7f, 0.4f}, {0.8f, 0.5f}}))) &&
              pointer.Send(msg::kDrawingFinished, Encode(note)) &&
              pointer.Send(msg::kDrawingFinished,
                           Encode(Record(DrawingShape::kHeart, 0xFFFF40C0u, 6, {{0.35f, 0.62f}, {0.45f, 0.8f}}))) &&
              pointer.Send(msg::kDrawingFinished, Encode(starArrow)) &&
              pointer.Send(msg::kPointPing, Encode(PointPing{0.3f, 0.85f, 0xFFFFFFFFu, 0})) &&
              pointer.Send(msg::kHeartbeat, Encode(Heartbeat{4242, 0}));
  Bytes payload;
  if (!sent || !pointer.WaitFor(msg::kHeartbeatEcho, payload)) {
    return std::fprintf(stderr, "overlay driver: sending failed\n"), 1;
  }
  // Every accepted message is announced; the ping's 750 ms are too short to catch it in a dump
  // reliably under an emulator, so its acceptance is what is checked.
  std::size_t announced = 0;
  for (std::size_t at = 0, n = 0; n < 8 && at != std::string::npos; ++n) {
    at = WaitForText(hostOutput, "{\"event\":\"DrawingsChanged\"", at);
    if (at != std::string::npos) ++announced;
  }
  Check(announced == 8, "the host took the pointer, six drawings and the ping");
  Check(WaitForText(hostOutput, "\"drawings\":6,") != std::string::npos, "the host holds six drawings");
  // Past the ping's 750 ms, so the dump shows only what stays.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  // A pointer silent for 4 s is hidden; a slow start may have taken that long.
  pointer.Send(msg::kViewerPointer, Encode(ViewerPointer{0.9f, 0.1f, true, 0xFF30D0FFu}));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  std::size_t seen = 0;
  Surface surface;
  if (!RequestDump(hostOutput, seen) || !surface.Load(dumpPath)) {
    return std::fprintf(stderr, "overlay driver: no dump of the drawings\n"), 1;
  }
  {  // kept beside the final dump for a look (bug reports)
    std::ofstream(dumpPath + ".drawings.bmp", std::ios::binary) << ReadAll(dumpPath);
  }
  const auto isArrowRed = [](const Pixel& p) { return p.a >= 250 && p.r >= 240 && p.g <= 50 && p.b <= 50; };
  const auto isHalo = [](const Pixel& p) { return p.a >= 80 && p.a <= 150 && p.r <= 20 && p.g <= 20 && p.b <= 20; };
  for (int x : {200, 300, 450, 580}) {
    Check(isArrowRed(surface.At(x, 144)), "arrow shaft in its colour", surface.At(x, 144));
  }
  Check(isHalo(surface.At(300, 141)), "dark halo above the shaft", surface.At(300, 141));
  Check(isHalo(surface.At(300, 146)), "dark halo below the shaft", surface.At(300, 146));
  // The head at the tip (640, 144), 16.8 px long: filled in the colour just behind the tip.
  Check(isArrowRed(surface.At(632, 144)), "arrow head filled", surface.At(632, 144));
  const Pixel boxEdge = surface.At(128, 360);  // the box's left edge, half way down
  Check(boxEdge.a >= 250 && boxEdge.b >= 240 && boxEdge.r <= 50, "box outline in its colour", boxEdge);
  Check(surface.At(256, 360).a == 0, "inside the box is clear", surface.At(256, 360));
  const Pixel pen = surface.At(832, 324);  // on the pen's first segment
  Check(pen.a >= 250 && pen.r >= 240 && pen.g >= 240 && pen.b <= 50, "pen stroke in its colour", pen);
  // The heart's outline meets at its point, (512, 576), and passes its lobes' outer sides.
  const Pixel heart = surface.At(512, 573);
  Check(heart.a >= 250 && heart.r >= 240 && heart.g <= 90 && heart.b >= 160, "heart outline at its point", heart);
  Check(surface.At(512, 520).a == 0, "inside the heart is clear", surface.At(512, 520));
  // The star head stands upright on the tip (320, 648); its top point is 16.8 px above.
  const Pixel star = surface.At(320, 640);
  Check(star.a >= 250 && star.g >= 240 && star.r <= 90, "star head filled", star);
  for (const auto& [x, y] : {std::pair{1250, 700}, std::pair{20, 700}, std::pair{1000, 200}, std::pair{640, 40}}) {
    Check(surface.At(x, y).a == 0, "clear away from the drawings", surface.At(x, y));
  }
  // The note: a dark box above and right of its anchor (704, 576) with white text inside.
  int fill = 0, white = 0;
  int fillLeft = kWidth, fillRight = 0, fillTop = kHeight, fillBottom = 0;
  int whiteLeft = kWidth, whiteRight = 0, whiteTop = kHeight, whiteBottom = 0;
  for (int y = 440; y < 576; ++y) {
    for (int x = 704; x < 1100; ++x) {
      const Pixel p = surface.At(x, y);
      if (p.a >= 230 && p.r <= 25 && p.g <= 25 && p.b <= 30) {
        ++fill;
        fillLeft = std::min(fillLeft, x), fillRight = std::max(fillRight, x);
        fillTop = std::min(fillTop, y), fillBottom = std::max(fillBottom, y);
      } else if (p.a >= 200 && p.r >= 180 && p.g >= 180 && p.b >= 180) {
        ++white;
        whiteLeft = std::min(whiteLeft, x), whiteRight = std::max(whiteRight, x);
        whiteTop = std::min(whiteTop, y), whiteBottom = std::max(whiteBottom, y);
      }
    }
  }
  Check(fill > 500, "note box filled dark (" + std::to_string(fill) + " px)");
  Check(white > 20, "note text in white (" + std::to_string(white) + " px)");
  Check(white > 0 && whiteLeft > fillLeft && whiteRight < fillRight && whiteTop > fillTop && whiteBottom < fillBottom,
        "note text inside its box");
  const Pixel cursor = surface.At(1155, 85);  // inside the pointer's cursor, tip at (1152, 72)
  Check(cursor.a >= 250 && cursor.b >= 240 && cursor.r <= 70, "pointer cursor in its colour", cursor);

  pointer.Send(msg::kViewerGoodbye, {});
  viewer.pointer.Close();
  viewer.picture.Close();
  Check(WaitForText(hostOutput, "{\"event\":\"ViewerLeft\"") != std::string::npos, "the host saw the viewer leave");
  Check(WaitForText(hostOutput, "{\"annotations\":{\"pointers\":0,\"drawings\":0,") != std::string::npos,
        "the host dropped the viewer's drawings");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Surface cleared;
  if (!RequestDump(hostOutput, seen) || !cleared.Load(dumpPath)) {
    return std::fprintf(stderr, "overlay driver: no dump after leaving\n"), 1;
  }
  Check(cleared.CountNonClear() == 0,
        "surface clear after the viewer left (" + std::to_string(cleared.CountNonClear()) + " px left)");
  std::fprintf(stderr, "overlay driver: %s\n", failures == 0 ? "done" : "checks failed");
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tvx::testing

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tvx_overlay_driver HOST_OUTPUT_FILE DUMP_FILE\n");
    return 2;
  }
  tvx::sock::NetworkInit network;
  return tvx::testing::Drive(argv[1], argv[2]);
}
