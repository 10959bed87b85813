// The capture the host uses for the real screen of this machine.
#pragma once

#include <memory>

#include "media/screen_capture.h"

namespace tvx {

// On Windows desktop duplication, falling back to GDI copies where duplication is unavailable.
// Elsewhere there is no desktop to copy: a static synthetic desktop stands in.
std::unique_ptr<ScreenCapture> CreateDesktopCapture();

}  // namespace tvx
