#include "cli_text.h"

#include <cstdio>
#include <cstdlib>

namespace tvx::cli {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseSize(const std::string& text, long long minEdge, long long maxEdge, std::uint32_t& width,
               std::uint32_t& height) {
  const std::size_t x = text.find('x');
  long long w = 0;
  long long h = 0;
  if (x == std::string::npos || !ParseNumber(text.substr(0, x), minEdge, maxEdge, w) ||
      !ParseNumber(text.substr(x + 1), minEdge, maxEdge, h)) {
    return false;
  }
  width = static_cast<std::uint32_t>(w);
  height = static_cast<std::uint32_t>(h);
  return true;
}

}  // namespace tvx::cli
