#include "foundation/text.h"

#include <cstdint>

namespace tvx {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

// Decodes strictly (no overlong forms, no surrogates, nothing above U+10FFFF); each maximal
// invalid subpart becomes one U+FFFD, as the Windows converter does.
std::wstring Utf8ToWide(const char* bytes, std::size_t length) {
  std::wstring out;
  if (bytes == nullptr || length == 0) return out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t i = 0;
  while (i < length) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int need = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      AppendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      if (j >= length) {
        ok = false;
        break;
      }
      const unsigned char c = s[j];
      const bool inRange = k == 0 ? (c >= low && c <= high) : IsContinuation(c);
      if (!inRange) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      AppendCodePoint(out, kReplacement);
      i = j;  // the valid prefix is consumed as one invalid subpart
      continue;
    }
    AppendCodePoint(out, cp);
    i = j;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) cp &= 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const char32_t next = static_cast<char32_t>(text[i + 1]) & (sizeof(wchar_t) == 2 ? 0xFFFF : 0xFFFFFFFF);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (next - 0xDC00);
        ++i;
        AppendUtf8(out, cp);
        continue;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    AppendUtf8(out, cp);
  }
  return out;
}

std::wstring DigitsOnly(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9') out.push_back(c);
  }
  return out;
}

std::wstring GroupDigits(std::wstring_view text) {
  const std::wstring digits = DigitsOnly(text);
  std::wstring out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && i % 3 == 0) out.push_back(L' ');
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace tvx
