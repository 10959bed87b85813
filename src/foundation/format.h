// printf-style formatting into wide strings, type-safe on every platform.
//
// The C library's swprintf reads "%s" as a narrow string on glibc but as a wide one on Windows,
// so the program formats through its own small engine: each argument is captured with its type,
// and "%s" always takes text (a wide string, or UTF-8 bytes from a narrow one).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace tvx {

// One captured printf argument.
class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Double, Wide, Narrow, Pointer };

  template <class T>
    requires(std::is_integral_v<T> && std::is_signed_v<T> && !std::is_same_v<T, bool>)
  FormatArg(T v) : kind_(Kind::Signed), signed_(v) {}
  template <class T>
    requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
  FormatArg(T v) : kind_(Kind::Unsigned), unsigned_(v) {}
  template <class T>
    requires std::is_enum_v<T>
  FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
  FormatArg(bool v) : kind_(Kind::Signed), signed_(v ? 1 : 0) {}
  FormatArg(double v) : kind_(Kind::Double), double_(v) {}
  FormatArg(float v) : kind_(Kind::Double), double_(v) {}
  FormatArg(const wchar_t* v) : kind_(Kind::Wide), wide_(v ? v : L"(null)") {}
  FormatArg(const std::wstring& v) : kind_(Kind::Wide), wide_(v) {}
  FormatArg(std::wstring_view v) : kind_(Kind::Wide), wide_(v) {}
  FormatArg(const char* v) : kind_(Kind::Narrow), narrow_(v ? v : "(null)") {}
  FormatArg(const std::string& v) : kind_(Kind::Narrow), narrow_(v) {}
  FormatArg(std::string_view v) : kind_(Kind::Narrow), narrow_(v) {}
  FormatArg(const void* v) : kind_(Kind::Pointer), unsigned_(reinterpret_cast<std::uintptr_t>(v)) {}

  Kind kind() const { return kind_; }
  std::int64_t AsSigned() const;
  std::uint64_t AsUnsigned() const;
  double AsDouble() const;
  std::wstring AsText() const;  // narrow text is taken as UTF-8

 private:
  Kind kind_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  double double_ = 0;
  std::wstring_view wide_;
  std::string_view narrow_;
};

// Formats with the printf conversions d i u x X o c s f F e E g G p and %%, the flags "-+ #0",
// widths and precisions (also "*"), and ignores length modifiers (h l ll z j t I64 L).
// A conversion without a matching argument, or an unknown one, is copied as it stands.
std::wstring FormatTextArgs(std::wstring_view format, std::span<const FormatArg> args);

template <class... Args>
std::wstring FormatText(std::wstring_view format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return FormatTextArgs(format, {});
  } else {
    const FormatArg captured[] = {FormatArg(args)...};
    return FormatTextArgs(format, captured);
  }
}

}  // namespace tvx
