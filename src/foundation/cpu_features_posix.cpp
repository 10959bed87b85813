#include "foundation/cpu_features.h"

namespace tvx {

bool CpuHasSse42() { return __builtin_cpu_supports("sse4.2") != 0; }
bool CpuHasSsse3() { return __builtin_cpu_supports("ssse3") != 0; }

}  // namespace tvx
