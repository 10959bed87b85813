// The pretty-printing writer of the settings file. Its output is byte for byte the same on every
// platform, so it formats numbers itself instead of going through the C library's printf.
#include <charconv>
#include <cmath>
#include <string>

#include "foundation/json_value.h"

namespace tvx {
namespace {

void AppendAscii(std::wstring& out, const char* begin, const char* end) {
  for (const char* p = begin; p != end; ++p) out.push_back(static_cast<wchar_t>(*p));
}

void AppendIndent(std::wstring& out, int depth) {
  if (depth > 0) out.append(static_cast<std::size_t>(depth) * 2, L' ');
}

void AppendString(std::wstring& out, const std::wstring& text) {
  static const wchar_t kHex[] = L"0123456789abcdef";
  out.push_back(L'"');
  for (const wchar_t c : text) {
    switch (c) {
      case L'"': out.append(L"\\\""); break;
      case L'\\': out.append(L"\\\\"); break;
      case L'\n': out.append(L"\\n"); break;
      case L'\r': out.append(L"\\r"); break;
      case L'\t': out.append(L"\\t"); break;
      default:
        if (static_cast<std::uint32_t>(c) < 0x20) {
          out.append(L"\\u00");
          out.push_back(kHex[(c >> 4) & 0xF]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back(L'"');
}

void AppendValue(std::wstring& out, const JsonValue& value, int depth) {
  switch (value.kind()) {
    case JsonKind::Bool: out.append(value.bool_value() ? L"true" : L"false"); return;
    case JsonKind::Number: out.append(FormatJsonNumber(value.number())); return;
    case JsonKind::String: AppendString(out, value.string()); return;
    case JsonKind::Object: {
      const auto& members = value.members();
      if (members.empty()) {
        out.append(L"{}");
        return;
      }
      out.append(L"{\n");
      std::size_t left = members.size();
      for (const auto& [key, member] : members) {
        AppendIndent(out, depth + 1);
        AppendString(out, key);
        out.append(L": ");
        AppendValue(out, member, depth + 1);
        if (--left > 0) out.push_back(L',');
        out.push_back(L'\n');
      }
      AppendIndent(out, depth);
      out.push_back(L'}');
      return;
    }
    case JsonKind::Array: {
      const auto& elements = value.elements();
      if (elements.empty()) {
        out.append(L"[]");
        return;
      }
      out.append(L"[\n");
      for (std::size_t i = 0; i < elements.size(); ++i) {
        AppendIndent(out, depth + 1);
        AppendValue(out, elements[i], depth + 1);
        if (i + 1 < elements.size()) out.push_back(L',');
        out.push_back(L'\n');
      }
      AppendIndent(out, depth);
      out.push_back(L']');
      return;
    }
    case JsonKind::Null:
    default: out.append(L"null"); return;
  }
}

}  // namespace

std::wstring FormatJsonNumber(double value) {
  if (std::isnan(value)) return L"nan";
  if (std::isinf(value)) return value < 0 ? L"-inf" : L"inf";
  char buffer[64];
  std::to_chars_result result;
  // Whole numbers inside the signed 64-bit range print as integers (62.0 as 62, -0.0 as 0); the
  // range test comes first because converting a larger value to an integer is undefined.
  if (value >= -9223372036854775808.0 && value < 9223372036854775808.0 && value == std::trunc(value)) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  }
  std::wstring out;
  AppendAscii(out, buffer, result.ptr);
  return out;
}

std::wstring SerializeJson(const JsonValue& value, int depth) {
  std::wstring out;
  AppendValue(out, value, depth);
  return out;
}

}  // namespace tvx
