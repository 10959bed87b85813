// The system's cryptographic random source.
#pragma once

#include <cstddef>

namespace tvx {

// Fills `size` bytes; false only if the system source fails (then the buffer is unspecified).
bool SecureRandomBytes(void* buffer, std::size_t size);

}  // namespace tvx
