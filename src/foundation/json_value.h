// The JSON document model of the settings file, with its own reader and pretty-printing writer.
//
// Object keys are kept sorted by UTF-16 code units compared as unsigned numbers (a prefix sorts
// first), which is also the order the writer emits them in. Where wchar_t holds UTF-32, a code
// point above U+FFFF compares as its surrogate pair would, so both builds order keys alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

enum class JsonKind : std::uint8_t { Null = 0, Bool = 1, Number = 2, String = 3, Object = 4, Array = 5 };

// Negative, zero or positive as `a` sorts before, with or after `b` by UTF-16 code units.
int CompareUtf16(std::wstring_view a, std::wstring_view b);

struct JsonKeyLess {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const { return CompareUtf16(a, b) < 0; }
};

class JsonValue {
 public:
  using Members = std::map<std::wstring, JsonValue, JsonKeyLess>;
  using Elements = std::vector<JsonValue>;

  JsonValue() = default;  // Null
  static JsonValue Bool(bool value);
  static JsonValue Number(double value);
  static JsonValue String(std::wstring value);
  static JsonValue Object();
  static JsonValue Array();

  JsonKind kind() const { return kind_; }
  bool IsNull() const { return kind_ == JsonKind::Null; }
  bool IsObject() const { return kind_ == JsonKind::Object; }

  // Each payload is empty (false, 0) unless the value is of that kind.
  bool bool_value() const { return bool_; }
  double number() const { return number_; }
  const std::wstring& string() const { return string_; }
  const Members& members() const { return members_; }
  const Elements& elements() const { return elements_; }

  // Object: the member's value, or nullptr when missing (also for every other kind). Never inserts.
  const JsonValue* Find(std::wstring_view key) const;
  // Object: adds or replaces a member. Ignored for every other kind.
  void Set(std::wstring_view key, JsonValue value);
  // Array: appends an element. Ignored for every other kind.
  void Append(JsonValue value);

  bool operator==(const JsonValue& other) const;

 private:
  JsonKind kind_ = JsonKind::Null;
  bool bool_ = false;
  double number_ = 0;
  std::wstring string_;
  Members members_;
  Elements elements_;
};

// Objects and arrays deeper than this are rejected by the reader.
inline constexpr int kJsonMaxDepth = 32;

// Reads one value starting at `position` (whitespace first is skipped). A value that fails reads
// as Null and leaves `position` where it was, so a container that finds "," or its closing bracket
// there takes a missing member as Null; any other failure fails the container too.
JsonValue ParseJson(std::wstring_view text, std::size_t& position, int depth);

// Pretty-prints with two spaces per level, line feeds only; `depth` is the indent of the value's
// own closing bracket.
std::wstring SerializeJson(const JsonValue& value, int depth);

// The number reader behind ParseJson, accepting what the C library's wcstod accepts (leading
// white space, sign, decimal or hexadecimal digits with point and exponent, inf, infinity, nan,
// nan(chars)) but identical on every platform. Returns the count of characters used (0: none).
std::size_t ReadJsonNumber(std::wstring_view text, double& value);

// How the writer prints a number: whole values in the signed 64-bit range as integers, others
// with six significant digits ("%g"); infinities and NaN as "inf", "-inf" and "nan".
std::wstring FormatJsonNumber(double value);

}  // namespace tvx
