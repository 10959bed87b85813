#include "media/desktop_capture.h"

#include "media/duplication_source_win.h"
#include "media/gdi_source_win.h"

namespace tvx {

std::unique_ptr<ScreenCapture> CreateDesktopCapture() {
  return std::make_unique<ScreenCapture>(std::make_unique<DuplicationSource>(),
                                         [] { return std::make_unique<GdiSource>(); });
}

}  // namespace tvx
