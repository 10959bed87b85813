// What the processor offers beyond plain x86-64, asked once per process by the callers that pick
// a faster path.
#pragma once

namespace tvx {

bool CpuHasSse42();  // the CRC-32C instruction used for change hashing
bool CpuHasSsse3();  // 16-byte shuffles used to expand decoded pixels

}  // namespace tvx
