#include "foundation/settings_store.h"

#include <cmath>
#include <climits>
#include <utility>

#include "foundation/colour.h"
#include "foundation/log.h"
#include "foundation/settings_file.h"
#include "foundation/text.h"

namespace tvx {
namespace {

bool IsJsonSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

}  // namespace

void SettingsStore::Load(const std::wstring& path) {
  path_ = path;
  root_ = JsonValue::Object();

  std::string bytes;
  if (!ReadSettingsFile(path, kMaxFileBytes, bytes)) return;
  std::string_view body = bytes;
  if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  const std::wstring text = Utf8ToWide(body.data(), body.size());

  std::size_t position = 0;
  JsonValue document = ParseJson(text, position, 0);
  while (position < text.size() && IsJsonSpace(text[position])) ++position;
  if (position != text.size() || !document.IsObject()) {
    Log(kLogWarning, L"settings file is not valid JSON, starting from defaults: %s", path);
    return;
  }
  root_ = std::move(document);
}

bool SettingsStore::Save() const {
  if (path_.empty()) return false;
  const std::string bytes = WideToUtf8(SerializeJson(root_, 0) + L"\n");
  return ReplaceSettingsFile(path_, bytes);
}

const JsonValue& SettingsStore::Get(std::wstring_view key) const {
  static const JsonValue kMissing;
  const JsonValue* value = root_.Find(key);
  return value != nullptr ? *value : kMissing;
}

std::wstring SettingsStore::GetString(std::wstring_view key, const std::wstring& fallback) const {
  const JsonValue& value = Get(key);
  return value.kind() == JsonKind::String ? value.string() : fallback;
}

int SettingsStore::GetInt(std::wstring_view key, int fallback) const {
  const JsonValue& value = Get(key);
  if (value.kind() == JsonKind::Bool) return value.bool_value() ? 1 : 0;
  if (value.kind() != JsonKind::Number) return fallback;
  const double number = value.number();
  // Converting NaN or a value outside the int range is undefined, so those are handled first.
  if (std::isnan(number)) return fallback;
  if (number >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (number <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(number);
}

bool SettingsStore::GetBool(std::wstring_view key, bool fallback) const {
  const JsonValue& value = Get(key);
  if (value.kind() == JsonKind::Bool) return value.bool_value();
  if (value.kind() == JsonKind::Number) return value.number() != 0;
  return fallback;
}

std::uint32_t SettingsStore::GetColour(std::wstring_view key) const {
  const JsonValue& value = Get(key);
  std::uint32_t argb = kDefaultColour;
  if (value.kind() == JsonKind::String && !value.string().empty() && ParseColour(value.string(), argb)) return argb;
  return kDefaultColour;
}

std::vector<std::wstring> SettingsStore::GetStringList(std::wstring_view key) const {
  std::vector<std::wstring> list;
  const JsonValue& value = Get(key);
  if (value.kind() != JsonKind::Array) return list;
  for (const JsonValue& element : value.elements()) {
    if (element.kind() == JsonKind::String && !element.string().empty()) list.push_back(element.string());
  }
  return list;
}

void SettingsStore::SetString(std::wstring_view key, const std::wstring& text) {
  root_.Set(key, JsonValue::String(text));
}

void SettingsStore::SetInt(std::wstring_view key, int value) { root_.Set(key, JsonValue::Number(value)); }

void SettingsStore::SetBool(std::wstring_view key, bool value) { root_.Set(key, JsonValue::Bool(value)); }

void SettingsStore::SetColour(std::wstring_view key, std::uint32_t argb) {
  root_.Set(key, JsonValue::String(FormatColour(argb)));
}

void SettingsStore::SetStringList(std::wstring_view key, const std::vector<std::wstring>& list) {
  JsonValue array = JsonValue::Array();
  for (const std::wstring& item : list) array.Append(JsonValue::String(item));
  root_.Set(key, std::move(array));
}

}  // namespace tvx
