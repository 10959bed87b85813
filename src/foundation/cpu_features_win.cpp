#include <intrin.h>

#include "foundation/cpu_features.h"

namespace tvx {
namespace {

int FeatureFlagsEcx() {
  int info[4] = {};
  __cpuid(info, 1);
  return info[2];
}

}  // namespace

bool CpuHasSse42() { return (FeatureFlagsEcx() & (1 << 20)) != 0; }
bool CpuHasSsse3() { return (FeatureFlagsEcx() & (1 << 9)) != 0; }

}  // namespace tvx
