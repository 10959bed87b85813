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

}  // namespace tvx::cli
