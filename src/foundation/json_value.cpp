#include "foundation/json_value.h"

#include <utility>

namespace tvx {
namespace {

// Walks a wide string as UTF-16 code units: where wchar_t is 32 bits wide, a code point above
// U+FFFF yields its high surrogate and then its low one.
class Utf16Units {
 public:
  explicit Utf16Units(std::wstring_view text) : text_(text) {}

  bool Next(std::uint32_t& unit) {
    if (pending_ != 0) {
      unit = pending_;
      pending_ = 0;
      return true;
    }
    if (index_ >= text_.size()) return false;
    const auto c = static_cast<std::uint32_t>(text_[index_++]);
    if constexpr (sizeof(wchar_t) == 2) {
      unit = c;
    } else {
      if (c >= 0x10000 && c <= 0x10FFFF) {
        unit = 0xD800 + ((c - 0x10000) >> 10);
        pending_ = 0xDC00 + ((c - 0x10000) & 0x3FF);
      } else {
        unit = c;  // values past U+10FFFF are no code point; they sort after every unit
      }
    }
    return true;
  }

 private:
  std::wstring_view text_;
  std::size_t index_ = 0;
  std::uint32_t pending_ = 0;
};

}  // namespace

int CompareUtf16(std::wstring_view a, std::wstring_view b) {
  if constexpr (sizeof(wchar_t) == 2) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
      const auto x = static_cast<std::uint16_t>(a[i]);
      const auto y = static_cast<std::uint16_t>(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  } else {
    Utf16Units ua(a);
    Utf16Units ub(b);
    for (;;) {
      std::uint32_t x = 0;
      std::uint32_t y = 0;
      const bool hasX = ua.Next(x);
      const bool hasY = ub.Next(y);
      if (!hasX || !hasY) return hasX == hasY ? 0 : (hasX ? 1 : -1);
      if (x != y) return x < y ? -1 : 1;
    }
  }
}

JsonValue JsonValue::Bool(bool value) {
  JsonValue v;
  v.kind_ = JsonKind::Bool;
  v.bool_ = value;
  return v;
}

JsonValue JsonValue::Number(double value) {
  JsonValue v;
  v.kind_ = JsonKind::Number;
  v.number_ = value;
  return v;
}

JsonValue JsonValue::String(std::wstring value) {
  JsonValue v;
  v.kind_ = JsonKind::String;
  v.string_ = std::move(value);
  return v;
}

JsonValue JsonValue::Object() {
  JsonValue v;
  v.kind_ = JsonKind::Object;
  return v;
}

JsonValue JsonValue::Array() {
  JsonValue v;
  v.kind_ = JsonKind::Array;
  return v;
}

const JsonValue* JsonValue::Find(std::wstring_view key) const {
  if (kind_ != JsonKind::Object) return nullptr;
  const auto it = members_.find(key);
  return it == members_.end() ? nullptr : &it->second;
}

void JsonValue::Set(std::wstring_view key, JsonValue value) {
  if (kind_ != JsonKind::Object) return;
  const auto it = members_.find(key);
  if (it != members_.end()) {
    it->second = std::move(value);
  } else {
    members_.emplace(std::wstring(key), std::move(value));
  }
}

void JsonValue::Append(JsonValue value) {
  if (kind_ != JsonKind::Array) return;
  elements_.push_back(std::move(value));
}

bool JsonValue::operator==(const JsonValue& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case JsonKind::Null: return true;
    case JsonKind::Bool: return bool_ == other.bool_;
    case JsonKind::Number: return number_ == other.number_;
    case JsonKind::String: return string_ == other.string_;
    case JsonKind::Object: return members_ == other.members_;
    case JsonKind::Array: return elements_ == other.elements_;
  }
  return false;
}

}  // namespace tvx
