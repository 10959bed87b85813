#include "media/synthetic_source.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "foundation/format.h"

namespace tvx {

namespace {

constexpr std::int32_t kCellWidth = 8;
constexpr std::int32_t kLineHeight = 16;
constexpr std::int32_t kTitleHeight = 30;

std::uint64_t NextRandom(std::uint64_t& state) {  // splitmix64: fixed seed, same picture every run
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint32_t Bgra(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return 0xFF000000u | (r << 16) | (g << 8) | b;  // little-endian bytes B, G, R, A
}

// 96 glyphs of 6 x 9 bits, made once: strokes, not noise, so that they compress like text.
struct GlyphTable {
  std::uint8_t rows[96][9] = {};
  GlyphTable() {
    std::uint64_t seed = 0x7461767269782121ull;
    for (auto& glyph : rows) {
      const std::uint64_t r = NextRandom(seed);
      const std::uint8_t vertical = static_cast<std::uint8_t>(0x21u << (r % 2));  // left and right stems
      for (int y = 0; y < 9; ++y) {
        std::uint8_t bits = 0;
        if ((r >> (8 + y)) & 1) bits |= vertical;
        if (y == 0 || y == 4 || y == 8) {
          if ((r >> (20 + y)) & 1) bits |= 0x1E;  // bars
        }
        if ((r >> (32 + y)) & 1) bits |= static_cast<std::uint8_t>(1u << ((r >> (44 + y % 4)) % 6));
        glyph[y] = bits;
      }
      if (glyph[0] == 0 && glyph[4] == 0) glyph[4] = 0x1E;  // no empty glyphs
    }
  }
};

const GlyphTable& Glyphs() {
  static const GlyphTable table;
  return table;
}

class Painter {
 public:
  Painter(std::vector<std::uint8_t>& image, std::uint32_t width, std::uint32_t height)
      : pixels_(reinterpret_cast<std::uint32_t*>(image.data())), width_(width), height_(height) {}

  void Fill(Rect r, std::uint32_t colour) {
    r = Clip(r);
    for (std::int32_t y = r.top; y < r.bottom; ++y) std::fill_n(Row(y) + r.left, r.Width(), colour);
  }

  void Frame(Rect r, std::uint32_t colour) {
    Fill({r.left, r.top, r.right, r.top + 1}, colour);
    Fill({r.left, r.bottom - 1, r.right, r.bottom}, colour);
    Fill({r.left, r.top, r.left + 1, r.bottom}, colour);
    Fill({r.right - 1, r.top, r.right, r.bottom}, colour);
  }

  void Glyph(std::int32_t x, std::int32_t y, std::uint32_t glyph, std::uint32_t colour, const Rect& clip) {
    const auto& rows = Glyphs().rows[glyph % 96];
    for (std::int32_t gy = 0; gy < 9; ++gy) {
      const std::int32_t py = y + 3 + gy;
      if (py < clip.top || py >= clip.bottom || py < 0 || py >= static_cast<std::int32_t>(height_)) continue;
      for (std::int32_t gx = 0; gx < 6; ++gx) {
        const std::int32_t px = x + 1 + gx;
        if (px < clip.left || px >= clip.right || px < 0 || px >= static_cast<std::int32_t>(width_)) continue;
        if (rows[gy] & (1u << gx)) Row(py)[px] = colour;
      }
    }
  }

  // One line of words across `area` at height y.
  void TextLine(const Rect& area, std::int32_t y, std::uint64_t& random, std::uint32_t colour) {
    const std::int32_t length = static_cast<std::int32_t>(NextRandom(random) % std::max(1, area.Width() / kCellWidth));
    std::int32_t x = area.left + 4;
    for (std::int32_t i = 0; i < length && x + kCellWidth <= area.right; ++i, x += kCellWidth) {
      const std::uint64_t r = NextRandom(random);
      if (r % 7 == 0) continue;  // a space between words
      Glyph(x, y, static_cast<std::uint32_t>(r >> 8), colour, area);
    }
  }

  void Gradient(Rect r) {
    r = Clip(r);
    const std::int32_t w = std::max(1, r.Width());
    const std::int32_t h = std::max(1, r.Height());
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      std::uint32_t* row = Row(y);
      const std::uint32_t gy = static_cast<std::uint32_t>((y - r.top) * 255 / h);
      for (std::int32_t x = r.left; x < r.right; ++x) {
        const std::uint32_t gx = static_cast<std::uint32_t>((x - r.left) * 255 / w);
        row[x] = Bgra(gx, (gx + gy) / 2, 255 - gy);
      }
    }
  }

  std::uint32_t* Row(std::int32_t y) { return pixels_ + static_cast<std::size_t>(y) * width_; }

  Rect Clip(Rect r) const {
    r.left = std::clamp(r.left, 0, static_cast<std::int32_t>(width_));
    r.right = std::clamp(r.right, r.left, static_cast<std::int32_t>(width_));
    r.top = std::clamp(r.top, 0, static_cast<std::int32_t>(height_));
    r.bottom = std::clamp(r.bottom, r.top, static_cast<std::int32_t>(height_));
    return r;
  }

 private:
  std::uint32_t* pixels_;
  std::uint32_t width_;
  std::uint32_t height_;
};

// A window at fractions of the screen; returns its body (below the title bar, inside the border).
Rect PaintWindow(Painter& p, std::uint32_t w, std::uint32_t h, int left, int top, int right, int bottom,
                 std::uint32_t titleColour) {
  const Rect outer{static_cast<std::int32_t>(static_cast<std::uint64_t>(w) * left / 100),
                   static_cast<std::int32_t>(static_cast<std::uint64_t>(h) * top / 100),
                   static_cast<std::int32_t>(static_cast<std::uint64_t>(w) * right / 100),
                   static_cast<std::int32_t>(static_cast<std::uint64_t>(h) * bottom / 100)};
  p.Fill({outer.left + 6, outer.top + 6, outer.right + 6, outer.bottom + 6}, Bgra(20, 20, 28));  // shadow
  p.Fill(outer, Bgra(250, 250, 250));
  p.Fill({outer.left, outer.top, outer.right, outer.top + kTitleHeight}, titleColour);
  p.Frame(outer, Bgra(60, 60, 70));
  for (int b = 0; b < 3; ++b) {  // the window buttons
    const std::int32_t x = outer.right - 40 * (b + 1);
    p.Fill({x + 14, outer.top + 14, x + 26, outer.top + 16}, Bgra(240, 240, 240));
  }
  Rect body{outer.left + 1, outer.top + kTitleHeight, outer.right - 1, outer.bottom - 1};
  body = p.Clip(body);
  return body;
}

}  // namespace

const char* SyntheticWorkloadName(SyntheticWorkload workload) {
  switch (workload) {
    case SyntheticWorkload::Static: return "static";
    case SyntheticWorkload::Typing: return "typing";
    case SyntheticWorkload::Scroll: return "scroll";
    case SyntheticWorkload::Video: return "video";
  }
  return "static";
}

bool ParseSyntheticWorkload(std::string_view name, SyntheticWorkload& workload) {
  for (SyntheticWorkload w : kAllSyntheticWorkloads) {
    if (name == SyntheticWorkloadName(w)) {
      workload = w;
      return true;
    }
  }
  return false;
}

SyntheticSource::SyntheticSource(const SyntheticOptions& options) : options_(options) {}

std::vector<MonitorInfo> SyntheticSource::Monitors() {
  MonitorInfo m;
  m.desktopRect = {0, 0, static_cast<std::int32_t>(options_.width), static_cast<std::int32_t>(options_.height)};
  m.main = true;
  m.rotation = static_cast<std::uint8_t>(options_.rotation % 4);
  m.deviceName = L"SYNTHETIC1";
  return {m};
}

bool SyntheticSource::OpenDevice(const MonitorInfo&, std::wstring& error) {
  if (options_.width == 0 || options_.height == 0 || options_.width > kMaxEdge || options_.height > kMaxEdge) {
    error = FormatText(L"A synthetic desktop of %ux%u pixels is not possible (1 to %u per side).", options_.width,
                       options_.height, kMaxEdge);
    return false;
  }
  return true;
}

std::uint32_t SyntheticSource::Duplicate(CaptureMode& mode) {
  try {
    image_.assign(static_cast<std::size_t>(options_.width) * options_.height * 4, 0);
  } catch (const std::bad_alloc&) {
    image_.clear();
    return capture_code::kOutOfMemory;
  }
  PaintDesktop();
  duplicating_ = true;
  frame_ = 0;
  mode.width = options_.width;
  mode.height = options_.height;
  mode.rotation = options_.rotation % 4;
  mode.desktopRect = {0, 0, static_cast<std::int32_t>(options_.width), static_cast<std::int32_t>(options_.height)};
  return capture_code::kOk;
}

std::uint32_t SyntheticSource::CreateStaging(std::uint32_t width, std::uint32_t height) {
  // The picture itself is the readable copy: nothing draws on it between a frame and its mapping.
  return width == options_.width && height == options_.height ? capture_code::kOk : capture_code::kInvalidCall;
}

void SyntheticSource::PaintDesktop() {
  const std::uint32_t w = options_.width;
  const std::uint32_t h = options_.height;
  Painter p(image_, w, h);
  for (std::uint32_t y = 0; y < h; ++y) {  // wallpaper: a vertical gradient
    const std::uint32_t t = y * 160 / h;
    std::fill_n(p.Row(static_cast<std::int32_t>(y)), w, Bgra(20 + t / 4, 60 + t / 3, 120 + t / 2));
  }
  random_ = 0x5EED0000ull + w * 31 + h;

  // A photo viewer (later the video player), an editor and a browser-like page.
  video_ = PaintWindow(p, w, h, 42, 6, 96, 62, Bgra(40, 90, 160));
  p.Gradient(video_);
  for (int i = 0; i < 12; ++i) {  // a few sharp shapes on the smooth picture
    const std::uint64_t r = NextRandom(random_);
    const std::int32_t cx = video_.left + static_cast<std::int32_t>(r % std::max(1, video_.Width()));
    const std::int32_t cy = video_.top + static_cast<std::int32_t>((r >> 20) % std::max(1, video_.Height()));
    const std::int32_t s = 8 + static_cast<std::int32_t>((r >> 40) % 60);
    Rect shape = {cx, cy, cx + s, cy + s};
    shape.right = std::min(shape.right, video_.right);
    shape.bottom = std::min(shape.bottom, video_.bottom);
    p.Fill(shape, static_cast<std::uint32_t>(r >> 32) | 0xFF000000u);
  }

  editor_ = PaintWindow(p, w, h, 3, 4, 48, 70, Bgra(60, 60, 80));
  for (std::int32_t y = editor_.top + 4; y + kLineHeight <= editor_.bottom; y += kLineHeight) {
    if (y > editor_.top + editor_.Height() / 2) break;  // the lower half is where the typing goes
    p.TextLine(editor_, y, random_, Bgra(30, 30, 30));
  }
  caretX_ = editor_.left + 4;
  caretY_ = editor_.top + 4 + ((editor_.Height() / 2) / kLineHeight + 1) * kLineHeight;

  const Rect page = PaintWindow(p, w, h, 24, 48, 80, 94, Bgra(200, 80, 40));
  p.Fill({page.left, page.top, page.right, page.top + 28}, Bgra(235, 235, 240));  // address bar
  p.Fill({page.left + 8, page.top + 6, page.right - 8, page.top + 22}, Bgra(255, 255, 255));
  scroller_ = {page.left, page.top + 28, page.right, page.bottom};
  scroller_ = p.Clip(scroller_);
  for (std::int32_t y = scroller_.top; y + kLineHeight <= scroller_.bottom; y += kLineHeight) {
    p.TextLine(scroller_, y, random_, (y / kLineHeight) % 5 == 0 ? Bgra(20, 60, 200) : Bgra(30, 30, 30));
  }

  // The taskbar with a few icons.
  const std::int32_t bar = std::min<std::int32_t>(40, static_cast<std::int32_t>(h));
  const Rect taskbar{0, static_cast<std::int32_t>(h) - bar, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
  p.Fill(taskbar, Bgra(32, 32, 36));
  for (std::int32_t i = 0; i < 8; ++i) {
    const std::int32_t x = 12 + i * 48;
    p.Fill({x, taskbar.top + 6, x + 28, taskbar.top + 34}, Bgra(60 + i * 20, 120, 200 - i * 15));
  }
}

void SyntheticSource::TypeOneGlyph() {
  Painter p(image_, options_.width, options_.height);
  if (editor_.Width() < kCellWidth + 8 || editor_.Height() < kLineHeight) return;
  if (caretX_ + kCellWidth > editor_.right - 4) {
    caretX_ = editor_.left + 4;
    caretY_ += kLineHeight;
  }
  if (caretY_ + kLineHeight > editor_.bottom) {  // page full: start a new one
    p.Fill(editor_, Bgra(250, 250, 250));
    dirty_.push_back(editor_);
    caretX_ = editor_.left + 4;
    caretY_ = editor_.top + 4;
  }
  const Rect cell{caretX_, caretY_, caretX_ + kCellWidth, caretY_ + kLineHeight};
  const std::uint64_t r = NextRandom(random_);
  if (r % 7 != 0) p.Glyph(caretX_, caretY_, static_cast<std::uint32_t>(r >> 8), Bgra(30, 30, 30), editor_);
  caretX_ += kCellWidth;
  // The caret moves on to the next cell.
  const Rect caret{caretX_, caretY_ + 1, caretX_ + 1, caretY_ + kLineHeight - 1};
  p.Fill(p.Clip(caret), Bgra(0, 0, 0));
  p.Fill({cell.left, cell.top + 1, cell.left + 1, cell.bottom - 1}, Bgra(250, 250, 250));  // old caret
  dirty_.push_back({cell.left, cell.top, std::min(cell.right + 1, editor_.right), cell.bottom});
}

void SyntheticSource::ScrollOneLine() {
  const Rect area = scroller_;
  if (area.Height() <= kLineHeight || area.Width() <= 0) return;
  Painter p(image_, options_.width, options_.height);
  const std::size_t bytes = static_cast<std::size_t>(area.Width()) * 4;
  for (std::int32_t y = area.top; y < area.bottom - kLineHeight; ++y) {
    std::memcpy(p.Row(y) + area.left, p.Row(y + kLineHeight) + area.left, bytes);
  }
  const Rect fresh{area.left, area.bottom - kLineHeight, area.right, area.bottom};
  p.Fill(fresh, Bgra(250, 250, 250));
  p.TextLine(area, fresh.top, random_, (frame_ % 5) == 0 ? Bgra(20, 60, 200) : Bgra(30, 30, 30));
  moves_.push_back({area.left, area.top + kLineHeight, {area.left, area.top, area.right, area.bottom - kLineHeight}});
  dirty_.push_back(fresh);
}

void SyntheticSource::PaintVideoFrame() {
  static const auto wave = [] {  // one period of a smooth wave, 0..255
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
      const int t = i < 128 ? i : 255 - i;
      table[i] = static_cast<std::uint8_t>(t * t * 2 / 128 < 255 ? t * t * 2 / 128 : 255);
    }
    return table;
  }();
  Painter p(image_, options_.width, options_.height);
  const std::uint32_t t = static_cast<std::uint32_t>(frame_);
  for (std::int32_t y = video_.top; y < video_.bottom; ++y) {
    std::uint32_t* row = p.Row(y);
    const std::uint32_t uy = static_cast<std::uint32_t>(y - video_.top);
    for (std::int32_t x = video_.left; x < video_.right; ++x) {
      const std::uint32_t ux = static_cast<std::uint32_t>(x - video_.left);
      // Moving waves plus grain that changes every frame, like camera footage.
      std::uint32_t grain = (ux * 0x9E3779B1u) ^ (uy * 0x85EBCA77u) ^ (t * 0xC2B2AE3Du);
      grain = (grain ^ (grain >> 15)) & 15;
      const std::uint32_t r = wave[(ux / 2 + t * 3) & 255] / 2 + wave[(uy / 3 + t) & 255] / 2;
      const std::uint32_t g = wave[((ux + uy) / 4 + t * 2) & 255] * 3 / 4 + grain;
      const std::uint32_t b = wave[(uy / 2 + 255 - (t * 4 & 255)) & 255] / 2 + 60 + grain;
      row[x] = Bgra(std::min(r + grain, 255u), std::min(g, 255u), std::min(b, 255u));
    }
  }
  dirty_.push_back(video_);
}

std::uint32_t SyntheticSource::AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) {
  if (!duplicating_ || image_.empty()) return capture_code::kAccessLost;
  moves_.clear();
  dirty_.clear();
  ++frame_;
  info = FrameInfo{};
  if (frame_ == 1) {  // the first image: everything is new
    info.newImage = true;
    return capture_code::kOk;
  }
  switch (options_.workload) {
    case SyntheticWorkload::Static:
      break;
    case SyntheticWorkload::Typing:
      TypeOneGlyph();
      break;
    case SyntheticWorkload::Scroll:
      ScrollOneLine();
      break;
    case SyntheticWorkload::Video:
      PaintVideoFrame();
      break;
  }
  if (moves_.empty() && dirty_.empty()) {
    if (options_.waitWhenIdle) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return capture_code::kWaitTimeout;
  }
  info.newImage = true;
  info.metadataSize = static_cast<std::uint32_t>(moves_.size() * 24 + dirty_.size() * 16);
  return capture_code::kOk;
}

bool SyntheticSource::MoveRects(std::vector<MoveRect>& out) {
  out = moves_;
  return true;
}

bool SyntheticSource::DirtyRects(std::vector<Rect>& out) {
  out = dirty_;
  return true;
}

std::uint32_t SyntheticSource::MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) {
  if (image_.empty()) return capture_code::kInvalidCall;
  data = image_.data();
  pitch = options_.width * 4;
  return capture_code::kOk;
}

void SyntheticSource::Close() {
  duplicating_ = false;
  moves_.clear();
  dirty_.clear();
  std::vector<std::uint8_t>().swap(image_);  // large pictures give their memory back
}

}  // namespace tvx
