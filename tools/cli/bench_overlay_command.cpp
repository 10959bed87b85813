// tavrix-cli bench overlay: how long one overlay render takes with 0 to 256 drawings plus pointers
// and pings, and how many renders of the 5 ms paint loop are skipped because nothing changed. The
// Windows build renders into the real overlay (Direct2D into its DIB, then the layered-window
// update) when it can; elsewhere into the RecordingCanvas, which times the painter's own work.
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
#include "ui/recording_canvas.h"

namespace tvx::cli {
namespace {

// Paints into the RecordingCanvas, forgetting each frame's operations at the next.
class RecordingTarget final : public OverlayTarget {
 public:
  bool Ready() override { return true; }
  ui::Canvas& BeginDraw() override {
    canvas_.ClearOps();
    return canvas_;
  }
  OverlayDrawResult EndDraw() override { return OverlayDrawResult::Ok; }
  void RecreateTarget() override {}
  bool Present(const ui::PixelBounds*) override { return true; }
  void KeepOnTop() override {}

 private:
  ui::RecordingCanvas canvas_;
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
  bool cut = false;  // the time budget ran out before the three seconds
};

// Three seconds of the 5 ms paint loop in simulated time: four viewers' pointers moving at 30 Hz,
// a ping every second, `drawings` drawings that stay. A slow renderer (software Direct2D under an
// emulator) stops after two seconds of rendering, so a row never takes minutes.
template <class RenderFn>
Row RunLoop(int drawings, double budgetMs, RenderFn render) {
  AnnotationStore store(true, true);
  Lcg random;
  const std::uint64_t start = 1000000;
  std::vector<AnnotationViewer> viewers;
  for (std::uint32_t v = 1; v <= 4; ++v) {
    viewers.push_back({v, 0xFF2D9CDBu + v * 0x101000u, L"Viewer " + std::to_wstring(v)});
  }
  for (int i = 0; i < drawings; ++i) {
    store.ApplyDrawingFinished(viewers[i % 4], MakeDrawing(i, random), 0, start);
  }
  Row row;
  double spentMs = 0;
  for (std::uint64_t now = start; now < start + 3000; now += 5) {
    if (spentMs >= budgetMs) {
      row.cut = true;
      break;
    }
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
    spentMs += ms;
    ++row.renders;
    if (outcome == OverlayRenderOutcome::Painted) {
      ++row.painted;
      row.totalMs += ms;
      row.maxMs = std::max(row.maxMs, ms);
    }
  }
  return row;
}

std::string FormatTimed(int painted) {
  return "   (timed on the first " + std::to_string(painted) + " paints)";
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
  constexpr double kBudgetMs = 2000;
  const int sizes[][2] = {{1920, 1080}, {3840, 2160}};
  const int counts[] = {0, 10, 100, 256};
  bool headerShown = false;
  for (const auto& size : sizes) {
    HostOverlay overlay({}, [](const std::string&) {});
    std::wstring error;
    const bool real = overlay.StartAt({0, 0, size[0], size[1]}, error);
    if (!headerShown) {
      std::printf("overlay render (%s)\n",
                  real ? "Direct2D into the overlay window's surface" : "painter into the RecordingCanvas");
      std::printf("%-10s %8s %8s %8s %9s %10s %10s\n", "size", "drawings", "renders", "painted", "skipped%", "ms/paint",
                  "max ms");
      headerShown = true;
    }
    for (int count : counts) {
      // Which renders are skipped is the renderer's rule, the same for every target: counted over
      // the whole loop on the recording target, timed on the real one within the budget.
      RecordingTarget target;
      OverlayRenderer renderer(size[0], size[1]);
      const auto recorded = [&](const AnnotationSnapshot& snapshot, std::uint64_t now) {
        return renderer.Render(snapshot, now, target);
      };
      const Row skips = RunLoop(count, 1e12, recorded);
      const Row row = real ? RunLoop(count, kBudgetMs, [&](const AnnotationSnapshot& snapshot, std::uint64_t now) {
        return overlay.Render(snapshot, now);
      })
                           : skips;
      char label[32];
      std::snprintf(label, sizeof label, "%dx%d", size[0], size[1]);
      std::printf("%-10s %8d %8d %8d %8.1f%% %10.3f %10.3f%s\n", label, count, skips.renders, skips.painted,
                  100.0 * (skips.renders - skips.painted) / std::max(skips.renders, 1),
                  row.painted ? row.totalMs / row.painted : 0.0, row.maxMs,
                  row.cut ? FormatTimed(row.painted).c_str() : "");
    }
    overlay.Stop();
  }
  return 0;
}

}  // namespace tvx::cli
