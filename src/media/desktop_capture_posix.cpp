#include "media/desktop_capture.h"

#include "media/synthetic_source.h"

namespace tvx {

std::vector<MonitorInfo> EnumerateMonitors() { return {}; }

std::unique_ptr<ScreenCapture> CreateDesktopCapture() {
  SyntheticOptions options;
  options.waitWhenIdle = true;
  return std::make_unique<ScreenCapture>(std::make_unique<SyntheticSource>(options));
}

}  // namespace tvx
