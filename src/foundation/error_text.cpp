#include "foundation/error_text.h"

#include "foundation/format.h"

namespace tvx {

std::uint32_t HresultFromError(std::int32_t error) {
  if (error <= 0) return static_cast<std::uint32_t>(error);
  return 0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu);
}

std::wstring SystemErrorText(std::int32_t error) { return FormatText(L"%d %s", error, ErrorText(HresultFromError(error))); }

}  // namespace tvx
