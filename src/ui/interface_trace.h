// A per-frame list of the interactive widgets (id, kind, label or value, enabled, rectangle) that
// tools driving the program read as JSON lines. Off by default; when off, recording is one branch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/geometry.h"

namespace tvx::ui {

struct TraceEntry {
  std::uint32_t id = 0;
  std::string kind;  // "button", "tab", "toggle", "slider", "dropdown", "dropdown-item", "textfield", "colorpicker"
  std::wstring label;
  std::wstring value;
  bool enabled = true;
  int x = 0, y = 0, width = 0, height = 0;  // client physical pixels, rounded
  bool operator==(const TraceEntry&) const = default;
};

class InterfaceTrace {
 public:
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool enabled() const { return enabled_; }
  void SetWindowName(std::wstring name) {
    window_ = std::move(name);
    has_last_ = false;
  }

  void BeginFrame() { current_.clear(); }
  void Add(std::uint32_t id, std::string_view kind, std::wstring_view label, std::wstring_view value, bool enabled,
           const Rect& rect);

  // One JSON line (no line feed) describing this frame's widgets, screen rectangles = client ones +
  // (origin_x, origin_y); nullopt when disabled or when it equals the last line returned.
  std::optional<std::string> TakeLine(int origin_x, int origin_y);

  const std::vector<TraceEntry>& entries() const { return current_; }

 private:
  bool enabled_ = false;
  std::wstring window_;
  std::vector<TraceEntry> current_;
  bool has_last_ = false;
  std::vector<TraceEntry> last_entries_;
  int last_origin_x_ = 0;
  int last_origin_y_ = 0;
};

}  // namespace tvx::ui
