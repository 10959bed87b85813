#include "ui/swap_chain_device_win.h"

#include "foundation/error_text.h"

using Microsoft::WRL::ComPtr;

namespace tvx::ui {

DeviceResult DeviceResultOf(HRESULT hr) {
  if (SUCCEEDED(hr)) return DeviceResult::Ok;
  if (hr == static_cast<HRESULT>(0x8899000C)) return DeviceResult::TargetLost;  // D2DERR_RECREATE_TARGET
  if (hr == DXGI_ERROR_DEVICE_REMOVED || hr == DXGI_ERROR_DEVICE_RESET) return DeviceResult::DeviceRemoved;
  return DeviceResult::Failed;
}

namespace {

HRESULT MakeDevice(D3D_DRIVER_TYPE type, ComPtr<ID3D11Device>& device) {
  return D3D11CreateDevice(nullptr, type, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0, D3D11_SDK_VERSION,
                           &device, nullptr, nullptr);
}

bool Fail(std::wstring& error, const wchar_t* what, HRESULT hr) {
  error = std::wstring(what) + ErrorText(static_cast<std::uint32_t>(hr));
  return false;
}

}  // namespace

bool SwapChainDevice::Create(int width, int height, std::wstring& error) {
  Release();
  software_ = false;
  HRESULT hr = MakeDevice(D3D_DRIVER_TYPE_HARDWARE, d3d_);
  if (FAILED(hr)) {
    software_ = true;
    hr = MakeDevice(D3D_DRIVER_TYPE_WARP, d3d_);
  }
  if (FAILED(hr)) return Fail(error, L"D3D11CreateDevice failed: ", hr);

  ComPtr<IDXGIDevice1> dxgi_device;
  if (FAILED(hr = d3d_.As(&dxgi_device))) return Fail(error, L"DXGI device unavailable: ", hr);
  dxgi_device->SetMaximumFrameLatency(1);
  ComPtr<IDXGIAdapter> adapter;
  ComPtr<IDXGIFactory2> dxgi_factory;
  if (FAILED(hr = dxgi_device->GetAdapter(&adapter)) ||
      FAILED(hr = adapter->GetParent(IID_PPV_ARGS(&dxgi_factory)))) {
    return Fail(error, L"DXGI factory unavailable: ", hr);
  }

  DXGI_SWAP_CHAIN_DESC1 desc = {};
  desc.Width = static_cast<UINT>(width);
  desc.Height = static_cast<UINT>(height);
  desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = 2;
  desc.Scaling = DXGI_SCALING_NONE;
  desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
  desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
  hr = dxgi_factory->CreateSwapChainForHwnd(d3d_.Get(), window_, &desc, nullptr, nullptr, &swap_chain_);
  if (FAILED(hr)) {
    // Older systems refuse "no scaling" on a window swap chain; stretching is never seen because
    // the buffers always follow the client size.
    desc.Scaling = DXGI_SCALING_STRETCH;
    hr = dxgi_factory->CreateSwapChainForHwnd(d3d_.Get(), window_, &desc, nullptr, nullptr, &swap_chain_);
  }
  if (FAILED(hr)) return Fail(error, L"CreateSwapChainForHwnd failed: ", hr);
  dxgi_factory->MakeWindowAssociation(window_, DXGI_MWA_NO_ALT_ENTER);

  if (FAILED(hr = factory_->CreateDevice(dxgi_device.Get(), &d2d_device_)) ||
      FAILED(hr = d2d_device_->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, &context_))) {
    return Fail(error, L"Direct2D device unavailable: ", hr);
  }
  context_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
  context_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
  context_->SetUnitMode(D2D1_UNIT_MODE_PIXELS);
  return CreateTarget(error);
}

bool SwapChainDevice::CreateTarget(std::wstring& error) {
  ComPtr<IDXGISurface> surface;
  HRESULT hr = swap_chain_->GetBuffer(0, IID_PPV_ARGS(&surface));
  if (FAILED(hr)) return Fail(error, L"Swap chain buffer unavailable: ", hr);
  D2D1_BITMAP_PROPERTIES1 props = {};
  props.pixelFormat = {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE};
  props.dpiX = 96;
  props.dpiY = 96;
  props.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW;
  hr = context_->CreateBitmapFromDxgiSurface(surface.Get(), &props, &target_);
  if (FAILED(hr)) return Fail(error, L"Drawing target unavailable: ", hr);
  context_->SetTarget(target_.Get());
  context_->SetDpi(96, 96);
  return true;
}

void SwapChainDevice::Release() {
  if (context_) context_->SetTarget(nullptr);
  target_.Reset();
  context_.Reset();
  d2d_device_.Reset();
  swap_chain_.Reset();
  d3d_.Reset();
}

DeviceResult SwapChainDevice::Resize(int width, int height) {
  if (!swap_chain_) return DeviceResult::Failed;
  context_->SetTarget(nullptr);
  target_.Reset();
  HRESULT hr = swap_chain_->ResizeBuffers(0, static_cast<UINT>(width), static_cast<UINT>(height),
                                          DXGI_FORMAT_UNKNOWN, 0);
  if (FAILED(hr)) return DeviceResultOf(hr) == DeviceResult::Ok ? DeviceResult::Failed : DeviceResultOf(hr);
  std::wstring ignored;
  return CreateTarget(ignored) ? DeviceResult::Ok : DeviceResult::Failed;
}

void SwapChainDevice::BeginDraw() {
  context_->BeginDraw();
  context_->SetTransform(D2D1::Matrix3x2F::Identity());
}

DeviceResult SwapChainDevice::EndDrawAndPresent() {
  HRESULT hr = context_->EndDraw();
  if (FAILED(hr)) return DeviceResultOf(hr);
  // No vertical sync: the window paces its own frames.
  return DeviceResultOf(swap_chain_->Present(0, 0));
}

}  // namespace tvx::ui
