#include <cstring>
#include <string>

#include "foundation/error_text.h"
#include "foundation/format.h"

namespace tvx {

// Only codes that wrap an errno value (0x8007xxxx) have a system text here.
std::wstring ErrorText(std::uint32_t code) {
  std::string text;
  if ((code & 0xFFFF0000u) == 0x80070000u) {
    const int error = static_cast<int>(code & 0xFFFFu);
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* message = strerror_r(error, buffer, sizeof buffer);
    if (message != nullptr && std::strncmp(message, "Unknown error", 13) != 0) text = message;
  }
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (text.empty()) text = "unknown";
  return FormatText(L"0x%08X (%s)", code, text);
}

}  // namespace tvx
