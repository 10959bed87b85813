// Readable texts for platform error codes.
#pragma once

#include <cstdint>
#include <string>

namespace tvx {

// "0x%08X (%s)": the code in eight upper-case hex digits and the system's message for it, or
// "unknown" when the system has none. On Windows the code is usually an HRESULT; elsewhere a
// code of the form 0x8007xxxx is read as the errno value xxxx.
std::wstring ErrorText(std::uint32_t code);

// A Win32 error number (or errno elsewhere) as an HRESULT: positive e -> 0x80070000 | (e & 0xFFFF).
std::uint32_t HresultFromError(std::int32_t error);

// "%d %s": the error number and ErrorText of its HRESULT form, as socket errors are shown.
std::wstring SystemErrorText(std::int32_t error);

}  // namespace tvx
