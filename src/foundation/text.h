// Text conversions used wherever text crosses the wire or a file, and the digit helpers of the host ID.
//
// Inside the program text is std::wstring: UTF-16 on Windows, UTF-32 elsewhere. Files and the wire
// carry UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx {

// Invalid byte sequences become U+FFFD (one per maximal invalid subpart); embedded NULs survive.
std::wstring Utf8ToWide(const char* bytes, std::size_t length);
inline std::wstring Utf8ToWide(std::string_view bytes) { return Utf8ToWide(bytes.data(), bytes.size()); }

// Unpaired surrogates (and, on UTF-32 builds, values that are no code point) become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// The text with every character that is not '0'-'9' removed.
std::wstring DigitsOnly(std::wstring_view text);

// DigitsOnly(text) with a space before every third digit from the start: "123456789" -> "123 456 789".
std::wstring GroupDigits(std::wstring_view text);

}  // namespace tvx
