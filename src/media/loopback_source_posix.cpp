#include "media/loopback_source.h"
#include "media/tone_source.h"

namespace tvx {

std::unique_ptr<LoopbackSource> CreateDefaultLoopbackSource() { return std::make_unique<ToneSource>(); }

}  // namespace tvx
