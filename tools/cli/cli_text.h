// Small text helpers the tavrix-cli commands share: JSON strings for their output lines and
// strict number parsing for their options.
#pragma once

#include <cstdint>
#include <string>

namespace tvx::cli {

// `utf8` as a JSON string literal, quotes included.
std::string JsonString(const std::string& utf8);

// A whole decimal number within [low, high]; false for anything else (signs, spaces, overflow).
bool ParseNumber(const std::string& text, long long low, long long high, long long& out);

// WIDTHxHEIGHT with each edge a whole decimal number within [minEdge, maxEdge].
bool ParseSize(const std::string& text, long long minEdge, long long maxEdge, std::uint32_t& width,
               std::uint32_t& height);

}  // namespace tvx::cli
