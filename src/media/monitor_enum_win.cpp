#include <windows.h>
#include <dxgi1_2.h>
#include <wrl/client.h>

#include "media/duplication_source_win.h"
#include "media/screen_capture.h"

namespace tvx {

std::uint8_t RotationQuarterTurns(DXGI_MODE_ROTATION rotation) {
  switch (rotation) {
    case DXGI_MODE_ROTATION_ROTATE90: return 1;
    case DXGI_MODE_ROTATION_ROTATE180: return 2;
    case DXGI_MODE_ROTATION_ROTATE270: return 3;
    default: return 0;
  }
}

std::vector<MonitorInfo> EnumerateMonitors() {
  using Microsoft::WRL::ComPtr;
  std::vector<MonitorInfo> monitors;
  ComPtr<IDXGIFactory1> factory;
  if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(&factory)))) return monitors;
  ComPtr<IDXGIAdapter1> adapter;
  for (UINT a = 0; factory->EnumAdapters1(a, &adapter) != DXGI_ERROR_NOT_FOUND; ++a) {
    if (!adapter) continue;
    ComPtr<IDXGIOutput> output;
    for (UINT o = 0; adapter->EnumOutputs(o, &output) != DXGI_ERROR_NOT_FOUND; ++o) {
      DXGI_OUTPUT_DESC desc{};
      if (!output || FAILED(output->GetDesc(&desc)) || !desc.AttachedToDesktop) {
        output.Reset();
        continue;
      }
      MonitorInfo m;
      m.index = static_cast<std::uint32_t>(monitors.size());
      m.adapterIndex = a;
      m.outputIndex = o;
      m.desktopRect = {desc.DesktopCoordinates.left, desc.DesktopCoordinates.top, desc.DesktopCoordinates.right,
                       desc.DesktopCoordinates.bottom};
      m.main = m.desktopRect.left == 0 && m.desktopRect.top == 0;
      m.rotation = RotationQuarterTurns(desc.Rotation);
      desc.DeviceName[31] = L'\0';
      m.deviceName = desc.DeviceName;
      monitors.push_back(std::move(m));
      output.Reset();
    }
    adapter.Reset();
  }
  return monitors;
}

}  // namespace tvx
