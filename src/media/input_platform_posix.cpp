#include "media/fixed_input_platform.h"

namespace tvx {

std::unique_ptr<InputPlatform> CreateSystemInputPlatform() { return std::make_unique<FixedInputPlatform>(); }

}  // namespace tvx
