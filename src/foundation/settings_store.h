// One settings document: the JSON object of the settings file with typed accessors.
//
// Load never fails toward the caller (a missing, empty, oversized or broken file leaves an empty
// document, so every key takes its default); Save replaces the file atomically. Only the window
// thread that owns a store uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/json_value.h"

namespace tvx {

class SettingsStore {
 public:
  static constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;
  // The default of every colour key (#25E07A).
  static constexpr std::uint32_t kDefaultColour = 0xFF25E07Au;

  void Load(const std::wstring& path);
  // Writes the document to the file loaded from; true when the file was replaced.
  bool Save() const;

  const std::wstring& path() const { return path_; }
  const JsonValue& root() const { return root_; }

  // The stored value, or a shared Null when the key is missing.
  const JsonValue& Get(std::wstring_view key) const;

  // The stored string if the value is a String, else `fallback`.
  std::wstring GetString(std::wstring_view key, const std::wstring& fallback) const;
  // Number: truncated toward zero, saturated to the 32-bit range (NaN gives `fallback`);
  // Bool: 1 or 0; anything else: `fallback`. Callers clamp to each key's range.
  int GetInt(std::wstring_view key, int fallback) const;
  // Bool: its value; Number: true unless zero (NaN counts as true); anything else: `fallback`.
  bool GetBool(std::wstring_view key, bool fallback) const;
  // A non-empty String that ParseColour accepts, else kDefaultColour.
  std::uint32_t GetColour(std::wstring_view key) const;
  // An Array's elements that are non-empty Strings, in order; anything else gives an empty list.
  std::vector<std::wstring> GetStringList(std::wstring_view key) const;

  // Each Set creates the key or replaces its value of any kind, in memory only.
  void SetString(std::wstring_view key, const std::wstring& text);
  void SetInt(std::wstring_view key, int value);
  void SetBool(std::wstring_view key, bool value);
  void SetColour(std::wstring_view key, std::uint32_t argb);
  void SetStringList(std::wstring_view key, const std::vector<std::wstring>& list);

 private:
  std::wstring path_;
  JsonValue root_ = JsonValue::Object();
};

}  // namespace tvx
