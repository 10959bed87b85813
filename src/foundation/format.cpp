#include "foundation/format.h"

#include <cstdio>
#include <string>

#include "foundation/text.h"

namespace tvx {

std::int64_t FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned:
    case Kind::Pointer: return static_cast<std::int64_t>(unsigned_);
    case Kind::Double: return static_cast<std::int64_t>(double_);
    default: return 0;
  }
}

std::uint64_t FormatArg::AsUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<std::uint64_t>(signed_);
    case Kind::Unsigned:
    case Kind::Pointer: return unsigned_;
    case Kind::Double: return static_cast<std::uint64_t>(static_cast<std::int64_t>(double_));
    default: return 0;
  }
}

double FormatArg::AsDouble() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned:
    case Kind::Pointer: return static_cast<double>(unsigned_);
    case Kind::Double: return double_;
    default: return 0;
  }
}

std::wstring FormatArg::AsText() const {
  switch (kind_) {
    case Kind::Wide: return std::wstring(wide_);
    case Kind::Narrow: return Utf8ToWide(narrow_.data(), narrow_.size());
    default: return {};
  }
}

namespace {

bool IsFlag(wchar_t c) { return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0'; }

void AppendAscii(std::wstring& out, const char* text, int length) {
  for (int i = 0; i < length; ++i) out.push_back(static_cast<unsigned char>(text[i]));
}

// Formats one numeric conversion through the C library with a narrow spec it understands.
void AppendNumber(std::wstring& out, const std::string& flags, int width, int precision, wchar_t conversion,
                  const FormatArg& arg) {
  std::string spec = "%";
  spec += flags;
  if (width >= 0) spec += std::to_string(width);
  if (precision >= 0) {
    spec += '.';
    spec += std::to_string(precision);
  }
  char buffer[512];
  int length = 0;
  const char conv = static_cast<char>(conversion);
  // Widths and precisions are clamped by the caller, so the buffer always holds the result.
  switch (conversion) {
    case L'd':
    case L'i':
      spec += "lld";
      length = std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<long long>(arg.AsSigned()));
      break;
    case L'u':
    case L'x':
    case L'X':
    case L'o':
      spec += "ll";
      spec += conv;
      length = std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<unsigned long long>(arg.AsUnsigned()));
      break;
    case L'p':
      spec = "0x%016llX";
      length = std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<unsigned long long>(arg.AsUnsigned()));
      break;
    default:
      spec += conv;
      length = std::snprintf(buffer, sizeof buffer, spec.c_str(), arg.AsDouble());
      break;
  }
  if (length < 0) return;
  if (length >= static_cast<int>(sizeof buffer)) length = static_cast<int>(sizeof buffer) - 1;
  AppendAscii(out, buffer, length);
}

void AppendPadded(std::wstring& out, std::wstring_view text, int width, bool leftAlign) {
  const std::size_t pad = width > 0 && static_cast<std::size_t>(width) > text.size() ? width - text.size() : 0;
  if (!leftAlign) out.append(pad, L' ');
  out.append(text);
  if (leftAlign) out.append(pad, L' ');
}

}  // namespace

std::wstring FormatTextArgs(std::wstring_view format, std::span<const FormatArg> args) {
  constexpr int kMaxWidth = 400;  // keeps every numeric conversion inside its buffer
  std::wstring out;
  out.reserve(format.size() + 16 * args.size());
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    const wchar_t c = format[i];
    if (c != L'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    const std::size_t start = i++;
    if (i < format.size() && format[i] == L'%') {
      out.push_back(L'%');
      ++i;
      continue;
    }
    std::string flags;
    while (i < format.size() && IsFlag(format[i])) flags.push_back(static_cast<char>(format[i++]));
    int width = -1;
    bool missing = false;
    if (i < format.size() && format[i] == L'*') {
      ++i;
      if (next < args.size()) {
        const std::int64_t w = args[next++].AsSigned();
        if (w < 0) flags.push_back('-');
        width = static_cast<int>(w < 0 ? (w < -kMaxWidth ? kMaxWidth : -w) : (w > kMaxWidth ? kMaxWidth : w));
      } else {
        missing = true;
      }
    } else {
      while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') {
        width = (width < 0 ? 0 : width) * 10 + (format[i++] - L'0');
        if (width > kMaxWidth) width = kMaxWidth;
      }
    }
    int precision = -1;
    if (i < format.size() && format[i] == L'.') {
      ++i;
      precision = 0;
      if (i < format.size() && format[i] == L'*') {
        ++i;
        if (next < args.size()) {
          const std::int64_t p = args[next++].AsSigned();
          precision = p < 0 ? -1 : static_cast<int>(p > kMaxWidth ? kMaxWidth : p);
        } else {
          missing = true;
        }
      } else {
        while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') {
          precision = precision * 10 + (format[i++] - L'0');
          if (precision > kMaxWidth) precision = kMaxWidth;
        }
      }
    }
    // Length modifiers carry no meaning here: every argument already knows its type.
    while (i < format.size()) {
      const wchar_t m = format[i];
      if (m == L'h' || m == L'l' || m == L'L' || m == L'z' || m == L'j' || m == L't' || m == L'q') {
        ++i;
      } else if (m == L'I' && format.substr(i, 3) == L"I64") {
        i += 3;
      } else if (m == L'I' && format.substr(i, 3) == L"I32") {
        i += 3;
      } else {
        break;
      }
    }
    if (i >= format.size()) {
      out.append(format.substr(start));
      break;
    }
    const wchar_t conversion = format[i++];
    const bool known = std::wstring_view(L"diuxXocsSfFeEgGp").find(conversion) != std::wstring_view::npos;
    if (!known || missing || next >= args.size()) {
      out.append(format.substr(start, i - start));
      continue;
    }
    const FormatArg& arg = args[next++];
    const bool leftAlign = flags.find('-') != std::string::npos;
    if (conversion == L's' || conversion == L'S') {
      std::wstring text = arg.AsText();
      if (arg.kind() != FormatArg::Kind::Wide && arg.kind() != FormatArg::Kind::Narrow) {
        text = FormatText(L"%lld", arg.AsSigned());
      }
      if (precision >= 0 && static_cast<std::size_t>(precision) < text.size()) text.resize(precision);
      AppendPadded(out, text, width, leftAlign);
    } else if (conversion == L'c') {
      const wchar_t ch = static_cast<wchar_t>(arg.AsUnsigned());
      AppendPadded(out, std::wstring_view(&ch, 1), width, leftAlign);
    } else {
      AppendNumber(out, flags, width, precision, conversion, arg);
    }
  }
  return out;
}

}  // namespace tvx
