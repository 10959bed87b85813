// tavrix-cli bench overlay: how long one overlay render takes with 0 to 256 drawings plus pointers
// and pings, and how many renders of the 5 ms paint loop are skipped because nothing changed. The
// Windows build renders into the real overlay (Direct2D into its DIB, then the layered-window
// update) when it can; elsewhere into a canvas that draws nothing, which times the painter's own
// work.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "host_overlay.h"
#include "media/annotation_store.h"
#include "media/overlay_renderer.h"

namespace tvx::cli {
namespace {

// Draws nothing; text is measured as half the font size per unit and 1.25 sizes per line.
class NullCanvas final : public ui::Canvas {
 public:
  void SetTransform(const ui::Transform& t) override { transform_ = t; }
  ui::Transform GetTransform() const override { return transform_; }
  void PushClip(const ui::Rect&) override {}
  void PopClip() override {}
  void PushOpacity(float) override {}
  void PopOpacity() override {}
  void Clear(std::uint32_t) override {}
  void FillRect(const ui::Rect&, std::uint32_t) override {}
  void FillRoundedRect(const ui::Rect&, float, std::uint32_t) override {}
  void StrokeRoundedRect(const ui::Rect&, float, std::uint32_t, float) override {}
  void DrawLine(ui::Point, ui::Point, std::uint32_t, float, const ui::StrokeStyle&) override {}
  void FillEllipse(ui::Point, float, float, std::uint32_t) override {}
  void StrokeEllipse(ui::Point, float, float, std::uint32_t, float, const ui::StrokeStyle&) override {}
  void FillPath(const ui::Path&, std::uint32_t) override {}
  void StrokePath(const ui::Path&, std::uint32_t, float, const ui::StrokeStyle&) override {}
  void SetTextScale(float) override {}
  void DrawStyledText(std::wstring_view, const ui::Rect&, ui::TextStyle, ui::TextAlign, std::uint32_t) override {}
  float MeasureText(std::wstring_view text, ui::TextStyle) override { return 7.0f * text.size(); }
  void CaretPositions(std::wstring_view text, ui::TextStyle, std::vector<float>& positions) override {
    positions.assign(text.size() + 1, 0.0f);
  }
  float LineHeight(ui::TextStyle) override { return 17.5f; }
  ui::Size MeasureTextLayout(std::wstring_view text, const ui::TextFormat& format, float max_width,
                             float) override {
    const float width = 0.5f * format.size * static_cast<float>(text.size());
    const float lines = format.wrap && max_width > 0 ? std::ceil(width / max_width) : 1.0f;
    return {std::min(width, max_width), std::max(lines, 1.0f) * 1.25f * format.size};
  }
  void DrawTextLayout(std::wstring_view, const ui::TextFormat&, ui::Point, float, float, std::uint32_t) override {}
  ui::BitmapHandle CreateBitmap(int, int, const void*, int) override { return 0; }
  bool UpdateBitmap(ui::BitmapHandle, int, int, int, int, const void*, int) override { return false; }
  void ReleaseBitmap(ui::BitmapHandle) override {}
  bool HasBitmap(ui::BitmapHandle) const override { return false; }
  void DrawBitmap(ui::BitmapHandle, const ui::Rect&, const ui::Rect&, float, ui::Interpolation) override {}

 private:
  ui::Transform transform_;
};

class NullTarget final : public OverlayTarget {
 public:
  bool Ready() override { return true; }
  ui::Canvas& BeginDraw() override { return canvas_; }
  OverlayDrawResult EndDraw() override { return OverlayDrawResult::Ok; }
  void RecreateTarget() override {}
  bool Present(const ui::PixelBounds*) override { return true; }
  void KeepOnTop() override {}

 private:
  NullCanvas canvas_;
};

// A small deterministic generator, so every run paints the same picture.
struct Lcg {
  std::uint32_t state = 12345;
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  }
};

DrawingRecord MakeDrawing(int i, Lcg& random) {
  static const DrawingShape kKinds[] = {DrawingShape::kArrow, DrawingShape::kPen,   DrawingShape::kBox,
                                        DrawingShape::kCircle, DrawingShape::kHeart, DrawingShape::kNote,
                                        DrawingShape::kLine};
  DrawingRecord record;
  record.id = static_cast<std::uint32_t>(i);
  record.shape = static_cast<std::uint8_t>(kKinds[i % 7]);
  record.style = static_cast<std::uint8_t>(i / 7 % 3);
  record.colour = 0xFFFF3B30u;
  record.width = i % 3 == 0 ? 8.0f : 3.0f;
  record.lifetimeMs = kDrawingKeepForever;
  const float x = random.Next() * 0.8f + 0.1f;
  const float y = random.Next() * 0.8f + 0.1f;
  if (record.shape == static_cast<std::uint8_t>(DrawingShape::kPen)) {
    for (int p = 0; p < 64; ++p) record.points.push_back({x + p * 0.002f, y + (p % 2) * 0.01f});
  } else if (record.shape == static_cast<std::uint8_t>(DrawingShape::kNote)) {
    record.points.push_back({x, y});
    record.text = u"Look here: this number should add up to the total below";
  } else {
    record.points.push_back({x, y});
    record.points.push_back({x + 0.08f, y + 0.06f});
  }
  return record;
}

struct Row {
  int renders = 0;
  int painted = 0;
  double totalMs = 0;
  double maxMs = 0;
};

// Three seconds of the 5 ms paint loop in simulated time: four viewers' pointers moving at 30 Hz,
// a ping every second, `drawings` drawings that stay.
template <class RenderFn>
Row RunLoop(int drawings, RenderFn render) {
  AnnotationStore store(true, true);
  Lcg random;
  const std::uint64_t start = 1000000;
  std::vector<AnnotationViewer> viewers;
  for (std::uint32_t v = 1; v <= 4; ++v) viewers.push_back({v, 0xFF2D9CDBu + v * 0x101000u, L"Viewer " + std::to_wstring(v)});
  for (int i = 0; i < drawings; ++i) {
    store.ApplyDrawingFinished(viewers[i % 4], MakeDrawing(i, random), 0, start);
  }
  Row row;
  for (std::uint64_t now = start; now < start + 3000; now += 5) {
    const std::uint64_t t = now - start;
    if (t % 35 == 0) {
      for (std::size_t v = 0; v < viewers.size(); ++v) {
        const float phase = static_cast<float>(t) / 1000.0f + static_cast<float>(v);
        store.ApplyPointer(viewers[v], {0.5f + 0.3f * std::sin(phase), 0.5f + 0.3f * std::cos(phase), true, 0}, now);
      }
    }
    if (t % 1000 == 0) store.ApplyPing(viewers[0], {0.3f, 0.3f, 0, 1}, now);
    store.Expire(now);
    const AnnotationSnapshot snapshot = store.Snapshot(now);
    const std::int64_t begin = NowMicros();
    const OverlayRenderOutcome outcome = render(snapshot, now);
    const double ms = static_cast<double>(NowMicros() - begin) / 1000.0;
    ++row.renders;
    if (outcome == OverlayRenderOutcome::Painted) {
      ++row.painted;
      row.totalMs += ms;
      row.maxMs = std::max(row.maxMs, ms);
    }
  }
  return row;
}

}  // namespace

int RunBenchOverlay(const Args& args) {
  if (!args.empty()) {
    std::printf(
        "usage: tavrix-cli bench overlay\n\nTimes overlay renders with 0, 10, 100 and 256 drawings plus four moving\n"
        "pointers and a ping a second at 1920x1080 and 3840x2160, over three simulated seconds of the\n"
        "5 ms paint loop, and the share of renders skipped because nothing changed.\n");
    return args[0] == "--help" ? 0 : 2;
  }
  SetLogToDebugOutput(false);  // the table is the output
  const int sizes[][2] = {{1920, 1080}, {3840, 2160}};
  const int counts[] = {0, 10, 100, 256};
  bool headerShown = false;
  for (const auto& size : sizes) {
    HostOverlay overlay;
    std::wstring error;
    const bool real = overlay.Start({0, 0, size[0], size[1]}, error);
    if (!headerShown) {
      std::printf("overlay render (%s)\n", real ? "Direct2D into the overlay window's surface" : "painter into a null canvas");
      std::printf("%-10s %8s %8s %8s %9s %10s %10s\n", "size", "drawings", "renders", "painted", "skipped%", "ms/paint",
                  "max ms");
      headerShown = true;
    }
    for (int count : counts) {
      NullTarget target;
      OverlayRenderer renderer(size[0], size[1]);
      const Row row = RunLoop(count, [&](const AnnotationSnapshot& snapshot, std::uint64_t now) {
        return real ? overlay.Render(snapshot, now) : renderer.Render(snapshot, now, target);
      });
      char label[32];
      std::snprintf(label, sizeof label, "%dx%d", size[0], size[1]);
      std::printf("%-10s %8d %8d %8d %8.1f%% %10.3f %10.3f\n", label, count, row.renders, row.painted,
                  100.0 * (row.renders - row.painted) / std::max(row.renders, 1),
                  row.painted ? row.totalMs / row.painted : 0.0, row.maxMs);
    }
    overlay.Stop();
  }
  return 0;
}

}  // namespace tvx::cli
