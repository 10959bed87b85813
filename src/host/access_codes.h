// The codes that guard a shared screen: the access code viewers must give and this PC's relay ID.
// Both come from the system's cryptographic random source.
#pragma once

#include <cstddef>
#include <string>

namespace tvx {

// The characters of an access code: no I, O, 0 or 1, which are easily confused.
inline constexpr char kAccessCodeAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
inline constexpr std::size_t kAccessCodeLength = 6;
inline constexpr std::size_t kRelayIdLength = 9;

// Six characters of kAccessCodeAlphabet, each equally likely.
std::string MakeAccessCode();

// Nine ASCII digits, the first never '0', each digit equally likely.
std::string MakeRelayId();

}  // namespace tvx
