// A window's device resources on Windows: a Direct3D 11 device (hardware, else the software
// rasterizer), a flip-model swap chain with a frame latency of 1 and a Direct2D device context
// drawing into its back buffer at 96 DPI.
#pragma once

#include <windows.h>

#include <d2d1_1.h>
#include <d3d11.h>
#include <dxgi1_2.h>
#include <wrl/client.h>

#include <string>

#include "ui/render_resources.h"

namespace tvx::ui {

class SwapChainDevice : public RenderDevice {
 public:
  // `factory` outlives the device (it belongs to the window's canvas).
  SwapChainDevice(HWND window, ID2D1Factory1* factory) : window_(window), factory_(factory) {}

  bool Create(int width, int height, std::wstring& error) override;
  void Release() override;
  DeviceResult Resize(int width, int height) override;
  void BeginDraw() override;
  DeviceResult EndDrawAndPresent() override;

  // Valid between Create and Release.
  ID2D1DeviceContext* context() const { return context_.Get(); }
  bool software() const { return software_; }

 private:
  bool CreateTarget(std::wstring& error);

  HWND window_;
  ID2D1Factory1* factory_;
  Microsoft::WRL::ComPtr<ID3D11Device> d3d_;
  Microsoft::WRL::ComPtr<IDXGISwapChain1> swap_chain_;
  Microsoft::WRL::ComPtr<ID2D1Device> d2d_device_;
  Microsoft::WRL::ComPtr<ID2D1DeviceContext> context_;
  Microsoft::WRL::ComPtr<ID2D1Bitmap1> target_;
  bool software_ = false;
};

// Turns a drawing or presenting HRESULT into what the resource rules act on.
DeviceResult DeviceResultOf(HRESULT hr);

}  // namespace tvx::ui
