#include "ui/interface_trace.h"

#include <cmath>

#include "foundation/json_value.h"
#include "foundation/text.h"

namespace tvx::ui {

namespace {

int Round(float v) { return static_cast<int>(std::lround(v)); }

// The JSON writer pretty-prints; a trace line must be one line. Line feeds and indentation only
// appear between tokens (strings carry theirs escaped), so dropping them keeps the document intact;
// a comma keeps one space after it.
std::string OneLine(const std::wstring& pretty) {
  std::wstring compact;
  compact.reserve(pretty.size());
  bool in_string = false;
  bool escaped = false;
  bool after_break = false;
  for (wchar_t c : pretty) {
    if (in_string) {
      compact.push_back(c);
      if (escaped) {
        escaped = false;
      } else if (c == L'\\') {
        escaped = true;
      } else if (c == L'"') {
        in_string = false;
      }
      continue;
    }
    if (c == L'\n') {
      after_break = true;
      continue;
    }
    if (after_break && c == L' ') continue;
    if (after_break && !compact.empty() && compact.back() == L',') compact.push_back(L' ');
    after_break = false;
    if (c == L'"') in_string = true;
    compact.push_back(c);
  }
  return WideToUtf8(compact);
}

}  // namespace

void InterfaceTrace::Add(std::uint32_t id, std::string_view kind, std::wstring_view label, std::wstring_view value,
                         bool enabled, const Rect& rect) {
  if (!enabled_) return;
  TraceEntry e;
  e.id = id;
  e.kind = std::string(kind);
  e.label = std::wstring(label);
  e.value = std::wstring(value);
  e.enabled = enabled;
  e.x = Round(rect.left);
  e.y = Round(rect.top);
  e.width = Round(rect.right) - e.x;
  e.height = Round(rect.bottom) - e.y;
  current_.push_back(std::move(e));
}

std::optional<std::string> InterfaceTrace::TakeLine(int origin_x, int origin_y) {
  if (!enabled_) return std::nullopt;
  if (has_last_ && current_ == last_entries_ && origin_x == last_origin_x_ && origin_y == last_origin_y_) {
    return std::nullopt;
  }
  has_last_ = true;
  last_entries_ = current_;
  last_origin_x_ = origin_x;
  last_origin_y_ = origin_y;
  JsonValue widgets = JsonValue::Array();
  for (const TraceEntry& e : current_) {
    JsonValue w = JsonValue::Object();
    w.Set(L"id", JsonValue::Number(e.id));
    w.Set(L"kind", JsonValue::String(Utf8ToWide(e.kind)));
    w.Set(L"label", JsonValue::String(e.label));
    w.Set(L"value", JsonValue::String(e.value));
    w.Set(L"enabled", JsonValue::Bool(e.enabled));
    w.Set(L"x", JsonValue::Number(e.x + origin_x));
    w.Set(L"y", JsonValue::Number(e.y + origin_y));
    w.Set(L"w", JsonValue::Number(e.width));
    w.Set(L"h", JsonValue::Number(e.height));
    widgets.Append(std::move(w));
  }
  JsonValue root = JsonValue::Object();
  root.Set(L"window", JsonValue::String(window_));
  root.Set(L"widgets", std::move(widgets));
  return OneLine(SerializeJson(root, 0));
}

}  // namespace tvx::ui
