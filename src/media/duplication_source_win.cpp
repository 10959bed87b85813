#include "media/duplication_source_win.h"

#include <cstring>
#include <iterator>

#include "foundation/error_text.h"
#include "media/screen_capture.h"

namespace tvx {

namespace {

std::wstring Failed(const wchar_t* prefix, HRESULT hr) { return prefix + ErrorText(static_cast<std::uint32_t>(hr)); }

}  // namespace

std::vector<MonitorInfo> DuplicationSource::Monitors() { return EnumerateMonitors(); }

bool DuplicationSource::OpenDevice(const MonitorInfo& monitor, std::wstring& error) {
  factory_.Reset();
  HRESULT hr = CreateDXGIFactory1(IID_PPV_ARGS(&factory_));
  if (FAILED(hr)) {
    error = Failed(L"CreateDXGIFactory1 failed: ", hr);
    return false;
  }
  ComPtr<IDXGIAdapter1> adapter;
  hr = factory_->EnumAdapters1(monitor.adapterIndex, &adapter);
  if (FAILED(hr)) {
    error = Failed(L"That display adapter is gone: ", hr);
    return false;
  }
  ComPtr<IDXGIOutput> output;
  hr = adapter->EnumOutputs(monitor.outputIndex, &output);
  if (FAILED(hr)) {
    error = Failed(L"That monitor is gone: ", hr);
    return false;
  }
  output_.Reset();
  hr = output.As(&output_);
  if (FAILED(hr)) {
    error = Failed(L"IDXGIOutput1 unavailable (needs Windows 8 or newer): ", hr);
    return false;
  }
  context_.Reset();
  device_.Reset();
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1,
                                      D3D_FEATURE_LEVEL_10_0};
  hr = D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, levels,
                         static_cast<UINT>(std::size(levels)), D3D11_SDK_VERSION, &device_, nullptr, &context_);
  if (FAILED(hr)) {
    error = Failed(L"D3D11CreateDevice failed: ", hr);
    return false;
  }
  return true;
}

std::uint32_t DuplicationSource::Duplicate(CaptureMode& mode) {
  ReleaseDuplication();
  if (!output_ || !device_) return capture_code::kInvalidCall;
  HRESULT hr = output_->DuplicateOutput(device_.Get(), &duplication_);
  if (FAILED(hr)) return static_cast<std::uint32_t>(hr);
  DXGI_OUTDUPL_DESC desc{};
  duplication_->GetDesc(&desc);
  mode.width = desc.ModeDesc.Width;
  mode.height = desc.ModeDesc.Height;
  mode.rotation = RotationQuarterTurns(desc.Rotation);
  DXGI_OUTPUT_DESC outputDesc{};
  if (SUCCEEDED(output_->GetDesc(&outputDesc))) {
    mode.desktopRect = {outputDesc.DesktopCoordinates.left, outputDesc.DesktopCoordinates.top,
                        outputDesc.DesktopCoordinates.right, outputDesc.DesktopCoordinates.bottom};
  }
  return capture_code::kOk;
}

std::uint32_t DuplicationSource::CreateStaging(std::uint32_t width, std::uint32_t height) {
  if (mapped_) UnmapStaging();
  staging_.Reset();
  if (!device_) return capture_code::kInvalidCall;
  D3D11_TEXTURE2D_DESC desc{};
  desc.Width = width;
  desc.Height = height;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  const HRESULT hr = device_->CreateTexture2D(&desc, nullptr, &staging_);
  return FAILED(hr) ? static_cast<std::uint32_t>(hr) : capture_code::kOk;
}

void DuplicationSource::ReleaseDuplication() {
  ReleaseFrame();
  duplication_.Reset();
}

std::uint32_t DuplicationSource::AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) {
  info = FrameInfo{};
  if (!duplication_) return capture_code::kInvalidCall;
  ReleaseFrame();
  DXGI_OUTDUPL_FRAME_INFO frame{};
  const HRESULT hr = duplication_->AcquireNextFrame(timeoutMs, &frame, &resource_);
  if (FAILED(hr)) {
    resource_.Reset();
    return static_cast<std::uint32_t>(hr);
  }
  frameHeld_ = true;
  info.newImage = frame.LastPresentTime.QuadPart != 0;
  info.metadataSize = frame.TotalMetadataBufferSize;
  metadataSize_ = frame.TotalMetadataBufferSize;
  moveBytes_ = 0;
  if (metadata_.size() < metadataSize_) metadata_.resize(metadataSize_);
  return capture_code::kOk;
}

bool DuplicationSource::MoveRects(std::vector<MoveRect>& out) {
  out.clear();
  moveBytes_ = 0;
  if (!frameHeld_ || metadataSize_ == 0) return false;
  UINT used = 0;
  if (FAILED(duplication_->GetFrameMoveRects(metadataSize_, reinterpret_cast<DXGI_OUTDUPL_MOVE_RECT*>(metadata_.data()),
                                             &used))) {
    return false;
  }
  moveBytes_ = used;
  const std::size_t count = used / sizeof(DXGI_OUTDUPL_MOVE_RECT);
  for (std::size_t i = 0; i < count; ++i) {
    DXGI_OUTDUPL_MOVE_RECT m;
    std::memcpy(&m, metadata_.data() + i * sizeof(m), sizeof(m));
    out.push_back({m.SourcePoint.x, m.SourcePoint.y,
                   {m.DestinationRect.left, m.DestinationRect.top, m.DestinationRect.right, m.DestinationRect.bottom}});
  }
  return true;
}

bool DuplicationSource::DirtyRects(std::vector<Rect>& out) {
  out.clear();
  if (!frameHeld_ || metadataSize_ <= moveBytes_) return false;
  UINT used = 0;
  if (FAILED(duplication_->GetFrameDirtyRects(metadataSize_ - moveBytes_,
                                              reinterpret_cast<RECT*>(metadata_.data() + moveBytes_), &used))) {
    return false;
  }
  const std::size_t count = used / sizeof(RECT);
  for (std::size_t i = 0; i < count; ++i) {
    RECT r;
    std::memcpy(&r, metadata_.data() + moveBytes_ + i * sizeof(r), sizeof(r));
    out.push_back({r.left, r.top, r.right, r.bottom});
  }
  return true;
}

bool DuplicationSource::CopyFrameToStaging() {
  if (!resource_ || !staging_ || !context_) return false;
  ComPtr<ID3D11Texture2D> texture;
  if (FAILED(resource_.As(&texture))) return false;
  context_->CopyResource(staging_.Get(), texture.Get());
  return true;
}

void DuplicationSource::ReleaseFrame() {
  resource_.Reset();
  if (frameHeld_ && duplication_) duplication_->ReleaseFrame();
  frameHeld_ = false;
}

bool DuplicationSource::DisplayConfigurationStale() { return factory_ && !factory_->IsCurrent(); }

std::uint32_t DuplicationSource::MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) {
  if (!staging_ || !context_) return capture_code::kInvalidCall;
  D3D11_MAPPED_SUBRESOURCE mapped{};
  const HRESULT hr = context_->Map(staging_.Get(), 0, D3D11_MAP_READ, 0, &mapped);
  if (FAILED(hr)) return static_cast<std::uint32_t>(hr);
  mapped_ = true;
  data = static_cast<const std::uint8_t*>(mapped.pData);
  pitch = mapped.RowPitch;
  return capture_code::kOk;
}

void DuplicationSource::UnmapStaging() {
  if (mapped_ && staging_ && context_) context_->Unmap(staging_.Get(), 0);
  mapped_ = false;
}

void DuplicationSource::Close() {
  UnmapStaging();
  ReleaseFrame();
  duplication_.Reset();
  output_.Reset();
  factory_.Reset();
  staging_.Reset();
  context_.Reset();
  device_.Reset();
}

}  // namespace tvx
