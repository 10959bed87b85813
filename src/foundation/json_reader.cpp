// The recursive-descent reader of the settings file.
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "foundation/json_value.h"

namespace tvx {
namespace {

bool IsJsonSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

// The C locale's white space, which wcstod skips before a number.
bool IsCSpace(wchar_t c) { return IsJsonSpace(c) || c == L'\v' || c == L'\f'; }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsHexDigit(wchar_t c) {
  return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int HexValue(wchar_t c) {
  if (IsDigit(c)) return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return c - L'A' + 10;
}

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

// Case-insensitive ASCII match of `word` at `at`.
bool MatchesWord(std::wstring_view text, std::size_t at, std::wstring_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (LowerAscii(text[at + i]) != word[i]) return false;
  }
  return true;
}

void SkipSpace(std::wstring_view text, std::size_t& pos) {
  while (pos < text.size() && IsJsonSpace(text[pos])) ++pos;
}

// A mantissa of digits with at most one point: [start, end) in text. Returns false without digits.
struct Mantissa {
  std::size_t end = 0;
  long long leadingExponent = 0;  // digit places before the point, counted from the first non-zero digit
  bool nonZero = false;
};

bool ScanMantissa(std::wstring_view text, std::size_t start, bool hex, Mantissa& m) {
  std::size_t i = start;
  std::size_t digits = 0;
  bool seenPoint = false;
  long long placesBeforePoint = 0;
  long long firstNonZero = -1;  // digit index of the first non-zero digit
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (!(hex ? IsHexDigit(c) : IsDigit(c))) break;
    if (c != L'0' && firstNonZero < 0) firstNonZero = static_cast<long long>(digits);
    if (!seenPoint) ++placesBeforePoint;
    ++digits;
  }
  if (digits == 0) return false;
  m.end = i;
  m.nonZero = firstNonZero >= 0;
  m.leadingExponent = m.nonZero ? placesBeforePoint - firstNonZero : 0;
  return true;
}

// An exponent marker followed by an optional sign and at least one decimal digit; the value is
// saturated far beyond anything a double can express.
std::size_t ScanExponent(std::wstring_view text, std::size_t at, wchar_t marker, long long& exponent) {
  exponent = 0;
  if (at >= text.size() || LowerAscii(text[at]) != marker) return 0;
  std::size_t i = at + 1;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - L'0');
  }
  if (negative) exponent = -exponent;
  return i - at;
}

bool ParseString(std::wstring_view text, std::size_t& pos, std::wstring& out);
bool ParseValue(std::wstring_view text, std::size_t& pos, int depth, JsonValue& out);

// Appends one UTF-16 code unit; where wchar_t is UTF-32 a low surrogate after a high one joins it
// into a single code point, and lone surrogates stay as they are.
void AppendUnit(std::wstring& out, std::uint32_t unit) {
  if constexpr (sizeof(wchar_t) != 2) {
    if (unit >= 0xDC00 && unit <= 0xDFFF && !out.empty()) {
      const auto last = static_cast<std::uint32_t>(out.back());
      if (last >= 0xD800 && last <= 0xDBFF) {
        out.back() = static_cast<wchar_t>(0x10000 + ((last - 0xD800) << 10) + (unit - 0xDC00));
        return;
      }
    }
  }
  out.push_back(static_cast<wchar_t>(unit));
}

bool ParseString(std::wstring_view text, std::size_t& pos, std::wstring& out) {
  if (pos >= text.size() || text[pos] != L'"') return false;
  ++pos;
  out.clear();
  while (pos < text.size()) {
    const wchar_t c = text[pos++];
    if (c == L'"') return true;
    if (c != L'\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= text.size()) return false;
    const wchar_t e = text[pos++];
    switch (e) {
      case L'"': out.push_back(L'"'); break;
      case L'\\': out.push_back(L'\\'); break;
      case L'/': out.push_back(L'/'); break;
      case L'b': out.push_back(L'\b'); break;
      case L'f': out.push_back(L'\f'); break;
      case L'n': out.push_back(L'\n'); break;
      case L'r': out.push_back(L'\r'); break;
      case L't': out.push_back(L'\t'); break;
      case L'u': {
        if (text.size() - pos < 4) return false;
        std::uint32_t unit = 0;
        for (int k = 0; k < 4; ++k) {
          const wchar_t h = text[pos + k];
          if (!IsHexDigit(h)) return false;
          unit = unit * 16 + static_cast<std::uint32_t>(HexValue(h));
        }
        pos += 4;
        AppendUnit(out, unit);
        break;
      }
      default: return false;
    }
  }
  return false;  // the text ended inside the string
}

// What follows a container's member: a comma and more members, its closing bracket, or anything
// else (a failure, as is the text ending, also right after a comma).
enum class Separator { kMore, kClosed, kFailed };

Separator AfterMember(std::wstring_view text, std::size_t& pos, wchar_t closing) {
  SkipSpace(text, pos);
  if (pos >= text.size()) return Separator::kFailed;
  if (text[pos] == L',') {
    ++pos;
    return pos < text.size() ? Separator::kMore : Separator::kFailed;
  }
  if (text[pos] == closing) {
    ++pos;
    return Separator::kClosed;
  }
  return Separator::kFailed;
}

bool ParseObject(std::wstring_view text, std::size_t& pos, int depth, JsonValue& out) {
  ++pos;  // '{'
  out = JsonValue::Object();
  SkipSpace(text, pos);
  if (pos < text.size() && text[pos] == L'}') {
    ++pos;
    return true;
  }
  std::wstring key;
  for (;;) {
    SkipSpace(text, pos);
    if (!ParseString(text, pos, key)) return false;
    SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != L':') return false;
    ++pos;
    out.Set(key, ParseJson(text, pos, depth + 1));  // the last of repeated keys wins
    const Separator next = AfterMember(text, pos, L'}');
    if (next != Separator::kMore) return next == Separator::kClosed;
  }
}

bool ParseArray(std::wstring_view text, std::size_t& pos, int depth, JsonValue& out) {
  ++pos;  // '['
  out = JsonValue::Array();
  SkipSpace(text, pos);
  if (pos < text.size() && text[pos] == L']') {
    ++pos;
    return true;
  }
  for (;;) {
    out.Append(ParseJson(text, pos, depth + 1));
    const Separator next = AfterMember(text, pos, L']');
    if (next != Separator::kMore) return next == Separator::kClosed;
  }
}

bool ParseValue(std::wstring_view text, std::size_t& pos, int depth, JsonValue& out) {
  if (depth > kJsonMaxDepth) return false;
  SkipSpace(text, pos);
  if (pos >= text.size()) return false;
  const wchar_t c = text[pos];
  if (c == L'{') return ParseObject(text, pos, depth, out);
  if (c == L'[') return ParseArray(text, pos, depth, out);
  if (c == L'"') {
    std::wstring s;
    if (!ParseString(text, pos, s)) return false;
    out = JsonValue::String(std::move(s));
    return true;
  }
  const std::wstring_view rest = text.substr(pos);
  if (rest.substr(0, 4) == L"true") {
    pos += 4;
    out = JsonValue::Bool(true);
    return true;
  }
  if (rest.substr(0, 5) == L"false") {
    pos += 5;
    out = JsonValue::Bool(false);
    return true;
  }
  if (rest.substr(0, 4) == L"null") {
    pos += 4;
    out = JsonValue();
    return true;
  }
  double number = 0;
  const std::size_t used = ReadJsonNumber(rest, number);
  if (used == 0) return false;
  pos += used;
  out = JsonValue::Number(number);
  return true;
}

}  // namespace

std::size_t ReadJsonNumber(std::wstring_view text, double& value) {
  value = 0;
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  const double sign = negative ? -1.0 : 1.0;

  if (MatchesWord(text, i, L"inf")) {
    i += 3;
    if (MatchesWord(text, i, L"inity")) i += 5;
    value = sign * std::numeric_limits<double>::infinity();
    return i;
  }
  if (MatchesWord(text, i, L"nan")) {
    i += 3;
    if (i < text.size() && text[i] == L'(') {
      std::size_t j = i + 1;
      while (j < text.size() && (IsDigit(text[j]) || (LowerAscii(text[j]) >= L'a' && LowerAscii(text[j]) <= L'z') ||
                                 text[j] == L'_')) {
        ++j;
      }
      if (j < text.size() && text[j] == L')') i = j + 1;
    }
    value = std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
    return i;
  }

  // "0x" counts only when hexadecimal digits follow; otherwise the "0" alone is the number.
  bool hex = false;
  Mantissa m;
  std::size_t mantissaStart = i;
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
      ScanMantissa(text, i + 2, true, m)) {
    hex = true;
    mantissaStart = i + 2;
  } else if (!ScanMantissa(text, i, false, m)) {
    return 0;
  }
  long long exponent = 0;
  const std::size_t exponentLength = ScanExponent(text, m.end, hex ? L'p' : L'e', exponent);
  const std::size_t end = m.end + exponentLength;

  std::string ascii;
  ascii.reserve(end - mantissaStart);
  for (std::size_t k = mantissaStart; k < end; ++k) ascii.push_back(static_cast<char>(text[k]));
  double magnitude = 0;
  const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), magnitude,
                                      hex ? std::chars_format::hex : std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large becomes infinity and too small zero, as wcstod does.
    const long long scale = hex ? 4 : 1;
    const bool huge = m.leadingExponent * scale + exponent > 0;
    magnitude = huge ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc()) {
    return 0;
  }
  value = sign * magnitude;
  return end;
}

JsonValue ParseJson(std::wstring_view text, std::size_t& position, int depth) {
  const std::size_t start = position;
  JsonValue value;
  if (!ParseValue(text, position, depth, value)) {
    position = start;
    return JsonValue();
  }
  return value;
}

}  // namespace tvx
